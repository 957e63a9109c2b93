#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/BrowserData.h"
#include "platform/linux/bridge/ExtensionRequests.h"
#include "platform/linux/cleaner/ExtensionDataCleaner.h"
#include "platform/linux/devtools/DevToolsDiscovery.h"

class CDevToolsDataCleaner;

// The data of the user's Chromium-family browsers and of the desktop, on Linux.
//
// - Profiles: the folders "Default" and "Profile <n>" of a browser's user-data folder, and
//   any other that holds "Preferences", each named "<browser> (<folder>)".
// - A profile is in use while its browser runs: while a live process holds the browser's
//   own lock ("SingletonLock", a link to "<host>-<pid>"; a lock of another host counts as
//   live), or while a browser answers on the folder's DevTools port. A profile in use is
//   never opened; its browser is asked instead for the profile it runs with (the last one
//   used): through its companion extension when the process holding the lock is connected
//   once, for everything; else over DevTools where it has that service, for cookies and
//   cache. Otherwise the data is left.
// - A browser connected through its extension that no profile here is matched with (Firefox,
//   say) is a profile of its own, "<browser as the extension names it> (<its profile id>)",
//   cleaned through the extension alone.
// - URL cache: per profile one cookie entry ("Cookies" databases; Storage.clearCookies for
//   a running browser) and, while its browser answers over DevTools, one cache entry
//   (Network.clearBrowserCache); the cached files on disk go with the cache folders.
// - Special folders: the cache folders "Cache/Cache_Data" and "Code Cache" of each profile
//   (below the XDG cache folder for a user-data folder in the XDG config folder, else
//   below the user-data folder, in the profile itself, where the browser puts them); the
//   recent folder "RecentDocuments" below the XDG data folder. There is no cookies or
//   favourites folder.
// - History: the history tables of "History" and the "Visited Links" file; through the
//   extension, the history and the list of downloads.
// - Favourites: the bookmark files; through the extension, every bookmark the user made.
// - Recent documents list: "<XDG data>/recently-used.xbel", written back as an empty list.
//
// Keeps no state between calls, so calls may come from several threads at once.
class CLinuxBrowserData final : public IBrowserData {
public:
    // The user's base folders.
    struct SFolders {
        std::filesystem::path configHome;
        std::filesystem::path cacheHome;
        std::filesystem::path dataHome;
    };

    // How long a browser may take to remove one kind of data through its extension.
    static constexpr std::chrono::milliseconds kExtensionTimeout{15000};

    // `browsers` are the user-data folders looked at; `timeout` bounds each DevTools call;
    // `pExtensions`, when given, reaches the browsers connected through their extension.
    CLinuxBrowserData(std::vector<SBrowserUserData> browsers, SFolders folders,
                      std::chrono::milliseconds timeout,
                      std::shared_ptr<CExtensionRequests> pExtensions = nullptr);

    // The known browsers and the base folders of this process's environment.
    static CLinuxBrowserData FromEnvironment(
        std::shared_ptr<CExtensionRequests> pExtensions = nullptr);

    std::vector<SDataFolder> GetSpecialFolderPaths(ESpecialFolder folder) override;
    std::unique_ptr<IUrlCacheEnum> FindFirstUrlCacheEntry(SUrlCacheEntry* entry) override;
    HRESULT DeleteUrlCacheEntry(const std::string& strSourceUrlName) override;
    std::vector<std::string> GetBrowserProfiles() override;
    HRESULT ClearHistory(const std::string& strProfile) override;
    HRESULT FindFavoriteFiles(const std::string& strProfile,
                              std::vector<std::string>* files) override;
    HRESULT ClearRecentDocs() override;

    // Whether a live process holds the browser lock of `userDataDir`.
    static bool IsBrowserLocked(const std::filesystem::path& userDataDir);

private:
    struct SProfile {
        std::string strName;
        std::filesystem::path userDataDir;
        std::filesystem::path dir;
        // Where the browser keeps the profile's cache folders: below `cacheRoot`, at
        // `cacheBelow`.
        std::filesystem::path cacheRoot;
        std::filesystem::path cacheBelow;
        // The browser running with the profile, connected through its extension. A profile of
        // its own has nothing but its name and this.
        std::optional<SExtensionPeer> extension;
    };
    enum class EUse {
        Closed,
        // Running, with `cleaner` connected to the browser, which runs with this profile.
        Reachable,
        // Running, connected through its extension, with this profile.
        Extension,
        // Running, and out of reach.
        Held,
    };

    std::vector<SProfile> FindProfiles() const;
    std::optional<SProfile> FindProfile(const std::string& strName) const;
    EUse ProfileUse(const SProfile& profile, CDevToolsDataCleaner* pCleaner) const;
    HRESULT ClearThroughExtension(const SProfile& profile, CExtensionDataCleaner::EData data) const;
    // What names the profile in the URL cache entries' keys.
    static std::string KeyOf(const SProfile& profile);

    std::vector<SBrowserUserData> m_browsers;
    SFolders m_folders;
    std::chrono::milliseconds m_timeout;
    std::shared_ptr<CExtensionRequests> m_pExtensions;
};
