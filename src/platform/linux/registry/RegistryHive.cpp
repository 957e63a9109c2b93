#include "platform/linux/registry/RegistryHive.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "platform/linux/GuardedCall.h"
#include "platform/linux/registry/RegTree.h"

namespace fs = std::filesystem;

namespace {

constexpr REGSAM WRITE_RIGHTS = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

// Callers of the registry expect codes, and a hostile file may exhaust memory.
template <typename Call>
LSTATUS Guarded(const Call& call) {
    return GuardedCall<LSTATUS>(call, ERROR_OUTOFMEMORY, ERROR_REGISTRY_IO_FAILED);
}

// Adds the levels of `subKey` to `path`; false for an empty level, a name no key can have,
// or more levels than a key may have.
bool AppendPath(std::vector<std::string>& path, std::string_view subKey) {
    if (subKey.empty()) {
        return true;
    }
    for (;;) {
        const std::size_t separator = subKey.find('\\');
        const std::string_view name = subKey.substr(0, separator);
        if (!CRegTree::IsValidKeyName(name) || path.size() >= CRegTree::MAX_KEY_DEPTH) {
            return false;
        }
        path.emplace_back(name);
        if (separator == std::string_view::npos) {
            return true;
        }
        subKey.remove_prefix(separator + 1);
    }
}

fs::path HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        return home;
    }
    long bufferSize = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(bufferSize > 0 ? static_cast<std::size_t>(bufferSize) : 16384);
    passwd entry{};
    passwd* pEntry = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &pEntry) == 0 &&
        pEntry != nullptr && pEntry->pw_dir != nullptr) {
        return pEntry->pw_dir;
    }
    return {};
}

}  // namespace

CRegistryHive::CRegistryHive(fs::path file) : m_File(std::move(file)) {
    // Roots are open for good, with every right.
    for (const HKEY hRoot : CRegTree::Roots()) {
        m_mapHandles.emplace(hRoot, CKeyHandle{hRoot, {}, KEY_ALL_ACCESS});
    }
}

fs::path CRegistryHive::DefaultPath() {
    fs::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        config = xdg;
    } else {
        const fs::path home = HomeFolder();
        if (home.empty()) {
            return {};
        }
        config = home / ".config";
    }
    return config / "Quellio" / "registry.reg";
}

LSTATUS CRegistryHive::OpenKey(HKEY parent, std::string_view subKey, REGSAM rights, HKEY* result) {
    return Open(parent, subKey, rights, false, result);
}

LSTATUS CRegistryHive::CreateKey(HKEY parent, std::string_view subKey, REGSAM rights,
                                 bool /*isVolatile*/, HKEY* result) {
    return Open(parent, subKey, rights, true, result);
}

LSTATUS CRegistryHive::Open(HKEY hParent, std::string_view subKey, REGSAM rights, bool bCreate,
                            HKEY* pResult) {
    return Guarded([&] {
        const std::lock_guard lock(m_Mutex);
        if (pResult == nullptr) {
            return ERROR_INVALID_PARAMETER;
        }
        const CKeyHandle* pParent = FindHandle(hParent);
        if (pParent == nullptr) {
            return ERROR_INVALID_HANDLE;
        }
        const CKeyHandle parent = *pParent;
        CKeyHandle key{parent.hRoot, parent.path, rights};
        if (!AppendPath(key.path, subKey)) {
            return ERROR_INVALID_PARAMETER;
        }
        const CRegTree& tree = m_File.Read();
        if (tree.Find(parent.hRoot, parent.path) == nullptr) {
            return ERROR_KEY_DELETED;
        }
        if (tree.Find(key.hRoot, key.path) != nullptr) {
            if ((rights & WRITE_RIGHTS) != 0 && !m_File.CanWrite()) {
                return ERROR_ACCESS_DENIED;
            }
        } else if (!bCreate) {
            return ERROR_FILE_NOT_FOUND;
        } else if ((parent.rights & KEY_CREATE_SUB_KEY) == 0) {
            return ERROR_ACCESS_DENIED;
        } else {
            const LSTATUS status = m_File.Update([&](CRegTree& current, bool& bChanged) {
                if (current.Find(parent.hRoot, parent.path) == nullptr) {
                    return ERROR_KEY_DELETED;
                }
                current.Create(key.hRoot, key.path, bChanged);
                return ERROR_SUCCESS;
            });
            if (status != ERROR_SUCCESS) {
                return status;
            }
        }
        *pResult = AddHandle(std::move(key));
        return ERROR_SUCCESS;
    });
}

LSTATUS CRegistryHive::QueryValue(HKEY key, std::string_view name, DWORD* type, std::uint8_t* data,
                                  DWORD* size) {
    return Guarded([&] {
        const std::lock_guard lock(m_Mutex);
        const CKeyHandle* pHandle = nullptr;
        if (const LSTATUS status = FindHandle(key, KEY_QUERY_VALUE, &pHandle);
            status != ERROR_SUCCESS) {
            return status;
        }
        if (data != nullptr && size == nullptr) {
            return ERROR_INVALID_PARAMETER;
        }
        const CRegKeyNode* pKey = m_File.Read().Find(pHandle->hRoot, pHandle->path);
        if (pKey == nullptr) {
            return ERROR_KEY_DELETED;
        }
        const CRegValue* pValue = pKey->FindValue(name);
        if (pValue == nullptr) {
            // Not stored, as far as anybody can tell, only where nothing was left out.
            return m_File.HasLeftOutLines() ? ERROR_BADDB : ERROR_FILE_NOT_FOUND;
        }
        if (type != nullptr) {
            *type = pValue->dwType;
        }
        if (size == nullptr) {
            return ERROR_SUCCESS;
        }
        const auto length = static_cast<DWORD>(pValue->data.size());
        if (data != nullptr) {
            if (length > *size) {
                *size = length;
                return ERROR_MORE_DATA;
            }
            std::copy(pValue->data.begin(), pValue->data.end(), data);
        }
        *size = length;
        return ERROR_SUCCESS;
    });
}

LSTATUS CRegistryHive::SetValue(HKEY key, std::string_view name, DWORD type,
                                std::span<const std::uint8_t> data) {
    return Guarded([&] {
        const std::lock_guard lock(m_Mutex);
        const CKeyHandle* pHandle = nullptr;
        if (const LSTATUS status = FindHandle(key, KEY_SET_VALUE, &pHandle);
            status != ERROR_SUCCESS) {
            return status;
        }
        if (!CRegTree::IsValidValueName(name) || data.size() > std::numeric_limits<DWORD>::max()) {
            return ERROR_INVALID_PARAMETER;
        }
        CRegValue value{type, {data.begin(), data.end()}};
        return m_File.Update([&](CRegTree& tree, bool& bChanged) {
            CRegKeyNode* pKey = tree.Find(pHandle->hRoot, pHandle->path);
            if (pKey == nullptr) {
                return ERROR_KEY_DELETED;
            }
            bChanged = pKey->SetValue(name, std::move(value));
            return ERROR_SUCCESS;
        });
    });
}

LSTATUS CRegistryHive::QueryMaxValueDataLength(HKEY key, DWORD* length) {
    return Guarded([&] {
        const std::lock_guard lock(m_Mutex);
        const CKeyHandle* pHandle = nullptr;
        if (const LSTATUS status = FindHandle(key, KEY_QUERY_VALUE, &pHandle);
            status != ERROR_SUCCESS) {
            return status;
        }
        if (length == nullptr) {
            return ERROR_INVALID_PARAMETER;
        }
        const CRegKeyNode* pKey = m_File.Read().Find(pHandle->hRoot, pHandle->path);
        if (pKey == nullptr) {
            return ERROR_KEY_DELETED;
        }
        std::size_t longest = 0;
        for (const auto& [name, value] : pKey->Values()) {
            longest = std::max(longest, value.data.size());
        }
        *length = static_cast<DWORD>(longest);
        return ERROR_SUCCESS;
    });
}

LSTATUS CRegistryHive::CloseKey(HKEY key) {
    return Guarded([&] {
        const std::lock_guard lock(m_Mutex);
        if (!CRegTree::RootName(key).empty()) {
            return ERROR_SUCCESS;
        }
        return m_mapHandles.erase(key) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    });
}

const CRegistryHive::CKeyHandle* CRegistryHive::FindHandle(HKEY hKey) const {
    const auto it = m_mapHandles.find(hKey);
    return it == m_mapHandles.end() ? nullptr : &it->second;
}

LSTATUS CRegistryHive::FindHandle(HKEY hKey, REGSAM needed, const CKeyHandle** ppHandle) const {
    const CKeyHandle* pHandle = FindHandle(hKey);
    if (pHandle == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if ((pHandle->rights & needed) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    *ppHandle = pHandle;
    return ERROR_SUCCESS;
}

HKEY CRegistryHive::AddHandle(CKeyHandle handle) {
    // Never hands out a root, HKEY_NONE or a handle still open, even after wrapping round.
    while (m_hNextHandle == HKEY_NONE || m_mapHandles.contains(m_hNextHandle)) {
        ++m_hNextHandle;
    }
    const HKEY hKey = m_hNextHandle++;
    m_mapHandles.emplace(hKey, std::move(handle));
    return hKey;
}
