#pragma once

#include <cstdint>
#include <string_view>

#include "platform/Registry.h"
#include "store/Options.h"

// The program's settings in the registry: options as 32-bit numbers below the "option"
// subkey of the product key, address lists as multi-string values below "list" (their
// reading and writing stands with the lists, in UrlList.h). Every
// call opens the whole chain of keys anew and closes it before it returns, so the store
// keeps no state and may be used from any thread. Failures are silent: reads answer
// their default, writes answer FALSE. A store that cannot be changed is still read.
class CSettingsStore {
public:
    explicit CSettingsStore(IRegistry& registry) : m_Registry(registry) {}

    // Software\hollin\QLIO below HKEY_LOCAL_MACHINE, created where missing; HKEY_NONE on
    // failure. The caller closes the handle.
    HKEY OpenProductKey() const;
    // A subkey of the product key, created where missing; HKEY_NONE on failure.
    HKEY OpenStoreKey(std::string_view subKey) const;
    // The subkey as OpenStoreKey opens it, for reads; where the store cannot be changed, the
    // existing subkey opened for reading alone, so a read-only store keeps its values.
    HKEY OpenStoreKeyToRead(std::string_view subKey) const;

    // The stored number, or `defaultValue` when it cannot be read. Data of 1 to 4 bytes of
    // any type is taken as the low bytes of the number; longer data reads as the default.
    DWORD ReadRegDword(std::string_view subKey, std::string_view name, DWORD defaultValue) const;
    bool WriteRegDword(std::string_view subKey, std::string_view name, DWORD value) const;

    DWORD ReadOption(const COption& option) const {
        return ReadRegDword(REGKEY_OPTION, option.szName, option.dwDefault);
    }
    bool WriteOption(const COption& option, DWORD value) const {
        return WriteRegDword(REGKEY_OPTION, option.szName, value);
    }

    // The registry the store lives in, for the list values (see UrlList.h).
    IRegistry& Registry() const { return m_Registry; }

private:
    IRegistry& m_Registry;
};
