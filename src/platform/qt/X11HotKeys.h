#pragma once

#include <cstdint>
#include <vector>

#include <QAbstractNativeEventFilter>

#include "platform/HotKeys.h"

struct xcb_connection_t;

// IHotKeys as passive key grabs on the X11 root window, one for every combination of the
// lock keys (Caps Lock, Num Lock, Scroll Lock) so that their state does not matter. The key
// presses arrive through Qt's event loop, where a native event filter picks them out, also
// while one of the program's own windows holds the keyboard. Without an X11 display (another
// Qt platform) every claim fails.
class CX11HotKeys final : public IHotKeys, public QAbstractNativeEventFilter {
public:
    CX11HotKeys();
    ~CX11HotKeys() override;
    CX11HotKeys(const CX11HotKeys&) = delete;
    CX11HotKeys& operator=(const CX11HotKeys&) = delete;

    bool RegisterHotKey(int nId, std::uint32_t fsModifiers, std::uint32_t nVirtualKey,
                        std::function<void()> onPressed) override;
    bool UnregisterHotKey(int nId) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct SGrab {
        int nId;
        std::uint16_t nModifiers;
        std::vector<std::uint8_t> keycodes;
        std::function<void()> onPressed;
        // Between a press and the release of its key; and the server time of the last
        // release, which an auto-repeated press carries too.
        bool bHeld = false;
        std::uint32_t nReleasedAt = 0;
    };

    std::vector<std::uint8_t> KeycodesOf(std::uint32_t nKeysym) const;
    std::vector<std::uint16_t> LockVariants() const;
    void Ungrab(const SGrab& grab, const std::vector<std::uint16_t>& variants) const;

    xcb_connection_t* m_pConnection = nullptr;
    std::uint32_t m_nRoot = 0;
    std::uint16_t m_nLockMask = 0;  // every lock modifier, to mask out of an event's state
    std::vector<SGrab> m_Grabs;
};
