#include <chrono>
#include <filesystem>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cleaner/CleaningRoutines.h"
#include "platform/linux/cleaner/LinuxBrowserData.h"
#include "platform/linux/cleaner/LinuxFileSystem.h"
#include "platform/linux/devtools/DevToolsClient.h"
#include "platform/linux/devtools/DevToolsDiscovery.h"
#include "support/CompanionBrowser.h"
#include "support/LoopbackServer.h"
#include "support/RecordingCleanReport.h"
#include "support/SqliteFile.h"
#include "support/TempDir.h"
#include "support/TestBrowser.h"
#include "support/TextFile.h"
#include "support/WaitUntil.h"

namespace fs = std::filesystem;
using nlohmann::json;
using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::Not;

namespace {

// A page that sets a cookie for a day and fetches a resource the browser may cache.
constexpr char kVisitPage[] =
    "<!doctype html><title>visit</title><script>"
    "document.cookie = 'quellio=1; max-age=86400; path=/';"
    "fetch('/cached.txt').then(r => r.text()).then(t => document.title = t);"
    "</script><p>visit</p>";

// The names of the cookies the browser holds.
std::vector<std::string> CookieNames(CDevToolsClient& client) {
    json result;
    std::vector<std::string> names;
    if (SUCCEEDED(client.Call("Storage.getCookies", json::object(), &result))) {
        for (const json& cookie : result.value("cookies", json::array())) {
            names.push_back(cookie.value("name", ""));
        }
    }
    return names;
}

// The cache entries on disk: every file of the cache folder but the browser's index.
std::vector<std::string> CacheEntries(const fs::path& cache) {
    std::vector<std::string> entries;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(cache, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (it->is_regular_file(ec) && name != "index" && name != "the-real-index") {
            entries.push_back(name);
        }
    }
    return entries;
}

// Whether SQLite finds the database `db` sound.
bool IsIntact(const fs::path& db) {
    return SqliteQuery(db,
                       "SELECT count(*) FROM pragma_integrity_check WHERE integrity_check = "
                       "'ok'") == 1;
}

// Cookies and cache go while the browser runs, its history is left and reported; once it is
// closed, the history it wrote goes.
TEST(CleanerE2E, CleansARunningBrowserThenTheHistoryOfTheClosedOne) {
    CTempDir dir;
    CLoopbackServer server;
    server.SetPage("/visit", kVisitPage);
    server.SetPage("/cached.txt", "cached", true);
    CTestBrowser browser(dir.Path(), server.Url("/visit"));
    const fs::path profile = browser.ProfileDir() / "Default";
    const fs::path cache = profile / "Cache/Cache_Data";

    const auto endpoint =
        CDevToolsDiscovery::ReadPortFile(browser.ProfileDir() / CDevToolsDiscovery::kPortFileName);
    ASSERT_TRUE(endpoint);
    CDevToolsClient client(kBrowserCallTimeout);
    ASSERT_EQ(client.Connect(*endpoint), S_OK);
    ASSERT_TRUE(WaitUntil([&] {
        return !CookieNames(client).empty() && !CacheEntries(cache).empty();
    })) << "the page set no cookie or filled no cache";

    const fs::path home = dir / "home";
    CLinuxBrowserData data({{browser.ProfileDir(), "Test browser"}},
                           {home / ".config", home / ".cache", home / ".local/share"},
                           kBrowserCallTimeout);
    CLinuxFileSystem files({home.string()});
    CCleaningRoutines routines(files, data);

    CRecordingCleanReport running;
    routines.CleanCookies(&running, {});
    routines.CleanTempInternetFiles(&running, {});
    routines.CleanHistory(&running, {});
    EXPECT_THAT(CookieNames(client), IsEmpty());
    EXPECT_THAT(CacheEntries(cache), IsEmpty());
    EXPECT_THAT(running.m_skipped,
                ElementsAre("History of Test browser (Default) is in use: close the browser to "
                            "clean it"));
    EXPECT_THAT(running.m_items, Not(Contains("Cleaning History...")));
    // Emptying a cache the browser keeps writing to is no failure.
    EXPECT_THAT(running.m_failed, IsEmpty());

    // Closed the way a user closes it, the browser writes its history and its cookies out.
    json ignored;
    client.Call("Browser.close", json::object(), &ignored);
    ASSERT_TRUE(WaitUntil([&] { return !browser.Process().IsRunning(); }));
    ASSERT_GE(
        SqliteQuery(profile / "History", "SELECT count(*) FROM urls WHERE url LIKE '%/visit'"), 1);
    EXPECT_EQ(
        SqliteQuery(profile / "Cookies", "SELECT count(*) FROM cookies WHERE name = 'quellio'"), 0);

    CRecordingCleanReport closed;
    routines.CleanHistory(&closed, {});
    EXPECT_THAT(closed.m_items, Contains("Cleaning History..."));
    EXPECT_THAT(closed.m_skipped, IsEmpty());
    EXPECT_THAT(closed.m_failed, IsEmpty());
    EXPECT_EQ(SqliteQuery(profile / "History", "SELECT count(*) FROM urls"), 0);
    EXPECT_EQ(SqliteQuery(profile / "History", "SELECT count(*) FROM visits"), 0);
    EXPECT_EQ(SqliteQuery(profile / "Top Sites", "SELECT count(*) FROM top_sites"), 0);
    // The tabs the browser would reopen go with the history.
    EXPECT_TRUE(!fs::exists(profile / "Sessions") || fs::is_empty(profile / "Sessions"));
    for (const char* db :
         {"History", "Favicons", "Top Sites", "Shortcuts", "Network Action Predictor"}) {
        EXPECT_TRUE(IsIntact(profile / db)) << db;
    }
}

// The rows of a Firefox database that a query counts.
long long FirefoxRows(const fs::path& profile, const char* szDb, const std::string& where) {
    return SqliteQuery(profile / szDb, "SELECT count(*) FROM " + where);
}

// Firefox opens `page` and ends as a session ends (SIGTERM) once `loaded` has been asked for.
void RunFirefox(const fs::path& dir, const CLoopbackServer& server, const std::string& page,
                const std::string& loaded) {
    CChildProcess firefox;
    ASSERT_TRUE(StartCompanionBrowser(firefox, "firefox-esr", dir, server.Url(page)));
    ASSERT_TRUE(WaitUntil([&] { return server.RequestCount(loaded) > 0; }, kBrowserStartTimeout))
        << "Firefox did not load " << page;
    // Firefox writes its history and cookies a moment after the page has loaded.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    firefox.Stop();
}

// A closed Firefox profile found through profiles.ini loses its cookies, cache, history and a
// bookmark, and Firefox then starts on the same databases (none set aside as damaged).
TEST(CleanerE2E, CleansAClosedFirefoxProfileThatThenStartsClean) {
    CTempDir dir;
    CLoopbackServer server;
    server.SetPage("/visit", kVisitPage);
    server.SetPage("/cached.txt", "cached", true);
    server.SetPage("/after", "<!doctype html><title>after</title><p>after</p>");
    const fs::path home = dir / "home";
    const fs::path profile = dir / "profile";
    WriteTextFile(home / ".mozilla/firefox/profiles.ini",
                  "[Profile0]\nName=e2e\nIsRelative=0\nPath=" + profile.string() + "\n");
    RunFirefox(dir.Path(), server, "/visit", "/cached.txt");

    const std::string visited = "moz_places WHERE url LIKE '%/visit'";
    ASSERT_EQ(FirefoxRows(profile, "places.sqlite", visited), 1) << "Firefox kept no history";
    ASSERT_GE(FirefoxRows(profile, "cookies.sqlite", "moz_cookies WHERE name = 'quellio'"), 1);
    ASSERT_FALSE(CacheEntries(profile / "cache2").empty());
    SqliteExec(profile / "places.sqlite",
               "INSERT INTO moz_bookmarks(type, fk, parent, position, title, dateAdded, "
               "lastModified, guid) SELECT 1, id, (SELECT id FROM moz_bookmarks WHERE guid = "
               "'toolbar_____'), 0, 'mark', 0, 0, 'quellioMark1' FROM moz_places WHERE url LIKE "
               "'%/visit';"
               "UPDATE moz_places SET foreign_count = foreign_count + 1 WHERE url LIKE '%/visit';");
    const long long nRoots =
        FirefoxRows(profile, "places.sqlite", "moz_bookmarks WHERE substr(guid, -4) = '____'");

    CLinuxBrowserData data(
        {}, {home / ".config", home / ".cache", home / ".local/share"}, kBrowserCallTimeout,
        nullptr, CFirefoxProfiles::KnownInstalls(home, home / ".config", home / ".cache"));
    CLinuxFileSystem files({home.string()});
    CCleaningRoutines routines(files, data);
    CRecordingCleanReport report;
    for (auto pfnClean :
         {&CCleaningRoutines::CleanCookies, &CCleaningRoutines::CleanTempInternetFiles,
          &CCleaningRoutines::CleanHistory, &CCleaningRoutines::CleanFavorites}) {
        (routines.*pfnClean)(&report, {});
    }
    EXPECT_THAT(report.m_items, Contains("Cleaning History..."));
    EXPECT_THAT(report.m_skipped, IsEmpty());
    EXPECT_THAT(report.m_failed, IsEmpty());
    EXPECT_EQ(FirefoxRows(profile, "cookies.sqlite", "moz_cookies"), 0);
    EXPECT_THAT(CacheEntries(profile / "cache2"), IsEmpty());

    RunFirefox(dir.Path(), server, "/after", "/after");
    for (const char* db : {"places.sqlite", "favicons.sqlite", "cookies.sqlite"}) {
        EXPECT_TRUE(IsIntact(profile / db)) << db;
        EXPECT_FALSE(fs::exists(profile / (std::string(db) + ".corrupt"))) << db;
    }
    // The new visit is in the history Firefox kept; nothing of the old one, nor the bookmark.
    EXPECT_EQ(FirefoxRows(profile, "places.sqlite", "moz_places WHERE url LIKE '%/after'"), 1);
    EXPECT_EQ(FirefoxRows(profile, "places.sqlite", visited), 0);
    EXPECT_EQ(FirefoxRows(profile, "places.sqlite",
                          "moz_historyvisits v JOIN moz_places p ON p.id = v.place_id "
                          "WHERE p.url NOT LIKE '%/after'"),
              0);
    EXPECT_EQ(FirefoxRows(profile, "places.sqlite", "moz_bookmarks"), nRoots);
}

}  // namespace
