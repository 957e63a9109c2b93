// Tests of the `x11` label run on an X server of their own, which DISPLAY names.
#include "platform/linux/desktop/X11Beeper.h"

#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"

// After GoogleTest: Xlib defines macros (None, Bool) that clash with its names.
#include <fstream>

#include <X11/XKBlib.h>

namespace {

// Each beep rings the bell, as another client hears it through XKB; without a display
// the beep fails quietly.
TEST(X11Beeper, EachBeepRingsTheBellOfTheDisplay) {
    Display* listener = XOpenDisplay(nullptr);
    ASSERT_NE(listener, nullptr);
    int nEventBase = 0;
    int nIgnored = 0;
    ASSERT_TRUE(
        XkbQueryExtension(listener, &nIgnored, &nEventBase, &nIgnored, &nIgnored, &nIgnored));
    ASSERT_TRUE(XkbSelectEvents(listener, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask));
    XSync(listener, False);
    CX11Beeper beeper;
    EXPECT_TRUE(beeper.Beep());
    EXPECT_TRUE(beeper.Beep());
    int nBells = 0;
    EXPECT_TRUE(WaitUntil([&] {
        for (XEvent event; XPending(listener) > 0;) {
            XNextEvent(listener, &event);
            nBells += event.type == nEventBase &&
                      reinterpret_cast<const XkbEvent*>(&event)->any.xkb_type == XkbBellNotify;
        }
        return nBells >= 2;
    }));
    EXPECT_EQ(nBells, 2);
    XCloseDisplay(listener);

    const CScopedEnv noDisplay("DISPLAY", std::nullopt);
    CX11Beeper nowhere;
    EXPECT_FALSE(nowhere.Beep());
    EXPECT_FALSE(nowhere.Beep());
}

TEST(X11Beeper, ADisplayThatWentAwayGivesFailuresNotACrash) {
    // A second server, which names itself in `file` and ends when `file`.end appears.
    CTempDir dir;
    const std::string file = (dir / "display").string();
    CChildProcess server;
    ASSERT_TRUE(
        server.Start({"xvfb-run", "-a", "sh", "-c",
                      R"(printf '%s\n%s\n' "$DISPLAY" "$XAUTHORITY" >"$0.new"; mv "$0.new" "$0"
            while [ ! -e "$0.end" ]; do sleep 0.05; done)",
                      file}));
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(file); }));
    std::string display;
    std::string authority;
    std::ifstream(file) >> display >> authority;
    const CScopedEnv displayEnv("DISPLAY", display);
    const CScopedEnv authorityEnv("XAUTHORITY", authority);
    CX11Beeper beeper;
    ASSERT_TRUE(beeper.Beep());

    std::ofstream(file + ".end").flush();
    // The server removes its lock file on its way out.
    ASSERT_TRUE(WaitUntil([&] {
        return !server.IsRunning() &&
               !std::filesystem::exists("/tmp/.X" + display.substr(1) + "-lock");
    }));
    EXPECT_FALSE(beeper.Beep() && beeper.Beep() && beeper.Beep());
}

}  // namespace
