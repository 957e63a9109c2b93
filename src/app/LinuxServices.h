#pragma once

#include "app/MainDialog.h"
#include "platform/linux/AlsaSoundPlayer.h"
#include "platform/linux/AutostartEntry.h"
#include "platform/linux/DevToolsBrowserWindowsFactory.h"
#include "platform/linux/RegistryHive.h"
#include "platform/linux/SystemClock.h"
#include "platform/linux/X11Beeper.h"
#include "store/SettingsStore.h"
#include "widgets/AppResources.h"
#include "widgets/DesktopShellOpen.h"
#include "widgets/QtMessageBox.h"
#include "widgets/SystemTrayHost.h"
#include "widgets/X11HotKeys.h"

// The real services of the program on a Linux desktop: the one place where each service's
// implementation is chosen. Needs a QApplication.
class CLinuxServices {
public:
    CLinuxServices();

    const CMainServices& Services() const { return m_Services; }

private:
    CRegistryHive m_Registry;
    CSettingsStore m_Store;
    CDevToolsBrowserWindowsFactory m_Browsers;
    CQtMessageBox m_MessageBox;
    CSystemClock m_Clock;
    CDesktopShellOpen m_Shell;
    CAutostartEntry m_Autostart;
    CSystemTrayHost m_Tray;
    CX11HotKeys m_HotKeys;
    CAlsaSoundPlayer m_Sound;
    CX11Beeper m_Beeper;
    CAppResources m_Resources;
    CMainServices m_Services;
};
