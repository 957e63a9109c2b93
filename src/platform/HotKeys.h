#pragma once

#include <cstdint>
#include <functional>

// Modifier flags of a hot key, as the Windows API numbers them.
inline constexpr std::uint32_t MOD_ALT = 0x0001;
inline constexpr std::uint32_t MOD_CONTROL = 0x0002;
inline constexpr std::uint32_t MOD_SHIFT = 0x0004;
inline constexpr std::uint32_t MOD_WIN = 0x0008;

// Key combinations claimed for the whole desktop: they reach the program whichever window
// has the focus, and also while the program's windows are hidden.
class IHotKeys {
public:
    virtual ~IHotKeys() = default;

    // Claims the key `nVirtualKey` (a Windows virtual-key code: 'A'..'Z', '0'..'9', F1..F12
    // as 0x70..0x7B) with the `fsModifiers` held, whatever the state of Caps Lock, Num Lock
    // and Scroll Lock. `onPressed` then runs on the user-interface thread at each press.
    // Answers false, and claims nothing, when another program holds the combination, the id
    // is in use, the key has no code here, or there is no desktop to claim it from.
    [[nodiscard]] virtual bool RegisterHotKey(int nId, std::uint32_t fsModifiers,
                                              std::uint32_t nVirtualKey,
                                              std::function<void()> onPressed) = 0;

    // Gives the combination of `nId` back. Answers false when `nId` holds none.
    [[nodiscard]] virtual bool UnregisterHotKey(int nId) = 0;
};
