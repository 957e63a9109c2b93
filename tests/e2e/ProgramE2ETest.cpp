// The whole program over real headless Chromium browsers.
#include <atomic>
#include <csignal>
#include <future>

#include <QPushButton>
#include <QTreeWidget>

#include "Resource.h"
#include "app/MainDialog.h"
#include "pages/LogPage.h"
#include "platform/linux/desktop/SystemClock.h"
#include "platform/linux/devtools/DevToolsBrowserWindows.h"
#include "support/LoopbackServer.h"
#include "support/MainRig.h"
#include "support/QtWait.h"
#include "support/Rows.h"
#include "support/TestBrowser.h"
#include "widgets/SlidingTabCtrl.h"
#include "widgets/SortedListBox.h"

namespace {

// Connections that tell whether a count (which calls every browser) is under way, and how
// many succeeded.
class CCountWatch : public IBrowserWindowsFactory {
public:
    explicit CCountWatch(CDevToolsDiscovery discovery) : m_Discovery(std::move(discovery)) {}

    bool IsCounting() const { return m_nCounting > 0; }
    int Counted() const { return m_nCounted; }

    HRESULT CreateBrowserWindows(std::unique_ptr<IBrowserWindows>* windows) override {
        *windows = std::make_unique<CCollection>(m_Discovery, *this);
        return S_OK;
    }

private:
    class CCollection : public CDevToolsBrowserWindows {
    public:
        CCollection(const CDevToolsDiscovery& discovery, CCountWatch& watch)
            : CDevToolsBrowserWindows(discovery, kBrowserCallTimeout), m_Watch(watch) {}
        HRESULT GetCount(long* count) override {
            ++m_Watch.m_nCounting;
            const HRESULT hr = CDevToolsBrowserWindows::GetCount(count);
            --m_Watch.m_nCounting;
            m_Watch.m_nCounted += SUCCEEDED(hr) ? 1 : 0;
            return hr;
        }

    private:
        CCountWatch& m_Watch;
    };

    CDevToolsDiscovery m_Discovery;
    std::atomic<int> m_nCounting = 0;
    std::atomic<int> m_nCounted = 0;
};

// Runs `action` apart while the event loop goes on: the browser holds each new window until
// the program has readied it.
template <class F>
auto Drive(F action) {
    auto future = std::async(std::launch::async, action);
    EXPECT_TRUE(WaitFor([&future] {
        return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }));
    return future.get();
}

// While the program waits for a stopped browser, the window answers the user and the other
// browser is guarded; once it answers again, a burst of pop-ups is closed as it comes.
TEST(ProgramE2E, AStoppedBrowserNeverHoldsUpTheWindow) {
    CTempDir dir;
    CTempDir otherDir;
    CLoopbackServer server;
    server.SetPage("/opener.html", kOpenerPage);
    server.SetPage("/plain.html", kPlainPage);
    const auto Url = [&](const std::string& query) { return server.Url("/plain.html?" + query); };
    // One that lets a page open several pop-ups per click, as for a site the user allowed.
    CTestBrowser browser(dir.Path(), Url("first"), {"--disable-popup-blocking"});
    CTestBrowser other(otherDir.Path(), Url("other"));
    CCountWatch watched(CDevToolsDiscovery("", {browser.ProfileDir(), other.ProfileDir()}));
    CSystemClock clock;
    CMainRig rig({.pBrowsers = &watched, .pClock = &clock});
    CMainDialog& dialog = rig.Start();
    auto& whiteList = *dialog.Tabs()->GetPage(CMainDialog::PAGE_WHITELIST);
    auto& openUrls = *whiteList.findChild<CSortedListBox*>(QStringLiteral("openUrls"));
    dialog.OnPageCommand(CMainDialog::PAGE_WHITELIST);
    ASSERT_TRUE(WaitFor([&] {
        const auto rows = Rows(openUrls);
        return std::ranges::find(rows, Url("other")) != rows.end();
    }));

    other.Process().Signal(SIGSTOP);
    ASSERT_TRUE(WaitFor([&] { return watched.IsCounting(); }));
    std::vector<bool> countingWhenHandled;
    const auto handled = [&] { countingWhenHandled.push_back(watched.IsCounting()); };
    dialog.OnPageCommand(CMainDialog::PAGE_LOGS);
    handled();
    dialog.OnPageCommand(CMainDialog::PAGE_WHITELIST);
    handled();
    whiteList.findChild<QPushButton*>(QStringLiteral("refresh"))->click();
    handled();
    dialog.OnCommand(ID_MENU_OFFON);
    dialog.OnCommand(ID_MENU_OFFON);
    handled();
    EXPECT_EQ(countingWhenHandled, (std::vector<bool>{true, true, true, true}));
    // The browser that answers is still guarded.
    const std::string opener = server.Url("/opener.html");
    const std::string openerId = Drive([&] {
        std::string id = browser.OpenWindow(opener);
        browser.RunInPage(id, "pop('" + Url("guarded") + "', 'popup')");
        return id;
    });
    CLogPage& log = *dialog.LogPage();
    EXPECT_TRUE(WaitFor([&] { return log.GetRowCount() == 1; }));

    // More counts succeed than the list pages asked for meanwhile: the passes go on.
    const int nCounted = watched.Counted();
    other.Process().Signal(SIGCONT);
    EXPECT_TRUE(WaitFor([&] { return watched.Counted() > nCounted + 3; }));

    // Twenty pop-ups from one click: each closed before its page loads, logged once.
    Drive([&] {
        browser.RunInPage(openerId,
                          "for (let i = 0; i < 20; ++i) pop('" + Url("popup-") + "' + i, 'popup')");
    });
    ASSERT_TRUE(WaitFor([&] { return log.GetRowCount() == 21; }));
    std::set<std::string> expected{Url("guarded")};
    std::set<std::string> logged;
    for (int i = 0; i < 21; ++i) {
        logged.insert(log.findChild<QTreeWidget*>()->topLevelItem(i)->text(0).toStdString());
    }
    for (int i = 0; i < 20; ++i) {
        expected.insert(Url("popup-" + std::to_string(i)));
        EXPECT_EQ(server.RequestCount("/plain.html?popup-" + std::to_string(i)), 0) << i;
    }
    EXPECT_EQ(logged, expected);
    EXPECT_TRUE(Drive([&] {
        return browser.WaitForPages(
            [&](const auto& pages) { return pages.size() == 2 && HasPage(pages, opener); });
    })) << "the first tab and the opener stay";
    EXPECT_EQ(log.GetRowCount(), 21);
}

}  // namespace
