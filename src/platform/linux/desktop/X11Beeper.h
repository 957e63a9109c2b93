#pragma once

#include "platform/Beep.h"

struct xcb_connection_t;

// IBeeper as the X11 bell, over a connection of its own to the display in DISPLAY, made
// at the first beep. Without a display every beep answers false.
class CX11Beeper final : public IBeeper {
public:
    CX11Beeper() = default;
    ~CX11Beeper() override;
    CX11Beeper(const CX11Beeper&) = delete;
    CX11Beeper& operator=(const CX11Beeper&) = delete;

    bool Beep() override;

private:
    xcb_connection_t* m_pConnection = nullptr;
    bool m_bTried = false;
};
