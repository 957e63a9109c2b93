#include "engine/UrlList.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "store/SettingsStore.h"

CUrlList g_BlackList;
CUrlList g_WhiteList;

namespace {

// The part of an address that takes part in a comparison: everything before a zero byte.
std::string_view CompareKey(std::string_view url) {
    return url.substr(0, url.find('\0'));
}

// Generations are drawn from one counter for all lists, so that a list that is replaced by
// another never looks unchanged.
std::atomic<std::uint64_t> g_nLastGeneration{0};

}  // namespace

void CUrlList::Changed() {
    m_nGeneration = ++g_nLastGeneration;
}

void CUrlList::Add(std::string url) {
    Index(CompareKey(url), +1);
    m_Entries.push_back(std::move(url));
    Changed();
}

void CUrlList::RemoveAt(std::size_t index) {
    Index(CompareKey(m_Entries.at(index)), -1);
    m_Entries.erase(m_Entries.begin() + static_cast<std::ptrdiff_t>(index));
    Changed();
}

void CUrlList::RemoveAll() {
    m_Entries.clear();
    m_Index.clear();
    Changed();
}

bool CUrlList::Contains(std::string_view url) const {
    return m_Index.find(CompareKey(url)) != m_Index.end();
}

void CUrlList::Index(std::string_view key, int delta) {
    if (delta > 0) {
        auto it = m_Index.find(key);
        if (it == m_Index.end()) {
            m_Index.emplace(std::string(key), 1);
        } else {
            ++it->second;
        }
        return;
    }
    auto it = m_Index.find(key);
    if (it != m_Index.end() && --it->second == 0) {
        m_Index.erase(it);
    }
}

int IsInList(std::string_view url, const CUrlList& list) {
    return list.Contains(url) ? 1 : 0;
}

EListLoad ReadRegList(const CSettingsStore& store, std::string_view subKey, std::string_view name,
                      CUrlList& list) {
    IRegistry& registry = store.Registry();
    const HKEY hKey = store.OpenStoreKeyToRead(subKey);
    if (hKey == HKEY_NONE) {
        return EListLoad::Unreadable;
    }
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
    LSTATUS status = ERROR_MORE_DATA;
    // Another process may make the value longer between the two calls; a few tries outlast
    // any writer that is not rewriting it without pause.
    for (int nTry = 0; nTry < 4 && status == ERROR_MORE_DATA; ++nTry) {
        DWORD maxLength = 0;
        status = registry.QueryMaxValueDataLength(hKey, &maxLength);
        if (status == ERROR_SUCCESS) {
            // Never an empty buffer: without one, the read would only answer the length.
            DWORD size = std::max(maxLength, DWORD{1});
            data.resize(size);
            status = registry.QueryValue(hKey, name, &type, data.data(), &size);
            data.resize(size);
        }
    }
    (void)registry.CloseKey(hKey);
    if (status == ERROR_FILE_NOT_FOUND || (status == ERROR_SUCCESS && type != REG_MULTI_SZ)) {
        return EListLoad::NotStored;
    }
    if (status != ERROR_SUCCESS) {
        return EListLoad::Unreadable;
    }

    list.RemoveAll();
    std::string_view rest(reinterpret_cast<const char*>(data.data()), data.size());
    while (!rest.empty()) {
        const std::size_t end = rest.find('\0');
        const std::string_view entry = rest.substr(0, end);
        if (entry.empty()) {
            break;
        }
        list.Add(std::string(entry));
        if (end == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(end + 1);
    }
    return EListLoad::Loaded;
}

bool WriteRegList(const CSettingsStore& store, std::string_view subKey, std::string_view name,
                  const CUrlList& list) {
    const HKEY hKey = store.OpenStoreKey(subKey);
    if (hKey == HKEY_NONE) {
        return false;
    }
    std::vector<std::uint8_t> data;
    for (const std::string& entry : list.Entries()) {
        // An entry is a C string in the stored form; a zero byte inside it would split it.
        const std::string_view text = CompareKey(entry);
        data.insert(data.end(), text.begin(), text.end());
        data.push_back(0);
    }
    data.push_back(0);
    const LSTATUS status = store.Registry().SetValue(hKey, name, REG_MULTI_SZ, data);
    (void)store.Registry().CloseKey(hKey);
    return status == ERROR_SUCCESS;
}
