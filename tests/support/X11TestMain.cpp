// The main of test programs that need a real X server: it starts a private Xvfb, then
// one QApplication on it (Qt's xcb platform) for all the tests.

#include "support/X11TestMain.h"

#include <QApplication>

#include <gmock/gmock.h>

#include <cstdio>

namespace {
CXvfbSession* s_pDisplay = nullptr;
}

CXvfbSession& TestDisplay() {
    return *s_pDisplay;
}

int main(int argc, char** argv) {
    testing::InitGoogleMock(&argc, argv);
    // Listing the tests (as the build does to register them) needs no display.
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    CXvfbSession display;
    if (!display.Start()) {
        std::fprintf(stderr, "Xvfb could not be started\n");
        return 1;
    }
    s_pDisplay = &display;
    qputenv("QT_QPA_PLATFORM", "xcb");
    int nResult = 0;
    {
        QApplication app(argc, argv);
        nResult = RUN_ALL_TESTS();
    }
    s_pDisplay = nullptr;
    return nResult;
}
