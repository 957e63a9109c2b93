#pragma once

#include <string>
#include <string_view>

#include "platform/Registry.h"

class IAutostartEntry;

// The system's list of programs started at log-on, below HKEY_LOCAL_MACHINE, and the
// program's value in it.
inline constexpr const char* REGKEY_RUN = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* REGVAL_RUN = "QLIO";

// A holder of one open key of the list of programs started at log-on. On this desktop the
// list is the autostart folder and the program's value its log-in entry: a path as the
// value has the entry start that executable, the empty text keeps the entry but has it
// start nothing. Key and value names compare without regard to ASCII letter case, as the
// registry's do.
class CRegistryKey {
public:
    explicit CRegistryKey(IAutostartEntry& autostart) : m_Autostart(autostart) {}
    // Closes the key.
    virtual ~CRegistryKey();
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    // Remembers `path` and opens the key `path` below `hRoot`. Only the list of programs
    // started at log-on can be opened; any other key stays closed. Answers whether the key
    // is open.
    bool Open(HKEY hRoot, std::string_view path);

    // Sets the value `name` to `text`. Answers false, changing nothing, when the key is not
    // open, when `name` is not the program's value, or when the entry cannot be written.
    bool SetString(std::string_view name, std::string_view text);

    // Closes the key; afterwards none is open.
    void Close() { m_bOpen = false; }

    const std::string& Path() const { return m_strPath; }

private:
    IAutostartEntry& m_Autostart;
    std::string m_strPath;
    bool m_bOpen = false;
};
