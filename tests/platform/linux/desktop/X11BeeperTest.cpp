#include "platform/linux/desktop/X11Beeper.h"

#include "support/ChildProcess.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

// After GoogleTest: Xlib defines macros (None, Bool) that clash with its names.
#include <X11/XKBlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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
        WaitUntil([&] {
            while (XPending(m_pDisplay) > 0) {
                XEvent event;
                XNextEvent(m_pDisplay, &event);
                const auto* xkb = reinterpret_cast<const XkbEvent*>(&event);
                if (event.type == m_nEventBase && xkb->any.xkb_type == XkbBellNotify) {
                    ++nSeen;
                }
            }
            return nSeen >= nCount;
        });
        return nSeen;
    }

private:
    Display* m_pDisplay;
    int m_nEventBase = 0;
    bool m_bReady = false;
};

// Tests of the `x11` label run on an X server of their own, which DISPLAY names.
TEST(X11BeeperTest, EachBeepRingsTheBellOfTheDisplay) {
    CBellListener listener(std::getenv("DISPLAY"));
    ASSERT_TRUE(listener.IsReady());
    CX11Beeper beeper;
    EXPECT_TRUE(beeper.Beep());
    EXPECT_TRUE(beeper.Beep());
    EXPECT_EQ(listener.WaitForBells(2), 2);
}

TEST(X11BeeperTest, WithoutADisplayTheBeepFailsQuietly) {
    const CScopedEnv noDisplay("DISPLAY", std::nullopt);
    CX11Beeper beeper;
    EXPECT_FALSE(beeper.Beep());
    EXPECT_FALSE(beeper.Beep());
}

TEST(X11BeeperTest, ADisplayThatWentAwayGivesFailuresNotACrash) {
    // A second server, which names itself in the file `file` and ends when `file`.end appears.
    CTempDir dir;
    const std::filesystem::path file = dir / "display";
    CChildProcess server;
    ASSERT_TRUE(
        server.Start({"xvfb-run", "-a", "sh", "-c",
                      R"(printf '%s\n%s\n' "$DISPLAY" "$XAUTHORITY" >"$0.new"; mv "$0.new" "$0"
            while [ ! -e "$0.end" ]; do sleep 0.05; done)",
                      file.string()}));
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(file); }));
    std::string display;
    std::string authority;
    std::ifstream(file) >> display >> authority;
    const CScopedEnv displayEnv("DISPLAY", display);
    const CScopedEnv authorityEnv("XAUTHORITY", authority);
    CX11Beeper beeper;
    ASSERT_TRUE(beeper.Beep());

    std::ofstream(file.string() + ".end").flush();
    // The server removes its lock file on its way out.
    ASSERT_TRUE(WaitUntil([&] {
        return !server.IsRunning() &&
               !std::filesystem::exists("/tmp/.X" + display.substr(1) + "-lock");
    }));
    EXPECT_FALSE(beeper.Beep() && beeper.Beep() && beeper.Beep());
}

}  // namespace
