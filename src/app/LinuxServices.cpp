#include "app/LinuxServices.h"

CLinuxServices::CLinuxServices()
    : m_Registry(CRegistryHive::DefaultPath()),
      m_Store(m_Registry),
      m_Browsers(CDevToolsDiscovery::FromEnvironment()),
      m_Autostart(CAutostartEntry::DefaultPath()),
      m_Files(CLinuxFileSystem::UserHomes()),
      m_BrowserData(CLinuxBrowserData::FromEnvironment()),
      m_Cleaner(m_Files, m_BrowserData),
      m_Services{m_Store, m_Browsers, m_MessageBox, m_Clock,  m_Shell,     m_Autostart,
                 m_Tray,  m_HotKeys,  m_Sound,      m_Beeper, m_Resources, m_Cleaner} {}
