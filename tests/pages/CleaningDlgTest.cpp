#include "pages/CleaningDlg.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "cleaner/CleaningThreads.h"
#include "platform/linux/registry/RegistryHive.h"
#include "store/SettingsStore.h"
#include "support/QtWait.h"
#include "support/RecordingCleaner.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempDir.h"

using ::testing::ElementsAre;
using namespace std::chrono_literals;

namespace {

// Holds a routine on the worker's thread until the test lets it go, or the pass is stopped.
class CGate {
public:
    void Wait(const std::stop_token& stop) {
        m_bReached = true;
        while (m_Opened.wait_for(1ms) != std::future_status::ready && !stop.stop_requested()) {
        }
    }
    void Open() { m_Open.set_value(); }
    bool IsReached() const { return m_bReached; }

private:
    std::promise<void> m_Open;
    std::shared_future<void> m_Opened = m_Open.get_future().share();
    std::atomic<bool> m_bReached = false;
};

class CleaningDlgTest : public testing::Test {
protected:
    void Choose(std::initializer_list<const COption*> options) {
        for (const COption* option : options) {
            m_Store.WriteOption(*option, 1);
        }
    }
    QLabel* Line(const char* szName) const {
        return m_pDlg->findChild<QLabel*>(QString::fromLatin1(szName));
    }
    int Bar(const char* szName) const {
        return m_pDlg->findChild<QProgressBar*>(QString::fromLatin1(szName))->value();
    }
    // Lets every pass end on its own, then lets its thread go.
    void JoinPasses() { m_pThreads.reset(); }

    CTempDir m_Dir;
    CRegistryHive m_Hive{m_Dir / "registry.reg"};
    CSettingsStore m_Store{m_Hive};
    CRecordingCleaner m_Cleaner;
    CScriptedMessageBox m_MessageBox;
    std::unique_ptr<CCleaningThreads> m_pThreads = std::make_unique<CCleaningThreads>();
    std::unique_ptr<CCleaningDlg> m_pDlg = std::make_unique<CCleaningDlg>(
        CCleaningServices{m_Cleaner, m_Store, m_MessageBox, *m_pThreads});
};

// Each file closes a tenth of the upper bar's distance to its end; the lower bar steps by
// 10 and starts again from 0 past 500; a step's end puts the lower bar a fifth of the way
// on from the upper bar, which the bar shows at most as 500.
TEST_F(CleaningDlgTest, BarsFollowFilesAndSteps) {
    m_pDlg->OnStepStart("Now cleaning cookies...");
    const int expectedUpper[] = {100, 190, 271, 343, 408, 467, 520, 568, 611, 649};
    for (const int nUpper : expectedUpper) {
        m_pDlg->OnCleanItem("/home/u/.cache/chromium/Default/Cache/Cache_Data/f_00000a");
        EXPECT_EQ(Bar("upperBar"), nUpper);
    }
    EXPECT_EQ(Bar("lowerBar"), 120);
    m_pDlg->OnStepDone("Clean cookies completely!");
    EXPECT_EQ(Bar("upperBar"), 1000);
    EXPECT_EQ(Bar("lowerBar"), 500);  // 649 + 70, shown as 500

    m_pDlg->OnStepStart("Now cleaning Recent...");
    EXPECT_EQ(Bar("upperBar"), 0);
    m_pDlg->OnCleanItem("a");
    EXPECT_EQ(Bar("lowerBar"), 0);  // past the end: from the beginning
    m_pDlg->OnCleanItem("b");
    EXPECT_EQ(Bar("lowerBar"), 10);
    m_pDlg->OnStepDone("Clean Recent completely!");
    EXPECT_EQ(Bar("lowerBar"), 352);  // 190 + 810 / 5
}

TEST_F(CleaningDlgTest, UpperLineShowsTheFileNameAndLowerLineTheStep) {
    const struct {
        const char* szReport;
        const char* szShown;
    } cases[] = {
        {"/home/u/.config/chromium/Default/Bookmarks", "Bookmarks"},
        {"Cleaning History...", "Cleaning History..."},
        {"/home/u/Recent/a\\b <b>c.txt", "a\\b <b>c.txt"},
        {"/home/u/Recent/", ""},
    };
    for (const auto& item : cases) {
        m_pDlg->OnCleanItem(item.szReport);
        EXPECT_EQ(Line("itemText")->text(), QString::fromUtf8(item.szShown)) << item.szReport;
    }
    EXPECT_EQ(Line("itemText")->textFormat(), Qt::PlainText);
    m_pDlg->OnSkipped("History of Chromium (Default) is in use: close the browser to clean it");
    EXPECT_EQ(
        Line("itemText")->text(),
        QStringLiteral("History of Chromium (Default) is in use: close the browser to clean it"));
    m_pDlg->OnStepStart("Now cleaning History...");
    EXPECT_EQ(Line("stepText")->text(), QStringLiteral("Now cleaning History..."));
    m_pDlg->OnStepDone("Clean History completely!");
    EXPECT_EQ(Line("stepText")->text(), QStringLiteral("Clean History completely!"));
}

// A whole pass through the worker: the completion message names what a browser in use
// kept, and the dialog closes by itself.
TEST_F(CleaningDlgTest, PassEndsWithTheCompletionMessageAndCloses) {
    Choose({&OPT_KILLCOOKIES, &OPT_KILLHISTORY});
    m_Cleaner.OnCall("CleanCookies", [](ICleanReport* pReport, std::stop_token) {
        pReport->OnCleanItem("/home/u/.config/chromium/Default/Cookies");
    });
    m_Cleaner.OnCall("CleanHistory", [](ICleanReport* pReport, std::stop_token) {
        pReport->OnSkipped("History of Chromium (Default) is in use");
    });
    EXPECT_EQ(m_pDlg->windowTitle(), QStringLiteral("Cleaning..."));
    EXPECT_EQ(m_pDlg->exec(), QDialog::Accepted);
    ASSERT_EQ(m_MessageBox.Boxes().size(), 1U);
    EXPECT_EQ(m_MessageBox.Boxes()[0].strText,
              QStringLiteral("Clean Completely!\nHistory: not cleaned where a browser is in use"));
    EXPECT_EQ(m_MessageBox.Boxes()[0].pOwner, m_pDlg.get());
    EXPECT_EQ(Line("itemText")->text(), QStringLiteral("Clean Completely!"));
    EXPECT_EQ(Line("stepText")->text(), QStringLiteral("Clean Completely!"));
    EXPECT_EQ(Bar("upperBar"), 1000);
    EXPECT_EQ(Bar("lowerBar"), 500);
    EXPECT_THAT(m_Cleaner.Calls(), ElementsAre("CleanCookies", "CleanHistory"));
}

// "Stop" while the worker waits in a report that the busy user-interface thread has not
// handled: the report returns at once, nothing more reaches the dialog, no later step runs.
TEST_F(CleaningDlgTest, StopReleasesAWorkerWaitingInAReport) {
    Choose({&OPT_KILLCOOKIES, &OPT_KILLCACHE, &OPT_KILLHISTORY});
    CGate gate;
    std::atomic<bool> bReporting = false;
    std::atomic<bool> bReported = false;
    m_Cleaner.OnCall("CleanTempInternetFiles", [&](ICleanReport* pReport, std::stop_token stop) {
        gate.Wait(stop);
        bReporting = true;
        pReport->OnCleanItem("/cache/f_1");
        bReported = true;
        pReport->OnCleanItem("/cache/f_2");  // a routine that does not look at the stop
    });
    m_pDlg->show();
    ASSERT_TRUE(WaitFor([&] { return gate.IsReached(); }));
    gate.Open();
    // Without running the event loop, so that nothing the worker sends is handled.
    ASSERT_TRUE(WaitUntil([&] { return bReporting.load(); }));
    std::this_thread::sleep_for(20ms);
    m_pDlg->findChild<QPushButton*>()->click();
    EXPECT_TRUE(WaitUntil([&] { return bReported.load(); }));

    ProcessEventsFor(50ms);
    JoinPasses();
    EXPECT_FALSE(m_pDlg->isVisible());
    EXPECT_EQ(m_pDlg->result(), QDialog::Accepted);
    EXPECT_EQ(Line("itemText")->text(), QStringLiteral("Static"));
    EXPECT_EQ(Line("stepText")->text(), QStringLiteral("Now cleaning Temporary Internet Files"));
    EXPECT_TRUE(m_MessageBox.Boxes().empty());
    EXPECT_THAT(m_Cleaner.Calls(), ElementsAre("CleanCookies", "CleanTempInternetFiles"));
}

TEST_F(CleaningDlgTest, EnterStopsThePass) {
    Choose({&OPT_KILLCOOKIES, &OPT_KILLRECENT});
    CGate gate;
    std::atomic<bool> bStopSeen = false;
    m_Cleaner.OnCall("CleanCookies", [&](ICleanReport*, std::stop_token stop) {
        gate.Wait(stop);
        bStopSeen = stop.stop_requested();
    });
    m_pDlg->show();
    ASSERT_TRUE(WaitFor([&] { return gate.IsReached(); }));
    QTest::keyClick(m_pDlg.get(), Qt::Key_Return);
    EXPECT_TRUE(WaitFor([&] { return !m_pDlg->isVisible(); }));
    EXPECT_EQ(m_pDlg->result(), QDialog::Accepted);
    JoinPasses();
    EXPECT_TRUE(bStopSeen);
    EXPECT_THAT(m_Cleaner.Calls(), ElementsAre("CleanCookies"));
    EXPECT_TRUE(m_MessageBox.Boxes().empty());
}

// Esc closes the dialog at once; the pass goes on to its end in the background, also
// after the dialog object is gone, and says nothing.
TEST_F(CleaningDlgTest, EscLeavesThePassRunningInTheBackground) {
    Choose({&OPT_KILLCOOKIES, &OPT_KILLCACHE, &OPT_KILLRECENT});
    CGate gate;
    std::atomic<bool> bRecentDone = false;
    m_Cleaner.OnCall("CleanTempInternetFiles", [&](ICleanReport* pReport, std::stop_token stop) {
        gate.Wait(stop);
        pReport->OnCleanItem("/cache/f_1");
    });
    m_Cleaner.OnCall("CleanRecent", [&](ICleanReport* pReport, std::stop_token) {
        pReport->OnCleanItem("/home/u/.local/share/RecentDocuments/a.desktop");
        bRecentDone = true;
    });
    m_pDlg->show();
    ASSERT_TRUE(WaitFor([&] { return gate.IsReached(); }));
    QTest::keyClick(m_pDlg.get(), Qt::Key_Escape);
    EXPECT_FALSE(m_pDlg->isVisible());
    EXPECT_EQ(m_pDlg->result(), QDialog::Rejected);
    m_pDlg.reset();

    gate.Open();
    EXPECT_TRUE(WaitFor([&] { return bRecentDone.load(); }));
    ProcessEventsFor(20ms);
    JoinPasses();
    EXPECT_THAT(m_Cleaner.Calls(),
                ElementsAre("CleanCookies", "CleanTempInternetFiles", "CleanRecent"));
    EXPECT_TRUE(m_MessageBox.Boxes().empty());
}

}  // namespace
