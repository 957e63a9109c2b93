#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <QPoint>
#include <QRgb>
#include <xcb/xcb.h>

#include "support/ChildProcess.h"

// The tray of the test's X server (tests of the `x11` label run under xvfb-run): a real
// tray host (trayer) started and ended on demand, and what the server shows of this
// program's tray icons, that is the windows of this client that carry the XEmbed mark and
// sit inside another window (the tray's), not on the root. Needs the QApplication on xcb.
class CTrayProbe {
public:
    CTrayProbe();

    // Starts trayer and waits until it holds the tray selection; answers whether it does.
    bool StartTrayer();
    // Ends trayer and waits until the tray selection is free (also done on destruction).
    bool StopTrayer();

    std::vector<xcb_window_t> DockedIcons() const;
    // The colour at the middle of the one docked icon, as the screen shows it.
    std::optional<QRgb> DockedColour() const;
    bool ShowsOnly(QRgb colour) const { return DockedColour() == (colour | 0xFF000000U); }
    // The middle of the one docked icon in root coordinates.
    std::optional<QPoint> DockedCentre() const;
    // Whether `window` exists and the screen shows it.
    bool IsViewable(xcb_window_t window) const;

private:
    bool HasTrayHost() const;
    void Walk(xcb_window_t window, xcb_window_t parent, std::vector<xcb_window_t>& docked) const;

    CChildProcess m_Trayer;
    xcb_connection_t* m_pConnection;
    xcb_window_t m_nRoot;
    std::uint32_t m_nIdBase;
    std::uint32_t m_nIdMask;
    xcb_atom_t m_nXEmbedInfo;
    xcb_atom_t m_nTraySelection;
};
