// The scan over a real headless Chromium on pages served on 127.0.0.1.
#include <poll.h>

#include <future>
#include <optional>
#include <set>

#include <gtest/gtest.h>

#include "engine/BrowserScanner.h"
#include "engine/OpenUrls.h"
#include "engine/UrlList.h"
#include "platform/linux/devtools/DevToolsBrowserWindows.h"
#include "platform/linux/devtools/DevToolsBrowserWindowsFactory.h"
#include "support/LoopbackServer.h"
#include "support/RecordingReport.h"
#include "support/TempDir.h"
#include "support/TestBrowser.h"
#include "support/WaitUntil.h"

namespace {

using Strings = std::vector<std::string>;

class BrowserScanE2E : public testing::Test {
protected:
    BrowserScanE2E() {
        m_Server.SetPage("/opener.html", kOpenerPage);
        m_Server.SetPage("/plain.html", kPlainPage);
        // Tries to pass for a window with its bars shown.
        m_Server.SetPage("/forge.html",
                         "<!doctype html><script>window.locationbar = {visible: true};"
                         "window.toolbar = {visible: true};</script><p>forge</p>");
    }

    CTestBrowser& StartBrowser(const std::string& name) {
        std::filesystem::create_directories(m_Dir / name);
        m_Browsers.push_back(
            std::make_unique<CTestBrowser>(m_Dir / name, m_Server.Url("/plain.html?first")));
        return *m_Browsers.back();
    }
    std::string Url(const std::string& query) const { return m_Server.Url("/plain.html?" + query); }

    // Finds the browsers started here, as Quellio finds them by their profile folders.
    CDevToolsDiscovery Discovery() const {
        return CDevToolsDiscovery("", {m_Dir / "a" / "profile", m_Dir / "b" / "profile"});
    }
    // A scanner connected to them, anew.
    CBrowserScanner& Scanner() {
        m_Scanner.reset();
        m_Factory.emplace(Discovery(), kBrowserCallTimeout);
        m_Scanner.emplace(*m_Factory, m_Black, m_White, m_Report);
        m_Scanner->ConnectBrowserWindows();
        return *m_Scanner;
    }

    // Opens each of `urls` with its window features from an opener page; waits until all show.
    void OpenFrom(CTestBrowser& driver,
                  const std::vector<std::pair<std::string, std::string>>& urls) {
        const std::string opener = driver.OpenWindow(m_Server.Url("/opener.html"));
        for (const auto& [url, features] : urls) {
            driver.RunInPage(opener, "pop('" + url + "', '" + features + "')");
        }
        EXPECT_TRUE(driver.WaitForPages([&urls](const auto& pages) {
            return std::ranges::all_of(urls,
                                       [&](const auto& url) { return HasPage(pages, url.first); });
        }));
    }

    // The addresses of the pages open in `windows`, in any order.
    static std::multiset<std::string> OpenAddresses(IBrowserWindows& windows) {
        const auto urls = ReadOpenUrls(&windows).value_or(Strings{});
        return {urls.begin(), urls.end()};
    }

    CTempDir m_Dir;
    CLoopbackServer m_Server;
    std::vector<std::unique_ptr<CTestBrowser>> m_Browsers;
    CUrlList m_Black;
    CUrlList m_White;
    CRecordingReport m_Report;
    std::optional<CDevToolsBrowserWindowsFactory> m_Factory;
    std::optional<CBrowserScanner> m_Scanner;
};

// However opened, and whatever the page forges, a pop-up is told by its bars; one pass closes
// the pop-ups the white list does not spare and what the black list names.
TEST_F(BrowserScanE2E, PassesClosePopupsHoweverOpenedAndWhatTheBlackListNames) {
    CTestBrowser& driver = StartBrowser("a");
    const std::vector<std::pair<std::string, std::string>> popups = {
        {Url("size"), "width=320,height=240"},
        {Url("popup"), "popup"},
        {Url("toolbar-no"), "toolbar=no"},
        {Url("popup-noopener"), "popup,noopener"},
        {Url("size-noopener"), "width=320,height=240,noopener"},
        {m_Server.Url("/forge.html?forged"), "popup"}};
    const std::vector<std::pair<std::string, std::string>> kept = {
        {Url("noopener-tab"), "noopener"}, {Url("blank-tab"), ""}, {Url("spared"), "popup"}};
    m_White.Add(Url("spared"));
    m_Black.Add(Url("bad-tab"));
    m_Black.Add(Url("bad-popup"));
    auto opened = popups;
    opened.insert(opened.end(), kept.begin(), kept.end());
    opened.insert(opened.end(), {{Url("bad-tab"), ""}, {Url("bad-popup"), "popup"}});
    OpenFrom(driver, opened);
    driver.OpenWindow(Url("normal-window"));

    EXPECT_EQ(Scanner().ScanBrowserWindows(), S_OK);

    std::multiset<std::string> expected = {Url("bad-tab"), Url("bad-popup"), Url("bad-popup")};
    for (const auto& popup : popups) {
        expected.insert(popup.first);
    }
    EXPECT_EQ(m_Report.LoggedSet(), expected);
    EXPECT_EQ(m_Report.m_Events.size(), 2 * expected.size()) << "each log with its signal";
    EXPECT_TRUE(driver.WaitForPages([&](const auto& pages) {
        return std::ranges::none_of(expected, [&](const auto& url) { return HasPage(pages, url); });
    }));
    const auto pages = driver.Pages();
    for (const auto& tab : kept) {
        EXPECT_TRUE(HasPage(pages, tab.first)) << tab.first;
    }
    EXPECT_TRUE(HasPage(pages, Url("normal-window")));

    // On announcements alone, a pop-up closes before its page is asked for, and a black-listed
    // address the user types closes at once (that page loads: it comes before the window).
    m_Report.m_Events.clear();
    m_White.Add(Url("spared-too"));
    m_Black.Add(Url("typed"));
    m_Black.Add(Url("navigated"));
    CBrowserScanner& scanner = Scanner();
    scanner.WatchBrowserEvents(true);
    ASSERT_EQ(scanner.ScanBrowserWindows(), S_OK);
    // The browser holds each new window until the scanner has readied it: the user acts apart.
    auto user = std::async(std::launch::async, [&] {
        const std::string opener = driver.OpenWindow(m_Server.Url("/opener.html?again"));
        for (const auto& [query, features] :
             {std::pair{"held", "width=320,height=240"}, std::pair{"spared-too", "popup"},
              std::pair{"tab", ""}}) {
            driver.RunInPage(opener, "pop('" + Url(query) + "', '" + features + "')");
        }
        driver.StartWindow(Url("typed"));
        driver.RunInPage(opener, "location.href = '" + Url("navigated") + "'");
    });
    const std::multiset<std::string> closed = {Url("held"), Url("typed"), Url("navigated")};
    const auto requests = [this](const char* query) {
        return m_Server.RequestCount(std::string("/plain.html?") + query);
    };
    WaitUntil(
        [&] {
            return m_Report.LoggedSet() == closed && requests("spared-too") + requests("tab") == 2;
        },
        kWaitLimit,
        [&] {
            pollfd events{scanner.GetBrowserEventHandle(), POLLIN, 0};
            ::poll(&events, 1, 10);
            if (scanner.TakeBrowserEvents()) {
                scanner.ScanBrowserWindows();
            }
        });
    user.get();
    EXPECT_EQ(m_Report.LoggedSet(), closed);
    EXPECT_EQ(requests("held"), 0);
    EXPECT_EQ(requests("spared-too"), 1);
    EXPECT_EQ(requests("tab"), 1);
}

// Browsers join and leave the collection; one that stops answering is left out of the passes
// while the others are guarded, and once it answers a later pass closes what it missed.
TEST_F(BrowserScanE2E, BrowsersComeAndGoAndAFrozenOneIsLeftOutUntilItAnswers) {
    CTestBrowser& frozen = StartBrowser("a");
    frozen.OpenWindow(Url("in-a"), false);
    CDevToolsBrowserWindows windows(Discovery(), kBrowserCallTimeout);
    using Set = std::multiset<std::string>;
    EXPECT_EQ(OpenAddresses(windows), (Set{Url("in-a"), Url("first")}));
    CTestBrowser& other = StartBrowser("b");
    EXPECT_EQ(OpenAddresses(windows), (Set{Url("in-a"), Url("first"), Url("first")}));

    CBrowserScanner& scanner = Scanner();
    ASSERT_EQ(scanner.ScanBrowserWindows(), S_OK);
    OpenFrom(frozen, {{Url("popup"), "popup"}});
    frozen.Process().Signal(SIGSTOP);
    OpenFrom(other, {{Url("other-popup"), "other"}});
    EXPECT_EQ(scanner.ScanBrowserWindows(), S_OK);
    EXPECT_EQ(scanner.ScanBrowserWindows(), S_OK);
    EXPECT_EQ(m_Report.Logged(), Strings{Url("other-popup")});
    frozen.Process().Signal(SIGCONT);
    // It is asked again after a pause, and may need a moment to catch up.
    EXPECT_TRUE(WaitUntil(
        [&] {
            scanner.ScanBrowserWindows();
            return m_Report.Logged().size() == 2;
        },
        std::chrono::seconds(20)));
    EXPECT_EQ(m_Report.Logged(), (Strings{Url("other-popup"), Url("popup")}));

    other.Process().Stop(SIGKILL);
    EXPECT_EQ(OpenAddresses(windows),
              (Set{Url("in-a"), Url("first"), m_Server.Url("/opener.html")}));
}

}  // namespace
