// The main window and the list pages over a real headless Chromium.
#include "app/MainDialog.h"

#include "Resource.h"
#include "engine/BrowserScanner.h"
#include "pages/LogPage.h"
#include "pages/WhiteListPage.h"
#include "platform/linux/desktop/SystemClock.h"
#include "platform/linux/devtools/DevToolsBrowserWindowsFactory.h"
#include "support/BrowserThreadWait.h"
#include "support/LoopbackServer.h"
#include "support/MainRig.h"
#include "support/QtWait.h"
#include "support/RecordingReport.h"
#include "support/Rows.h"
#include "support/TestBrowser.h"
#include "widgets/SlidingTabCtrl.h"
#include "widgets/SortedListBox.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <gmock/gmock.h>

#include <atomic>
#include <csignal>
#include <fstream>
#include <future>
#include <iostream>

namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

// Connections that tell whether one of their counts, which calls every browser, is under way,
// how many succeeded and how long the longest took.
class CCountWatch : public IBrowserWindowsFactory {
public:
    explicit CCountWatch(IBrowserWindowsFactory& factory) : m_Factory(factory) {}

    bool IsCounting() const { return m_nCounting > 0; }
    int Counted() const { return m_nCounted; }
    std::chrono::milliseconds LongestCount() const { return m_longestCount; }

    HRESULT CreateBrowserWindows(std::unique_ptr<IBrowserWindows>* windows) override {
        std::unique_ptr<IBrowserWindows> spWindows;
        const HRESULT hr = m_Factory.CreateBrowserWindows(&spWindows);
        if (SUCCEEDED(hr)) {
            *windows = std::make_unique<CCollection>(std::move(spWindows), *this);
        }
        return hr;
    }

private:
    class CCollection : public IBrowserWindows {
    public:
        CCollection(std::unique_ptr<IBrowserWindows> spWindows, CCountWatch& watch)
            : m_spWindows(std::move(spWindows)), m_Watch(watch) {}
        HRESULT GetCount(long* count) override {
            const auto start = std::chrono::steady_clock::now();
            ++m_Watch.m_nCounting;
            const HRESULT hr = m_spWindows->GetCount(count);
            --m_Watch.m_nCounting;
            m_Watch.m_nCounted += SUCCEEDED(hr) ? 1 : 0;
            const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - start);
            m_Watch.m_longestCount = std::max(m_Watch.m_longestCount.load(), took);
            return hr;
        }
        HRESULT Item(long index, std::unique_ptr<IBrowserItem>* item) override {
            return m_spWindows->Item(index, item);
        }
        void WatchEvents(bool bWatch) override { m_spWindows->WatchEvents(bWatch); }
        int GetEventHandle() override { return m_spWindows->GetEventHandle(); }
        HRESULT TakeEvents(std::vector<std::unique_ptr<IBrowserItem>>* announced) override {
            return m_spWindows->TakeEvents(announced);
        }

    private:
        std::unique_ptr<IBrowserWindows> m_spWindows;
        CCountWatch& m_Watch;
    };

    IBrowserWindowsFactory& m_Factory;
    std::atomic<int> m_nCounting = 0;
    std::atomic<int> m_nCounted = 0;
    std::atomic<std::chrono::milliseconds> m_longestCount{};
};

// The longest time the event loop of this thread went without running a 10 ms timer, while
// it ran for `span`.
std::chrono::milliseconds LongestStall(std::chrono::milliseconds span) {
    QElapsedTimer clock;
    clock.start();
    qint64 nLast = 0;
    qint64 nLongest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        nLongest = std::max(nLongest, clock.elapsed() - nLast);
        nLast = clock.elapsed();
    });
    tick.start(10);
    ProcessEventsFor(span);
    return std::chrono::milliseconds(std::max(nLongest, clock.elapsed() - nLast));
}

class ProgramE2E : public testing::Test {
protected:
    ProgramE2E() {
        m_Server.SetPage("/opener.html", kOpenerPage);
        m_Server.SetPage("/plain.html", kPlainPage);
    }
    std::string Url(const std::string& query) const { return m_Server.Url("/plain.html?" + query); }
    // Opens `url` from an opener page with `features`, and waits until it shows.
    void Pop(const std::string& opener, const std::string& url, const std::string& features) {
        m_Driver.RunInPage(opener, "pop('" + url + "', '" + features + "')");
        ASSERT_TRUE(m_Driver.WaitForPages([&](const auto& pages) { return HasPage(pages, url); }));
    }
    bool WaitUntilGone(const std::string& url) {
        return m_Driver.WaitForPages([&](const auto& pages) { return !HasPage(pages, url); });
    }
    // Runs `action` on a thread of its own while the program's event loop goes on: the
    // browser holds each new window until the running program has readied it.
    template <class F>
    auto Drive(F action) {
        auto future = std::async(std::launch::async, action);
        EXPECT_TRUE(WaitFor([&future] {
            return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        }));
        return future.get();
    }

    CTempDir m_Dir;
    CLoopbackServer m_Server;
    // One that lets a page open several pop-ups per click, as for a site the user allowed.
    CTestBrowser m_Browser{{"chromium", "--user-data-dir=" + (m_Dir / "profile").string(),
                            "--remote-debugging-port=0", "--disable-popup-blocking"},
                           {},
                           m_Dir / "profile",
                           m_Dir / "browser.log",
                           Url("first")};
    CBrowserDriver& m_Driver = m_Browser.Driver();
    CDevToolsBrowserWindowsFactory m_Windows{CDevToolsDiscovery("", {m_Browser.ProfileDir()}),
                                             kBrowserCallTimeout};
};

// A browser stopped as a hung one would be: while the program waits for its answer, the
// window answers the user at once; once it answers again, the passes go on.
TEST_F(ProgramE2E, AStoppedBrowserNeverHoldsUpTheWindow) {
    CTempDir otherDir;
    CTestBrowser other(otherDir.Path(), Url("other"));
    CDevToolsBrowserWindowsFactory both(
        CDevToolsDiscovery("", {m_Browser.ProfileDir(), other.ProfileDir()}), kBrowserCallTimeout);
    CCountWatch watched(both);
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
    Drive([&] {
        m_Driver.RunInPage(m_Driver.OpenWindow(m_Server.Url("/opener.html")),
                           "pop('" + Url("guarded") + "', 'popup')");
    });
    EXPECT_TRUE(WaitFor([&] { return dialog.LogPage()->GetRowCount() == 1; }));
    const auto stall = LongestStall(2 * kBrowserCallTimeout);
    std::cout << "longest stall of the window with a browser stopped: " << stall.count()
              << " ms; longest count on the browser thread: " << watched.LongestCount().count()
              << " ms (call timeout " << kBrowserCallTimeout.count() << " ms)" << std::endl;

    // Once it answers again, the passes go on: more counts succeed than the list pages'
    // reading asked for meanwhile.
    const int nCounted = watched.Counted();
    other.Process().Signal(SIGCONT);
    EXPECT_TRUE(WaitFor([&] { return watched.Counted() > nCounted + 3; }));
}

// The whole program: a page opens twenty pop-ups from one click; the program closes each
// before its page is asked for and logs it once, the opener stays.
TEST_F(ProgramE2E, PopupsOpenedByAPageAreClosedAndLoggedItsOpenerStays) {
    CSystemClock clock;
    CMainRig rig({.pBrowsers = &m_Windows, .pClock = &clock});
    CLogPage& log = *rig.Start().LogPage();
    const std::string opener = m_Server.Url("/opener.html");
    Drive([&] {
        m_Driver.RunInPage(m_Driver.OpenWindow(opener), "for (let i = 0; i < 20; ++i) pop('" +
                                                            Url("popup-") + "' + i, 'popup')");
    });

    ASSERT_TRUE(WaitFor([&] { return log.GetRowCount() == 20; }));
    std::set<std::string> expected;
    std::set<std::string> logged;
    for (int i = 0; i < 20; ++i) {
        expected.insert(Url("popup-" + std::to_string(i)));
        logged.insert(log.findChild<QTreeWidget*>()->topLevelItem(i)->text(0).toStdString());
        EXPECT_EQ(m_Server.RequestCount("/plain.html?popup-" + std::to_string(i)), 0) << i;
    }
    EXPECT_EQ(logged, expected);
    EXPECT_TRUE(Drive([&] {
        return m_Driver.WaitForPages(
            [&](const auto& pages) { return pages.size() == 2 && HasPage(pages, opener); });
    })) << "the first tab and the opener stay";
    EXPECT_EQ(log.GetRowCount(), 20);
}

// The white list page lists every window but those of files; a pop-up picked there
// survives the next pass, while another is closed.
TEST_F(ProgramE2E, APopupPickedOnTheWhiteListPageSurvivesTheNextPass) {
    CEmptyLists lists;
    std::ofstream(m_Dir / "folder.html") << kPlainPage;
    m_Driver.OpenWindow("file://" + (m_Dir / "folder.html").string());
    const std::string opener = m_Server.Url("/opener.html");
    const std::string openerId = m_Driver.OpenWindow(opener);
    Pop(openerId, Url("spared"), "popup");
    Pop(openerId, Url("killed"), "width=320,height=240");
    Pop(openerId, Url("tab"), "");

    CScriptedMessageBox messageBox;
    CBrowserThread browserThread;
    CWhiteListPage page(m_Windows, browserThread, messageBox);
    auto& openUrls = *page.findChild<CSortedListBox*>(QStringLiteral("openUrls"));
    page.show();
    ASSERT_TRUE(WaitForBrowserThread(browserThread));
    EXPECT_THAT(Rows(openUrls), UnorderedElementsAre(Url("first"), opener, Url("spared"),
                                                     Url("killed"), Url("tab")));
    const auto rows = Rows(openUrls);
    openUrls.setCurrentRow(static_cast<int>(std::ranges::find(rows, Url("spared")) - rows.begin()));
    page.findChild<QPushButton*>(QStringLiteral("addOpenUrl"))->click();
    EXPECT_TRUE(messageBox.Boxes().empty());
    EXPECT_THAT(g_WhiteList.Entries(), ElementsAre(Url("spared")));

    CRecordingReport report;
    CBrowserScanner scanner(m_Windows, g_BlackList, g_WhiteList, report);
    scanner.ConnectBrowserWindows();
    EXPECT_EQ(scanner.ScanBrowserWindows(), S_OK);
    EXPECT_THAT(report.Logged(), ElementsAre(Url("killed")));
    EXPECT_TRUE(WaitUntilGone(Url("killed")));
    EXPECT_TRUE(HasPage(m_Driver.Pages(), Url("spared")));
    page.findChild<QPushButton*>(QStringLiteral("refresh"))->click();
    ASSERT_TRUE(WaitForBrowserThread(browserThread));
    EXPECT_EQ(openUrls.GetCount(), 4);
}

}  // namespace
