#include "platform/qt/X11HotKeys.h"

#include "support/Desktop.h"
#include "support/QtWait.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

constexpr int kHotKeyId = 0xBFFB;
constexpr std::uint16_t kCtrlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;

// Another X client, for grabbing keys the way another program would.
class COtherClient {
public:
    COtherClient() : m_pConnection(xcb_connect(nullptr, nullptr)) {
        m_nRoot = xcb_setup_roots_iterator(xcb_get_setup(m_pConnection)).data->root;
    }
    ~COtherClient() { xcb_disconnect(m_pConnection); }
    COtherClient(const COtherClient&) = delete;
    COtherClient& operator=(const COtherClient&) = delete;

    std::uint8_t KeycodeOfA() const {
        const xcb_setup_t* setup = xcb_get_setup(m_pConnection);
        const auto nCount = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
        auto* reply = xcb_get_keyboard_mapping_reply(
            m_pConnection, xcb_get_keyboard_mapping(m_pConnection, setup->min_keycode, nCount),
            nullptr);
        std::uint8_t keycode = 0;
        const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(reply);
        for (int i = 0; keycode == 0 && i < nCount; ++i) {
            if (keysyms[i * reply->keysyms_per_keycode] == 'a') {
                keycode = static_cast<std::uint8_t>(setup->min_keycode + i);
            }
        }
        std::free(reply);
        return keycode;
    }

    // Grabs A with `nModifiers` on the root window; answers whether the server agreed.
    bool GrabA(std::uint16_t nModifiers) const {
        xcb_generic_error_t* error = xcb_request_check(
            m_pConnection, xcb_grab_key_checked(m_pConnection, 0, m_nRoot, nModifiers, KeycodeOfA(),
                                                XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        const bool bGranted = error == nullptr;
        std::free(error);
        return bGranted;
    }

    // The modifier state the server holds now (lock keys included).
    std::uint16_t ModifierState() const {
        auto* reply = xcb_query_pointer_reply(m_pConnection,
                                              xcb_query_pointer(m_pConnection, m_nRoot), nullptr);
        const std::uint16_t nMask = reply != nullptr ? reply->mask : 0;
        std::free(reply);
        return nMask;
    }

private:
    xcb_connection_t* m_pConnection;
    xcb_window_t m_nRoot = 0;
};

class X11HotKeysTest : public testing::Test {
protected:
    bool Register() {
        return m_HotKeys.RegisterHotKey(kHotKeyId, MOD_CONTROL | MOD_ALT, 'A',
                                        [this] { ++m_nPresses; });
    }

    CX11HotKeys m_HotKeys;
    int m_nPresses = 0;
};

// Ctrl+Alt+A reaches the program wherever the focus is, also with a lock key on; other
// combinations are left alone; a handler may give back its own key.
TEST_F(X11HotKeysTest, CtrlAltAAndOnlyItReachesTheProgram) {
    ASSERT_TRUE(m_HotKeys.RegisterHotKey(kHotKeyId, MOD_CONTROL | MOD_ALT, 'A', [this] {
        if (++m_nPresses == 4) {
            m_HotKeys.UnregisterHotKey(kHotKeyId);
        }
    }));
    ASSERT_TRUE(Xdotool({"key", "ctrl+a", "alt+a", "ctrl+alt+b", "ctrl+alt+shift+a", "a"}));
    // Events arrive in order: once this press is in, the others have been seen.
    ASSERT_TRUE(Xdotool({"key", "ctrl+alt+a"}));
    ASSERT_TRUE(WaitFor([this] { return m_nPresses >= 1; }));
    ProcessEventsFor(std::chrono::milliseconds(50));
    EXPECT_EQ(m_nPresses, 1);
    COtherClient probe;
    for (const char* lockKey : {"Num_Lock", "Caps_Lock"}) {
        const std::uint16_t nBefore = probe.ModifierState();
        ASSERT_TRUE(Xdotool({"key", lockKey}));
        ASSERT_NE(probe.ModifierState(), nBefore) << lockKey << " did not lock";
        const int nExpected = m_nPresses + 1;
        const bool bSent = Xdotool({"key", "ctrl+alt+a"});
        Xdotool({"key", lockKey});
        ASSERT_TRUE(bSent);
        EXPECT_TRUE(WaitFor([&] { return m_nPresses == nExpected; })) << lockKey;
    }
    ASSERT_TRUE(Xdotool({"key", "ctrl+alt+a"}));
    EXPECT_TRUE(WaitFor([this] { return m_nPresses == 4; }));
    EXPECT_TRUE(probe.GrabA(kCtrlAlt)) << "the handler gave the key back";
}

// Counts the key presses that reach this program, auto-repeated ones included. Installed
// after the hot keys, it sees each event first.
class CKeyPressCounter : public QAbstractNativeEventFilter {
public:
    CKeyPressCounter() { QCoreApplication::instance()->installNativeEventFilter(this); }
    ~CKeyPressCounter() override { QCoreApplication::instance()->removeNativeEventFilter(this); }
    CKeyPressCounter(const CKeyPressCounter&) = delete;
    CKeyPressCounter& operator=(const CKeyPressCounter&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType == "xcb_generic_event_t" &&
            (static_cast<const xcb_generic_event_t*>(message)->response_type & 0x7F) ==
                XCB_KEY_PRESS) {
            ++m_nPresses;
        }
        return false;
    }

    int m_nPresses = 0;
};

TEST_F(X11HotKeysTest, AHeldKeyIsOnePressWhateverTheAutoRepeat) {
    ASSERT_TRUE(Register());
    CKeyPressCounter counter;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    const std::uint32_t autoRepeatOn = XCB_AUTO_REPEAT_MODE_ON;
    xcb_change_keyboard_control(x11->connection(), XCB_KB_AUTO_REPEAT_MODE, &autoRepeatOn);
    for (int nPress = 1; nPress <= 2; ++nPress) {
        const int nSeenBefore = counter.m_nPresses;
        ASSERT_TRUE(Xdotool({"keydown", "ctrl+alt+a"}));
        // Held past the server's repeat delay: the key repeats.
        ASSERT_TRUE(WaitFor([&] { return counter.m_nPresses >= nSeenBefore + 3; }));
        // Letting go of Ctrl first must not leave the key taken as held.
        ASSERT_TRUE(Xdotool({"keyup", "ctrl", "keyup", "alt+a"}));
        ProcessEventsFor(std::chrono::milliseconds(100));
        EXPECT_EQ(m_nPresses, nPress);
    }
}

// A combination another program holds, in any lock variant, is refused, and leaves none
// of the variants grabbed; an id in use or a key without a code is refused too. The
// combination goes back to the desktop when unregistered or when the object goes.
TEST_F(X11HotKeysTest, ClaimsAreAllOrNothingAndGivenBack) {
    {
        COtherClient other;
        ASSERT_TRUE(other.GrabA(kCtrlAlt | XCB_MOD_MASK_2));
        EXPECT_FALSE(Register());
        ASSERT_TRUE(Xdotool({"key", "ctrl+alt+a"}));
        ProcessEventsFor(std::chrono::milliseconds(100));
        EXPECT_EQ(m_nPresses, 0);
        COtherClient next;
        EXPECT_TRUE(next.GrabA(kCtrlAlt));
        EXPECT_TRUE(next.GrabA(kCtrlAlt | XCB_MOD_MASK_LOCK));
    }
    ASSERT_TRUE(Register());
    EXPECT_FALSE(COtherClient().GrabA(kCtrlAlt));
    EXPECT_FALSE(m_HotKeys.RegisterHotKey(kHotKeyId, MOD_CONTROL, 'B', [] {}));
    EXPECT_FALSE(m_HotKeys.RegisterHotKey(1, MOD_CONTROL, 0x2E, [] {}));  // Delete: unmapped
    EXPECT_FALSE(m_HotKeys.RegisterHotKey(2, 0x4000, 'B', [] {}));        // unknown modifier
    EXPECT_TRUE(m_HotKeys.UnregisterHotKey(kHotKeyId));
    EXPECT_FALSE(m_HotKeys.UnregisterHotKey(kHotKeyId));
    EXPECT_TRUE(COtherClient().GrabA(kCtrlAlt | XCB_MOD_MASK_2));
    {
        CX11HotKeys hotKeys;
        ASSERT_TRUE(hotKeys.RegisterHotKey(kHotKeyId, MOD_CONTROL | MOD_ALT, 'A', [] {}));
    }
    EXPECT_TRUE(COtherClient().GrabA(kCtrlAlt));
}

}  // namespace
