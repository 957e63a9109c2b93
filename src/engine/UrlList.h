#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CSettingsStore;

// An ordered list of addresses (8-bit strings, kept as given) in insertion order. It
// enforces nothing: duplicates and empty entries are allowed. Membership is answered from
// a hash index kept beside the entries, so a lookup costs the same for ten entries or a
// hundred thousand.
class CUrlList {
public:
    void Add(std::string url);
    void RemoveAt(std::size_t index);
    void RemoveAll();

    std::size_t GetCount() const { return m_Entries.size(); }
    const std::string& GetAt(std::size_t index) const { return m_Entries.at(index); }
    const std::vector<std::string>& Entries() const { return m_Entries; }

    // Whether some entry is the very same string as `url`: byte for byte, letter case
    // significant, no normalisation. Like the C string comparison the lists have always
    // used, bytes from a zero byte on take no part.
    bool Contains(std::string_view url) const;

private:
    struct CHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    void Index(std::string_view key, int delta);

    std::vector<std::string> m_Entries;
    // Entry text (up to a zero byte) -> number of entries with that text.
    std::unordered_map<std::string, std::size_t, CHash, std::equal_to<>> m_Index;
};

// The black list (always closed) and the white list (spared from the pop-up rule), shared
// by the scan and the pages for the whole run.
extern CUrlList g_BlackList;
extern CUrlList g_WhiteList;

// 1 when `list` holds an entry equal to `url`, else 0.
int IsInList(std::string_view url, const CUrlList& list);

// What a load found in the store.
enum class EListLoad {
    // The stored list, now in `list`.
    Loaded,
    // No list is stored: no value, or one of another type. Saving one loses nothing.
    NotStored,
    // A list may be stored but could not be read (the store could not be opened or read, or
    // had parts it could not read): saving over it would lose it.
    Unreadable,
};

// Loads a REG_MULTI_SZ value of a store subkey into `list`, replacing its entries, up to
// the first empty entry or the end of the data. Unless Loaded, the list is left as it was.
EListLoad ReadRegList(const CSettingsStore& store, std::string_view subKey, std::string_view name,
                      CUrlList& list);
// Stores `list` as REG_MULTI_SZ: every entry and a zero byte, then one more zero byte.
bool WriteRegList(const CSettingsStore& store, std::string_view subKey, std::string_view name,
                  const CUrlList& list);
