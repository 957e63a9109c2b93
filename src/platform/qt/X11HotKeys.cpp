#include "platform/qt/X11HotKeys.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <utility>

#include <QCoreApplication>
#include <QGuiApplication>
#include <xcb/xcb.h>

namespace {

constexpr std::uint32_t kKeysymNumLock = 0xFF7F;
constexpr std::uint32_t kKeysymScrollLock = 0xFF14;
constexpr std::uint32_t kKeysymF1 = 0xFFBE;
constexpr std::uint32_t kVkF1 = 0x70;
constexpr std::uint32_t kVkF24 = 0x87;

struct SFree {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, SFree>;

// The keysym of a Windows virtual-key code, or 0 for a key we do not map.
std::uint32_t KeysymOf(std::uint32_t nVirtualKey) {
    if (nVirtualKey >= 'A' && nVirtualKey <= 'Z') {
        return nVirtualKey - 'A' + 'a';
    }
    if (nVirtualKey >= '0' && nVirtualKey <= '9') {
        return nVirtualKey;
    }
    if (nVirtualKey >= kVkF1 && nVirtualKey <= kVkF24) {
        return kKeysymF1 + (nVirtualKey - kVkF1);
    }
    return 0;
}

// The X11 modifier mask of MOD_ flags, or nullopt when there are flags we do not know.
std::optional<std::uint16_t> X11Modifiers(std::uint32_t fsModifiers) {
    if ((fsModifiers & ~(MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN)) != 0) {
        return std::nullopt;
    }
    std::uint16_t nMask = 0;
    if ((fsModifiers & MOD_ALT) != 0) {
        nMask |= XCB_MOD_MASK_1;
    }
    if ((fsModifiers & MOD_CONTROL) != 0) {
        nMask |= XCB_MOD_MASK_CONTROL;
    }
    if ((fsModifiers & MOD_SHIFT) != 0) {
        nMask |= XCB_MOD_MASK_SHIFT;
    }
    if ((fsModifiers & MOD_WIN) != 0) {
        nMask |= XCB_MOD_MASK_4;
    }
    return nMask;
}

}  // namespace

CX11HotKeys::CX11HotKeys() {
    auto* x11 = qGuiApp == nullptr ? nullptr
                                   : qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) {
        return;
    }
    m_pConnection = x11->connection();
    m_nRoot = xcb_setup_roots_iterator(xcb_get_setup(m_pConnection)).data->root;
    QCoreApplication::instance()->installNativeEventFilter(this);
}

CX11HotKeys::~CX11HotKeys() {
    if (m_pConnection == nullptr) {
        return;
    }
    while (!m_Grabs.empty()) {
        UnregisterHotKey(m_Grabs.back().nId);
    }
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

std::vector<std::uint8_t> CX11HotKeys::KeycodesOf(std::uint32_t nKeysym) const {
    const xcb_setup_t* setup = xcb_get_setup(m_pConnection);
    const auto nCount = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    const XcbReply<xcb_get_keyboard_mapping_reply_t> reply(xcb_get_keyboard_mapping_reply(
        m_pConnection, xcb_get_keyboard_mapping(m_pConnection, setup->min_keycode, nCount),
        nullptr));
    std::vector<std::uint8_t> keycodes;
    if (!reply) {
        return keycodes;
    }
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(reply.get());
    const int nPerKeycode = reply->keysyms_per_keycode;
    const int nKeysyms = xcb_get_keyboard_mapping_keysyms_length(reply.get());
    for (int i = 0; nPerKeycode > 0 && i < nKeysyms / nPerKeycode; ++i) {
        // The first two columns: the key alone and with Shift.
        for (int column = 0; column < std::min(nPerKeycode, 2); ++column) {
            if (keysyms[i * nPerKeycode + column] == nKeysym) {
                keycodes.push_back(static_cast<std::uint8_t>(setup->min_keycode + i));
                break;
            }
        }
    }
    return keycodes;
}

std::vector<std::uint16_t> CX11HotKeys::LockVariants() const {
    // Which modifiers Num Lock and Scroll Lock are bound to depends on the keymap.
    std::uint16_t nNumLock = 0;
    std::uint16_t nScrollLock = 0;
    const auto numLockKeys = KeycodesOf(kKeysymNumLock);
    const auto scrollLockKeys = KeycodesOf(kKeysymScrollLock);
    const XcbReply<xcb_get_modifier_mapping_reply_t> reply(xcb_get_modifier_mapping_reply(
        m_pConnection, xcb_get_modifier_mapping(m_pConnection), nullptr));
    if (reply) {
        const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(reply.get());
        const int nPerModifier = reply->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int k = 0; k < nPerModifier; ++k) {
                const xcb_keycode_t keycode = keycodes[modifier * nPerModifier + k];
                const auto mask = static_cast<std::uint16_t>(1U << modifier);
                if (keycode != 0 && std::ranges::count(numLockKeys, keycode) > 0) {
                    nNumLock = mask;
                }
                if (keycode != 0 && std::ranges::count(scrollLockKeys, keycode) > 0) {
                    nScrollLock = mask;
                }
            }
        }
    }
    std::vector<std::uint16_t> variants{0};
    for (const std::uint16_t nLock :
         {static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK), nNumLock, nScrollLock}) {
        if (nLock == 0 || std::ranges::count(variants, nLock) > 0) {
            continue;
        }
        const std::size_t nSoFar = variants.size();
        for (std::size_t i = 0; i < nSoFar; ++i) {
            variants.push_back(variants[i] | nLock);
        }
    }
    return variants;
}

bool CX11HotKeys::RegisterHotKey(int nId, std::uint32_t fsModifiers, std::uint32_t nVirtualKey,
                                 std::function<void()> onPressed) {
    const std::uint32_t nKeysym = KeysymOf(nVirtualKey);
    const auto modifiers = X11Modifiers(fsModifiers);
    if (m_pConnection == nullptr || nKeysym == 0 || !modifiers ||
        std::ranges::any_of(m_Grabs, [&](const SGrab& grab) { return grab.nId == nId; })) {
        return false;
    }
    SGrab grab{nId, *modifiers, KeycodesOf(nKeysym), std::move(onPressed)};
    if (grab.keycodes.empty()) {
        return false;
    }
    const std::vector<std::uint16_t> variants = LockVariants();
    std::vector<xcb_void_cookie_t> cookies;
    for (const std::uint8_t keycode : grab.keycodes) {
        for (const std::uint16_t nLocks : variants) {
            cookies.push_back(xcb_grab_key_checked(
                m_pConnection, 0, m_nRoot, static_cast<std::uint16_t>(grab.nModifiers | nLocks),
                keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        }
    }
    bool bTaken = false;
    for (const xcb_void_cookie_t cookie : cookies) {
        const XcbReply<xcb_generic_error_t> error(xcb_request_check(m_pConnection, cookie));
        // Typically BadAccess: another program holds this combination.
        bTaken = bTaken || error != nullptr;
    }
    if (bTaken) {
        Ungrab(grab, variants);
        return false;
    }
    m_nLockMask = 0;
    for (const std::uint16_t nLocks : variants) {
        m_nLockMask |= nLocks;
    }
    m_Grabs.push_back(std::move(grab));
    return true;
}

void CX11HotKeys::Ungrab(const SGrab& grab, const std::vector<std::uint16_t>& variants) const {
    // Releasing a combination that another program holds leaves its grab alone.
    for (const std::uint8_t keycode : grab.keycodes) {
        for (const std::uint16_t nLocks : variants) {
            xcb_ungrab_key(m_pConnection, keycode, m_nRoot,
                           static_cast<std::uint16_t>(grab.nModifiers | nLocks));
        }
    }
    xcb_flush(m_pConnection);
}

bool CX11HotKeys::UnregisterHotKey(int nId) {
    const auto it =
        std::ranges::find_if(m_Grabs, [&](const SGrab& grab) { return grab.nId == nId; });
    if (it == m_Grabs.end()) {
        return false;
    }
    Ungrab(*it, LockVariants());
    m_Grabs.erase(it);
    return true;
}

bool CX11HotKeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const std::uint8_t nType = event->response_type & 0x7F;
    if (nType != XCB_KEY_PRESS && nType != XCB_KEY_RELEASE) {
        return false;
    }
    // Reported at the root window, where the key is grabbed; or, while a window of this
    // program holds the whole keyboard (an open pop-up menu), at that window, since the server
    // honours no other grab meanwhile.
    const auto* key = static_cast<const xcb_key_press_event_t*>(message);
    const auto nModifiers = static_cast<std::uint16_t>(key->state & 0xFF & ~m_nLockMask);
    for (SGrab& grab : m_Grabs) {
        if (std::ranges::count(grab.keycodes, key->detail) == 0) {
            continue;
        }
        if (nType == XCB_KEY_RELEASE) {
            // The key is up, whichever modifier was let go first.
            if (grab.bHeld) {
                grab.bHeld = false;
                grab.nReleasedAt = key->time;
            }
            if (grab.nModifiers == nModifiers) {
                return true;
            }
            continue;
        }
        if (grab.nModifiers != nModifiers) {
            continue;
        }
        // One press, one call, however long the key is held: auto-repeat sends more presses,
        // each right after a release of the same moment (or, where the server reports repeats
        // as detectable, without any release).
        const bool bRepeat = grab.bHeld || (grab.nReleasedAt != 0 && key->time == grab.nReleasedAt);
        grab.bHeld = true;
        if (!bRepeat && grab.onPressed) {
            // The handler may unregister this very key, so it runs from a copy.
            const std::function<void()> onPressed = grab.onPressed;
            onPressed();
        }
        return true;
    }
    return false;
}
