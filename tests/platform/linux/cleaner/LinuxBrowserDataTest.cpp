#include "platform/linux/cleaner/LinuxBrowserData.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cleaner/CleaningRoutines.h"
#include "platform/linux/UniqueFd.h"
#include "platform/linux/cleaner/LinuxFileSystem.h"
#include "support/ChildProcess.h"
#include "support/PlayedExtensions.h"
#include "support/RecordingCleanReport.h"
#include "support/ScopedEnv.h"
#include "support/SqliteFile.h"
#include "support/TempDir.h"
#include "support/TextFile.h"
#include "support/WaitUntil.h"

namespace fs = std::filesystem;
using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;
using testing::UnorderedElementsAre;
using testing::UnorderedElementsAreArray;
using Strings = std::vector<std::string>;

namespace {

// A Firefox history, in write-ahead mode as Firefox keeps it: a visited page, a visited page
// that is bookmarked, and a bookmarked page never visited; the root folders.
constexpr char kPlacesSchema[] =
    "PRAGMA journal_mode = WAL;"
    "CREATE TABLE moz_origins(id INTEGER PRIMARY KEY, prefix TEXT NOT NULL, host TEXT NOT NULL);"
    "CREATE TABLE moz_places(id INTEGER PRIMARY KEY, url LONGVARCHAR, visit_count INTEGER "
    "DEFAULT 0, typed INTEGER DEFAULT 0 NOT NULL, last_visit_date INTEGER, foreign_count "
    "INTEGER DEFAULT 0 NOT NULL, origin_id INTEGER REFERENCES moz_origins(id));"
    "CREATE TABLE moz_historyvisits(id INTEGER PRIMARY KEY, place_id INTEGER);"
    "CREATE TABLE moz_bookmarks(id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT NULL,"
    " parent INTEGER, guid TEXT);"
    "CREATE TABLE moz_annos(id INTEGER PRIMARY KEY, place_id INTEGER NOT NULL);"
    "CREATE TABLE moz_items_annos(id INTEGER PRIMARY KEY, item_id INTEGER NOT NULL);"
    "INSERT INTO moz_origins VALUES(1, 'http://', 'visited.example'),"
    " (2, 'http://', 'marked.example'), (3, 'http://', 'unvisited.example');"
    "INSERT INTO moz_places VALUES(1, 'http://visited.example/', 1, 1, 1, 0, 1),"
    " (2, 'http://marked.example/', 1, 0, 1, 2, 2), (3, 'http://unvisited.example/', 0, 0,"
    " NULL, 1, 3);"
    "INSERT INTO moz_historyvisits VALUES(1, 1), (2, 2);"
    "INSERT INTO moz_bookmarks VALUES(1, 2, NULL, 0, 'root________'), (2, 2, NULL, 1,"
    " 'menu________'), (3, 2, NULL, 1, 'toolbar_____'), (4, 2, NULL, 1, 'tags________'),"
    " (5, 2, NULL, 1, 'unfiled_____'), (6, 2, NULL, 1, 'mobile______'),"
    " (7, 2, NULL, 3, 'userFolder01'), (8, 1, 2, 7, 'userMark0001'), (9, 1, 3, 2, 'userMark0002');"
    "INSERT INTO moz_annos VALUES(1, 1);"
    "INSERT INTO moz_items_annos VALUES(1, 8);";

constexpr char kXbel[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xbel version=\"1.0\">\n"
    "<bookmark href=\"file:///home/u/secret.pdf\" added=\"2024-01-01T00:00:00Z\"/>\n</xbel>\n";

std::string HostName() {
    char host[HOST_NAME_MAX + 1] = {};
    ::gethostname(host, HOST_NAME_MAX);
    return host;
}

// The rows of a table of a database, or with no table the files below a folder, of a profile.
struct SKept {
    const char* szPath;
    const char* szTable;
    long long nBefore;
    long long nAfter;
};

long long Count(const fs::path& dir, const char* szPath, const char* szTable) {
    if (szTable != nullptr) {
        return SqliteQuery(dir / szPath, std::string("SELECT count(*) FROM ") + szTable);
    }
    long long nFiles = 0;
    std::error_code ec;  // a folder removed has no file left
    for (fs::recursive_directory_iterator it(dir / szPath, ec), end; !ec && it != end;
         it.increment(ec)) {
        nFiles += it->is_regular_file() ? 1 : 0;
    }
    return nFiles;
}

// What shows the visited sites again goes with the history, the site storage with the
// cookies; the history database's own settings stay.
const std::vector<SKept> kChromiumKept = {
    {"History", "urls", 1, 0},
    {"History", "visits", 1, 0},
    {"History", "meta", 1, 1},
    {"Cookies", "cookies", 1, 0},
    {"Favicons", "favicons", 1, 0},
    {"Sessions", nullptr, 2, 0},
    {"Local Storage/leveldb", nullptr, 1, 0},
};

// A profile as a browser leaves it: its settings, history, cookies, bookmarks and caches.
void MakeProfile(const fs::path& dir, const fs::path& cacheDir) {
    WriteTextFile(dir / "Preferences", "{}");
    for (const SKept& kept : kChromiumKept) {
        for (long long i = 0; i < kept.nBefore; ++i) {
            if (kept.szTable == nullptr) {
                WriteTextFile(dir / kept.szPath / std::to_string(i), "data");
            } else {
                SqliteExec(dir / kept.szPath, std::string("CREATE TABLE IF NOT EXISTS ") +
                                                  kept.szTable + "(x); INSERT INTO " +
                                                  kept.szTable + " VALUES(1)");
            }
        }
    }
    for (const char* name : {"Visited Links", "Bookmarks", "Bookmarks.bak"}) {
        WriteTextFile(dir / name, name);
    }
    WriteTextFile(cacheDir / "Cache/Cache_Data/0123_0", "cached page");
    WriteTextFile(cacheDir / "Cache/Cache_Data/index-dir/the-real-index", "index");
    WriteTextFile(cacheDir / "Code Cache/js/index", "index");
}

// The names in the folder `dir`.
Strings Names(const fs::path& dir) {
    Strings names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// Each of `table` is as it was in the profile `held`, and as it is to be after the pass in
// `cleaned`, with every database left valid.
void ExpectCleanedAndHeld(const std::vector<SKept>& table, const fs::path& cleaned,
                          const fs::path& held) {
    for (const SKept& kept : table) {
        SCOPED_TRACE(std::string(kept.szPath) + ": " +
                     (kept.szTable != nullptr ? kept.szTable : ""));
        EXPECT_EQ(Count(cleaned, kept.szPath, kept.szTable), kept.nAfter);
        EXPECT_EQ(Count(held, kept.szPath, kept.szTable), kept.nBefore);
        EXPECT_TRUE(kept.szTable == nullptr ||
                    SqliteQuery(cleaned / kept.szPath,
                                "SELECT count(*) FROM pragma_integrity_check"
                                " WHERE integrity_check = 'ok'") == 1);
    }
}

// A Firefox profile as Firefox leaves it, with its cache in `cacheDir`.
void MakeFirefoxProfile(const fs::path& dir, const fs::path& cacheDir) {
    fs::create_directories(dir);
    SqliteExec(dir / "places.sqlite", kPlacesSchema);
    SqliteExec(dir / "favicons.sqlite",
               "CREATE TABLE moz_icons(x); INSERT INTO moz_icons VALUES(1)");
    SqliteExec(dir / "cookies.sqlite",
               "CREATE TABLE moz_cookies(x); INSERT INTO moz_cookies VALUES(1)");
    WriteTextFile(dir / ".parentlock", "");
    WriteTextFile(dir / "bookmarkbackups/bookmarks-2026-12-01.jsonlz4", "backup");
    WriteTextFile(cacheDir / "cache2/entries/0123ABCD", "cached page");
}

// What a pass says of the data of each profile a running browser holds.
Strings InUse(const Strings& profiles) {
    Strings said;
    for (const std::string& profile : profiles) {
        said.push_back("Cookies of " + profile + " are in use: close the browser to clean them");
        said.push_back("History of " + profile + " is in use: close the browser to clean it");
        said.push_back("Favorites of " + profile + " are in use: close the browser to clean them");
    }
    return said;
}

// Every routine, as the cleaning worker runs them.
void RunPass(CCleaningRoutines& routines, CRecordingCleanReport* pReport, std::stop_token stop) {
    for (auto pfnClean :
         {&CCleaningRoutines::CleanCookies, &CCleaningRoutines::CleanTempInternetFiles,
          &CCleaningRoutines::CleanHistory, &CCleaningRoutines::CleanFavorites,
          &CCleaningRoutines::CleanRecent}) {
        (routines.*pfnClean)(pReport, stop);
    }
}

// Closed Chromium and Firefox profiles (one history broken) are cleaned, those of a running
// Google Chrome and Firefox are left and said so, the recent list and folder are emptied.
TEST(LinuxBrowserData, CleansClosedProfilesAndReportsRunningOnes) {
    CTempDir tmp;
    const fs::path home = tmp / "home";
    const fs::path chromium = home / ".config/chromium";
    const fs::path chrome = home / ".config/google-chrome";
    MakeProfile(chromium / "Default", home / ".cache/chromium/Default");
    WriteTextFile(chromium / "Profile 1/Preferences", "{}");
    WriteTextFile(chromium / "Profile 1/History", "not a database");
    // A profile started under a folder name of its own; a browser folder that is none.
    WriteTextFile(chromium / "Work/Preferences", "{}");
    WriteTextFile(chromium / "Safe Browsing/History", "not a profile");
    MakeProfile(chrome / "Default", home / ".cache/google-chrome/Default");
    fs::create_symlink(HostName() + "-" + std::to_string(::getpid()), chrome / "SingletonLock");
    // A browser that died leaves its lock behind (a pid of nine digits, 0 and 9 among them).
    fs::create_symlink(HostName() + "-999999990", chromium / "SingletonLock");
    const fs::path share = home / ".local/share";
    WriteTextFile(share / "recently-used.xbel", kXbel);
    fs::permissions(share / "recently-used.xbel", fs::perms(0600));
    WriteTextFile(share / "RecentDocuments/secret.pdf.desktop", "[Desktop Entry]");
    const fs::path install = home / ".config/mozilla/firefox";
    const fs::path firefox = install / "ab12cd34.default-release";
    const fs::path work = tmp / "elsewhere/work";
    WriteTextFile(install / "profiles.ini",
                  "[Install4F96D1932A9F858E]\nDefault=ab12cd34.default-release\n\n"
                  "[Profile1]\nName=work\nIsRelative=0\nPath=" +
                      work.string() +
                      "\n\n[Profile0]\r\nName=default-release\r\nIsRelative=1\r\n"
                      "Path=ab12cd34.default-release\r\nDefault=1\r\n\n"
                      "[General]\nStartWithLastProfile=1\nVersion=2\n");
    MakeFirefoxProfile(firefox, home / ".cache/mozilla/firefox/ab12cd34.default-release");
    MakeFirefoxProfile(work, work);
    // Firefox holds an fcntl lock on the file while it runs; this one is another program's.
    const CUniqueFd lockFd(::open((work / ".parentlock").c_str(), O_RDWR | O_CLOEXEC));
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    ASSERT_EQ(::fcntl(lockFd.Get(), F_OFD_SETLK, &lock), 0);
    // A second program keeps the history open, so its log outlives the cleaner's connection.
    const CSqliteHold reader(firefox / "places.sqlite");
    for (const fs::path& folder :
         {home / ".cache/chromium/Default/Cache/Cache_Data", share / "RecentDocuments"}) {
        WriteTextFile(folder / "desktop.ini", "ini");
    }

    CLinuxBrowserData data(
        {{chromium, "Chromium"}, {chrome, "Google Chrome"}},
        {home / ".config", home / ".cache", share}, std::chrono::seconds(1), nullptr,
        CFirefoxProfiles::KnownInstalls(home, home / ".config", home / ".cache"));
    EXPECT_EQ(data.GetBrowserProfiles(),
              (Strings{"Chromium (Default)", "Chromium (Profile 1)", "Chromium (Work)",
                       "Google Chrome (Default)", "Firefox (work)", "Firefox (default-release)"}));
    CLinuxFileSystem files({home.string()});
    CCleaningRoutines routines(files, data);
    const fs::path closed = chromium / "Default";

    // A pass stopped before it begins touches nothing and says nothing.
    std::stop_source stop;
    stop.request_stop();
    CRecordingCleanReport report;
    RunPass(routines, &report, stop.get_token());
    EXPECT_TRUE(report.m_items.empty() && report.m_skipped.empty() && report.m_failed.empty());
    EXPECT_EQ(Count(closed, "Cookies", "cookies"), 1);
    EXPECT_TRUE(fs::exists(home / ".cache/chromium/Default/Cache/Cache_Data/0123_0"));
    EXPECT_EQ(ReadTextFile(share / "recently-used.xbel"), kXbel);

    // The history alone: a bookmarked Firefox place stays, with nothing left of its visits.
    CRecordingCleanReport history;
    routines.CleanHistory(&history, {});
    EXPECT_EQ(SqliteQuery(firefox / "places.sqlite",
                          "SELECT count(*) FROM moz_places WHERE visit_count = 0 AND "
                          "last_visit_date IS NULL AND url != 'http://visited.example/'"),
              2);

    RunPass(routines, &report, {});
    // The closed profile's go, never the running one's: nothing of a running browser's profile
    // is opened, only its cache files go.
    ExpectCleanedAndHeld(kChromiumKept, closed, chrome / "Default");
    for (const char* name : {"Visited Links", "Bookmarks", "Bookmarks.bak"}) {
        EXPECT_FALSE(fs::exists(closed / name)) << name;
        EXPECT_TRUE(fs::exists(chrome / "Default" / name)) << name;
    }
    EXPECT_EQ(ReadTextFile(chromium / "Profile 1/History"), "not a database");
    EXPECT_EQ(ReadTextFile(chromium / "Safe Browsing/History"), "not a profile");
    EXPECT_THAT(report.m_skipped,
                UnorderedElementsAreArray(InUse({"Google Chrome (Default)", "Firefox (work)"})));
    // The closed Firefox profile's favourites go down to the root folders, its databases stay
    // valid and their logs empty; its cache goes, as does the running one's.
    ExpectCleanedAndHeld(
        {
            {"cookies.sqlite", "moz_cookies", 1, 0},
            {"places.sqlite", "moz_historyvisits", 2, 0},
            {"places.sqlite", "moz_places", 3, 0},
            {"places.sqlite", "moz_origins", 3, 0},
            {"places.sqlite", "moz_annos", 1, 0},
            {"places.sqlite", "moz_bookmarks", 9, 6},
            {"places.sqlite", "moz_items_annos", 1, 0},
            {"favicons.sqlite", "moz_icons", 1, 0},
            {"bookmarkbackups", nullptr, 1, 0},
        },
        firefox, work);
    EXPECT_EQ(fs::file_size(firefox / "places.sqlite-wal"), 0U);
    EXPECT_TRUE(fs::is_empty(home / ".cache/mozilla/firefox/ab12cd34.default-release/cache2"));
    EXPECT_TRUE(fs::is_empty(work / "cache2"));
    EXPECT_THAT(report.m_items,
                Contains((firefox / "bookmarkbackups/bookmarks-2026-12-01.jsonlz4").string()));
    // The broken history is left and said so; a profile without history has nothing to say.
    EXPECT_THAT(report.m_failed,
                ElementsAre("History of Chromium (Profile 1) is damaged: it was left as it is"));

    for (const char* browser : {"chromium", "google-chrome"}) {
        const fs::path cache = home / ".cache" / browser / "Default";
        EXPECT_TRUE(fs::is_empty(cache / "Cache/Cache_Data")) << browser;
        EXPECT_TRUE(fs::is_empty(cache / "Code Cache")) << browser;
        EXPECT_THAT(report.m_items, Contains((cache / "Cache/Cache_Data/0123_0").string()));
    }
    EXPECT_EQ(std::count(report.m_items.begin(), report.m_items.end(), "Cleaning History..."), 1);
    EXPECT_THAT(report.m_items, Contains((closed / "Bookmarks").string()));
    EXPECT_THAT(report.m_items, Contains((share / "RecentDocuments/secret.pdf.desktop").string()));
    // The cache goes whole, and the recent folder but its "desktop.ini".
    EXPECT_THAT(Names(share / "RecentDocuments"), UnorderedElementsAre("desktop.ini"));

    // The recent list is an empty list still, as private as it was, and was replaced whole.
    const std::string list = ReadTextFile(share / "recently-used.xbel");
    EXPECT_THAT(list, HasSubstr("<xbel version=\"1.0\""));
    EXPECT_THAT(list, HasSubstr("</xbel>"));
    EXPECT_THAT(list, Not(HasSubstr("bookmark href")));
    EXPECT_EQ(fs::status(share / "recently-used.xbel").permissions(), fs::perms(0600));
    EXPECT_THAT(Names(share), UnorderedElementsAre("RecentDocuments", "recently-used.xbel"));
}

// Browsers connected through their extension are asked for their own data, and no file of
// their running profile is opened; the profile Chrome does not run with is left.
TEST(LinuxBrowserData, AsksBrowsersConnectedThroughTheirExtension) {
    CTempDir tmp;
    const fs::path home = tmp / "home";
    const fs::path chrome = home / ".config/google-chrome";
    MakeProfile(chrome / "Default", home / ".cache/google-chrome/Default");
    WriteTextFile(chrome / "Profile 1/Preferences", "{}");
    WriteTextFile(chrome / "Local State", R"({"profile": {"last_used": "Default"}})");
    fs::create_symlink(HostName() + "-" + std::to_string(::getpid()), chrome / "SingletonLock");
    CPlayedExtensions extensions;
    const auto answer = [](bool bDone) {
        return [bDone](const nlohmann::json& request) {
            return std::vector<nlohmann::json>{
                {{"type", "answer"}, {"id", request.at("id")}, {"done", bDone}}};
        };
    };
    extensions.Connect(::getpid(), "chrome-profile", [&](const nlohmann::json& request) {
        return answer(request.value("data", "") != "favorites")(request);
    });
    // That Firefox runs with a profile of profiles.ini too, which is left to the extension;
    // another Firefox without the extension runs with a second one, which stays in use.
    const fs::path firefox = home / ".mozilla/firefox/ab12cd34.default";
    const fs::path other = home / ".mozilla/firefox/ef56ab78.other";
    WriteTextFile(home / ".mozilla/firefox/profiles.ini",
                  "[Profile0]\nName=default\nPath=ab12cd34.default\n"
                  "[Profile1]\nName=other\nPath=ef56ab78.other\n");
    std::array<CChildProcess, 2> locks;
    for (std::size_t i = 0; i < locks.size(); ++i) {
        const fs::path& profile = i == 0 ? firefox : other;
        MakeFirefoxProfile(profile, profile);
        ASSERT_TRUE(locks[i].Start({"python3", "-c",
                                    "import fcntl, sys, time; f = open(sys.argv[1], 'r+'); "
                                    "fcntl.lockf(f, fcntl.LOCK_EX); time.sleep(600)",
                                    (profile / ".parentlock").string()}));
        ASSERT_TRUE(WaitUntil([&] { return CFirefoxProfiles::IsInUse(profile); }));
    }
    extensions.Connect(locks[0].Pid(), "f00dfeed-0000", answer(true));
    CLinuxBrowserData data(
        {{chrome, "Google Chrome"}}, {home / ".config", home / ".cache", home},
        std::chrono::seconds(1), extensions.Requests(),
        CFirefoxProfiles::KnownInstalls(home, home / ".config", home / ".cache"));
    EXPECT_EQ(data.GetBrowserProfiles(),
              (Strings{"Google Chrome (Default)", "Google Chrome (Profile 1)",
                       "Firefox 128.0 (f00dfeed)", "Firefox (default)", "Firefox (other)"}));
    CLinuxFileSystem files({home.string()});
    CCleaningRoutines routines(files, data);
    CRecordingCleanReport report;
    extensions.Serve<bool>([&] {
        RunPass(routines, &report, {});
        return true;
    });

    Strings asked;
    for (const nlohmann::json& request : extensions.Received()) {
        asked.push_back(request.value("data", ""));
    }
    EXPECT_EQ(asked, (Strings{"cookies", "cookies", "cache", "cache", "history", "history",
                              "favorites", "favorites"}));
    EXPECT_THAT(report.m_skipped,
                UnorderedElementsAreArray(InUse({"Google Chrome (Profile 1)", "Firefox (other)"})));
    EXPECT_THAT(report.m_failed,
                ElementsAre("Favorites of Google Chrome (Default) could not be cleaned: they were "
                            "left as they are"));
    EXPECT_THAT(report.m_items, Contains("Cleaning History..."));
    const fs::path running = chrome / "Default";
    EXPECT_EQ(Count(running, "Cookies", "cookies"), 1);
    EXPECT_EQ(Count(running, "History", "urls"), 1);
    EXPECT_TRUE(fs::exists(running / "Bookmarks"));
    EXPECT_EQ(Count(firefox, "places.sqlite", "moz_historyvisits"), 2);
}

// The recent list made a link (to /dev/null, say, to keep none) stays the user's choice.
TEST(LinuxBrowserData, LeavesALinkedRecentList) {
    CTempDir tmp;
    const fs::path share = tmp / "home/.local/share";
    WriteTextFile(tmp / "elsewhere.xbel", kXbel);
    fs::create_directories(share);
    fs::create_symlink(tmp / "elsewhere.xbel", share / "recently-used.xbel");
    CLinuxBrowserData data({}, {{}, {}, share}, std::chrono::seconds(1));

    EXPECT_EQ(data.ClearRecentDocs(), S_FALSE);
    EXPECT_TRUE(fs::is_symlink(share / "recently-used.xbel"));
    EXPECT_EQ(ReadTextFile(tmp / "elsewhere.xbel"), kXbel);
}

// Data folders reached through a link below their base folder, or that are the home folder
// or above it, are left whole and said so; a link at a base folder is the user's choice.
TEST(LinuxBrowserData, DataFoldersAreNeverReachedThroughLinksOrAboveHome) {
    const std::string kCache = "home/.cache/chromium/Default/";
    const struct {
        std::string home;
        std::string dataHome;
        std::string link;  // made a link to `target`
        std::string target;
        std::string decoy;     // holds a file that must stay
        std::string reported;  // empty: nothing
        std::string cleaned;   // a file that must go
    } cases[] = {
        {"home", "home/.local/share", kCache + "Cache/Cache_Data", "decoy", "decoy",
         kCache + "Cache/Cache_Data is reached through a link", kCache + "Code Cache/js/1"},
        {"home", "home/.local/share", "home/.local/share/RecentDocuments", "decoy", "decoy",
         "home/.local/share/RecentDocuments is reached through a link",
         kCache + "Cache/Cache_Data/1"},
        {"home", "data", "data", "home/.local/share", "decoy", "", "data/RecentDocuments/1"},
        {"RecentDocuments/home", "data", "data", ".", "RecentDocuments",
         "data/RecentDocuments is the home folder or a folder above it", ""},
        {"RecentDocuments", "data", "data", ".", "RecentDocuments",
         "data/RecentDocuments is the home folder or a folder above it", ""},
    };
    for (const auto& c : cases) {
        CTempDir tmp;
        const fs::path home = tmp / c.home;
        for (const char* name : {"Cache/Cache_Data/1", "Code Cache/js/1"}) {
            WriteTextFile(home / ".cache/chromium/Default" / name, name);
        }
        WriteTextFile(home / ".config/chromium/Default/Preferences", "{}");
        WriteTextFile(tmp / c.decoy / "keep", "keep");
        const fs::path realData = c.link == c.dataHome ? tmp / c.target : tmp / c.dataHome;
        WriteTextFile(realData / "RecentDocuments/1", "1");
        fs::remove_all(tmp / c.link);
        fs::create_directory_symlink(tmp / c.target, tmp / c.link);
        CLinuxBrowserData data({{home / ".config/chromium", "Chromium"}},
                               {home / ".config", home / ".cache", tmp / c.dataHome},
                               std::chrono::seconds(1));
        CLinuxFileSystem files({home.string()});
        CCleaningRoutines routines(files, data);

        CRecordingCleanReport report;
        routines.CleanTempInternetFiles(&report, {});
        routines.CleanRecent(&report, {});
        SCOPED_TRACE(c.link);
        EXPECT_TRUE(fs::exists(tmp / c.decoy / "keep"));
        EXPECT_EQ(report.m_failed, c.reported.empty() ? Strings{}
                                                      : Strings{(tmp / c.reported).string() +
                                                                ": it was left as it is"});
        EXPECT_TRUE(c.cleaned.empty() || !fs::exists(tmp / c.cleaned));
    }
}

// A session without a home folder has no usual folder to clean.
TEST(LinuxBrowserData, FindsNothingWithoutAHome) {
    const CScopedEnv home("HOME", std::nullopt);
    const CScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
    const CScopedEnv data("XDG_DATA_HOME", std::nullopt);
    EXPECT_THAT(CLinuxBrowserData::FromEnvironment().GetBrowserProfiles(), IsEmpty());
}

// Live and dead processes of this host are in the scenarios above.
TEST(BrowserLock, IsHeldByALiveProcessOfThisHost) {
    const std::string kPlainFile = "(a file, no link)";  // cannot be told from a held lock
    for (const auto& [target, bLocked] : {std::pair<std::string, bool>{"", false},
                                          {"elsewhere.example-1", true},
                                          {HostName() + "-12ab", true},
                                          {kPlainFile, true}}) {
        CTempDir tmp;
        if (target == kPlainFile) {
            WriteTextFile(tmp / "SingletonLock", "");
        } else if (!target.empty()) {
            fs::create_symlink(target, tmp / "SingletonLock");
        }
        EXPECT_EQ(CLinuxBrowserData::IsBrowserLocked(tmp.Path()), bLocked) << target;
    }
}

// A profiles.ini over 1 MiB is no Firefox's own: it is not read at all.
TEST(FirefoxProfiles, AProfilesIniOverOneMebibyteIsNotRead) {
    constexpr std::size_t kMax = std::size_t{1} << 20;
    CTempDir tmp;
    for (const std::size_t nSize : {kMax, kMax + 1}) {
        std::string text = "[Profile0]\nName=big\nPath=big\n";
        text.resize(nSize, '\n');
        WriteTextFile(tmp / "profiles.ini", text);
        EXPECT_EQ(CFirefoxProfiles({{"Firefox", tmp.Path(), tmp.Path()}}).Find().size(),
                  nSize == kMax ? 1U : 0U);
    }
}

}  // namespace
