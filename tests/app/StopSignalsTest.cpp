#include "app/StopSignals.h"

#include <cerrno>
#include <csignal>
#include <vector>

#include <QTest>
#include <gtest/gtest.h>

namespace {

// Stop signals reach the main loop, and the code they interrupt finds errno as it left it,
// also once the handler's descriptor is full and its writes fail.
TEST(StopSignalsTest, SignalsReachTheLoopAndLeaveErrnoAlone) {
    CStopSignals stopSignals;
    std::vector<int> received;
    QObject::connect(&stopSignals, &CStopSignals::StopRequested, &stopSignals,
                     [&](int nSignal) { received.push_back(nSignal); });
    for (int i = 0; i < 5000; ++i) {
        errno = EDOM;
        ASSERT_EQ(::raise(SIGHUP), 0);
        ASSERT_EQ(errno, EDOM) << "after signal " << i;
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return !received.empty(); }));
    EXPECT_EQ(received.front(), SIGHUP);
}

}  // namespace
