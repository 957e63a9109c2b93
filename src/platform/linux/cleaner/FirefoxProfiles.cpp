#include "platform/linux/cleaner/FirefoxProfiles.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <set>
#include <string_view>
#include <utility>

#include "platform/linux/UniqueFd.h"
#include "platform/linux/cleaner/SqliteDatabase.h"

namespace fs = std::filesystem;

namespace {

using SStatement = CSqliteDatabase::SStatement;

// A "profiles.ini" lists a few profiles; one this large is none.
constexpr std::streamsize kProfilesIniMax = std::streamsize{1024} * 1024;

// What goes with the places that are deleted: their page data and their origins.
const std::vector<SStatement> kOrphanStatements = {
    {"moz_places_extra",
     "DELETE FROM moz_places_extra WHERE place_id NOT IN "
     "(SELECT id FROM moz_places)"},
    {"moz_annos", "DELETE FROM moz_annos WHERE place_id NOT IN (SELECT id FROM moz_places)"},
    {"moz_newtab_shortcuts_interaction",
     "DELETE FROM moz_newtab_shortcuts_interaction WHERE place_id NOT IN "
     "(SELECT id FROM moz_places)"},
    {"moz_origins",
     "DELETE FROM moz_origins WHERE id NOT IN "
     "(SELECT origin_id FROM moz_places WHERE origin_id IS NOT NULL)"},
};

std::vector<SStatement> WithOrphans(std::vector<SStatement> statements) {
    statements.insert(statements.end(), kOrphanStatements.begin(), kOrphanStatements.end());
    return statements;
}

// The history, without the places a bookmark or a keyword refers to: those stay, with no
// visit left.
const std::vector<CSqliteDatabase::SFileStatements> kHistoryFiles = {
    {"places.sqlite",
     WithOrphans({
         {"moz_historyvisits_extra", "DELETE FROM moz_historyvisits_extra"},
         {"moz_historyvisits", "DELETE FROM moz_historyvisits"},
         {"moz_inputhistory", "DELETE FROM moz_inputhistory"},
         {"moz_places_metadata", "DELETE FROM moz_places_metadata"},
         {"moz_places_metadata_search_queries", "DELETE FROM moz_places_metadata_search_queries"},
         {"moz_places",
          "DELETE FROM moz_places WHERE foreign_count = 0 AND id NOT IN "
          "(SELECT fk FROM moz_bookmarks WHERE fk IS NOT NULL)"},
         {"moz_places", "UPDATE moz_places SET visit_count = 0, last_visit_date = NULL, typed = 0"},
     })},
    {"favicons.sqlite",
     CSqliteDatabase::DeleteAllFrom({"moz_icons_to_pages", "moz_pages_w_icons", "moz_icons"})},
};

// Every bookmark but the browser's root folders, the keywords, and the places that only a
// bookmark kept.
const std::vector<CSqliteDatabase::SFileStatements> kFavoriteFiles = {
    {"places.sqlite",
     WithOrphans({
         {"moz_bookmarks",
          "DELETE FROM moz_bookmarks WHERE guid NOT IN ('root________', 'menu________', "
          "'toolbar_____', 'unfiled_____', 'mobile______', 'tags________')"},
         {"moz_keywords", "DELETE FROM moz_keywords"},
         {"moz_items_annos",
          "DELETE FROM moz_items_annos WHERE item_id NOT IN (SELECT id FROM moz_bookmarks)"},
         {"moz_places", "UPDATE moz_places SET foreign_count = 0"},
         {"moz_places",
          "DELETE FROM moz_places WHERE id NOT IN "
          "(SELECT place_id FROM moz_historyvisits)"},
     })},
};

const std::vector<CSqliteDatabase::SFileStatements> kCookieFiles = {
    {"cookies.sqlite", CSqliteDatabase::DeleteAllFrom({"moz_cookies"})},
};

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

struct SIniProfile {
    std::string strName;
    std::string strPath;
    bool bRelative = true;
};

// The [Profile<n>] sections of a "profiles.ini" that name a folder.
std::vector<SIniProfile> ReadProfilesIni(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text(static_cast<std::size_t>(kProfilesIniMax) + 1, '\0');
    in.read(text.data(), kProfilesIniMax + 1);
    if (in.gcount() > kProfilesIniMax) {
        return {};
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    std::vector<SIniProfile> profiles;
    bool bInProfile = false;
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = Trim(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.starts_with('[')) {
            bInProfile = line.starts_with("[Profile") && line.ends_with(']');
            if (bInProfile) {
                profiles.emplace_back();
            }
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!bInProfile || equals == std::string_view::npos) {
            continue;
        }
        const std::string_view key = Trim(line.substr(0, equals));
        const std::string_view value = Trim(line.substr(equals + 1));
        if (key == "Name") {
            profiles.back().strName = value;
        } else if (key == "Path") {
            profiles.back().strPath = value;
        } else if (key == "IsRelative") {
            profiles.back().bRelative = value != "0";
        }
    }
    std::erase_if(profiles, [](const SIniProfile& profile) { return profile.strPath.empty(); });
    return profiles;
}

}  // namespace

CFirefoxProfiles::CFirefoxProfiles(std::vector<SFirefoxInstall> installs)
    : m_installs(std::move(installs)) {}

std::vector<SFirefoxInstall> CFirefoxProfiles::KnownInstalls(const fs::path& home,
                                                             const fs::path& configHome,
                                                             const fs::path& cacheHome) {
    std::vector<SFirefoxInstall> installs;
    if (!home.empty()) {
        installs.push_back({"Firefox", home / ".mozilla/firefox", cacheHome});
    }
    if (!configHome.empty()) {
        installs.push_back({"Firefox", configHome / "mozilla/firefox", cacheHome});
    }
    if (!home.empty()) {
        const fs::path snap = home / "snap/firefox/common";
        installs.push_back({"Firefox snap", snap / ".mozilla/firefox", snap / ".cache"});
        const fs::path flatpak = home / ".var/app/org.mozilla.firefox";
        installs.push_back({"Firefox Flatpak", flatpak / ".mozilla/firefox", flatpak / "cache"});
        installs.push_back(
            {"Firefox Flatpak", flatpak / "config/mozilla/firefox", flatpak / "cache"});
    }
    return installs;
}

std::vector<CFirefoxProfiles::SProfile> CFirefoxProfiles::Find() const {
    std::vector<SProfile> profiles;
    std::set<std::string> names;
    for (const SFirefoxInstall& install : m_installs) {
        for (const SIniProfile& entry : ReadProfilesIni(install.dir / "profiles.ini")) {
            SProfile profile;
            if (entry.bRelative) {
                profile.dir = install.dir / entry.strPath;
                profile.cache = {install.cacheHome.string(),
                                 (fs::path("mozilla/firefox") / entry.strPath / "cache2").string()};
            } else {
                profile.dir = entry.strPath;
                profile.cache = {entry.strPath, "cache2"};
            }
            profile.strName = install.strBrowser + " (" + entry.strName + ")";
            if (entry.strName.empty() || !names.insert(profile.strName).second) {
                profile.strName = install.strBrowser + " (" + profile.dir.string() + ")";
                names.insert(profile.strName);
            }
            profiles.push_back(std::move(profile));
        }
    }
    return profiles;
}

bool CFirefoxProfiles::IsInUse(const fs::path& dir, pid_t* pHolder) {
    if (pHolder != nullptr) {
        *pHolder = 0;
    }
    const CUniqueFd fd(
        ::open((dir / ".parentlock").c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.IsValid()) {
        // Never started there, or no profile at all. Anything else cannot be told apart
        // from a browser that runs.
        return errno != ENOENT && errno != ENOTDIR;
    }
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    // An open-file-description query sees every lock but those of this very descriptor.
    if (::fcntl(fd.Get(), F_OFD_GETLK, &lock) != 0) {
        return true;
    }
    if (pHolder != nullptr && lock.l_type != F_UNLCK && lock.l_pid > 0) {
        *pHolder = lock.l_pid;
    }
    return lock.l_type != F_UNLCK;
}

HRESULT CFirefoxProfiles::ClearCookies(const fs::path& dir) {
    return IsInUse(dir) ? E_SHARING_VIOLATION : CSqliteDatabase::RunOnFiles(dir, kCookieFiles);
}

HRESULT CFirefoxProfiles::ClearHistory(const fs::path& dir) {
    return IsInUse(dir) ? E_SHARING_VIOLATION : CSqliteDatabase::RunOnFiles(dir, kHistoryFiles);
}

HRESULT CFirefoxProfiles::ClearFavorites(const fs::path& dir, std::vector<std::string>* backups) {
    backups->clear();
    if (IsInUse(dir)) {
        return E_SHARING_VIOLATION;
    }
    const HRESULT hr = CSqliteDatabase::RunOnFiles(dir, kFavoriteFiles);
    if (FAILED(hr)) {
        return hr;
    }
    // Backups in a folder reached through a link are not the profile's own.
    const fs::path folder = dir / "bookmarkbackups";
    struct stat st {};
    std::error_code ec;
    if (::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            if (!it->is_directory(ec) || it->is_symlink(ec)) {
                backups->push_back(it->path().string());
            }
        }
    }
    return S_OK;
}
