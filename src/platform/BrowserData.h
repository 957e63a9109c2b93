#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Result.h"

// Where the web browsers and the desktop keep the traces that the privacy cleaner erases:
// the special folders, the URL cache (cookies and cached pages), each browser profile's
// history and favourites, and the list of recently used documents. Nothing here changes
// data that a running browser holds: the browser is asked to remove it where it can be, and
// otherwise such data is answered E_SHARING_VIOLATION and left as it is. A call that fails leaves
// what it was to change as it was, and says why: E_SHARING_VIOLATION, E_FILE_CORRUPT (damaged),
// E_ACCESSDENIED (may not be changed), or another failure (input/output, no answer). Paths are
// bytes.

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

    // The user's folders of one kind, each below the base folder it belongs to (the XDG
    // cache or data folder, a browser's user-data folder), each existing as a folder when
    // every link is followed; none when the user has no such folder. There may be several:
    // one per browser profile, say.
    virtual std::vector<SDataFolder> GetSpecialFolderPaths(ESpecialFolder folder) = 0;

    // Starts a walk over the URL cache with its first entry in `*entry`. Null when the
    // cache is empty or cannot be read.
    virtual std::unique_ptr<IUrlCacheEnum> FindFirstUrlCacheEntry(SUrlCacheEntry* entry) = 0;
    // Deletes the data of one entry: S_OK; S_FALSE when there is no such data (any more);
    // E_SHARING_VIOLATION when a running browser holds it and cannot be asked to delete it;
    // another failure when it could not be deleted.
    virtual HRESULT DeleteUrlCacheEntry(const std::string& strSourceUrlName) = 0;

    // The browser profiles that keep a history or favourites of their own, each by its name
    // in words for the user, in a stable order.
    virtual std::vector<std::string> GetBrowserProfiles() = 0;
    // Empties a profile's history and leaves its store valid: S_OK; S_FALSE when the
    // profile has no history (any more); E_SHARING_VIOLATION while the browser runs with
    // it and cannot be asked to clear it; another failure when it could not be cleared.
    virtual HRESULT ClearHistory(const std::string& strProfile) = 0;
    // The files that hold a profile's favourites, to be deleted: S_OK, possibly with none;
    // S_FALSE, with none, when the profile is gone. While the browser runs with the profile
    // (it would write them back): S_OK, with none, when it has removed them itself on being
    // asked, a failure when it could not; E_SHARING_VIOLATION, with none, when it cannot be
    // asked.
    virtual HRESULT FindFavoriteFiles(const std::string& strProfile,
                                      std::vector<std::string>* files) = 0;

    // Empties the desktop's list of recently used documents, leaving a valid empty list
    // where there was one: S_OK; S_FALSE when there is no list; a failure when it could not
    // be written.
    virtual HRESULT ClearRecentDocs() = 0;
};
