#include "platform/qt/SystemTrayHost.h"

#include "support/ChildProcess.h"
#include "support/QtWait.h"
#include "support/TrayProbe.h"
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

class SystemTrayHostTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_Probe.StartTrayer()); }

    bool RestartTrayer() {
        if (!m_Probe.StopTrayer()) {
            return false;
        }
        // The icon leaves the tray with it before the new one starts.
        if (!WaitFor([this] { return m_Probe.DockedIcons().empty(); })) {
            return false;
        }
        return m_Probe.StartTrayer();
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
    ASSERT_TRUE(m_Probe.StopTrayer());
    ASSERT_TRUE(WaitFor([] { return !QSystemTrayIcon::isSystemTrayAvailable(); }));
    CSystemTrayHost host;
    EXPECT_FALSE(host.IsAvailable());
    CTrayNotifyIcon tray(host);
    ASSERT_TRUE(tray.Create({}, 0, QStringLiteral("Running"), SolidIcon(kRed)));
    ASSERT_TRUE(m_Probe.StartTrayer());
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
