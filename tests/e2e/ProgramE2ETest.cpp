// The main window and the list pages over a real headless Chromium.
#include "app/MainDialog.h"
#include "engine/BrowserScanner.h"
#include "pages/LogPage.h"
#include "pages/WhiteListPage.h"
#include "platform/linux/desktop/SystemClock.h"
#include "platform/linux/devtools/DevToolsBrowserWindowsFactory.h"
#include "support/LoopbackServer.h"
#include "support/MainRig.h"
#include "support/QtWait.h"
#include "support/RecordingReport.h"
#include "support/Rows.h"
#include "support/TestBrowser.h"

#include <QPushButton>
#include <QTreeWidget>

#include <gmock/gmock.h>

#include <fstream>
#include <future>

namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

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
    CWhiteListPage page(m_Windows, messageBox);
    auto& openUrls = *page.findChild<CSortedListBox*>(QStringLiteral("openUrls"));
    page.show();
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
    EXPECT_EQ(openUrls.GetCount(), 4);
}

}  // namespace
