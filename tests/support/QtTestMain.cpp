// The main of the test programs that need Qt widgets: one QApplication for all the tests.

#include <QApplication>
#include <QTimer>
#include <gmock/gmock.h>

namespace {

// A test that ends the application (QCoreApplication::exit) leaves Qt's quit flag set, and
// every modal loop of a later test would return at once. A short run of the main loop, which
// clears the flag when it returns, keeps the tests apart.
class CQuitFlagReset : public testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo&) override {
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QCoreApplication::exec();
    }
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleMock(&argc, argv);
    // Listing the tests (as the build does to register them) needs no display.
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    QApplication app(argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new CQuitFlagReset);
    return RUN_ALL_TESTS();
}
