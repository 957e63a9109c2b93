#include "widgets/SystemTrayHost.h"

#include "support/ChildProcess.h"
#include "support/QtWait.h"
#include "support/X11TestMain.h"
#include "widgets/TrayNotifyIcon.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <xcb/xcb.h>

#include <gmock/gmock.h>

#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

using namespace std::chrono_literals;

QIcon SolidIcon(QRgb colour) {
    QPixmap pixmap(22, 22);
    pixmap.fill(QColor(colour));
    return QIcon(pixmap);
}

const QRgb kRed = qRgb(220, 0, 0);
const QRgb kBlue = qRgb(0, 0, 220);
const QRgb kGreen = qRgb(0, 200, 0);

// What the X server shows of this program's tray icons: the windows of this client that
// carry the XEmbed mark and sit inside another window (the tray's), not on the root.
class CTrayProbe {
public:
    CTrayProbe() {
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        m_pConnection = x11->connection();
        const xcb_setup_t* setup = xcb_get_setup(m_pConnection);
        m_nRoot = xcb_setup_roots_iterator(setup).data->root;
        m_nIdBase = setup->resource_id_base;
        m_nIdMask = setup->resource_id_mask;
        const char* name = "_XEMBED_INFO";
        auto* atom = xcb_intern_atom_reply(
            m_pConnection,
            xcb_intern_atom(m_pConnection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr);
        m_nXEmbedInfo = atom->atom;
        std::free(atom);
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
        auto* geometry = xcb_get_geometry_reply(
            m_pConnection, xcb_get_geometry(m_pConnection, docked[0]), nullptr);
        auto* translated = xcb_translate_coordinates_reply(
            m_pConnection,
            xcb_translate_coordinates(m_pConnection, docked[0], m_nRoot, geometry->width / 2,
                                      geometry->height / 2),
            nullptr);
        const QPoint centre(translated->dst_x, translated->dst_y);
        std::free(geometry);
        std::free(translated);
        return centre;
    }

private:
    void Walk(xcb_window_t window, xcb_window_t parent, std::vector<xcb_window_t>& docked) const {
        if ((window & ~m_nIdMask) == m_nIdBase && parent != m_nRoot && IsViewable(window) &&
            HasXEmbedInfo(window)) {
            docked.push_back(window);
        }
        auto* tree =
            xcb_query_tree_reply(m_pConnection, xcb_query_tree(m_pConnection, window), nullptr);
        if (tree == nullptr) {
            return;
        }
        const xcb_window_t* children = xcb_query_tree_children(tree);
        const std::vector<xcb_window_t> list(children,
                                             children + xcb_query_tree_children_length(tree));
        std::free(tree);
        for (const xcb_window_t child : list) {
            Walk(child, window, docked);
        }
    }

    bool IsViewable(xcb_window_t window) const {
        auto* attributes = xcb_get_window_attributes_reply(
            m_pConnection, xcb_get_window_attributes(m_pConnection, window), nullptr);
        const bool bViewable =
            attributes != nullptr && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(attributes);
        return bViewable;
    }

    bool HasXEmbedInfo(xcb_window_t window) const {
        auto* property = xcb_get_property_reply(
            m_pConnection,
            xcb_get_property(m_pConnection, 0, window, m_nXEmbedInfo, XCB_ATOM_ANY, 0, 2), nullptr);
        const bool bHas = property != nullptr && property->type != XCB_NONE;
        std::free(property);
        return bHas;
    }

    xcb_connection_t* m_pConnection;
    xcb_window_t m_nRoot;
    std::uint32_t m_nIdBase;
    std::uint32_t m_nIdMask;
    xcb_atom_t m_nXEmbedInfo;
};

class SystemTrayHostTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(TestDisplay().StartTrayer()); }
    void TearDown() override { TestDisplay().StopTrayer(); }

    bool RestartTrayer() {
        if (!TestDisplay().StopTrayer()) {
            return false;
        }
        // The icon leaves the tray with it before the new one starts.
        if (!WaitFor([this] { return m_Probe.DockedIcons().empty(); })) {
            return false;
        }
        return TestDisplay().StartTrayer();
    }

    CTrayProbe m_Probe;
};

TEST_F(SystemTrayHostTest, TheIconComesBackWithItsCurrentImageWhenTheTrayRestarts) {
    CSystemTrayHost host;
    CTrayNotifyIcon tray(host);
    ASSERT_TRUE(tray.Create({}, 0, QStringLiteral("Running"), SolidIcon(kRed)));
    ASSERT_TRUE(WaitFor([this] { return m_Probe.ShowsOnly(kRed); }));
    ASSERT_TRUE(tray.SetIcon(SolidIcon(kBlue)));
    ASSERT_TRUE(WaitFor([this] { return m_Probe.ShowsOnly(kBlue); }));

    ASSERT_TRUE(RestartTrayer());
    EXPECT_TRUE(WaitFor([this] { return m_Probe.ShowsOnly(kBlue); }));
    EXPECT_TRUE(host.IsAvailable());
}

TEST_F(SystemTrayHostTest, AHiddenIconStaysOutWhenTheTrayRestartsAndComesBackWhenShown) {
    CSystemTrayHost host;
    CTrayNotifyIcon tray(host);
    ASSERT_TRUE(tray.Create({}, 0, QStringLiteral("Running"), SolidIcon(kRed)));
    ASSERT_TRUE(WaitFor([this] { return m_Probe.DockedIcons().size() == 1; }));
    tray.HideIcon();
    ASSERT_TRUE(WaitFor([this] { return m_Probe.DockedIcons().empty(); }));

    ASSERT_TRUE(RestartTrayer());
    // A second icon docking shows the restart has been handled; ours must not be there.
    CSystemTrayHost witness;
    witness.SetIcon(SolidIcon(kGreen));
    witness.Show();
    ASSERT_TRUE(WaitFor([this] { return m_Probe.ShowsOnly(kGreen); }));
    witness.Hide();
    ASSERT_TRUE(WaitFor([this] { return m_Probe.DockedIcons().empty(); }));

    tray.ShowIcon();
    EXPECT_TRUE(WaitFor([this] { return m_Probe.ShowsOnly(kRed); }));
}

TEST_F(SystemTrayHostTest, AnIconShownWithoutATrayDocksWhenOneStarts) {
    ASSERT_TRUE(TestDisplay().StopTrayer());
    ASSERT_TRUE(WaitFor([] { return !QSystemTrayIcon::isSystemTrayAvailable(); }));
    CSystemTrayHost host;
    EXPECT_FALSE(host.IsAvailable());
    CTrayNotifyIcon tray(host);
    ASSERT_TRUE(tray.Create({}, 0, QStringLiteral("Running"), SolidIcon(kRed)));
    ASSERT_TRUE(TestDisplay().StartTrayer());
    EXPECT_TRUE(WaitFor([this] { return m_Probe.ShowsOnly(kRed); }));
    EXPECT_TRUE(host.IsAvailable());
}

TEST_F(SystemTrayHostTest, PressesOnTheDockedIconReachTheNotifyHandler) {
    CSystemTrayHost host;
    CTrayNotifyIcon tray(host);
    std::vector<ETrayMouse> presses;
    ASSERT_TRUE(tray.Create([&](unsigned, ETrayMouse eMouse) { presses.push_back(eMouse); }, 0,
                            QStringLiteral("Running"), SolidIcon(kRed)));
    ASSERT_TRUE(WaitFor([this] { return m_Probe.ShowsOnly(kRed); }));
    const QPoint centre = *m_Probe.DockedCentre();
    ASSERT_EQ(CChildProcess::Run({"xdotool", "mousemove", std::to_string(centre.x()),
                                  std::to_string(centre.y()), "click", "1"}),
              0);
    ASSERT_TRUE(WaitFor([&] { return presses.size() == 1; }));
    ASSERT_EQ(CChildProcess::Run({"xdotool", "click", "3"}), 0);
    ASSERT_TRUE(WaitFor([&] { return presses.size() == 2; }));
    EXPECT_THAT(presses, testing::ElementsAre(ETrayMouse::LButtonDown, ETrayMouse::RButtonDown));
}

}  // namespace
