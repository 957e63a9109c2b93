#include "platform/qt/SystemTrayHost.h"

#include <gmock/gmock.h>

#include "support/Desktop.h"
#include "support/QtWait.h"
#include "support/TrayProbe.h"
#include "widgets/TrayNotifyIcon.h"

namespace {

const QRgb kRed = qRgb(220, 0, 0);
const QRgb kBlue = qRgb(0, 0, 220);
const QRgb kGreen = qRgb(0, 200, 0);

// An icon shown before any tray docks once one starts; a restarted tray shows it with its
// current image, a hidden one only once it is shown again; presses on it reach the handler.
TEST(SystemTrayHostTest, TheIconFollowsTheTrayAndPassesOnPresses) {
    CTrayProbe probe;
    CSystemTrayHost host;
    CTrayNotifyIcon tray{host};
    const auto shows = [&](QRgb colour) {
        return WaitFor([&] { return probe.ShowsOnly(colour); });
    };
    const auto showsNothing = [&] { return WaitFor([&] { return probe.DockedIcons().empty(); }); };
    std::vector<ETrayMouse> presses;
    EXPECT_FALSE(host.IsAvailable());
    ASSERT_TRUE(tray.Create([&](unsigned, ETrayMouse eMouse) { presses.push_back(eMouse); }, 0,
                            QStringLiteral("Running"), SolidIcon(kRed)));
    ASSERT_TRUE(probe.StartTrayer());
    ASSERT_TRUE(shows(kRed));
    EXPECT_TRUE(host.IsAvailable());
    ASSERT_TRUE(tray.SetIcon(SolidIcon(kBlue)));
    ASSERT_TRUE(shows(kBlue));
    ASSERT_TRUE(probe.StopTrayer() && showsNothing() && probe.StartTrayer());
    EXPECT_TRUE(shows(kBlue));

    tray.HideIcon();
    ASSERT_TRUE(showsNothing());
    ASSERT_TRUE(probe.StopTrayer() && probe.StartTrayer());
    // A second icon docking shows the restart has been handled; ours must not be there.
    CSystemTrayHost witness;
    EXPECT_FALSE(witness.Show());  // no image yet: nothing to dock
    witness.SetIcon(SolidIcon(kGreen));
    witness.Show();
    ASSERT_TRUE(shows(kGreen));
    witness.Hide();
    ASSERT_TRUE(showsNothing());
    tray.ShowIcon();
    ASSERT_TRUE(shows(kBlue));

    const QPoint centre = *probe.DockedCentre();
    ASSERT_TRUE(Xdotool(
        {"mousemove", std::to_string(centre.x()), std::to_string(centre.y()), "click", "1"}));
    ASSERT_TRUE(WaitFor([&] { return presses.size() == 1; }));
    ASSERT_TRUE(Xdotool({"click", "3"}));
    ASSERT_TRUE(WaitFor([&] { return presses.size() == 2; }));
    EXPECT_THAT(presses, testing::ElementsAre(ETrayMouse::LButtonDown, ETrayMouse::RButtonDown));
}

}  // namespace
