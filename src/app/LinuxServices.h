#pragma once

#include "app/MainDialog.h"
#include "platform/linux/AutostartEntry.h"
#include "platform/linux/DevToolsBrowserWindowsFactory.h"
#include "platform/linux/RegistryHive.h"
#include "platform/linux/SystemClock.h"
#include "store/SettingsStore.h"
#include "widgets/DesktopShellOpen.h"
#include "widgets/QtMessageBox.h"

// The real services of the program on a Linux desktop: the one place where each service's
// implementation is chosen.
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
    CMainServices m_Services;
};
