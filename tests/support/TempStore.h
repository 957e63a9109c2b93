#pragma once

#include "platform/linux/registry/RegistryHive.h"
#include "store/SettingsStore.h"
#include "support/TempDir.h"

// A settings store on a registry file of its own, in a fresh temporary folder.
struct STempStore {
    std::filesystem::path File() const { return m_Dir / "registry.reg"; }

    CTempDir m_Dir;
    CRegistryHive m_Hive{File()};
    CSettingsStore m_Store{m_Hive};
};
