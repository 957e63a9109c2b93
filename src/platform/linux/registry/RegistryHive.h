#pragma once

#include <filesystem>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Registry.h"
#include "platform/linux/registry/HiveFile.h"

// The registry kept in one REGEDIT4 text file (format in RegFile.h), by default
// ${XDG_CONFIG_HOME:-~/.config}/Quellio/registry.reg. Every call answers from the file as it
// is at that moment, and every change is in the file, durably, before the call returns
// (HiveFile.h), so other processes and hand edits are seen at once. Lines of the file that
// cannot be read are left out (and reported); a file that is not REGEDIT4 at all reads as an
// empty store. Either is kept aside before the first change replaces it.
// Where the file or its folder cannot be written, opening a key with KEY_SET_VALUE or
// KEY_CREATE_SUB_KEY answers ERROR_ACCESS_DENIED, while reading keeps working.
//
// A key asked for as volatile is stored like any other: the file belongs to one user and
// there is no system session after which it would be dropped.
//
// Thread-safe: one lock guards the handles and the file.
class CRegistryHive final : public IRegistry {
public:
    explicit CRegistryHive(std::filesystem::path file);

    // ${XDG_CONFIG_HOME:-~/.config}/Quellio/registry.reg. XDG_CONFIG_HOME counts only when
    // it is an absolute path; without HOME the password database names the home folder.
    // Empty when no home folder is known: a hive there reads empty and refuses changes.
    static std::filesystem::path DefaultPath();

    LSTATUS OpenKey(HKEY parent, std::string_view subKey, REGSAM rights, HKEY* result) override;
    LSTATUS CreateKey(HKEY parent, std::string_view subKey, REGSAM rights, bool isVolatile,
                      HKEY* result) override;
    LSTATUS QueryValue(HKEY key, std::string_view name, DWORD* type, std::uint8_t* data,
                       DWORD* size) override;
    LSTATUS SetValue(HKEY key, std::string_view name, DWORD type,
                     std::span<const std::uint8_t> data) override;
    LSTATUS QueryMaxValueDataLength(HKEY key, DWORD* length) override;
    LSTATUS CloseKey(HKEY key) override;

private:
    // What a handle stands for: a key, named by its root and its levels below it, and the
    // rights it was opened with.
    struct CKeyHandle {
        HKEY hRoot = HKEY_NONE;
        std::vector<std::string> path;
        REGSAM rights = 0;
    };

    LSTATUS Open(HKEY hParent, std::string_view subKey, REGSAM rights, bool bCreate, HKEY* pResult);
    // The handle's entry (roots included), or null for a closed or unknown handle.
    const CKeyHandle* FindHandle(HKEY hKey) const;
    // The handle's entry when it holds the `needed` right; ERROR_INVALID_HANDLE or
    // ERROR_ACCESS_DENIED otherwise.
    LSTATUS FindHandle(HKEY hKey, REGSAM needed, const CKeyHandle** ppHandle) const;
    HKEY AddHandle(CKeyHandle handle);

    std::mutex m_Mutex;
    CHiveFile m_File;
    std::unordered_map<HKEY, CKeyHandle> m_mapHandles;
    HKEY m_hNextHandle = 1;
};
