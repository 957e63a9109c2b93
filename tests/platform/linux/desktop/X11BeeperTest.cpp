#include "platform/linux/desktop/X11Beeper.h"

#include "support/XvfbSession.h"

#include <gtest/gtest.h>

// After GoogleTest: Xlib defines macros (None, Bool) that clash with its names.
#include <X11/XKBlib.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {

// Another client that listens for the keyboard bell through XKB.
class CBellListener {
public:
    explicit CBellListener(const std::string& strDisplay)
        : m_pDisplay(XOpenDisplay(strDisplay.c_str())) {
        int nOpcode = 0;
        int nError = 0;
        int nMajor = XkbMajorVersion;
        int nMinor = XkbMinorVersion;
        m_bReady =
            m_pDisplay != nullptr &&
            XkbQueryExtension(m_pDisplay, &nOpcode, &m_nEventBase, &nError, &nMajor, &nMinor) &&
            XkbSelectEvents(m_pDisplay, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);
        if (m_pDisplay != nullptr) {
            XSync(m_pDisplay, False);
        }
    }
    ~CBellListener() {
        if (m_pDisplay != nullptr) {
            XCloseDisplay(m_pDisplay);
        }
    }
    CBellListener(const CBellListener&) = delete;
    CBellListener& operator=(const CBellListener&) = delete;

    bool IsReady() const { return m_bReady; }

    // Waits for bell notifications until `nCount` have come (or a limit passes).
    int WaitForBells(int nCount) {
        int nSeen = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (nSeen < nCount && std::chrono::steady_clock::now() < deadline) {
            while (XPending(m_pDisplay) > 0) {
                XEvent event;
                XNextEvent(m_pDisplay, &event);
                const auto* xkb = reinterpret_cast<const XkbEvent*>(&event);
                if (event.type == m_nEventBase && xkb->any.xkb_type == XkbBellNotify) {
                    ++nSeen;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return nSeen;
    }

private:
    Display* m_pDisplay;
    int m_nEventBase = 0;
    bool m_bReady = false;
};

TEST(X11BeeperTest, EachBeepRingsTheBellOfTheDisplay) {
    CXvfbSession session;
    ASSERT_TRUE(session.Start());
    CBellListener listener(session.Display());
    ASSERT_TRUE(listener.IsReady());
    CX11Beeper beeper;
    EXPECT_TRUE(beeper.Beep());
    EXPECT_TRUE(beeper.Beep());
    EXPECT_EQ(listener.WaitForBells(2), 2);
}

TEST(X11BeeperTest, WithoutADisplayTheBeepFailsQuietly) {
    const char* old = std::getenv("DISPLAY");
    const std::string strOld = old != nullptr ? old : "";
    unsetenv("DISPLAY");
    CX11Beeper beeper;
    EXPECT_FALSE(beeper.Beep());
    EXPECT_FALSE(beeper.Beep());
    if (old != nullptr) {
        setenv("DISPLAY", strOld.c_str(), 1);
    }
}

TEST(X11BeeperTest, ADisplayThatWentAwayGivesFailuresNotACrash) {
    CXvfbSession session;
    ASSERT_TRUE(session.Start());
    CX11Beeper beeper;
    ASSERT_TRUE(beeper.Beep());
    session.Stop();
    EXPECT_FALSE(beeper.Beep() && beeper.Beep() && beeper.Beep());
}

}  // namespace
