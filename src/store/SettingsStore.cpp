#include "store/SettingsStore.h"

#include <array>
#include <cstring>
#include <string>

HKEY CSettingsStore::OpenProductKey() const {
    HKEY hSoftware = HKEY_NONE;
    if (m_Registry.OpenKey(HKEY_LOCAL_MACHINE, REGKEY_SOFTWARE, STORE_KEY_RIGHTS, &hSoftware) !=
        ERROR_SUCCESS) {
        return HKEY_NONE;
    }
    HKEY hMaker = HKEY_NONE;
    HKEY hProduct = HKEY_NONE;
    if (m_Registry.CreateKey(hSoftware, REGKEY_MAKER, STORE_KEY_RIGHTS, false, &hMaker) ==
        ERROR_SUCCESS) {
        if (m_Registry.CreateKey(hMaker, REGKEY_PRODUCT, STORE_KEY_RIGHTS, false, &hProduct) !=
            ERROR_SUCCESS) {
            hProduct = HKEY_NONE;
        }
        (void)m_Registry.CloseKey(hMaker);
    }
    (void)m_Registry.CloseKey(hSoftware);
    return hProduct;
}

HKEY CSettingsStore::OpenStoreKey(std::string_view subKey) const {
    const HKEY hProduct = OpenProductKey();
    if (hProduct == HKEY_NONE) {
        return HKEY_NONE;
    }
    HKEY hSubKey = HKEY_NONE;
    if (m_Registry.CreateKey(hProduct, subKey, STORE_KEY_RIGHTS, false, &hSubKey) !=
        ERROR_SUCCESS) {
        hSubKey = HKEY_NONE;
    }
    (void)m_Registry.CloseKey(hProduct);
    return hSubKey;
}

HKEY CSettingsStore::OpenStoreKeyToRead(std::string_view subKey) const {
    if (const HKEY hKey = OpenStoreKey(subKey); hKey != HKEY_NONE) {
        return hKey;
    }
    const std::string path = std::string(REGKEY_SOFTWARE) + '\\' + REGKEY_MAKER + '\\' +
                             REGKEY_PRODUCT + '\\' + std::string(subKey);
    HKEY hKey = HKEY_NONE;
    if (m_Registry.OpenKey(HKEY_LOCAL_MACHINE, path, KEY_READ, &hKey) != ERROR_SUCCESS) {
        return HKEY_NONE;
    }
    return hKey;
}

DWORD CSettingsStore::ReadRegDword(std::string_view subKey, std::string_view name,
                                   DWORD defaultValue) const {
    const HKEY hKey = OpenStoreKeyToRead(subKey);
    if (hKey == HKEY_NONE) {
        return defaultValue;
    }
    // Shorter data of any type fills the low bytes of a zeroed number.
    std::array<std::uint8_t, sizeof(DWORD)> buffer{};
    DWORD size = buffer.size();
    const LSTATUS status = m_Registry.QueryValue(hKey, name, nullptr, buffer.data(), &size);
    (void)m_Registry.CloseKey(hKey);
    if (status != ERROR_SUCCESS) {
        return defaultValue;
    }
    DWORD value = 0;
    std::memcpy(&value, buffer.data(), sizeof value);
    return value;
}

bool CSettingsStore::WriteRegDword(std::string_view subKey, std::string_view name,
                                   DWORD value) const {
    const HKEY hKey = OpenStoreKey(subKey);
    if (hKey == HKEY_NONE) {
        return false;
    }
    std::array<std::uint8_t, sizeof(DWORD)> bytes{};
    std::memcpy(bytes.data(), &value, sizeof value);
    const LSTATUS status = m_Registry.SetValue(hKey, name, REG_DWORD, bytes);
    (void)m_Registry.CloseKey(hKey);
    return status == ERROR_SUCCESS;
}
