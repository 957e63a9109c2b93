#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Result.h"

// Where the web browsers and the desktop keep the traces that the privacy cleaner erases:
// the special folders, the URL cache (cookies and cached pages), each browser profile's
// history and favourites, and the list of recently used documents. Nothing here changes
// data that a running browser holds: such data is answered E_SHARING_VIOLATION and left
// as it is. Paths are bytes.

// Special folders, by their shell folder ids.
enum class ESpecialFolder : int {
    Favorites = 0x06,
    Recent = 0x08,
    InternetCache = 0x20,
    Cookies = 0x21,
};

// The type bit of a cookie entry of the URL cache.
inline constexpr std::uint32_t COOKIE_CACHE_ENTRY = 0x00100000;

struct SUrlCacheEntry {
    // The key by which the entry is deleted.
    std::string strSourceUrlName;
    std::uint32_t nCacheEntryType = 0;
    // Whose data the entry is, in words for the user: "Chromium (Default)".
    std::string strOwner;
};

// A walk over the URL cache, started by IBrowserData::FindFirstUrlCacheEntry and closed
// when the object goes.
class IUrlCacheEnum {
public:
    virtual ~IUrlCacheEnum() = default;

    // The next entry. False at the end, or when the entry cannot be read, which ends the
    // walk: the entries after it are not visited.
    virtual bool FindNextUrlCacheEntry(SUrlCacheEntry* entry) = 0;
};

class IBrowserData {
public:
    virtual ~IBrowserData() = default;

    // The user's folders of one kind, each an existing folder; none when the user has no
    // such folder. There may be several: one per browser profile, say.
    virtual std::vector<std::string> GetSpecialFolderPaths(ESpecialFolder folder) = 0;

    // Whether `folder`, once every link in it is resolved, is one of the folders that
    // GetSpecialFolderPaths hands out; `*resolved` gets the resolved path. False for a
    // folder that resolves to the root folder or to the user's home folder, whatever hands
    // it out, and for one that does not exist.
    virtual bool ResolveDataFolder(const std::string& folder, std::string* resolved) = 0;

    // Starts a walk over the URL cache with its first entry in `*entry`. Null when the
    // cache is empty or cannot be read.
    virtual std::unique_ptr<IUrlCacheEnum> FindFirstUrlCacheEntry(SUrlCacheEntry* entry) = 0;
    // Deletes the data of one entry: S_OK; E_SHARING_VIOLATION when a running browser holds
    // it and cannot be asked to delete it; another failure when it could not be deleted.
    virtual HRESULT DeleteUrlCacheEntry(const std::string& strSourceUrlName) = 0;

    // The browser profiles that keep a history or favourites of their own, each by its name
    // in words for the user, in a stable order.
    virtual std::vector<std::string> GetBrowserProfiles() = 0;
    // Empties a profile's history and leaves its store valid: S_OK; E_SHARING_VIOLATION
    // while the browser runs with it; another failure when it has no history or it could
    // not be cleared (then it is as it was).
    virtual HRESULT ClearHistory(const std::string& strProfile) = 0;
    // The files that hold a profile's favourites, to be deleted: S_OK, possibly with none;
    // E_SHARING_VIOLATION, with none, while the browser runs with the profile (it would
    // write them back).
    virtual HRESULT FindFavoriteFiles(const std::string& strProfile,
                                      std::vector<std::string>* files) = 0;

    // Empties the desktop's list of recently used documents, leaving a valid empty list
    // where there was one. S_OK also when there is no list.
    virtual HRESULT ClearRecentDocs() = 0;
};
