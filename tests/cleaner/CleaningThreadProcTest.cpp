#include "cleaner/CleaningThreadProc.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cleaner/CleaningProgress.h"
#include "cleaner/CleaningThreads.h"
#include "platform/linux/registry/RegistryHive.h"
#include "store/SettingsStore.h"
#include "support/RecordingCleaner.h"
#include "support/TempDir.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

// The dialog as the worker sees it: every call recorded as "kind:text".
class CRecordingProgress final : public ICleaningProgress {
public:
    void OnStepStart(std::string_view strText) override { Record("start:", strText); }
    void OnCleanItem(std::string_view strText) override { Record("item:", strText); }
    void OnSkipped(std::string_view strText) override { Record("skipped:", strText); }
    void OnFailed(std::string_view strText) override { Record("failed:", strText); }
    void OnStepDone(std::string_view strText) override { Record("done:", strText); }
    void OnCleanDone(std::string_view strSkipped) override { Record("cleandone:", strSkipped); }

    std::vector<std::string> m_Calls;

private:
    void Record(const char* szKind, std::string_view strText) {
        m_Calls.push_back(szKind + std::string(strText));
    }
};

class CleaningThreadProcTest : public testing::Test {
protected:
    // Runs a pass with the options `chosen` on; answers what reached the dialog.
    std::vector<std::string> RunPass(std::initializer_list<const COption*> chosen,
                                     std::stop_token stop = {}) {
        for (const COption* option : chosen) {
            m_Store.WriteOption(*option, 1);
        }
        EXPECT_EQ(CleaningThreadProc(m_Cleaner, m_Store, m_Progress, std::move(stop)), 1);
        return m_Progress.m_Calls;
    }

    CTempDir m_Dir;
    CRegistryHive m_Hive{m_Dir / "registry.reg"};
    CSettingsStore m_Store{m_Hive};
    CRecordingCleaner m_Cleaner;
    CRecordingProgress m_Progress;
};

TEST_F(CleaningThreadProcTest, NothingChosenGoesStraightToTheEnd) {
    EXPECT_THAT(RunPass({}), ElementsAre("cleandone:"));
    EXPECT_TRUE(m_Cleaner.Calls().empty());
}

// A fixed order, each option read when its step comes; the end names once each kind a
// browser in use kept, then that step's failures.
TEST_F(CleaningThreadProcTest, EveryChosenStepInItsOrderWithItsReports) {
    m_Cleaner.OnCall("CleanCookies", [this](ICleanReport* pReport, std::stop_token) {
        pReport->OnCleanItem("/home/u/.config/chromium/Default/Cookies");
        pReport->OnSkipped("Cookies of Chromium (Default) are in use");
        pReport->OnFailed("Cookies of Chromium (Work) are damaged");
        pReport->OnSkipped("Cookies of Chromium (Profile 1) are in use");
        m_Store.WriteOption(OPT_KILLFAVORITES, 0);
    });
    m_Cleaner.OnCall("CleanRecent", [](ICleanReport* pReport, std::stop_token) {
        pReport->OnFailed("/home/u/.local/share/RecentDocuments is a mount point");
    });
    m_Cleaner.OnCall("CleanHistory", [](ICleanReport* pReport, std::stop_token) {
        pReport->OnCleanItem("Cleaning History...");
        pReport->OnSkipped("History of Chromium (Default) is in use");
    });
    EXPECT_THAT(
        RunPass({&OPT_KILLRECENT, &OPT_KILLFAVORITES, &OPT_KILLHISTORY, &OPT_KILLCACHE,
                 &OPT_KILLCOOKIES}),
        ElementsAreArray(
            {"start:Now cleaning cookies...", "item:/home/u/.config/chromium/Default/Cookies",
             "skipped:Cookies of Chromium (Default) are in use",
             "failed:Cookies of Chromium (Work) are damaged",
             "skipped:Cookies of Chromium (Profile 1) are in use", "done:Clean cookies completely!",
             "start:Now cleaning Temporary Internet Files",
             "done:Clean Temporary Internet Files completely!", "start:Now cleaning History...",
             "item:Cleaning History...", "skipped:History of Chromium (Default) is in use",
             "done:Clean History completely!", "start:Now cleaning Recent...",
             "failed:/home/u/.local/share/RecentDocuments is a mount point",
             "done:Clean Recent completely!",
             "cleandone:\nCookies: not cleaned where a browser is in use"
             "\nCookies of Chromium (Work) are damaged"
             "\nHistory: not cleaned where a browser is in use"
             "\n/home/u/.local/share/RecentDocuments is a mount point"}));
}

// "Stop" during the cache step: nothing more is told.
TEST_F(CleaningThreadProcTest, StopEndsThePassWhereItIs) {
    std::stop_source stop;
    m_Cleaner.OnCall("CleanTempInternetFiles",
                     [&stop](ICleanReport*, std::stop_token) { stop.request_stop(); });
    EXPECT_THAT(RunPass({&OPT_KILLCOOKIES, &OPT_KILLCACHE, &OPT_KILLHISTORY}, stop.get_token()),
                ElementsAre("start:Now cleaning cookies...", "done:Clean cookies completely!",
                            "start:Now cleaning Temporary Internet Files"));
    EXPECT_THAT(m_Cleaner.Calls(), ElementsAre("CleanCookies", "CleanTempInternetFiles"));
}

// The end of the program stops a pass left running in the background and waits for it.
TEST(CleaningThreadsTest, GoingAwayStopsRunningPassesAndWaitsForThem) {
    std::atomic<int> nEnded = 0;
    {
        CCleaningThreads threads;
        threads.Start([](std::stop_token) {});
        for (int i = 0; i < 2; ++i) {
            threads.Start([&nEnded](std::stop_token stop) {
                while (!stop.stop_requested()) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                ++nEnded;
            });
        }
        EXPECT_EQ(nEnded, 0);
    }
    EXPECT_EQ(nEnded, 2);
}

}  // namespace
