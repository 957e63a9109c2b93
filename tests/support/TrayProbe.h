#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QRgb>
#include <QScreen>
#include <xcb/xcb.h>

#include "support/ChildProcess.h"
#include "support/QtWait.h"

// The tray of the test's X server (tests of the `x11` label run under xvfb-run): a real
// tray host (trayer) started and ended on demand, and what the server shows of this
// program's tray icons, that is the windows of this client that carry the XEmbed mark and
// sit inside another window (the tray's), not on the root. Needs the QApplication on xcb.
class CTrayProbe {
public:
    CTrayProbe()
        : m_pConnection(
              qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection()) {
        const xcb_setup_t* setup = xcb_get_setup(m_pConnection);
        m_nRoot = xcb_setup_roots_iterator(setup).data->root;
        m_nIdBase = setup->resource_id_base;
        m_nIdMask = setup->resource_id_mask;
        m_nXEmbedInfo = Atom("_XEMBED_INFO");
        m_nTraySelection = Atom("_NET_SYSTEM_TRAY_S0");
    }

    // Starts trayer and waits until it holds the tray selection; answers whether it does.
    bool StartTrayer() {
        m_Trayer.Start({"trayer", "--edge", "top", "--align", "left", "--widthtype", "pixel",
                        "--width", "200", "--height", "32", "--SetDockType", "false",
                        "--SetPartialStrut", "false"});
        return WaitFor([this] { return HasTrayHost(); });
    }
    // Ends trayer and waits until the tray selection is free (also done on destruction).
    bool StopTrayer() {
        m_Trayer.Stop();
        return WaitFor([this] { return !HasTrayHost(); });
    }

    std::vector<xcb_window_t> DockedIcons() const {
        std::vector<xcb_window_t> docked;
        Walk(m_nRoot, m_nRoot, docked);
        return docked;
    }
    // The colour at the middle of the one docked icon, as the screen shows it.
    std::optional<QRgb> DockedColour() const {
        const auto docked = DockedIcons();
        if (docked.size() != 1) {
            return std::nullopt;
        }
        const QImage image = QGuiApplication::primaryScreen()->grabWindow(docked[0]).toImage();
        if (image.isNull()) {
            return std::nullopt;
        }
        return image.pixel(image.width() / 2, image.height() / 2) | 0xFF000000U;
    }
    bool ShowsOnly(QRgb colour) const { return DockedColour() == (colour | 0xFF000000U); }
    // The middle of the one docked icon in root coordinates.
    std::optional<QPoint> DockedCentre() const {
        const auto docked = DockedIcons();
        if (docked.size() != 1) {
            return std::nullopt;
        }
        const auto geometry = Owned(xcb_get_geometry_reply(
            m_pConnection, xcb_get_geometry(m_pConnection, docked[0]), nullptr));
        const auto centre = Owned(xcb_translate_coordinates_reply(
            m_pConnection,
            xcb_translate_coordinates(m_pConnection, docked[0], m_nRoot, geometry->width / 2,
                                      geometry->height / 2),
            nullptr));
        return QPoint(centre->dst_x, centre->dst_y);
    }
    // Whether `window` exists and the screen shows it.
    bool IsViewable(xcb_window_t window) const {
        const auto attributes = Owned(xcb_get_window_attributes_reply(
            m_pConnection, xcb_get_window_attributes(m_pConnection, window), nullptr));
        return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    }

private:
    // An xcb reply, freed when it goes.
    template <typename T>
    static std::unique_ptr<T, void (*)(void*)> Owned(T* reply) {
        return {reply, &std::free};
    }

    xcb_atom_t Atom(const char* name) const {
        const auto reply = Owned(xcb_intern_atom_reply(
            m_pConnection,
            xcb_intern_atom(m_pConnection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr));
        return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }

    bool HasTrayHost() const {
        const auto reply = Owned(xcb_get_selection_owner_reply(
            m_pConnection, xcb_get_selection_owner(m_pConnection, m_nTraySelection), nullptr));
        return reply && reply->owner != XCB_NONE;
    }

    void Walk(xcb_window_t window, xcb_window_t parent, std::vector<xcb_window_t>& docked) const {
        if ((window & ~m_nIdMask) == m_nIdBase && parent != m_nRoot) {
            const auto xembed = Owned(xcb_get_property_reply(
                m_pConnection,
                xcb_get_property(m_pConnection, 0, window, m_nXEmbedInfo, XCB_ATOM_ANY, 0, 2),
                nullptr));
            if (IsViewable(window) && xembed && xembed->type != XCB_NONE) {
                docked.push_back(window);
            }
        }
        const auto tree = Owned(
            xcb_query_tree_reply(m_pConnection, xcb_query_tree(m_pConnection, window), nullptr));
        if (!tree) {
            return;
        }
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            Walk(children[i], window, docked);
        }
    }

    CChildProcess m_Trayer;
    xcb_connection_t* m_pConnection;
    xcb_window_t m_nRoot;
    std::uint32_t m_nIdBase;
    std::uint32_t m_nIdMask;
    xcb_atom_t m_nXEmbedInfo;
    xcb_atom_t m_nTraySelection;
};
