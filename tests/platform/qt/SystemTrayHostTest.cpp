#include "platform/qt/SystemTrayHost.h"

#include "support/Desktop.h"
#include "support/QtWait.h"
#include "support/TrayProbe.h"
#include "widgets/TrayNotifyIcon.h"

#include <gmock/gmock.h>

namespace {

const QRgb kRed = qRgb(220, 0, 0);
const QRgb kBlue = qRgb(0, 0, 220);
const QRgb kGreen = qRgb(0, 200, 0);

class SystemTrayHostTest : public testing::Test {
protected:
    bool Shows(QRgb colour) {
        return WaitFor([&] { return m_Probe.ShowsOnly(colour); });
    }
    bool ShowsNothing() {
        return WaitFor([this] { return m_Probe.DockedIcons().empty(); });
    }

    CTrayProbe m_Probe;
    CSystemTrayHost m_Host;
    CTrayNotifyIcon m_Tray{m_Host};
};

// A restarted tray shows the icon with its current image, and a hidden icon only once it
// is shown again.
TEST_F(SystemTrayHostTest, TheIconComesBackAsItIsWhenTheTrayRestarts) {
    ASSERT_TRUE(m_Probe.StartTrayer());
    ASSERT_TRUE(m_Tray.Create({}, 0, QStringLiteral("Running"), SolidIcon(kRed)));
    ASSERT_TRUE(Shows(kRed));
    ASSERT_TRUE(m_Tray.SetIcon(SolidIcon(kBlue)));
    ASSERT_TRUE(Shows(kBlue));
    ASSERT_TRUE(m_Probe.StopTrayer() && ShowsNothing() && m_Probe.StartTrayer());
    EXPECT_TRUE(Shows(kBlue));
    EXPECT_TRUE(m_Host.IsAvailable());

    m_Tray.HideIcon();
    ASSERT_TRUE(ShowsNothing());
    ASSERT_TRUE(m_Probe.StopTrayer() && m_Probe.StartTrayer());
    // A second icon docking shows the restart has been handled; ours must not be there.
    CSystemTrayHost witness;
    witness.SetIcon(SolidIcon(kGreen));
    witness.Show();
    ASSERT_TRUE(Shows(kGreen));
    witness.Hide();
    ASSERT_TRUE(ShowsNothing());
    m_Tray.ShowIcon();
    EXPECT_TRUE(Shows(kBlue));
}

TEST_F(SystemTrayHostTest, AnIconShownWithoutATrayDocksWhenOneStarts) {
    EXPECT_FALSE(m_Host.IsAvailable());
    ASSERT_TRUE(m_Tray.Create({}, 0, QStringLiteral("Running"), SolidIcon(kRed)));
    ASSERT_TRUE(m_Probe.StartTrayer());
    EXPECT_TRUE(Shows(kRed));
    EXPECT_TRUE(m_Host.IsAvailable());
}

TEST_F(SystemTrayHostTest, PressesOnTheDockedIconReachTheNotifyHandler) {
    ASSERT_TRUE(m_Probe.StartTrayer());
    std::vector<ETrayMouse> presses;
    ASSERT_TRUE(m_Tray.Create([&](unsigned, ETrayMouse eMouse) { presses.push_back(eMouse); }, 0,
                              QStringLiteral("Running"), SolidIcon(kRed)));
    ASSERT_TRUE(Shows(kRed));
    const QPoint centre = *m_Probe.DockedCentre();
    ASSERT_TRUE(Xdotool(
        {"mousemove", std::to_string(centre.x()), std::to_string(centre.y()), "click", "1"}));
    ASSERT_TRUE(WaitFor([&] { return presses.size() == 1; }));
    ASSERT_TRUE(Xdotool({"click", "3"}));
    ASSERT_TRUE(WaitFor([&] { return presses.size() == 2; }));
    EXPECT_THAT(presses, testing::ElementsAre(ETrayMouse::LButtonDown, ETrayMouse::RButtonDown));
}

}  // namespace
