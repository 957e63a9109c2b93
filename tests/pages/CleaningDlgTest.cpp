#include "pages/CleaningDlg.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cleaner/CleaningThreads.h"
#include "support/QtWait.h"
#include "support/RecordingCleaner.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempStore.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace std::chrono_literals;

namespace {

// Holds a routine on the worker's thread until the test lets it go, or the pass is stopped.
struct SGate {
    void Wait(const std::stop_token& stop) {
        bReached = true;
        while (!bOpen && !stop.stop_requested()) {
            std::this_thread::sleep_for(1ms);
        }
    }
    std::atomic<bool> bReached = false;
    std::atomic<bool> bOpen = false;
};

class CleaningDlgTest : public testing::Test, protected STempStore {
protected:
    // The cleaning routines `chosen`; the dialog is shown once the worker holds at `m_Gate`
    // in the routine `szGated`.
    void ShowAndHoldIn(std::initializer_list<const COption*> chosen, const char* szGated,
                       std::function<void(ICleanReport*)> fnAfterGate = {}) {
        for (const COption* option : chosen) {
            m_Store.WriteOption(*option, 1);
        }
        m_Cleaner.OnCall(szGated, [this, fnAfterGate](ICleanReport* pReport, std::stop_token stop) {
            m_Gate.Wait(stop);
            if (fnAfterGate) {
                fnAfterGate(pReport);
            }
        });
        m_pDlg->show();
        ASSERT_TRUE(WaitFor([this] { return m_Gate.bReached.load(); }));
    }
    QString Text(const char* szName) const {
        return m_pDlg->findChild<QLabel*>(QString::fromLatin1(szName))->text();
    }
    int Bar(const char* szName) const {
        return m_pDlg->findChild<QProgressBar*>(QString::fromLatin1(szName))->value();
    }

    CRecordingCleaner m_Cleaner;
    CScriptedMessageBox m_MessageBox;
    SGate m_Gate;
    std::unique_ptr<CCleaningThreads> m_pThreads = std::make_unique<CCleaningThreads>();
    std::unique_ptr<CCleaningDlg> m_pDlg = std::make_unique<CCleaningDlg>(
        CCleaningServices{m_Cleaner, m_Store, m_MessageBox, *m_pThreads});
};

// The bars follow each file and step; the upper line shows a path's file name as plain text.
TEST_F(CleaningDlgTest, BarsAndLinesFollowTheReports) {
    m_pDlg->OnStepStart("Now cleaning cookies...");
    EXPECT_EQ(Text("stepText"), QStringLiteral("Now cleaning cookies..."));
    const char* const reports[][2] = {
        {"/home/u/.config/chromium/Default/Bookmarks", "Bookmarks"},
        {"Cleaning History...", "Cleaning History..."},
        {"/home/u/Recent/a\\b <b>c.txt", "a\\b <b>c.txt"},
        {"/home/u/Recent/", ""},
    };
    for (const auto& [szReport, szShown] : reports) {
        m_pDlg->OnCleanItem(szReport);
        EXPECT_EQ(Text("itemText"), QString::fromUtf8(szShown)) << szReport;
    }
    EXPECT_EQ(m_pDlg->findChild<QLabel*>(QStringLiteral("itemText"))->textFormat(), Qt::PlainText);
    EXPECT_EQ(Bar("upperBar"), 343);  // 100, 190, 271, 343
    EXPECT_EQ(Bar("lowerBar"), 60);
    m_pDlg->OnSkipped("History of Chromium (Default) is in use");
    EXPECT_EQ(Text("itemText"), QStringLiteral("History of Chromium (Default) is in use"));
    m_pDlg->OnCleanItem("a");
    m_pDlg->OnStepDone("Clean cookies completely!");
    EXPECT_EQ(Text("stepText"), QStringLiteral("Clean cookies completely!"));
    EXPECT_EQ(Bar("upperBar"), 1000);
    EXPECT_EQ(Bar("lowerBar"), 500);  // 408 + 118, shown as 500

    m_pDlg->OnStepStart("Now cleaning Recent...");
    EXPECT_EQ(Bar("upperBar"), 0);
    m_pDlg->OnCleanItem("a");
    EXPECT_EQ(Bar("lowerBar"), 0);  // past the end: from the beginning
    m_pDlg->OnStepDone("Clean Recent completely!");
    EXPECT_EQ(Bar("lowerBar"), 280);  // 100 + 900 / 5
}

// A whole pass: the completion message names what a browser in use kept and what failed,
// and the dialog closes by itself.
TEST_F(CleaningDlgTest, PassEndsWithTheCompletionMessageAndCloses) {
    m_Store.WriteOption(OPT_KILLCOOKIES, 1);
    m_Store.WriteOption(OPT_KILLHISTORY, 1);
    m_Cleaner.OnCall("CleanCookies", [](ICleanReport* pReport, std::stop_token) {
        pReport->OnCleanItem("/home/u/.config/chromium/Default/Cookies");
    });
    m_Cleaner.OnCall("CleanHistory", [](ICleanReport* pReport, std::stop_token) {
        pReport->OnSkipped("History of Chromium (Default) is in use");
        pReport->OnFailed("History of Chromium (Work) is damaged");
    });
    EXPECT_EQ(m_pDlg->exec(), QDialog::Accepted);
    ASSERT_EQ(m_MessageBox.Boxes().size(), 1U);
    EXPECT_EQ(m_MessageBox.Boxes()[0].strText,
              QStringLiteral("Clean Completely!\nHistory: not cleaned where a browser is in use"
                             "\nHistory of Chromium (Work) is damaged"));
    EXPECT_EQ(m_MessageBox.Boxes()[0].pOwner, m_pDlg.get());
    EXPECT_EQ(Text("itemText"), QStringLiteral("Clean Completely!"));
    EXPECT_EQ(Text("stepText"), QStringLiteral("Clean Completely!"));
    EXPECT_EQ(Bar("upperBar"), 1000);
    EXPECT_EQ(Bar("lowerBar"), 500);
    EXPECT_THAT(m_Cleaner.Calls(), ElementsAre("CleanCookies", "CleanHistory"));
}

// Enter stops the pass also while the worker waits in a report the busy dialog has not
// handled: the report returns at once, nothing more reaches the dialog, no later step runs.
TEST_F(CleaningDlgTest, StopReleasesAWorkerWaitingInAReport) {
    std::atomic<bool> bReporting = false;
    std::atomic<bool> bReported = false;
    ShowAndHoldIn({&OPT_KILLCOOKIES, &OPT_KILLCACHE, &OPT_KILLHISTORY}, "CleanTempInternetFiles",
                  [&](ICleanReport* pReport) {
                      bReporting = true;
                      pReport->OnCleanItem("/cache/f_1");
                      bReported = true;
                      pReport->OnCleanItem("/cache/f_2");  // a routine that ignores the stop
                  });
    m_Gate.bOpen = true;
    // Without running the event loop, so that nothing the worker sends is handled.
    ASSERT_TRUE(WaitUntil([&] { return bReporting.load(); }));
    std::this_thread::sleep_for(20ms);
    QTest::keyClick(m_pDlg.get(), Qt::Key_Return);
    EXPECT_TRUE(WaitUntil([&] { return bReported.load(); }));

    ProcessEventsFor(50ms);
    m_pThreads.reset();  // lets the pass end
    EXPECT_FALSE(m_pDlg->isVisible());
    EXPECT_EQ(m_pDlg->result(), QDialog::Accepted);
    EXPECT_EQ(Text("itemText"), QStringLiteral("Static"));
    EXPECT_EQ(Text("stepText"), QStringLiteral("Now cleaning Temporary Internet Files"));
    EXPECT_THAT(m_MessageBox.Boxes(), IsEmpty());
    EXPECT_THAT(m_Cleaner.Calls(), ElementsAre("CleanCookies", "CleanTempInternetFiles"));
}

// Esc closes the dialog at once; the pass goes on to its end in the background, also
// after the dialog object is gone, and says nothing.
TEST_F(CleaningDlgTest, EscLeavesThePassRunningInTheBackground) {
    std::atomic<bool> bRecentDone = false;
    m_Cleaner.OnCall("CleanRecent", [&](ICleanReport* pReport, std::stop_token) {
        pReport->OnCleanItem("/home/u/.local/share/RecentDocuments/a.desktop");
        bRecentDone = true;
    });
    ShowAndHoldIn({&OPT_KILLCOOKIES, &OPT_KILLCACHE, &OPT_KILLRECENT}, "CleanTempInternetFiles",
                  [](ICleanReport* pReport) { pReport->OnCleanItem("/cache/f_1"); });
    QTest::keyClick(m_pDlg.get(), Qt::Key_Escape);
    EXPECT_FALSE(m_pDlg->isVisible());
    EXPECT_EQ(m_pDlg->result(), QDialog::Rejected);
    m_pDlg.reset();

    m_Gate.bOpen = true;
    EXPECT_TRUE(WaitFor([&] { return bRecentDone.load(); }));
    ProcessEventsFor(20ms);
    m_pThreads.reset();
    EXPECT_THAT(m_Cleaner.Calls(),
                ElementsAre("CleanCookies", "CleanTempInternetFiles", "CleanRecent"));
    EXPECT_THAT(m_MessageBox.Boxes(), IsEmpty());
}

}  // namespace
