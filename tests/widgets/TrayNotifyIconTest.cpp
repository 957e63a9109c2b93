#include "widgets/TrayNotifyIcon.h"

#include <gmock/gmock.h>

#include "support/Desktop.h"
#include "support/QtWait.h"
#include "support/RecordingTrayHost.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using Call = CRecordingTrayHost;

const QString kTip = QStringLiteral("Running");

class TrayNotifyIconTest : public testing::Test {
protected:
    // The icons set since the calls were last cleared, in order.
    std::vector<qint64> IconsSet() const {
        std::vector<qint64> keys;
        for (const auto& call : m_Host.m_Calls) {
            if (call.eKind == Call::SCall::EKind::SetIcon) {
                keys.push_back(call.nIconKey);
            }
        }
        return keys;
    }

    const QIcon m_A = SolidIcon(Qt::red);
    const QIcon m_B = SolidIcon(Qt::green);
    const QIcon m_C = SolidIcon(Qt::blue);
    CRecordingTrayHost m_Host;
    CTrayNotifyIcon m_Tray{m_Host, [this](int nId) { return nId == 129 ? m_C : QIcon(); }};
};

// The tooltip is kept to 63 UTF-16 units without cutting a pair; presses reach the handler
// until the icon is destroyed, which removes it once, also with the object.
TEST_F(TrayNotifyIconTest, AnIconLivesFromCreateToDestroy) {
    const QString x63(63, QLatin1Char('x'));
    const std::pair<QString, QString> tips[] = {
        {x63, x63},
        {x63 + QStringLiteral("yz"), x63},
        {x63.left(62) + QString::fromUtf8("\xF0\x9F\x98\x80"), x63.left(62)}};
    for (const auto& [given, kept] : tips) {
        m_Tray.Create({}, 0, given, m_A);
        EXPECT_EQ(m_Tray.GetToolTip(), kept);
        EXPECT_EQ(m_Host.m_Calls.front(), Call::TipSet(kept));
        m_Tray.Destroy();
        m_Host.m_Calls.clear();
    }

    std::vector<std::pair<unsigned, ETrayMouse>> presses;
    EXPECT_TRUE(m_Tray.Create(
        [&](unsigned nId, ETrayMouse eMouse) { presses.emplace_back(nId, eMouse); }, 7, kTip, m_A));
    EXPECT_THAT(m_Host.m_Calls, ElementsAre(Call::TipSet(kTip), Call::IconSet(m_A), Call::Shown()));
    m_Host.Press(ETrayMouse::LButtonDown);
    m_Host.Press(ETrayMouse::RButtonDown);
    m_Tray.SetIcon(m_B);
    m_Host.m_Calls.clear();
    EXPECT_FALSE(m_Tray.ShowIcon());  // not hidden
    EXPECT_TRUE(m_Tray.HideIcon());
    EXPECT_TRUE(m_Tray.HideIcon());  // already hidden: no second call
    EXPECT_TRUE(m_Tray.IsHidden());
    EXPECT_TRUE(m_Tray.ShowIcon());
    EXPECT_FALSE(m_Tray.IsHidden());
    EXPECT_THAT(m_Host.m_Calls,
                ElementsAre(Call::Hidden(), Call::TipSet(kTip), Call::IconSet(m_B), Call::Shown()));

    m_Host.m_Calls.clear();
    m_Tray.Destroy();
    m_Host.Press(ETrayMouse::LButtonDown);
    m_Tray.Destroy();
    EXPECT_FALSE(m_Tray.RemoveIcon());
    EXPECT_FALSE(m_Tray.IsInstalled());
    EXPECT_THAT(presses, ElementsAre(std::pair(7U, ETrayMouse::LButtonDown),
                                     std::pair(7U, ETrayMouse::RButtonDown)));
    EXPECT_THAT(m_Host.m_Calls, ElementsAre(Call::Hidden()));

    CRecordingTrayHost host;
    {
        CTrayNotifyIcon tray(host);
        tray.Create({}, 0, kTip, m_A);
        host.m_Calls.clear();
    }
    EXPECT_THAT(host.m_Calls, ElementsAre(Call::Hidden()));
}

// An animation steps through its images in order, and the record follows, so the icon
// comes back as it was; setting an icon ends it. An animation without images, an icon the
// tray refused and a missing icon change nothing.
TEST_F(TrayNotifyIconTest, AnAnimationStepsThroughItsImagesUntilAnIconIsSet) {
    EXPECT_FALSE(m_Tray.CreateAnimated({}, 0, kTip, {}, 5));
    EXPECT_FALSE(m_Tray.IsAnimating());
    EXPECT_THAT(m_Host.m_Calls, IsEmpty());

    ASSERT_TRUE(m_Tray.CreateAnimated({}, 0, kTip, {m_A, m_B, m_C}, 5));
    ASSERT_TRUE(WaitFor([this] { return IconsSet().size() >= 5; }));
    const auto keys = IconsSet();
    EXPECT_THAT(std::vector(keys.begin(), keys.begin() + 5),
                ElementsAre(m_A.cacheKey(), m_B.cacheKey(), m_C.cacheKey(), m_A.cacheKey(),
                            m_B.cacheKey()));
    EXPECT_EQ(m_Tray.GetIcon().cacheKey(), IconsSet().back());
    m_Host.m_Calls.clear();
    EXPECT_FALSE(m_Tray.SetIcon(999));
    EXPECT_FALSE(m_Tray.SetIcon(QIcon()));
    EXPECT_TRUE(m_Tray.IsAnimating());
    EXPECT_TRUE(m_Tray.SetIcon(129));
    EXPECT_FALSE(m_Tray.IsAnimating());
    EXPECT_EQ(IconsSet().back(), m_C.cacheKey());
    const std::size_t nCalls = m_Host.m_Calls.size();
    ProcessEventsFor(std::chrono::milliseconds(50));
    EXPECT_EQ(m_Host.m_Calls.size(), nCalls) << "the animation went on";
    EXPECT_EQ(m_Tray.GetIcon().cacheKey(), m_C.cacheKey());

    m_Tray.Destroy();
    m_Host.m_bShowResult = false;
    EXPECT_FALSE(m_Tray.CreateAnimated({}, 0, kTip, {m_A, m_B, m_C}, 5));
    m_Host.m_Calls.clear();
    EXPECT_FALSE(m_Tray.SetIcon(m_B));
    EXPECT_TRUE(m_Tray.IsAnimating()) << "a refused change leaves the animation running";
    EXPECT_FALSE(m_Tray.RemoveIcon());
    EXPECT_TRUE(WaitFor([this] { return !IconsSet().empty(); }));
}

}  // namespace
