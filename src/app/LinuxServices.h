#pragma once

#include "app/MainDialog.h"
#include "cleaner/CleaningRoutines.h"
#include "platform/linux/AllBrowserWindowsFactory.h"
#include "platform/linux/cleaner/LinuxBrowserData.h"
#include "platform/linux/cleaner/LinuxFileSystem.h"
#include "platform/linux/desktop/AlsaSoundPlayer.h"
#include "platform/linux/desktop/AutostartEntry.h"
#include "platform/linux/desktop/SystemClock.h"
#include "platform/linux/desktop/X11Beeper.h"
#include "platform/linux/registry/RegistryHive.h"
#include "platform/qt/AppResources.h"
#include "platform/qt/DesktopShellOpen.h"
#include "platform/qt/QtMessageBox.h"
#include "platform/qt/SystemTrayHost.h"
#include "platform/qt/X11HotKeys.h"
#include "store/SettingsStore.h"

// The real services of the program on a Linux desktop: the one place where each service's
// implementation is chosen. Needs a QApplication. Making it also puts the native messaging
// host manifests of the companion extension in place for the user's browsers.
class CLinuxServices {
public:
    CLinuxServices();

    const CMainServices& Services() const { return m_Services; }

private:
    CRegistryHive m_Registry;
    CSettingsStore m_Store;
    CAllBrowserWindowsFactory m_Browsers;
    CQtMessageBox m_MessageBox;
    CSystemClock m_Clock;
    CDesktopShellOpen m_Shell;
    CAutostartEntry m_Autostart;
    CSystemTrayHost m_Tray;
    CX11HotKeys m_HotKeys;
    CAlsaSoundPlayer m_Sound;
    CX11Beeper m_Beeper;
    CAppResources m_Resources;
    CLinuxFileSystem m_Files;
    CLinuxBrowserData m_BrowserData;
    CCleaningRoutines m_Cleaner;
    CMainServices m_Services;
};
