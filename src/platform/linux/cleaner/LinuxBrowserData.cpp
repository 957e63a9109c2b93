#include "platform/linux/cleaner/LinuxBrowserData.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string_view>
#include <tuple>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/linux/AtomicFile.h"
#include "platform/linux/XdgDirs.h"
#include "platform/linux/cleaner/DevToolsDataCleaner.h"
#include "platform/linux/cleaner/SqliteDatabase.h"

namespace fs = std::filesystem;

namespace {

constexpr char kCookiesKey[] = "cookies:";
constexpr char kCacheKey[] = "cache:";
// Follows kCookiesKey or kCacheKey for a profile known by its extension alone.
constexpr char kExtensionKey[] = "extension:";
// The type of an ordinary URL cache entry.
constexpr std::uint32_t NORMAL_CACHE_ENTRY = 0x00000001;

// The tables of a browser's history database that hold what was visited, searched and
// downloaded. The others (its version, its sync state) stay, so the browser takes the
// emptied database as its own.
const std::vector<std::string> kHistoryTables = {
    "urls",
    "visits",
    "visit_source",
    "keyword_search_terms",
    "segments",
    "segment_usage",
    "downloads",
    "downloads_url_chains",
    "downloads_slices",
    "content_annotations",
    "context_annotations",
    "clusters",
    "clusters_and_visits",
    "cluster_keywords",
    "cluster_visit_duplicates",
    "visited_links",
};
// What brings the visited sites back in the address bar and on the New Tab page: their
// icons, the most visited and the typed shortcuts, and the predictions made from them.
const std::vector<CSqliteDatabase::SFileStatements> kHistoryFiles = {
    {"History", CSqliteDatabase::DeleteAllFrom(kHistoryTables)},
    {"Favicons", CSqliteDatabase::DeleteAllFrom({"favicons", "favicon_bitmaps", "icon_mapping"})},
    {"Top Sites", CSqliteDatabase::DeleteAllFrom({"top_sites", "thumbnails"})},
    {"Shortcuts", CSqliteDatabase::DeleteAllFrom({"omni_box_shortcuts"})},
    {"Network Action Predictor",
     CSqliteDatabase::DeleteAllFrom(
         {"network_action_predictor", "resource_prefetch_predictor_host_redirect",
          "resource_prefetch_predictor_origin", "resource_prefetch_predictor_url",
          "lcp_critical_path_predictor", "lcp_critical_path_predictor_initiator_origin"})},
};

// Where a profile's cookies are: older browsers keep them in the profile, newer ones in
// its "Network" folder.
const std::vector<CSqliteDatabase::SFileStatements> kCookieFiles = {
    {"Cookies", CSqliteDatabase::DeleteAllFrom({"cookies"})},
    {"Network/Cookies", CSqliteDatabase::DeleteAllFrom({"cookies"})},
};
// The site storage that goes with the cookies, and the open tabs and windows that go with
// the history: emptied as data folders, only while the browser is closed.
constexpr std::array<const char*, 3> kSiteStorageFolders = {"Local Storage", "IndexedDB",
                                                            "Service Worker"};
constexpr std::array<const char*, 1> kSessionFolders = {"Sessions"};
constexpr std::array<const char*, 4> kBookmarkFiles = {
    "Bookmarks", "Bookmarks.bak", "Account Bookmarks", "Account Bookmarks.bak"};
constexpr std::array<const char*, 2> kCacheFolders = {"Cache/Cache_Data", "Code Cache"};

// "Local State" of a browser with many profiles can grow large, but not this large.
constexpr std::streamsize kLocalStateMax = std::streamsize{16} * 1024 * 1024;

// What GLib writes for a list without bookmarks.
constexpr char kEmptyXbel[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<xbel version=\"1.0\"\n"
    "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
    "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n"
    ">\n"
    "</xbel>\n";

bool Exists(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool IsFolder(const fs::path& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

// The profile a browser runs with: the one it used last, which it records at its start.
std::string LastUsedProfile(const fs::path& userDataDir) {
    std::ifstream in(userDataDir / "Local State", std::ios::binary);
    std::string text(static_cast<std::size_t>(kLocalStateMax) + 1, '\0');
    in.read(text.data(), kLocalStateMax + 1);
    if (in.gcount() <= kLocalStateMax) {
        text.resize(static_cast<std::size_t>(in.gcount()));
        const nlohmann::json state = nlohmann::json::parse(text, nullptr, false);
        if (state.is_object() && state.contains("profile") && state["profile"].is_object()) {
            const nlohmann::json& lastUsed = state["profile"].value("last_used", nlohmann::json());
            if (lastUsed.is_string() && !lastUsed.get<std::string>().empty()) {
                return lastUsed.get<std::string>();
            }
        }
    }
    return "Default";
}

// Where the browser puts a profile's caches: under the XDG cache folder when its user-data
// folder lies in the XDG config folder, else in the profile itself. Answers the base folder
// and the path below it.
std::pair<fs::path, fs::path> CacheDirOf(const fs::path& profileDir, const fs::path& userDataDir,
                                         const fs::path& configHome, const fs::path& cacheHome) {
    if (!configHome.empty() && !cacheHome.empty()) {
        const fs::path relative = userDataDir.lexically_relative(configHome);
        if (!relative.empty() && *relative.begin() != "..") {
            return {cacheHome, relative / profileDir.filename()};
        }
    }
    return {userDataDir, profileDir.filename()};
}

// The browser names its profile folders "Default" and "Profile <n>"; one started with a
// folder of another name has written its settings there by the time it closes.
bool IsProfileDir(const fs::path& dir) {
    const std::string name = dir.filename().string();
    std::error_code ec;
    return name == "Default" || name.starts_with("Profile ") ||
           fs::is_regular_file(dir / "Preferences", ec);
}

// The process of this machine that holds the browser lock of `userDataDir`, by its lock alone
// (it may have ended); -1 when the lock names no such process (another machine's, unreadable);
// nothing when there is no lock.
std::optional<pid_t> ReadBrowserLock(const fs::path& userDataDir) {
    std::array<char, 256> target{};
    const ssize_t nLength =
        ::readlink((userDataDir / "SingletonLock").c_str(), target.data(), target.size() - 1);
    if (nLength < 0) {
        // No lock, or no folder: nothing runs there. Anything else cannot be told apart
        // from a browser that runs.
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::nullopt;
        }
        return -1;
    }
    const std::string_view lock(target.data(), static_cast<std::size_t>(nLength));
    const std::size_t dash = lock.rfind('-');
    std::array<char, HOST_NAME_MAX + 1> host{};
    if (dash == std::string_view::npos || ::gethostname(host.data(), host.size() - 1) != 0 ||
        lock.substr(0, dash) != host.data()) {
        // A browser on another machine sharing this home folder.
        return -1;
    }
    const std::string_view digits = lock.substr(dash + 1);
    if (digits.empty() || digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return -1;
    }
    return static_cast<pid_t>(std::stol(std::string(digits)));
}

// The one browser connected through its extension that runs with `profileDir`: the process
// holding the lock of its user-data folder, if that runs with it (uses it last). Two
// connections of that process are two of its profiles, not told apart here.
std::optional<SExtensionPeer> MatchedPeer(const fs::path& profileDir, const fs::path& userDataDir,
                                          const std::vector<SExtensionPeer>& peers) {
    const std::optional<pid_t> holder = ReadBrowserLock(userDataDir);
    if (!holder || *holder <= 0 || LastUsedProfile(userDataDir) != profileDir.filename()) {
        return std::nullopt;
    }
    std::optional<SExtensionPeer> matched;
    for (const SExtensionPeer& peer : peers) {
        if (peer.browserPid == *holder) {
            if (matched) {
                return std::nullopt;
            }
            matched = peer;
        }
    }
    return matched;
}

// A failed change to a file, in the terms of IBrowserData.
HRESULT FromErrno(int nError) {
    return nError == EACCES || nError == EPERM || nError == EROFS ? E_ACCESSDENIED : E_FAIL;
}

class CUrlCacheSnapshot final : public IUrlCacheEnum {
public:
    explicit CUrlCacheSnapshot(std::vector<SUrlCacheEntry> entries)
        : m_entries(std::move(entries)) {}

    bool FindNextUrlCacheEntry(SUrlCacheEntry* entry) override {
        if (m_nNext >= m_entries.size()) {
            return false;
        }
        *entry = m_entries[m_nNext++];
        return true;
    }

private:
    std::vector<SUrlCacheEntry> m_entries;
    std::size_t m_nNext = 1;
};

}  // namespace

CLinuxBrowserData::CLinuxBrowserData(std::vector<SBrowserUserData> browsers, SFolders folders,
                                     std::chrono::milliseconds timeout,
                                     std::shared_ptr<CExtensionRequests> pExtensions,
                                     std::vector<SFirefoxInstall> firefox)
    : m_browsers(std::move(browsers)),
      m_folders(std::move(folders)),
      m_timeout(timeout),
      m_pExtensions(std::move(pExtensions)),
      m_firefox(std::move(firefox)) {}

CLinuxBrowserData CLinuxBrowserData::FromEnvironment(
    std::shared_ptr<CExtensionRequests> pExtensions) {
    const char* home = std::getenv("HOME");
    const char* xdgConfig = std::getenv("XDG_CONFIG_HOME");
    const char* xdgData = std::getenv("XDG_DATA_HOME");
    SFolders folders{
        XdgBaseDir(xdgConfig, home, ".config"),
        XdgBaseDir(std::getenv("XDG_CACHE_HOME"), home, ".cache"),
        XdgBaseDir(xdgData, home, ".local/share"),
    };
    std::vector<SFirefoxInstall> firefox = CFirefoxProfiles::KnownInstalls(
        home != nullptr && home[0] == '/' ? fs::path(home) : fs::path(), folders.configHome,
        folders.cacheHome);
    // Clearing a big cookie store can take the browser a moment.
    return {CDevToolsDiscovery::KnownBrowsers(home, xdgConfig, xdgData), std::move(folders),
            std::chrono::seconds(5), std::move(pExtensions), std::move(firefox)};
}

bool CLinuxBrowserData::IsBrowserLocked(const fs::path& userDataDir) {
    const std::optional<pid_t> holder = ReadBrowserLock(userDataDir);
    return holder && (*holder < 0 || (*holder > 0 && (::kill(*holder, 0) == 0 || errno == EPERM)));
}

std::vector<CLinuxBrowserData::SProfile> CLinuxBrowserData::FindProfiles() const {
    std::vector<SProfile> profiles;
    for (const SBrowserUserData& browser : m_browsers) {
        std::error_code ec;
        std::vector<fs::path> dirs;
        for (fs::directory_iterator it(browser.dir, ec), end; !ec && it != end; it.increment(ec)) {
            if (!it->is_symlink(ec) && it->is_directory(ec) && IsProfileDir(it->path())) {
                dirs.push_back(it->path());
            }
        }
        std::sort(dirs.begin(), dirs.end());
        for (fs::path& dir : dirs) {
            SProfile profile;
            profile.strName = browser.strName + " (" + dir.filename().string() + ")";
            profile.userDataDir = browser.dir;
            std::tie(profile.cacheRoot, profile.cacheBelow) =
                CacheDirOf(dir, browser.dir, m_folders.configHome, m_folders.cacheHome);
            profile.dir = std::move(dir);
            profiles.push_back(std::move(profile));
        }
    }
    if (m_pExtensions) {
        std::vector<SExtensionPeer> peers = m_pExtensions->Peers();
        for (SProfile& profile : profiles) {
            profile.extension = MatchedPeer(profile.dir, profile.userDataDir, peers);
            if (profile.extension) {
                std::erase_if(peers, [&](const SExtensionPeer& peer) {
                    return peer.nKey == profile.extension->nKey;
                });
            }
        }
        for (SExtensionPeer& peer : peers) {
            SProfile profile;
            profile.strName = peer.strName + " (" + peer.strProfile.substr(0, 8) + ")";
            profile.extension = std::move(peer);
            profiles.push_back(std::move(profile));
        }
    }
    return profiles;
}

std::optional<CLinuxBrowserData::SProfile> CLinuxBrowserData::FindProfile(
    const std::string& strName) const {
    for (SProfile& profile : FindProfiles()) {
        if (profile.strName == strName) {
            return std::move(profile);
        }
    }
    return std::nullopt;
}

std::optional<CFirefoxProfiles::SProfile> CLinuxBrowserData::FindFirefoxProfile(
    const std::string& strName) const {
    for (CFirefoxProfiles::SProfile& profile : m_firefox.Find()) {
        if (profile.strName == strName) {
            return std::move(profile);
        }
    }
    return std::nullopt;
}

bool CLinuxBrowserData::IsCleanedThroughExtension(const fs::path& dir) const {
    pid_t holder = 0;
    if (!m_pExtensions || !CFirefoxProfiles::IsInUse(dir, &holder) || holder <= 0) {
        return false;
    }
    const std::vector<SExtensionPeer> peers = m_pExtensions->Peers();
    return std::any_of(peers.begin(), peers.end(),
                       [holder](const SExtensionPeer& peer) { return peer.browserPid == holder; });
}

void CLinuxBrowserData::ClosedProfileFolders(std::span<const char* const> names,
                                             std::vector<SDataFolder>* folders) const {
    for (const SProfile& profile : FindProfiles()) {
        CDevToolsDataCleaner cleaner(m_timeout);
        if (ProfileUse(profile, &cleaner) != EUse::Closed) {
            continue;
        }
        for (const char* name : names) {
            if (IsFolder(profile.dir / name)) {
                folders->push_back(
                    {profile.userDataDir.string(), (profile.dir.filename() / name).string()});
            }
        }
    }
}

CLinuxBrowserData::EUse CLinuxBrowserData::ProfileUse(const SProfile& profile,
                                                      CDevToolsDataCleaner* pCleaner) const {
    // The extension can do all that DevTools can, and more.
    if (profile.extension) {
        return EUse::Extension;
    }
    if (pCleaner->Connect(profile.userDataDir)) {
        return LastUsedProfile(profile.userDataDir) == profile.dir.filename() ? EUse::Reachable
                                                                              : EUse::Held;
    }
    return IsBrowserLocked(profile.userDataDir) ? EUse::Held : EUse::Closed;
}

HRESULT CLinuxBrowserData::ClearThroughExtension(const SProfile& profile,
                                                 CExtensionDataCleaner::EData data) const {
    return CExtensionDataCleaner(*m_pExtensions, profile.extension->nKey, kExtensionTimeout)
        .Clear(data);
}

std::string CLinuxBrowserData::KeyOf(const SProfile& profile) {
    return profile.dir.empty() ? kExtensionKey + profile.extension->strProfile
                               : profile.dir.string();
}

std::vector<SDataFolder> CLinuxBrowserData::GetSpecialFolderPaths(ESpecialFolder folder) {
    std::vector<SDataFolder> folders;
    switch (folder) {
        case ESpecialFolder::InternetCache:
            for (const SProfile& profile : FindProfiles()) {
                if (profile.dir.empty()) {
                    continue;  // known by its extension alone
                }
                for (const char* name : kCacheFolders) {
                    if (IsFolder(profile.cacheRoot / profile.cacheBelow / name)) {
                        folders.push_back(
                            {profile.cacheRoot.string(), (profile.cacheBelow / name).string()});
                    }
                }
            }
            for (const CFirefoxProfiles::SProfile& profile : m_firefox.Find()) {
                if (IsFolder(profile.cache.Path())) {
                    folders.push_back(profile.cache);
                }
            }
            break;
        case ESpecialFolder::Recent:
            if (!m_folders.dataHome.empty() && IsFolder(m_folders.dataHome / "RecentDocuments")) {
                folders.push_back({m_folders.dataHome.string(), "RecentDocuments"});
            }
            break;
        case ESpecialFolder::Cookies:
            ClosedProfileFolders(kSiteStorageFolders, &folders);
            break;
        case ESpecialFolder::History:
            ClosedProfileFolders(kSessionFolders, &folders);
            break;
        case ESpecialFolder::Favorites:
            // Browsers keep bookmarks in files of their profiles.
            break;
    }
    return folders;
}

std::unique_ptr<IUrlCacheEnum> CLinuxBrowserData::FindFirstUrlCacheEntry(SUrlCacheEntry* entry) {
    std::vector<SUrlCacheEntry> entries;
    for (const SProfile& profile : FindProfiles()) {
        entries.push_back({kCookiesKey + KeyOf(profile), COOKIE_CACHE_ENTRY, profile.strName});
        CDevToolsDataCleaner cleaner(m_timeout);
        const EUse use = ProfileUse(profile, &cleaner);
        if (use == EUse::Reachable || use == EUse::Extension) {
            entries.push_back({kCacheKey + KeyOf(profile), NORMAL_CACHE_ENTRY, profile.strName});
        }
    }
    for (const CFirefoxProfiles::SProfile& profile : m_firefox.Find()) {
        entries.push_back(
            {kCookiesKey + profile.dir.string(), COOKIE_CACHE_ENTRY, profile.strName});
    }
    if (entries.empty()) {
        return nullptr;
    }
    *entry = entries.front();
    return std::make_unique<CUrlCacheSnapshot>(std::move(entries));
}

HRESULT CLinuxBrowserData::DeleteUrlCacheEntry(const std::string& strSourceUrlName) {
    const bool bCookies = strSourceUrlName.starts_with(kCookiesKey);
    if (!bCookies && !strSourceUrlName.starts_with(kCacheKey)) {
        return E_INVALIDARG;
    }
    const std::string key =
        strSourceUrlName.substr(bCookies ? sizeof kCookiesKey - 1 : sizeof kCacheKey - 1);
    const std::vector<SProfile> profiles = FindProfiles();
    auto profile = std::find_if(profiles.begin(), profiles.end(),
                                [&key](const SProfile& known) { return KeyOf(known) == key; });
    if (profile == profiles.end()) {
        const std::vector<CFirefoxProfiles::SProfile> firefox = m_firefox.Find();
        const bool bFirefox = std::any_of(
            firefox.begin(), firefox.end(),
            [&key](const CFirefoxProfiles::SProfile& known) { return known.dir == key; });
        return bFirefox && bCookies && !IsCleanedThroughExtension(key)
                   ? CFirefoxProfiles::ClearCookies(key)
                   : S_FALSE;
    }
    CDevToolsDataCleaner cleaner(m_timeout);
    const EUse use = ProfileUse(*profile, &cleaner);
    if (use == EUse::Extension) {
        return ClearThroughExtension(*profile, bCookies ? CExtensionDataCleaner::EData::Cookies
                                                        : CExtensionDataCleaner::EData::Cache);
    }
    if (!bCookies) {
        // A browser that is not running keeps no cache but its files.
        return use == EUse::Reachable ? cleaner.ClearCache() : S_OK;
    }
    if (use == EUse::Reachable) {
        return SUCCEEDED(cleaner.ClearCookies()) ? S_OK : E_SHARING_VIOLATION;
    }
    if (use == EUse::Held) {
        return E_SHARING_VIOLATION;
    }
    const HRESULT hr = CSqliteDatabase::RunOnFiles(profile->dir, kCookieFiles);
    return hr == S_FALSE ? S_OK : hr;
}

std::vector<std::string> CLinuxBrowserData::GetBrowserProfiles() {
    std::vector<std::string> names;
    for (SProfile& profile : FindProfiles()) {
        names.push_back(std::move(profile.strName));
    }
    for (CFirefoxProfiles::SProfile& profile : m_firefox.Find()) {
        names.push_back(std::move(profile.strName));
    }
    return names;
}

HRESULT CLinuxBrowserData::ClearHistory(const std::string& strProfile) {
    const std::optional<SProfile> profile = FindProfile(strProfile);
    if (!profile) {
        const auto firefox = FindFirefoxProfile(strProfile);
        return firefox && !IsCleanedThroughExtension(firefox->dir)
                   ? CFirefoxProfiles::ClearHistory(firefox->dir)
                   : S_FALSE;
    }
    CDevToolsDataCleaner cleaner(m_timeout);
    const EUse use = ProfileUse(*profile, &cleaner);
    if (use == EUse::Extension) {
        return ClearThroughExtension(*profile, CExtensionDataCleaner::EData::History);
    }
    if (use != EUse::Closed) {
        // Without its extension, the browser offers no way to clear its history from outside.
        return E_SHARING_VIOLATION;
    }
    const HRESULT hr = CSqliteDatabase::RunOnFiles(profile->dir, kHistoryFiles);
    if (hr != E_SHARING_VIOLATION) {
        // The browser builds the file anew from the history at its next start.
        ::unlink((profile->dir / "Visited Links").c_str());
    }
    return hr;
}

HRESULT CLinuxBrowserData::FindFavoriteFiles(const std::string& strProfile,
                                             std::vector<std::string>* files) {
    files->clear();
    const std::optional<SProfile> profile = FindProfile(strProfile);
    if (!profile) {
        const auto firefox = FindFirefoxProfile(strProfile);
        return firefox && !IsCleanedThroughExtension(firefox->dir)
                   ? CFirefoxProfiles::ClearFavorites(firefox->dir, files)
                   : S_FALSE;
    }
    CDevToolsDataCleaner cleaner(m_timeout);
    const EUse use = ProfileUse(*profile, &cleaner);
    if (use == EUse::Extension) {
        // The browser removes them itself, and no file is left to delete.
        return ClearThroughExtension(*profile, CExtensionDataCleaner::EData::Favorites);
    }
    if (use != EUse::Closed) {
        return E_SHARING_VIOLATION;
    }
    for (const char* name : kBookmarkFiles) {
        std::error_code ec;
        if (Exists(profile->dir / name) &&
            !fs::is_directory(fs::symlink_status(profile->dir / name, ec))) {
            files->push_back((profile->dir / name).string());
        }
    }
    return S_OK;
}

HRESULT CLinuxBrowserData::ClearRecentDocs() {
    if (m_folders.dataHome.empty()) {
        return S_FALSE;
    }
    const fs::path list = m_folders.dataHome / "recently-used.xbel";
    struct stat st {};
    // A link (to /dev/null, say, to keep no list at all) is the user's choice: left alone.
    if (::lstat(list.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return S_FALSE;
    }
    const int nError =
        CAtomicFile::Replace(list, ".recently-used.xbel.", kEmptyXbel, st.st_mode & 07777);
    return nError == 0 ? S_OK : FromErrno(nError);
}
