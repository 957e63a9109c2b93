#include "app/LinuxServices.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/ModulePath.h"
#include "platform/linux/XdgDirs.h"
#include "platform/linux/bridge/BridgeSocket.h"
#include "platform/linux/bridge/NativeHostManifests.h"

CLinuxServices::CLinuxServices()
    : m_Registry(CRegistryHive::DefaultPath()),
      m_Store(m_Registry),
      m_Browsers(CDevToolsDiscovery::FromEnvironment(), BridgeSocketPath()),
      m_Autostart(CAutostartEntry::DefaultPath()),
      m_Files(CLinuxFileSystem::UserHomes()),
      m_BrowserData(CLinuxBrowserData::FromEnvironment(m_Browsers.ExtensionBrowsers().Requests())),
      m_Cleaner(m_Files, m_BrowserData),
      m_Services{m_Store, m_Browsers, m_MessageBox, m_Clock,  m_Shell,     m_Autostart,
                 m_Tray,  m_HotKeys,  m_Sound,      m_Beeper, m_Resources, m_Cleaner} {
    // The bridge is installed beside the program; browsers are told where at every start,
    // so that a moved installation keeps working.
    const std::filesystem::path bridge =
        std::filesystem::path(GetModuleFileName()).parent_path() / "quellio-bridge";
    const char* home = std::getenv("HOME");
    if (::access(bridge.c_str(), X_OK) == 0 && home != nullptr && home[0] == '/') {
        WriteHostManifests(
            UserHostManifestFolders(
                home, XdgBaseDir(std::getenv("XDG_CONFIG_HOME"), home, ".config"),
                CDevToolsDiscovery::GuardedProfileDir(home, std::getenv("XDG_DATA_HOME"))),
            bridge);
    }
}
