#pragma once

#include <QPoint>
#include <QRgb>

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <vector>

// What the X server shows of this program's tray icons: the windows of this client that
// carry the XEmbed mark and sit inside another window (the tray's), not on the root.
class CTrayProbe {
public:
    CTrayProbe();

    std::vector<xcb_window_t> DockedIcons() const;
    // The colour at the middle of the one docked icon, as the screen shows it.
    std::optional<QRgb> DockedColour() const;
    bool ShowsOnly(QRgb colour) const { return DockedColour() == (colour | 0xFF000000U); }
    // The middle of the one docked icon in root coordinates.
    std::optional<QPoint> DockedCentre() const;
    // Whether `window` exists and the screen shows it.
    bool IsViewable(xcb_window_t window) const;

private:
    void Walk(xcb_window_t window, xcb_window_t parent, std::vector<xcb_window_t>& docked) const;
    bool HasXEmbedInfo(xcb_window_t window) const;

    xcb_connection_t* m_pConnection;
    xcb_window_t m_nRoot;
    std::uint32_t m_nIdBase;
    std::uint32_t m_nIdMask;
    xcb_atom_t m_nXEmbedInfo;
};
