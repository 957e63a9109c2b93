#include "pages/RegistryKey.h"

#include <algorithm>

#include "platform/AutostartEntry.h"

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&lower](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

CRegistryKey::~CRegistryKey() {
    Close();
}

bool CRegistryKey::Open(HKEY hRoot, std::string_view path) {
    m_strPath = path;
    m_bOpen = hRoot == HKEY_LOCAL_MACHINE && EqualsNoCase(path, REGKEY_RUN);
    return m_bOpen;
}

bool CRegistryKey::SetString(std::string_view name, std::string_view text) {
    if (!m_bOpen || !EqualsNoCase(name, REGVAL_RUN)) {
        return false;
    }
    return text.empty() ? m_Autostart.SetEmpty() : m_Autostart.Set(text);
}
