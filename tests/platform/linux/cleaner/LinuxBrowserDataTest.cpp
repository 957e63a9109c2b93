#include "platform/linux/cleaner/LinuxBrowserData.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <fstream>

#include "cleaner/CleaningRoutines.h"
#include "platform/linux/cleaner/LinuxFileSystem.h"
#include "support/RecordingCleanReport.h"
#include "support/SqliteFile.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using testing::Contains;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;
using testing::UnorderedElementsAre;

namespace {

// The tables of a browser's history database, as the browser makes them, with a visit.
constexpr char kHistorySchema[] =
    "CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);"
    "INSERT INTO meta VALUES('version', '70');"
    "CREATE TABLE urls(id INTEGER PRIMARY KEY AUTOINCREMENT,url LONGVARCHAR,title LONGVARCHAR,"
    "visit_count INTEGER DEFAULT 0 NOT NULL,typed_count INTEGER DEFAULT 0 NOT NULL,"
    "last_visit_time INTEGER NOT NULL,hidden INTEGER DEFAULT 0 NOT NULL);"
    "CREATE TABLE visits(id INTEGER PRIMARY KEY AUTOINCREMENT,url INTEGER NOT NULL,"
    "visit_time INTEGER NOT NULL,from_visit INTEGER,transition INTEGER DEFAULT 0 NOT NULL);"
    "CREATE TABLE keyword_search_terms (keyword_id INTEGER NOT NULL,url_id INTEGER NOT NULL,"
    "term LONGVARCHAR NOT NULL,normalized_term LONGVARCHAR NOT NULL);"
    "CREATE TABLE downloads_url_chains (id INTEGER NOT NULL,chain_index INTEGER NOT NULL,"
    "url LONGVARCHAR NOT NULL, PRIMARY KEY (id, chain_index));"
    "INSERT INTO urls VALUES(1,'http://visited.example/','Visited',1,0,13300000000000000,0);"
    "INSERT INTO visits VALUES(1,1,13300000000000000,0,805306368);"
    "INSERT INTO keyword_search_terms VALUES(2,1,'secret','secret');"
    "INSERT INTO downloads_url_chains VALUES(1,0,'http://visited.example/file.zip');";

constexpr char kCookiesSchema[] =
    "CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);"
    "INSERT INTO meta VALUES('version', '24');"
    "CREATE TABLE cookies(creation_utc INTEGER NOT NULL,host_key TEXT NOT NULL,"
    "top_frame_site_key TEXT NOT NULL,name TEXT NOT NULL,value TEXT NOT NULL,"
    "encrypted_value BLOB NOT NULL,path TEXT NOT NULL,expires_utc INTEGER NOT NULL,"
    "is_secure INTEGER NOT NULL,is_httponly INTEGER NOT NULL,last_access_utc INTEGER NOT NULL,"
    "has_expires INTEGER NOT NULL,is_persistent INTEGER NOT NULL,priority INTEGER NOT NULL,"
    "samesite INTEGER NOT NULL,source_scheme INTEGER NOT NULL,source_port INTEGER NOT NULL,"
    "last_update_utc INTEGER NOT NULL,source_type INTEGER NOT NULL,"
    "has_cross_site_ancestor INTEGER NOT NULL);"
    "INSERT INTO cookies VALUES(1,'.visited.example','','id','42',x'',"
    "'/',0,0,0,1,0,1,1,0,2,443,1,0,0);";

constexpr char kXbel[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xbel version=\"1.0\">\n"
    "<bookmark href=\"file:///home/u/secret.pdf\" added=\"2024-01-01T00:00:00Z\"/>\n</xbel>\n";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::string HostName() {
    char host[HOST_NAME_MAX + 1] = {};
    ::gethostname(host, HOST_NAME_MAX);
    return host;
}

// A profile as a browser leaves it: its settings, history, cookies, bookmarks and caches.
void MakeProfile(const fs::path& dir, const fs::path& cacheDir) {
    WriteFile(dir / "Preferences", "{}");
    SqliteExec(dir / "History", kHistorySchema);
    SqliteExec(dir / "Cookies", kCookiesSchema);
    WriteFile(dir / "Visited Links", std::string(64, 'v'));
    WriteFile(dir / "Bookmarks", "{\"roots\":{}}");
    WriteFile(dir / "Bookmarks.bak", "{\"roots\":{}}");
    WriteFile(cacheDir / "Cache/Cache_Data/0123_0", "cached page");
    WriteFile(cacheDir / "Cache/Cache_Data/index-dir/the-real-index", "index");
    WriteFile(cacheDir / "Code Cache/js/index", "index");
}

long long Rows(const fs::path& db, const char* table) {
    return SqliteQuery(db, std::string("SELECT count(*) FROM ") + table);
}

bool IsValidDatabase(const fs::path& db) {
    return SqliteQuery(
               db, "SELECT count(*) FROM pragma_integrity_check WHERE integrity_check = 'ok'") == 1;
}

// A closed Chromium with two profiles (one with a broken history), a Google Chrome that
// runs, the recent list and folder: every routine, as the cleaning worker runs them.
TEST(LinuxBrowserData, CleansClosedProfilesAndReportsRunningOnes) {
    CTempDir tmp;
    const fs::path home = tmp / "home";
    const fs::path chromium = home / ".config/chromium";
    const fs::path chrome = home / ".config/google-chrome";
    MakeProfile(chromium / "Default", home / ".cache/chromium/Default");
    WriteFile(chromium / "Profile 1/Preferences", "{}");
    WriteFile(chromium / "Profile 1/History", "not a database");
    // A profile started under a folder name of its own; a browser folder that is none.
    WriteFile(chromium / "Work/Preferences", "{}");
    WriteFile(chromium / "Safe Browsing/History", "not a profile");
    MakeProfile(chrome / "Default", home / ".cache/google-chrome/Default");
    fs::create_symlink(HostName() + "-" + std::to_string(::getpid()), chrome / "SingletonLock");
    // A browser that died leaves its lock behind.
    fs::create_symlink(HostName() + "-999999999", chromium / "SingletonLock");
    const fs::path xbel = home / ".local/share/recently-used.xbel";
    WriteFile(xbel, kXbel);
    fs::permissions(xbel, fs::perms(0600));
    WriteFile(home / ".local/share/RecentDocuments/secret.pdf.desktop", "[Desktop Entry]");

    CLinuxBrowserData data({{chromium, "Chromium"}, {chrome, "Google Chrome"}},
                           {home, home / ".config", home / ".cache", home / ".local/share"},
                           std::chrono::seconds(1));
    EXPECT_EQ(data.GetBrowserProfiles(),
              (std::vector<std::string>{"Chromium (Default)", "Chromium (Profile 1)",
                                        "Chromium (Work)", "Google Chrome (Default)"}));
    CLinuxFileSystem files;
    CCleaningRoutines routines(files, data);
    CRecordingCleanReport report;
    routines.CleanCookies(&report, {});
    routines.CleanTempInternetFiles(&report, {});
    routines.CleanHistory(&report, {});
    routines.CleanFavorites(&report, {});
    routines.CleanRecent(&report, {});

    const fs::path closed = chromium / "Default";
    EXPECT_EQ(Rows(closed / "Cookies", "cookies"), 0);
    for (const char* table : {"urls", "visits", "keyword_search_terms", "downloads_url_chains"}) {
        EXPECT_EQ(Rows(closed / "History", table), 0) << table;
    }
    EXPECT_EQ(Rows(closed / "History", "meta"), 1);
    EXPECT_EQ(Rows(closed / "Cookies", "meta"), 1);
    EXPECT_TRUE(IsValidDatabase(closed / "History"));
    EXPECT_TRUE(IsValidDatabase(closed / "Cookies"));
    EXPECT_FALSE(fs::exists(closed / "Visited Links"));
    EXPECT_FALSE(fs::exists(closed / "Bookmarks"));
    EXPECT_FALSE(fs::exists(closed / "Bookmarks.bak"));
    EXPECT_EQ(ReadFile(chromium / "Profile 1/History"), "not a database");
    EXPECT_EQ(ReadFile(chromium / "Safe Browsing/History"), "not a profile");

    // Nothing of the running browser's profile is opened; only its cache files go.
    const fs::path running = chrome / "Default";
    EXPECT_EQ(Rows(running / "Cookies", "cookies"), 1);
    EXPECT_EQ(Rows(running / "History", "urls"), 1);
    EXPECT_TRUE(fs::exists(running / "Visited Links"));
    EXPECT_TRUE(fs::exists(running / "Bookmarks"));
    EXPECT_THAT(
        report.m_skipped,
        UnorderedElementsAre(
            "Cookies of Google Chrome (Default) are in use: close the browser to clean them",
            "History of Google Chrome (Default) is in use: close the browser to clean it",
            "Favorites of Google Chrome (Default) are in use: close the browser to clean them"));

    for (const char* browser : {"chromium", "google-chrome"}) {
        const fs::path cache = home / ".cache" / browser / "Default";
        EXPECT_TRUE(fs::is_empty(cache / "Cache/Cache_Data")) << browser;
        EXPECT_TRUE(fs::is_empty(cache / "Code Cache")) << browser;
        EXPECT_THAT(report.m_items, Contains((cache / "Cache/Cache_Data/0123_0").string()));
    }
    EXPECT_THAT(report.m_items, Contains("Cleaning History..."));
    EXPECT_THAT(report.m_items, Contains((closed / "Bookmarks").string()));
    EXPECT_THAT(report.m_items,
                Contains((home / ".local/share/RecentDocuments/secret.pdf.desktop").string()));
    EXPECT_TRUE(fs::is_empty(home / ".local/share/RecentDocuments"));

    // The recent list is an empty list still, as private as it was.
    const std::string list = ReadFile(xbel);
    EXPECT_THAT(list, HasSubstr("<xbel version=\"1.0\""));
    EXPECT_THAT(list, HasSubstr("</xbel>"));
    EXPECT_THAT(list, Not(HasSubstr("bookmark href")));
    EXPECT_EQ(fs::status(xbel).permissions(), fs::perms(0600));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(home / ".local/share")) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_THAT(names, UnorderedElementsAre("RecentDocuments", "recently-used.xbel"));
}

// The recent list made a link (to /dev/null, say, to keep none) stays the user's choice;
// the root and the home folder are never data folders.
TEST(LinuxBrowserData, LeavesALinkedRecentListAndRefusesRootAndHome) {
    CTempDir tmp;
    const fs::path home = tmp / "home";
    WriteFile(tmp / "elsewhere.xbel", kXbel);
    fs::create_directories(home / ".local/share/RecentDocuments");
    fs::create_symlink(tmp / "elsewhere.xbel", home / ".local/share/recently-used.xbel");
    CLinuxBrowserData data({}, {home, home / ".config", home / ".cache", home / ".local/share"},
                           std::chrono::seconds(1));

    EXPECT_EQ(data.ClearRecentDocs(), S_OK);
    EXPECT_TRUE(fs::is_symlink(home / ".local/share/recently-used.xbel"));
    EXPECT_EQ(ReadFile(tmp / "elsewhere.xbel"), kXbel);

    std::string resolved;
    EXPECT_TRUE(
        data.ResolveDataFolder((home / ".local/share/RecentDocuments/.").string(), &resolved));
    EXPECT_EQ(resolved, (home / ".local/share/RecentDocuments").string());
    fs::remove(home / ".local/share/RecentDocuments");
    for (const fs::path& target : {fs::path("/"), home}) {
        fs::remove(home / ".local/share/RecentDocuments");
        fs::create_directory_symlink(target, home / ".local/share/RecentDocuments");
        EXPECT_FALSE(
            data.ResolveDataFolder((home / ".local/share/RecentDocuments").string(), &resolved))
            << target;
    }
}

struct SLockCase {
    const char* name;
    std::string target;  // empty: no lock
    bool bLocked;
};

class BrowserLock : public testing::TestWithParam<SLockCase> {};

TEST_P(BrowserLock, IsHeldByALiveProcessOfThisHost) {
    CTempDir tmp;
    if (!GetParam().target.empty()) {
        fs::create_symlink(GetParam().target, tmp / "SingletonLock");
    }
    EXPECT_EQ(CLinuxBrowserData::IsBrowserLocked(tmp.Path()), GetParam().bLocked);
}

std::string DeadPid() {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(0);
    }
    ::waitpid(pid, nullptr, 0);
    return std::to_string(pid);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BrowserLock,
    testing::Values(SLockCase{"None", "", false},
                    SLockCase{"Live", HostName() + "-" + std::to_string(::getpid()), true},
                    SLockCase{"Dead", HostName() + "-" + DeadPid(), false},
                    SLockCase{"OtherHost", "elsewhere.example-1", true},
                    SLockCase{"Garbage", HostName() + "-12ab", true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
