#include "cleaner/CleaningThreadProc.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

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
    void OnStepStart(std::string_view strText) override { Record("start", strText); }
    void OnCleanItem(std::string_view strText) override { Record("item", strText); }
    void OnSkipped(std::string_view strText) override { Record("skipped", strText); }
    void OnStepDone(std::string_view strText) override { Record("done", strText); }
    void OnCleanDone(std::string_view strSkipped) override { Record("cleandone", strSkipped); }

    std::vector<std::string> m_Calls;

private:
    void Record(const char* szKind, std::string_view strText) {
        m_Calls.push_back(std::string(szKind) + ":" + std::string(strText));
    }
};

class CleaningThreadProcTest : public testing::Test {
protected:
    void Choose(std::initializer_list<const COption*> options) {
        for (const COption* option : options) {
            m_Store.WriteOption(*option, 1);
        }
    }
    std::vector<std::string> RunPass() {
        std::stop_source stop;
        EXPECT_EQ(CleaningThreadProc(m_Cleaner, m_Store, m_Progress, stop.get_token()), 1);
        return m_Progress.m_Calls;
    }

    CTempDir m_Dir;
    CRegistryHive m_Hive{m_Dir / "registry.reg"};
    CSettingsStore m_Store{m_Hive};
    CRecordingCleaner m_Cleaner;
    CRecordingProgress m_Progress;
};

TEST_F(CleaningThreadProcTest, NothingChosenGoesStraightToTheEnd) {
    EXPECT_THAT(RunPass(), ElementsAre("cleandone:"));
    EXPECT_TRUE(m_Cleaner.Calls().empty());
}

// The order is fixed whatever order the options were chosen in; each routine's reports
// arrive between its step's two texts.
TEST_F(CleaningThreadProcTest, EveryStepInItsOrderWithItsTexts) {
    Choose(
        {&OPT_KILLRECENT, &OPT_KILLFAVORITES, &OPT_KILLHISTORY, &OPT_KILLCACHE, &OPT_KILLCOOKIES});
    m_Cleaner.OnCall("CleanCookies", [](ICleanReport* pReport, std::stop_token) {
        pReport->OnCleanItem("/home/u/.config/chromium/Default/Cookies");
    });
    m_Cleaner.OnCall("CleanHistory", [](ICleanReport* pReport, std::stop_token) {
        pReport->OnCleanItem("Cleaning History...");
    });
    EXPECT_THAT(
        RunPass(),
        ElementsAreArray(
            {"start:Now cleaning cookies...", "item:/home/u/.config/chromium/Default/Cookies",
             "done:Clean cookies completely!", "start:Now cleaning Temporary Internet Files",
             "done:Clean Temporary Internet Files completely!", "start:Now cleaning History...",
             "item:Cleaning History...", "done:Clean History completely!",
             "start:Now cleaning Favorites...", "done:Clean Favorites completely!",
             "start:Now cleaning Recent...", "done:Clean Recent completely!", "cleandone:"}));
    EXPECT_THAT(m_Cleaner.Calls(), ElementsAre("CleanCookies", "CleanTempInternetFiles",
                                               "CleanHistory", "CleanFavorites", "CleanRecent"));
}

// A choice changed while the pass runs counts for the steps not yet begun.
TEST_F(CleaningThreadProcTest, EachOptionIsReadWhenItsStepComes) {
    Choose({&OPT_KILLCOOKIES, &OPT_KILLCACHE});
    m_Cleaner.OnCall("CleanCookies", [this](ICleanReport*, std::stop_token) {
        m_Store.WriteOption(OPT_KILLCACHE, 0);
        m_Store.WriteOption(OPT_KILLRECENT, 1);
    });
    RunPass();
    EXPECT_THAT(m_Cleaner.Calls(), ElementsAre("CleanCookies", "CleanRecent"));
}

// Each skipped profile reaches the dialog; the end names each kind once.
TEST_F(CleaningThreadProcTest, WhatABrowserInUseKeptIsToldPerProfileAndSummedUpPerKind) {
    Choose({&OPT_KILLCOOKIES, &OPT_KILLCACHE, &OPT_KILLHISTORY});
    m_Cleaner.OnCall("CleanCookies", [](ICleanReport* pReport, std::stop_token) {
        pReport->OnSkipped("Cookies of Chromium (Default) are in use");
        pReport->OnSkipped("Cookies of Chromium (Profile 1) are in use");
    });
    m_Cleaner.OnCall("CleanHistory", [](ICleanReport* pReport, std::stop_token) {
        pReport->OnSkipped("History of Chromium (Default) is in use");
    });
    const std::vector<std::string> calls = RunPass();
    EXPECT_THAT(std::vector(calls.begin() + 1, calls.begin() + 3),
                ElementsAre("skipped:Cookies of Chromium (Default) are in use",
                            "skipped:Cookies of Chromium (Profile 1) are in use"));
    EXPECT_EQ(calls.back(),
              "cleandone:\nCookies: not cleaned where a browser is in use"
              "\nHistory: not cleaned where a browser is in use");
}

// "Stop" during the cache step: the step does not close, no later step begins, and the
// end of the pass is not told.
TEST_F(CleaningThreadProcTest, StopEndsThePassWhereItIs) {
    Choose({&OPT_KILLCOOKIES, &OPT_KILLCACHE, &OPT_KILLHISTORY, &OPT_KILLRECENT});
    std::stop_source stop;
    m_Cleaner.OnCall("CleanTempInternetFiles",
                     [&stop](ICleanReport*, std::stop_token) { stop.request_stop(); });
    EXPECT_EQ(CleaningThreadProc(m_Cleaner, m_Store, m_Progress, stop.get_token()), 1);
    EXPECT_THAT(m_Progress.m_Calls,
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
