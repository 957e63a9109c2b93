#include "platform/linux/desktop/X11Beeper.h"

#include <xcb/xcb.h>

CX11Beeper::~CX11Beeper() {
    if (m_pConnection != nullptr) {
        xcb_disconnect(m_pConnection);
    }
}

bool CX11Beeper::Beep() {
    // One attempt only: a display that cannot be reached would cost a wait at every kill.
    if (!m_bTried) {
        m_bTried = true;
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(connection) != 0) {
            xcb_disconnect(connection);
        } else {
            m_pConnection = connection;
        }
    }
    if (m_pConnection == nullptr || xcb_connection_has_error(m_pConnection) != 0) {
        return false;
    }
    // Percent 0: the bell at the volume the user has set.
    xcb_bell(m_pConnection, 0);
    return xcb_flush(m_pConnection) > 0;
}
