// The companion extension in real headless Chromium and Firefox: the browser starts
// quellio-bridge through the host manifest, and Quellio guards and cleans it through it.
#include <poll.h>

#include <atomic>
#include <set>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cleaner/CleaningRoutines.h"
#include "engine/BrowserScanner.h"
#include "engine/OpenUrls.h"
#include "engine/UrlList.h"
#include "platform/linux/AllBrowserWindowsFactory.h"
#include "platform/linux/cleaner/LinuxBrowserData.h"
#include "platform/linux/cleaner/LinuxFileSystem.h"
#include "platform/linux/devtools/DevToolsClient.h"
#include "support/CompanionBrowser.h"
#include "support/LoopbackServer.h"
#include "support/RecordingCleanReport.h"
#include "support/RecordingReport.h"
#include "support/SqliteFile.h"
#include "support/TempDir.h"
#include "support/TestBrowser.h"
#include "support/TextFile.h"
#include "support/WaitUntil.h"

namespace {

namespace fs = std::filesystem;

class ExtensionE2E : public testing::TestWithParam<const char*> {
protected:
    std::string Url(const std::string& query) const { return m_Server.Url("/plain.html?" + query); }
    fs::path Socket() const { return CompanionSocket(m_Dir.Path()); }

    // Chromium also with remote debugging, as quellio-browser starts it.
    void StartBrowser(const std::string& url) {
        const bool bChromium = std::string(GetParam()) == "chromium";
        ASSERT_TRUE(
            StartCompanionBrowser(m_Browser, GetParam(), m_Dir.Path(), url,
                                  bChromium ? std::vector<std::string>{"--remote-debugging-port=0"}
                                            : std::vector<std::string>{}));
    }

    // As a user closes it, so that it writes its files out.
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

    // The addresses of the pages open in the browsers that `factory` reaches.
    static std::set<std::string> OpenAddresses(IBrowserWindowsFactory& factory) {
        std::unique_ptr<IBrowserWindows> windows;
        EXPECT_EQ(factory.CreateBrowserWindows(&windows), S_OK);
        const auto urls = ReadOpenUrls(windows.get()).value_or(std::vector<std::string>{});
        return {urls.begin(), urls.end()};
    }

    CTempDir m_Dir;
    CLoopbackServer m_Server;
    CChildProcess m_Browser;
    CUrlList m_Black;
    CUrlList m_White;
    CRecordingReport m_Report;
};

// Tells the server which traces of earlier visits it finds, leaves them again, and moves on
// once the server says "go".
constexpr char kTracesPage[] =
    "<!doctype html><title>traces</title><script>"
    "const found = (document.cookie.includes('quellio=1') ? 'cookie' : '') +"
    "    (localStorage.getItem('quellio') ? 'storage' : '');"
    "const ask = () => fetch('/state').then(r => r.text()).then(state => {"
    "    if (state === 'go') location.href = '/traces.html?' + Date.now();"
    "    else setTimeout(ask, 200);"
    "});"
    "fetch('/cached.txt').then(() => fetch('/found?' + (found || 'nothing'))).then(() => {"
    "    document.cookie = 'quellio=1; max-age=86400; path=/';"
    "    localStorage.setItem('quellio', '1');"
    "    ask();"
    "});"
    "</script><p>traces</p>";

// Pop-ups and a black-listed address close, each logged once, while a tab and a white-listed
// pop-up load once; a cleaning pass on its own thread, the connection pumped meanwhile,
// removes every trace the tab left and a bookmark, for good.
TEST_P(ExtensionE2E, GuardsAndCleansTheRunningBrowserThroughItsExtension) {
    const bool bChromium = std::string(GetParam()) == "chromium";
    const fs::path profile = m_Dir / "profile";
    const std::string tab = m_Server.Url("/traces.html?tab");
    m_Server.SetPage("/plain.html", kPlainPage);
    m_Server.SetPage("/traces.html", kTracesPage);
    m_Server.SetPage("/cached.txt", "cached", true);
    m_Server.SetPage("/found", "");
    m_Server.SetPage("/state", "stay");
    const auto pop = [](const std::string& url, const char* features) {
        return "window.open('" + url + "', '_blank', '" + features + "');";
    };
    m_Server.SetPage("/scenario.html",
                     "<!doctype html><title>scenario</title><script>" + pop(Url("popup"), "popup") +
                         pop(Url("sized"), "width=320,height=240") + pop(tab, "") +
                         pop(Url("spared"), "popup") + "setTimeout(() => { location.href = '" +
                         Url("black") + "'; }, 1500);</script><p>scenario</p>");
    // Waits for the extension: a pop-up opened before it runs is closed, but not held.
    m_Server.SetPage("/start.html",
                     "<!doctype html><title>start</title><script>"
                     "setInterval(() => fetch('/go').then(r => { if (r.ok) location.href = "
                     "'/scenario.html'; }), 100);"
                     "</script>");
    m_White.Add(Url("spared"));
    m_Black.Add(Url("black"));
    SeedCompanionBookmark(GetParam(), m_Dir.Path(), m_Server.Url("/plain.html?bookmarked"));
    CAllBrowserWindowsFactory factory(CDevToolsDiscovery("", {profile}), Socket());
    CBrowserScanner scanner(factory, m_Black, m_White, m_Report);
    scanner.ConnectBrowserWindows();
    scanner.WatchBrowserEvents(true);
    ASSERT_GE(scanner.GetBrowserEventHandle(), 0);
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
    EXPECT_TRUE(PassUntil(
        scanner, [&] { return m_Report.LoggedSet() == expected; }, 3 * kWaitLimit))
        << "see " << (m_Dir / "browser.log").string();
    const auto loaded = [&](const char* query) {
        return m_Server.RequestCount("/plain.html?" + std::string(query));
    };
    EXPECT_TRUE(PassUntil(
        scanner,
        [&] {
            return OpenAddresses(factory) == std::set<std::string>{tab, Url("spared")} &&
                   m_Server.RequestCount("/traces.html?tab") == 1 && loaded("spared") == 1;
        },
        kWaitLimit))
        << testing::PrintToString(OpenAddresses(factory));
    if (!bChromium) {  // Firefox lets the extension hold a new tab's first page
        EXPECT_EQ(loaded("popup"), 0);
        EXPECT_EQ(loaded("sized"), 0);
    }
    EXPECT_EQ(m_Report.LoggedSet(), expected) << "each once";
    EXPECT_EQ(m_Report.m_Events.size(), 2 * expected.size()) << "each log with its signal";

    m_Server.SetPage("/state", "go");
    ASSERT_TRUE(PassUntil(
        scanner, [&] { return m_Server.RequestCount("/found?cookiestorage") > 0; }, kWaitLimit))
        << "the next page found no cookie or storage; see " << (m_Dir / "browser.log").string();
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

    const int nNothing = m_Server.RequestCount("/found?nothing");
    ASSERT_NO_FATAL_FAILURE(StartBrowser(m_Server.Url("/traces.html?again")));
    EXPECT_TRUE(WaitUntil([&] { return m_Server.RequestCount("/found?nothing") > nNothing; },
                          kBrowserStartTimeout))
        << "the page found traces of before; see " << (m_Dir / "browser.log").string();
    EXPECT_EQ(m_Server.RequestCount("/cached.txt"), 2) << "the resource was asked for again";
}

INSTANTIATE_TEST_SUITE_P(Browsers, ExtensionE2E, testing::Values("chromium", "firefox-esr"),
                         [](const auto& info) {
                             return std::string(info.param) == "chromium" ? "Chromium" : "Firefox";
                         });

}  // namespace
