#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/BrowserScanner.h"
#include "engine/KillReport.h"
#include "engine/UrlList.h"
#include "platform/linux/devtools/DevToolsBrowserWindows.h"
#include "platform/linux/devtools/DevToolsBrowserWindowsFactory.h"
#include "support/BrowserDriver.h"
#include "support/BrowserProcess.h"
#include "support/PageServer.h"
#include "support/ScanLoop.h"
#include "support/TempDir.h"
#include "support/TestBrowser.h"

using namespace std::chrono_literals;

namespace {

// Tries to pass for a window with its bars shown.
constexpr char kForgingPage[] =
    "<!doctype html><title>forge</title><script>"
    "window.locationbar = {visible: true}; window.toolbar = {visible: true};"
    "</script><p>forge</p>";

// Thread-safe, for passes that run on a scan loop's thread.
class CRecordingReport : public IKillReport {
public:
    void AddLog(std::string_view url) override {
        std::lock_guard lock(m_mutex);
        m_urls.emplace_back(url);
    }
    void SignalKill() override {
        std::lock_guard lock(m_mutex);
        ++m_nSignals;
    }
    std::multiset<std::string> Reported() const {
        std::lock_guard lock(m_mutex);
        return {m_urls.begin(), m_urls.end()};
    }

    std::vector<std::string> m_urls;
    int m_nSignals = 0;

private:
    mutable std::mutex m_mutex;
};

class BrowserScanE2E : public testing::Test {
protected:
    BrowserScanE2E() {
        m_server.SetPage("/opener.html", kOpenerPage);
        m_server.SetPage("/plain.html", kPlainPage);
        m_server.SetPage("/forge.html", kForgingPage);
    }

    CTestBrowser& StartBrowser(const std::string& name) {
        std::filesystem::create_directories(m_dir / name);
        m_browsers.push_back(
            std::make_unique<CTestBrowser>(m_dir / name, m_server.Url("/plain.html?first")));
        return *m_browsers.back();
    }

    CDevToolsDiscovery Discovery() const {
        std::vector<std::filesystem::path> dirs;
        for (const char* name : {"a", "b"}) {
            dirs.push_back(m_dir / name / "profile");
        }
        return CDevToolsDiscovery("", dirs);
    }

    // One scan pass, as the main window's timer runs it.
    HRESULT ScanOnce() { return ScanOnce(Discovery()); }

    HRESULT ScanOnce(CDevToolsDiscovery discovery) {
        CDevToolsBrowserWindowsFactory factory(std::move(discovery), kBrowserCallTimeout);
        CBrowserScanner scanner(factory, m_black, m_white, m_report);
        scanner.ConnectBrowserWindows();
        return scanner.ScanBrowserWindows();
    }

    // Opens each of `urls` from an opener page with its features, and waits until all show.
    std::string OpenFrom(CTestBrowser& browser,
                         const std::vector<std::pair<std::string, std::string>>& urls) {
        return OpenFrom(browser.Driver(), urls);
    }

    std::string OpenFrom(CBrowserDriver& driver,
                         const std::vector<std::pair<std::string, std::string>>& urls) {
        std::string opener = driver.OpenWindow(m_server.Url("/opener.html"));
        for (const auto& [url, features] : urls) {
            driver.RunInPage(opener, "pop('" + url + "', '" + features + "')");
        }
        EXPECT_TRUE(driver.WaitForPages(
            [&urls](const auto& pages) {
                for (const auto& entry : urls) {
                    if (!HasPage(pages, entry.first)) {
                        return false;
                    }
                }
                return true;
            },
            kBrowserStateTimeout));
        return opener;
    }

    bool WaitUntilGone(CTestBrowser& browser, const std::string& url) {
        return WaitUntilGone(browser.Driver(), url);
    }

    bool WaitUntilGone(CBrowserDriver& driver, const std::string& url) {
        return driver.WaitForPages([&url](const auto& pages) { return !HasPage(pages, url); },
                                   kBrowserStateTimeout);
    }

    std::set<std::string> OpenAddresses(IBrowserWindows& windows) {
        std::set<std::string> urls;
        long count = 0;
        EXPECT_EQ(windows.GetCount(&count), S_OK);
        for (long i = 0; i < count; ++i) {
            std::unique_ptr<IBrowserItem> item;
            std::unique_ptr<IBrowserWindow> window;
            std::string url;
            if (SUCCEEDED(windows.Item(i, &item)) && item &&
                SUCCEEDED(item->QueryBrowser(&window)) && SUCCEEDED(window->GetLocationUrl(&url))) {
                urls.insert(url);
            }
        }
        return urls;
    }

    // Waits until the passes have reported `expected`, and answers what they reported.
    std::multiset<std::string> WaitForReports(const std::multiset<std::string>& expected) {
        const auto deadline = std::chrono::steady_clock::now() + kBrowserStateTimeout;
        while (m_report.Reported() != expected && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(10ms);
        }
        return m_report.Reported();
    }

    CTempDir m_dir;
    CPageServer m_server;
    std::vector<std::unique_ptr<CTestBrowser>> m_browsers;
    CUrlList m_black;
    CUrlList m_white;
    CRecordingReport m_report;
};

TEST_F(BrowserScanE2E, OnePassClosesPopupsAndLeavesTabsAndWhiteListedPopups) {
    CTestBrowser& browser = StartBrowser("a");
    const std::string popup = m_server.Url("/plain.html?popup");
    const std::string tab = m_server.Url("/plain.html?tab");
    const std::string spared = m_server.Url("/plain.html?spared");
    m_white.Add(spared);
    OpenFrom(browser, {{popup, "width=320,height=240"}, {tab, ""}, {spared, "popup"}});

    EXPECT_EQ(ScanOnce(), S_OK);

    EXPECT_EQ(m_report.m_urls, std::vector<std::string>{popup});
    EXPECT_EQ(m_report.m_nSignals, 1);
    EXPECT_TRUE(WaitUntilGone(browser, popup));
    const auto pages = browser.Driver().Pages();
    EXPECT_TRUE(HasPage(pages, tab));
    EXPECT_TRUE(HasPage(pages, spared));
}

TEST_F(BrowserScanE2E, BlackListClosesTabsAndReportsBlackListedPopupsTwice) {
    CTestBrowser& browser = StartBrowser("a");
    const std::string badTab = m_server.Url("/plain.html?bad-tab");
    const std::string badPopup = m_server.Url("/plain.html?bad-popup");
    const std::string goodTab = m_server.Url("/plain.html?good-tab");
    m_black.Add(badTab);
    m_black.Add(badPopup);
    OpenFrom(browser, {{badTab, ""}, {badPopup, "popup"}, {goodTab, ""}});

    EXPECT_EQ(ScanOnce(), S_OK);

    std::multiset<std::string> reported(m_report.m_urls.begin(), m_report.m_urls.end());
    EXPECT_EQ(reported, (std::multiset<std::string>{badTab, badPopup, badPopup}));
    EXPECT_EQ(m_report.m_nSignals, 3);
    EXPECT_TRUE(WaitUntilGone(browser, badTab));
    EXPECT_TRUE(WaitUntilGone(browser, badPopup));
    EXPECT_TRUE(HasPage(browser.Driver().Pages(), goodTab));
}

// How each way of opening a window is judged. Only pop-ups are reported.
TEST_F(BrowserScanE2E, BarsTellPopupsFromTabsAndWindowsHoweverTheyWereOpened) {
    CTestBrowser& browser = StartBrowser("a");
    struct SCase {
        const char* name;
        std::string features;
        bool bPopup;
    };
    const std::vector<SCase> cases = {
        {"size", "width=320,height=240", true},
        {"popup", "popup", true},
        {"toolbar-no", "toolbar=no", true},
        {"popup-noopener", "popup,noopener", true},
        {"size-noopener", "width=320,height=240,noopener", true},
        {"noopener-tab", "noopener", false},
        {"blank-tab", "", false},
    };
    std::vector<std::pair<std::string, std::string>> opened;
    std::set<std::string> popups;
    for (const SCase& c : cases) {
        const std::string url = m_server.Url(std::string("/plain.html?") + c.name);
        opened.emplace_back(url, c.features);
        if (c.bPopup) {
            popups.insert(url);
        }
    }
    const std::string forged = m_server.Url("/forge.html?forged-popup");
    opened.emplace_back(forged, "popup");
    popups.insert(forged);
    OpenFrom(browser, opened);
    const std::string normalWindow = m_server.Url("/plain.html?normal-window");
    browser.Driver().OpenWindow(normalWindow);

    EXPECT_EQ(ScanOnce(), S_OK);

    EXPECT_EQ(std::set<std::string>(m_report.m_urls.begin(), m_report.m_urls.end()), popups);
    EXPECT_EQ(m_report.m_urls.size(), popups.size());
    const auto pages = browser.Driver().Pages();
    EXPECT_TRUE(HasPage(pages, normalWindow));
    EXPECT_TRUE(HasPage(pages, m_server.Url("/plain.html?noopener-tab")));
    EXPECT_TRUE(HasPage(pages, m_server.Url("/plain.html?blank-tab")));
}

TEST_F(BrowserScanE2E, FrozenBrowserEndsThePassAndTheNextPassWorksOnceResumed) {
    CTestBrowser& browser = StartBrowser("a");
    CDevToolsBrowserWindowsFactory factory(Discovery(), kBrowserCallTimeout);
    CBrowserScanner scanner(factory, m_black, m_white, m_report);
    scanner.ConnectBrowserWindows();
    ASSERT_EQ(scanner.ScanBrowserWindows(), S_OK);
    const std::string popup = m_server.Url("/plain.html?popup");
    OpenFrom(browser, {{popup, "popup"}});

    browser.Process().Freeze();
    EXPECT_EQ(scanner.ScanBrowserWindows(), E_TIMEOUT);
    EXPECT_TRUE(m_report.m_urls.empty());
    browser.Process().Resume();

    // The browser may need a moment to catch up with what queued while it was stopped.
    HRESULT hr = E_TIMEOUT;
    for (int pass = 0; pass < 20 && m_report.m_urls.empty(); ++pass) {
        hr = scanner.ScanBrowserWindows();
    }
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(m_report.m_urls, std::vector<std::string>{popup});
}

TEST_F(BrowserScanE2E, BrowsersJoinTheCollectionWhenStartedAndLeaveItWhenKilled) {
    CTestBrowser& first = StartBrowser("a");
    const std::string firstPage = m_server.Url("/plain.html?in-a");
    first.Driver().OpenWindow(firstPage);
    CDevToolsBrowserWindows windows(Discovery(), kBrowserCallTimeout);
    const std::set<std::string> before = OpenAddresses(windows);
    EXPECT_TRUE(before.contains(firstPage));

    CTestBrowser& second = StartBrowser("b");
    const std::string secondPage = m_server.Url("/plain.html?in-b");
    second.Driver().OpenWindow(secondPage);
    const std::set<std::string> both = OpenAddresses(windows);
    EXPECT_TRUE(both.contains(firstPage));
    EXPECT_TRUE(both.contains(secondPage));

    second.Process().Kill();
    const std::set<std::string> after = OpenAddresses(windows);
    EXPECT_TRUE(after.contains(firstPage));
    EXPECT_FALSE(after.contains(secondPage));
}

TEST_F(BrowserScanE2E, CollectionGivesTheAddressOfEveryOpenPageFileOnesIncluded) {
    CTestBrowser& browser = StartBrowser("a");
    const std::filesystem::path file = m_dir / "local page.html";
    std::ofstream(file) << kPlainPage;
    const std::string fileUrl = "file://" + (m_dir / "local%20page.html").string();
    const std::string webUrl = m_server.Url("/plain.html?web");
    browser.Driver().OpenWindow(fileUrl);
    browser.Driver().OpenWindow(webUrl, false);

    CDevToolsBrowserWindows windows(Discovery(), kBrowserCallTimeout);
    const std::set<std::string> urls = OpenAddresses(windows);

    EXPECT_TRUE(urls.contains(fileUrl));
    EXPECT_TRUE(urls.contains(webUrl));
    EXPECT_TRUE(urls.contains(m_server.Url("/plain.html?first")));
}

TEST_F(BrowserScanE2E, BrowserStartedByTheLauncherIsFoundAndItsPopupsClosed) {
    const std::filesystem::path home = m_dir / "home";
    const std::filesystem::path data = m_dir / "data";
    std::vector<std::string> argv = {QUELLIO_BROWSER_LAUNCHER};
    for (const std::string& flag : CBrowserProcess::HeadlessFlags()) {
        argv.push_back(flag);
    }
    argv.push_back(m_server.Url("/plain.html?first"));
    CBrowserProcess process(argv,
                            {{"HOME", home.string()},
                             {"XDG_DATA_HOME", data.string()},
                             {"QUELLIO_BROWSER", "chromium"}},
                            m_dir / "launcher.log");
    const std::filesystem::path profile =
        CDevToolsDiscovery::GuardedProfileDir(home.c_str(), data.c_str());
    const auto endpoint =
        process.WaitForEndpoint(profile / "DevToolsActivePort", kBrowserStartTimeout);
    ASSERT_TRUE(endpoint.has_value());
    EXPECT_EQ(std::filesystem::status(profile).permissions(), std::filesystem::perms::owner_all);
    CBrowserDriver driver(*endpoint);
    const std::string popup = m_server.Url("/plain.html?popup");
    const std::string tab = m_server.Url("/plain.html?tab");
    OpenFrom(driver, {{popup, "popup"}, {tab, ""}});

    // Found the way Quellio looks: the usual folders under this HOME and XDG_DATA_HOME.
    EXPECT_EQ(ScanOnce(CDevToolsDiscovery("", CDevToolsDiscovery::DefaultUserDataDirs(
                                                  home.c_str(), nullptr, data.c_str()))),
              S_OK);

    EXPECT_EQ(m_report.m_urls, std::vector<std::string>{popup});
    EXPECT_TRUE(WaitUntilGone(driver, popup));
    EXPECT_TRUE(HasPage(driver.Pages(), tab));
}

// Passes on announcements alone, the timer never firing: a pop-up is closed before its page
// is asked for, while a white-listed pop-up and a tab load as usual.
TEST_F(BrowserScanE2E, AnnouncementsAloneClosePopupsBeforeTheirPageIsAskedFor) {
    CTestBrowser& browser = StartBrowser("a");
    const std::string popup = "/plain.html?popup";
    const std::string spared = "/plain.html?spared";
    const std::string tab = "/plain.html?tab";
    m_white.Add(m_server.Url(spared));
    CDevToolsBrowserWindowsFactory factory(Discovery(), kBrowserCallTimeout);
    CScanLoop loop(factory, m_black, m_white, m_report, std::nullopt, true);

    CBrowserDriver& driver = browser.Driver();
    const std::string opener = driver.OpenWindow(m_server.Url("/opener.html"));
    for (const auto& [path, features] : {std::pair{popup, "width=320,height=240"},
                                         std::pair{spared, "popup"}, std::pair{tab, ""}}) {
        driver.RunInPage(opener, "pop('" + m_server.Url(path) + "', '" + features + "')");
    }

    EXPECT_EQ(WaitForReports({m_server.Url(popup)}), std::multiset{m_server.Url(popup)});
    EXPECT_TRUE(driver.WaitForPages(
        [&](const auto& pages) {
            return HasPage(pages, m_server.Url(spared)) && HasPage(pages, m_server.Url(tab)) &&
                   !HasPage(pages, m_server.Url(popup));
        },
        kBrowserStateTimeout));
    EXPECT_EQ(m_server.RequestCount(popup), 0);
    EXPECT_EQ(m_server.RequestCount(spared), 1);
    EXPECT_EQ(m_server.RequestCount(tab), 1);
    EXPECT_EQ(m_report.Reported(), std::multiset{m_server.Url(popup)}) << "nothing else closed";
}

// A black-listed address typed by the user is closed as soon as the window shows it, in a
// new window as in a tab already open. (The browser asks for an address typed into a new
// window before it announces the window, so such a page is not held.)
TEST_F(BrowserScanE2E, BlackListedAddressTypedByTheUserClosesAtOnce) {
    CTestBrowser& browser = StartBrowser("a");
    const std::string typedNew = "/plain.html?bad-new-window";
    const std::string typedTab = "/plain.html?bad-in-tab";
    m_black.Add(m_server.Url(typedNew));
    m_black.Add(m_server.Url(typedTab));
    CDevToolsBrowserWindowsFactory factory(Discovery(), kBrowserCallTimeout);
    CScanLoop loop(factory, m_black, m_white, m_report, std::nullopt, true);

    CBrowserDriver& driver = browser.Driver();
    const std::string tab = driver.OpenWindow(m_server.Url("/plain.html?tab"));
    driver.StartWindow(m_server.Url(typedNew));
    driver.RunInPage(tab, "location.href = '" + m_server.Url(typedTab) + "'");

    EXPECT_EQ(WaitForReports({m_server.Url(typedNew), m_server.Url(typedTab)}),
              (std::multiset{m_server.Url(typedNew), m_server.Url(typedTab)}));
}

}  // namespace
