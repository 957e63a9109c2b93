#include "platform/qt/X11HotKeys.h"

#include <cstdlib>
#include <memory>
#include <string>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include "support/Desktop.h"
#include "support/QtWait.h"

namespace {

constexpr int kHotKeyId = 0xBFFB;
constexpr std::uint16_t kCtrlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;

// Another X client, for grabbing Ctrl+Alt+A the way another program would.
class COtherClient {
public:
    COtherClient() : m_pConnection(xcb_connect(nullptr, nullptr)) {}
    ~COtherClient() { xcb_disconnect(m_pConnection); }
    COtherClient(const COtherClient&) = delete;
    COtherClient& operator=(const COtherClient&) = delete;

    // Grabs A with `nModifiers` on the root window; answers whether the server agreed.
    bool GrabA(std::uint16_t nModifiers) const {
        const xcb_setup_t* setup = xcb_get_setup(m_pConnection);
        const auto nCount = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
        auto* reply = xcb_get_keyboard_mapping_reply(
            m_pConnection, xcb_get_keyboard_mapping(m_pConnection, setup->min_keycode, nCount),
            nullptr);
        const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(reply);
        int i = 0;
        while (i < nCount && keysyms[i * reply->keysyms_per_keycode] != 'a') {
            ++i;
        }
        std::free(reply);
        xcb_generic_error_t* error = xcb_request_check(
            m_pConnection,
            xcb_grab_key_checked(m_pConnection, 0, xcb_setup_roots_iterator(setup).data->root,
                                 nModifiers, static_cast<std::uint8_t>(setup->min_keycode + i),
                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        std::free(error);
        return error == nullptr;
    }

    // The modifier state the server holds now (lock keys included).
    std::uint16_t ModifierState() const {
        auto* reply = xcb_query_pointer_reply(
            m_pConnection,
            xcb_query_pointer(m_pConnection,
                              xcb_setup_roots_iterator(xcb_get_setup(m_pConnection)).data->root),
            nullptr);
        const std::uint16_t nMask = reply != nullptr ? reply->mask : 0;
        std::free(reply);
        return nMask;
    }

private:
    xcb_connection_t* m_pConnection;
};

// A claim is all lock variants or none; only the claimed key arrives, also with a lock key
// on; the key goes back to the desktop when a handler gives it back and with the object.
TEST(X11HotKeysTest, ClaimsAreAllOrNothingOnlyTheClaimedKeyArrivesAndItIsGivenBack) {
    CX11HotKeys hotKeys;
    int nPresses = 0;
    const auto onPressed = [&] {
        if (++nPresses == 4) {
            EXPECT_TRUE(hotKeys.UnregisterHotKey(kHotKeyId));
        }
    };
    {
        COtherClient other;
        ASSERT_TRUE(other.GrabA(kCtrlAlt | XCB_MOD_MASK_2));
        EXPECT_FALSE(hotKeys.RegisterHotKey(kHotKeyId, MOD_CONTROL | MOD_ALT, 'A', onPressed));
        ASSERT_TRUE(Xdotool({"key", "ctrl+alt+a"}));
        COtherClient next;
        EXPECT_TRUE(next.GrabA(kCtrlAlt));
        EXPECT_TRUE(next.GrabA(kCtrlAlt | XCB_MOD_MASK_LOCK));
    }
    ASSERT_TRUE(hotKeys.RegisterHotKey(kHotKeyId, MOD_CONTROL | MOD_ALT, 'A', onPressed));
    EXPECT_FALSE(COtherClient().GrabA(kCtrlAlt));
    // Only lock keys make variants (Scroll Lock has no modifier in this keymap): the
    // combination with Super or AltGr is left to other programs.
    for (const std::uint16_t nOther : {XCB_MOD_MASK_4, XCB_MOD_MASK_5}) {
        EXPECT_TRUE(COtherClient().GrabA(kCtrlAlt | nOther)) << nOther;
    }
    EXPECT_FALSE(hotKeys.RegisterHotKey(kHotKeyId, MOD_CONTROL, 'B', [] {}));
    EXPECT_FALSE(hotKeys.RegisterHotKey(1, MOD_CONTROL, 0x2E, [] {}));  // Delete: unmapped
    EXPECT_FALSE(hotKeys.RegisterHotKey(2, 0x4000, 'B', [] {}));        // unknown modifier

    ASSERT_TRUE(Xdotool({"key", "ctrl+a", "alt+a", "ctrl+alt+b", "ctrl+alt+shift+a", "a"}));
    // Events arrive in order: once this press is in, the others have been seen.
    ASSERT_TRUE(Xdotool({"key", "ctrl+alt+a"}));
    ASSERT_TRUE(WaitFor([&] { return nPresses >= 1; }));
    ProcessEventsFor(std::chrono::milliseconds(50));
    EXPECT_EQ(nPresses, 1);
    COtherClient probe;
    for (const char* lockKey : {"Num_Lock", "Caps_Lock"}) {
        const std::uint16_t nBefore = probe.ModifierState();
        ASSERT_TRUE(Xdotool({"key", lockKey}));
        ASSERT_NE(probe.ModifierState(), nBefore) << lockKey << " did not lock";
        const int nExpected = nPresses + 1;
        const bool bSent = Xdotool({"key", "ctrl+alt+a"});
        Xdotool({"key", lockKey});
        ASSERT_TRUE(bSent);
        EXPECT_TRUE(WaitFor([&] { return nPresses == nExpected; })) << lockKey;
    }
    ASSERT_TRUE(Xdotool({"key", "ctrl+alt+a"}));
    ASSERT_TRUE(WaitFor([&] { return nPresses == 4; }));
    EXPECT_FALSE(hotKeys.UnregisterHotKey(kHotKeyId));
    {
        CX11HotKeys other;
        EXPECT_TRUE(other.RegisterHotKey(kHotKeyId, MOD_CONTROL | MOD_ALT, 'A', [] {}))
            << "the handler gave the key back";
    }
    EXPECT_TRUE(probe.GrabA(kCtrlAlt | XCB_MOD_MASK_2)) << "the object gave the key back";
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

TEST(X11HotKeysTest, AHeldKeyIsOnePressWhateverTheAutoRepeat) {
    CX11HotKeys hotKeys;
    int nPresses = 0;
    ASSERT_TRUE(hotKeys.RegisterHotKey(kHotKeyId, MOD_CONTROL | MOD_ALT, 'A', [&] { ++nPresses; }));
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
        EXPECT_EQ(nPresses, nPress);
    }
}

}  // namespace
