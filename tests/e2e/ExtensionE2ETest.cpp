// The companion extension at work in real headless browsers, Chromium and Firefox, on pages
// served on 127.0.0.1: the browser starts quellio-bridge through the host manifest Quellio
// writes, and the scanner guards it through the bridge socket alone; the cleaner cleans it
// through the same extension while it runs.
#include "cleaner/CleaningRoutines.h"
#include "engine/BrowserScanner.h"
#include "engine/UrlList.h"
#include "platform/linux/AllBrowserWindowsFactory.h"
#include "platform/linux/cleaner/LinuxBrowserData.h"
#include "platform/linux/cleaner/LinuxFileSystem.h"
#include "platform/linux/devtools/DevToolsClient.h"
#include "support/ChildProcess.h"
#include "support/CompanionBrowser.h"
#include "support/LoopbackServer.h"
#include "support/RecordingCleanReport.h"
#include "support/RecordingReport.h"
#include "support/SqliteFile.h"
#include "support/TempDir.h"
#include "support/TestBrowser.h"
#include "support/TextFile.h"
#include "support/WaitUntil.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <poll.h>

#include <atomic>
#include <set>
#include <thread>

namespace {

namespace fs = std::filesystem;

class ExtensionE2E : public testing::TestWithParam<const char*> {
protected:
    std::string Url(const std::string& query) const { return m_Server.Url("/plain.html?" + query); }
    fs::path Socket() const { return CompanionSocket(m_Dir.Path()); }

    // Starts the browser on `url` with the extension; Chromium also with remote debugging,
    // as quellio-browser starts it.
    void StartBrowser(const std::string& url) {
        const bool bChromium = std::string(GetParam()) == "chromium";
        ASSERT_TRUE(
            StartCompanionBrowser(m_Browser, GetParam(), m_Dir.Path(), url,
                                  bChromium ? std::vector<std::string>{"--remote-debugging-port=0"}
                                            : std::vector<std::string>{}));
    }

    // Closes the browser as a user closes it, so that it writes its files out: Chromium over
    // DevTools, Firefox asked to end.
    void CloseBrowser() {
        if (std::string(GetParam()) == "chromium") {
            const auto endpoint = CDevToolsDiscovery::ReadPortFile(
                m_Dir / "profile" / CDevToolsDiscovery::kPortFileName);
            ASSERT_TRUE(endpoint);
            CDevToolsClient client(kBrowserCallTimeout);
            ASSERT_EQ(client.Connect(*endpoint), S_OK);
            nlohmann::json ignored;
            client.Call("Browser.close", nlohmann::json::object(), &ignored);
            ASSERT_TRUE(WaitUntil([&] { return !m_Browser.IsRunning(); }));
        }
        m_Browser.Stop();
    }

    // Runs passes as Quellio does, on announcements and at ticks, until `done` holds.
    bool PassUntil(CBrowserScanner& scanner, const std::function<bool()>& done,
                   std::chrono::milliseconds limit) {
        return WaitUntil(done, limit, [&] {
            pollfd fd{scanner.GetBrowserEventHandle(), POLLIN, 0};
            ::poll(&fd, 1, 100);
            scanner.TakeBrowserEvents();
            EXPECT_EQ(scanner.ScanBrowserWindows(), S_OK);
        });
    }

    static std::set<std::string> OpenAddresses(IBrowserWindowsFactory& factory) {
        std::unique_ptr<IBrowserWindows> windows;
        EXPECT_EQ(factory.CreateBrowserWindows(&windows), S_OK);
        std::set<std::string> urls;
        long count = 0;
        EXPECT_EQ(windows->GetCount(&count), S_OK);
        for (long i = 0; i < count; ++i) {
            std::unique_ptr<IBrowserItem> item;
            std::unique_ptr<IBrowserWindow> window;
            std::string url;
            if (SUCCEEDED(windows->Item(i, &item)) && item &&
                SUCCEEDED(item->QueryBrowser(&window)) && SUCCEEDED(window->GetLocationUrl(&url))) {
                urls.insert(url);
            }
        }
        return urls;
    }

    CTempDir m_Dir;
    CLoopbackServer m_Server;
    CChildProcess m_Browser;
    CUrlList m_Black;
    CUrlList m_White;
    CRecordingReport m_Report;
};

// A page opens two pop-ups, a tab and a white-listed pop-up, then goes to a black-listed
// address: the pop-ups close, the black-listed tab closes, each logged once; the tab and the
// white-listed pop-up stay, load their page once, and the list pages see them. Firefox lets
// the extension hold a new tab's first page: there the closed pop-ups' pages are never asked
// for. Chromium is also reached over DevTools, as quellio-browser starts it: it is guarded
// through its extension alone, and what DevTools held before the extension took over goes on.
TEST_P(ExtensionE2E, PopupsAndABlackListedAddressCloseEachLoggedOnce) {
    m_Server.SetPage("/plain.html", kPlainPage);
    m_Server.SetPage("/scenario.html",
                     "<!doctype html><title>scenario</title><script>"
                     "window.open('" +
                         Url("popup") +
                         "', '_blank', 'popup');"
                         "window.open('" +
                         Url("sized") +
                         "', '_blank', 'width=320,height=240');"
                         "window.open('" +
                         Url("tab") +
                         "', '_blank');"
                         "window.open('" +
                         Url("spared") +
                         "', '_blank', 'popup');"
                         "setTimeout(() => { location.href = '" +
                         Url("black") +
                         "'; }, 1500);"
                         "</script><p>scenario</p>");
    m_White.Add(Url("spared"));
    m_Black.Add(Url("black"));
    CAllBrowserWindowsFactory factory(CDevToolsDiscovery("", {m_Dir / "profile"}), Socket());
    CBrowserScanner scanner(factory, m_Black, m_White, m_Report);
    scanner.ConnectBrowserWindows();
    scanner.WatchBrowserEvents(true);
    ASSERT_GE(scanner.GetBrowserEventHandle(), 0);
    // The browser starts on a page that waits for the go, given once the extension has told
    // its state: a pop-up opened before the extension runs is closed, but not held.
    m_Server.SetPage("/start.html",
                     "<!doctype html><title>start</title><script>"
                     "setInterval(() => fetch('/go').then(r => { if (r.ok) location.href = "
                     "'/scenario.html'; }), 100);"
                     "</script>");
    ASSERT_NO_FATAL_FAILURE(StartBrowser(m_Server.Url("/start.html")));
    ASSERT_TRUE(PassUntil(
        scanner,
        [&] {
            const auto& browsers = factory.ExtensionBrowsers().Browsers();
            return browsers.size() == 1 && browsers[0]->IsReady() &&
                   OpenAddresses(factory).contains(m_Server.Url("/start.html"));
        },
        kBrowserStartTimeout))
        << "see " << (m_Dir / "browser.log").string();
    m_Server.SetPage("/go", "");

    const std::multiset<std::string> expected = {Url("popup"), Url("sized"), Url("black")};
    const auto logged = [&] {
        const auto urls = m_Report.Logged();
        return std::multiset<std::string>(urls.begin(), urls.end());
    };
    EXPECT_TRUE(PassUntil(
        scanner, [&] { return logged() == expected; }, 3 * kWaitLimit))
        << "see " << (m_Dir / "browser.log").string();
    const auto open = [&] { return OpenAddresses(factory); };
    const auto loaded = [&](const char* query) {
        return m_Server.RequestCount("/plain.html?" + std::string(query));
    };
    EXPECT_TRUE(PassUntil(
        scanner,
        [&] {
            return open() == std::set<std::string>{Url("tab"), Url("spared")} &&
                   loaded("tab") == 1 && loaded("spared") == 1;
        },
        kWaitLimit))
        << testing::PrintToString(open()) << " tab " << loaded("tab") << " spared "
        << loaded("spared");
    if (std::string(GetParam()) == "firefox-esr") {
        EXPECT_EQ(loaded("popup"), 0);
        EXPECT_EQ(loaded("sized"), 0);
    }
    EXPECT_EQ(logged(), expected) << "each once";
    EXPECT_EQ(m_Report.m_Events.size(), 2 * expected.size()) << "each log with its signal";
}

// A page that tells the server what it finds of the visits before it (a cookie, local
// storage) once it has fetched a resource the browser may cache, leaves both again, and goes
// on to an address of its own while the server says "go".
constexpr char kTracesPage[] =
    "<!doctype html><title>traces</title><script>"
    "const found = (document.cookie.includes('quellio=1') ? 'cookie' : '') +"
    "    (localStorage.getItem('quellio') ? 'storage' : '');"
    "fetch('/cached.txt').then(() => fetch('/found?' + (found || 'nothing'))).then(() => {"
    "    document.cookie = 'quellio=1; max-age=86400; path=/';"
    "    localStorage.setItem('quellio', '1');"
    "    return fetch('/state');"
    "}).then(r => r.text()).then(state => {"
    "    if (state === 'go') setTimeout(() => { location.href = '/traces.html?' + Date.now(); }, "
    "300);"
    "});"
    "</script><p>traces</p>";

// The browser visits pages that leave a cookie, local storage, a cached resource and history,
// and has a bookmark. While it runs, a cleaning pass on a thread of its own, the connection
// pumped meanwhile as Quellio's browser thread does, removes all of it through the extension:
// closed, the browser has written no visit and no bookmark back; started again, the page
// finds nothing of before and asks for the resource again. Chromium is also reached over
// DevTools and is matched with the profile it runs with; Firefox is known by its extension
// alone.
TEST_P(ExtensionE2E, ACleaningPassEmptiesTheRunningBrowserThroughItsExtension) {
    const bool bChromium = std::string(GetParam()) == "chromium";
    const fs::path profile = m_Dir / "profile";
    m_Server.SetPage("/traces.html", kTracesPage);
    m_Server.SetPage("/cached.txt", "cached", true);
    m_Server.SetPage("/found", "");
    m_Server.SetPage("/state", "go");
    SeedCompanionBookmark(GetParam(), m_Dir.Path(), m_Server.Url("/plain.html?bookmarked"));
    CAllBrowserWindowsFactory factory(CDevToolsDiscovery("", {profile}), Socket());
    CBrowserScanner scanner(factory, m_Black, m_White, m_Report);
    scanner.ConnectBrowserWindows();
    ASSERT_NO_FATAL_FAILURE(StartBrowser(m_Server.Url("/traces.html?first")));
    // How many pages found that of the visits before them: "nothing", "cookie", "storage" or
    // "cookiestorage"; with no argument, how many told what they found.
    const auto found = [&](const std::string& what = {}) {
        int nCount = 0;
        for (const char* seen : {"nothing", "cookie", "storage", "cookiestorage"}) {
            if (what.empty() || what == seen) {
                nCount += m_Server.RequestCount(std::string("/found?") + seen);
            }
        }
        return nCount;
    };
    ASSERT_TRUE(PassUntil(
        scanner,
        [&] {
            const auto& browsers = factory.ExtensionBrowsers().Browsers();
            return browsers.size() == 1 && browsers[0]->IsReady() && found("cookiestorage") >= 2;
        },
        kBrowserStartTimeout))
        << found() << " pages told from " << factory.ExtensionBrowsers().Browsers().size()
        << " browsers; " << ReadTextFile(m_Dir / "browser.log");
    // The last page to ask is told to stay: nothing is visited during the pass or after it.
    m_Server.SetPage("/state", "stay");
    const int nAsked = m_Server.RequestCount("/state");
    ASSERT_TRUE(WaitUntil([&] { return m_Server.RequestCount("/state") > nAsked; }));
    ASSERT_EQ(m_Server.RequestCount("/cached.txt"), 1) << "the resource is cached";

    const fs::path home = m_Dir / "home";
    CLinuxBrowserData data(bChromium ? std::vector<SBrowserUserData>{{profile, "Test browser"}}
                                     : std::vector<SBrowserUserData>{},
                           {home / ".config", home / ".cache", home / ".local/share"},
                           kBrowserCallTimeout, factory.ExtensionBrowsers().Requests());
    CLinuxFileSystem files({home.string()});
    CCleaningRoutines routines(files, data);
    CRecordingCleanReport report;
    std::atomic<bool> bCleaned{false};
    std::thread cleaner([&] {
        routines.CleanCookies(&report, {});
        routines.CleanTempInternetFiles(&report, {});
        routines.CleanHistory(&report, {});
        routines.CleanFavorites(&report, {});
        bCleaned = true;
    });
    const bool bInTime = PassUntil(
        scanner, [&] { return bCleaned.load(); }, 3 * kWaitLimit);
    cleaner.join();
    ASSERT_TRUE(bInTime);
    EXPECT_THAT(report.m_failed, testing::IsEmpty());
    EXPECT_THAT(report.m_skipped, testing::IsEmpty());
    EXPECT_THAT(report.m_items, testing::Contains("Cleaning History..."));

    ASSERT_NO_FATAL_FAILURE(CloseBrowser());
    if (bChromium) {
        EXPECT_EQ(SqliteQuery(profile / "Default/History", "SELECT count(*) FROM visits"), 0);
        const std::string bookmarks = ReadTextFile(profile / "Default/Bookmarks");
        EXPECT_THAT(bookmarks, testing::HasSubstr("bookmark_bar"));
        EXPECT_THAT(bookmarks, testing::Not(testing::HasSubstr("bookmarked")));
    } else {
        EXPECT_EQ(SqliteQuery(profile / "places.sqlite", "SELECT count(*) FROM moz_historyvisits"),
                  0);
        EXPECT_EQ(SqliteQuery(profile / "places.sqlite",
                              "SELECT count(*) FROM moz_bookmarks WHERE fk IS NOT NULL"),
                  0);
    }

    const int nFound = found();
    const int nNothing = found("nothing");
    ASSERT_NO_FATAL_FAILURE(StartBrowser(m_Server.Url("/traces.html?again")));
    ASSERT_TRUE(WaitUntil([&] { return found() > nFound; }, kBrowserStartTimeout))
        << "see " << (m_Dir / "browser.log").string();
    EXPECT_EQ(found("nothing"), nNothing + 1);
    EXPECT_EQ(m_Server.RequestCount("/cached.txt"), 2) << "the resource was asked for again";
}

INSTANTIATE_TEST_SUITE_P(Browsers, ExtensionE2E, testing::Values("chromium", "firefox-esr"),
                         [](const auto& info) {
                             return std::string(info.param) == "chromium" ? "Chromium" : "Firefox";
                         });

}  // namespace
