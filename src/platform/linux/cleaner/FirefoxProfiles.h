#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Result.h"

// A place where Firefox keeps its profiles: the folder of its "profiles.ini", and the base
// folder of the caches of the profiles listed there.
struct SFirefoxInstall {
    // The browser's name in words for the user: "Firefox", "Firefox snap".
    std::string strBrowser;
    std::filesystem::path dir;
    std::filesystem::path cacheHome;
};

// The profiles of the user's Firefox installs, cleaned only while Firefox is closed.
//
// - Profiles: the [Profile<n>] sections of each install's "profiles.ini", each named
//   "<browser> (<Name>)" (by its folder instead when an earlier profile has that name); a
//   relative "Path" lies in the install's folder.
// - A profile is in use while a live process holds the lock on its ".parentlock" (an fcntl
//   lock, which the system drops with the process); a lock that cannot be read counts as
//   held.
// - Cache: "cache2" of the profile's cache folder, "<cache home>/mozilla/firefox/<Path>"
//   for a relative profile, else the profile itself.
// - Cookies: "cookies.sqlite". History: the visits, input history, places that no bookmark
//   or keyword keeps, their origins and page data of "places.sqlite", and every icon of
//   "favicons.sqlite". Favourites: the bookmarks and keywords of "places.sqlite" (the
//   browser's root folders stay), and the bookmark backups, to be deleted as files.
// Every database is left valid; an answer is as IBrowserData's calls give it.
class CFirefoxProfiles {
public:
    struct SProfile {
        std::string strName;
        std::filesystem::path dir;
        SDataFolder cache;
    };

    explicit CFirefoxProfiles(std::vector<SFirefoxInstall> installs);

    // The places of the Firefox packages: the home folder's, the XDG config folder's, the
    // snap's and the Flatpak's.
    static std::vector<SFirefoxInstall> KnownInstalls(const std::filesystem::path& home,
                                                      const std::filesystem::path& configHome,
                                                      const std::filesystem::path& cacheHome);

    // The profiles listed in the installs' "profiles.ini" files, in their order.
    std::vector<SProfile> Find() const;

    // Whether the profile is in use; `*pHolder`, when given, is then the process holding
    // the lock where the system tells it (Firefox's own lock), else 0.
    static bool IsInUse(const std::filesystem::path& dir, pid_t* pHolder = nullptr);

    static HRESULT ClearCookies(const std::filesystem::path& dir);
    static HRESULT ClearHistory(const std::filesystem::path& dir);
    // Deletes the bookmarks from the database and answers the backup files.
    static HRESULT ClearFavorites(const std::filesystem::path& dir,
                                  std::vector<std::string>* backups);

private:
    std::vector<SFirefoxInstall> m_installs;
};
