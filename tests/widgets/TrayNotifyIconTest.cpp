#include "widgets/TrayNotifyIcon.h"

#include "support/QtWait.h"
#include "support/RecordingTrayHost.h"

#include <QPixmap>

#include <gmock/gmock.h>

#include <map>

namespace {

using namespace std::chrono_literals;
using testing::ElementsAre;
using testing::IsEmpty;
using Call = CRecordingTrayHost;
using EKind = CRecordingTrayHost::SCall::EKind;

QIcon SolidIcon(Qt::GlobalColor colour) {
    QPixmap pixmap(16, 16);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

const QString kTip = QStringLiteral("Running");

class TrayNotifyIconTest : public testing::Test {
protected:
    TrayNotifyIconTest()
        : m_Tray(m_Host, [this](int nId) {
              const auto it = m_Resources.find(nId);
              return it == m_Resources.end() ? QIcon() : it->second;
          }) {}

    // The icons set since the last ClearCalls, in order.
    std::vector<qint64> IconsSet() const {
        std::vector<qint64> keys;
        for (const auto& call : m_Host.m_Calls) {
            if (call.eKind == EKind::SetIcon) {
                keys.push_back(call.nIconKey);
            }
        }
        return keys;
    }

    bool Create() { return m_Tray.Create({}, 0, kTip, m_A); }
    bool CreateAnimated(int nMs) { return m_Tray.CreateAnimated({}, 0, kTip, {m_A, m_B}, nMs); }

    const QIcon m_A = SolidIcon(Qt::red);
    const QIcon m_B = SolidIcon(Qt::green);
    const QIcon m_C = SolidIcon(Qt::blue);
    std::map<int, QIcon> m_Resources{{129, m_C}};
    CRecordingTrayHost m_Host;
    CTrayNotifyIcon m_Tray;
};

TEST_F(TrayNotifyIconTest, CreateAddsTheIconWithItsTooltip) {
    EXPECT_TRUE(Create());
    EXPECT_THAT(m_Host.m_Calls, ElementsAre(Call::TipSet(kTip), Call::IconSet(m_A), Call::Shown()));
    EXPECT_TRUE(m_Tray.IsInstalled());
}

TEST_F(TrayNotifyIconTest, PressesReachTheNotifyHandlerWithTheIconIdUntilDestroyed) {
    std::vector<std::pair<unsigned, ETrayMouse>> presses;
    m_Tray.Create([&](unsigned nId, ETrayMouse eMouse) { presses.emplace_back(nId, eMouse); }, 7,
                  kTip, m_A);
    m_Host.Press(ETrayMouse::LButtonDown);
    m_Host.Press(ETrayMouse::RButtonDown);
    m_Tray.Destroy();
    m_Host.Press(ETrayMouse::LButtonDown);
    EXPECT_THAT(presses, ElementsAre(std::pair(7U, ETrayMouse::LButtonDown),
                                     std::pair(7U, ETrayMouse::RButtonDown)));
    EXPECT_FALSE(m_Host.HasMouseHandler());
}

TEST_F(TrayNotifyIconTest, AnIconThatWasNotAddedCannotBeChangedOrRemoved) {
    EXPECT_FALSE(m_Tray.CreateAnimated({}, 0, kTip, {}, 5));  // no images
    EXPECT_FALSE(m_Tray.IsAnimating());
    EXPECT_THAT(m_Host.m_Calls, IsEmpty());

    m_Host.m_bShowResult = false;
    EXPECT_FALSE(Create());
    m_Host.m_Calls.clear();
    EXPECT_FALSE(m_Tray.SetIcon(m_B));
    EXPECT_FALSE(m_Tray.RemoveIcon());
    m_Tray.Destroy();
    EXPECT_THAT(m_Host.m_Calls, IsEmpty());
}

TEST_F(TrayNotifyIconTest, AnAnimationStepsThroughItsImagesAndTheRecordFollows) {
    ASSERT_TRUE(CreateAnimated(5));
    EXPECT_TRUE(m_Tray.IsAnimating());
    ASSERT_TRUE(WaitFor([this] { return IconsSet().size() >= 4; }));
    const auto keys = IconsSet();
    EXPECT_THAT(std::vector(keys.begin(), keys.begin() + 4),
                ElementsAre(m_A.cacheKey(), m_B.cacheKey(), m_A.cacheKey(), m_B.cacheKey()));
    EXPECT_EQ(m_Tray.GetIcon().cacheKey(), keys.back());
}

TEST_F(TrayNotifyIconTest, SetIconRightAfterAnAnimatedCreateEndsItBeforeItsFirstStep) {
    ASSERT_TRUE(CreateAnimated(5));
    EXPECT_TRUE(m_Tray.SetIcon(m_C));
    EXPECT_FALSE(m_Tray.IsAnimating());
    ProcessEventsFor(100ms);
    EXPECT_THAT(IconsSet(), ElementsAre(m_A.cacheKey(), m_C.cacheKey()));
}

TEST_F(TrayNotifyIconTest, SetIconOnARefusedIconFailsAndLeavesTheAnimationRunning) {
    m_Host.m_bShowResult = false;
    EXPECT_FALSE(CreateAnimated(5));
    EXPECT_FALSE(m_Tray.SetIcon(m_C));
    EXPECT_TRUE(m_Tray.IsAnimating());
    m_Host.m_Calls.clear();
    EXPECT_TRUE(WaitFor([this] { return !IconsSet().empty(); }));
}

TEST_F(TrayNotifyIconTest, SetIconByIdLoadsTheResourceAndAMissingIconChangesNothing) {
    ASSERT_TRUE(CreateAnimated(1000));
    m_Host.m_Calls.clear();
    EXPECT_FALSE(m_Tray.SetIcon(999));
    EXPECT_FALSE(m_Tray.SetIcon(QIcon()));
    EXPECT_THAT(m_Host.m_Calls, IsEmpty());
    EXPECT_TRUE(m_Tray.IsAnimating());
    EXPECT_EQ(m_Tray.GetIcon().cacheKey(), m_A.cacheKey());

    EXPECT_TRUE(m_Tray.SetIcon(129));
    EXPECT_THAT(m_Host.m_Calls, ElementsAre(Call::IconSet(m_C)));
}

TEST_F(TrayNotifyIconTest, HideAndShowTakeTheIconOutAndPutItBackAsItWas) {
    Create();
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
    EXPECT_TRUE(m_Tray.IsInstalled());
}

TEST_F(TrayNotifyIconTest, TheDestructionStepsRemoveTheIconOnceHoweverOftenTheyRun) {
    CreateAnimated(1000);
    m_Host.m_Calls.clear();
    m_Tray.Destroy();
    EXPECT_FALSE(m_Tray.IsAnimating());
    EXPECT_FALSE(m_Tray.IsInstalled());
    m_Tray.Destroy();
    EXPECT_FALSE(m_Tray.RemoveIcon());
    EXPECT_THAT(m_Host.m_Calls, ElementsAre(Call::Hidden()));
}

TEST_F(TrayNotifyIconTest, DestroyingTheObjectRemovesTheIcon) {
    CRecordingTrayHost host;
    {
        CTrayNotifyIcon tray(host);
        tray.Create({}, 0, kTip, m_A);
        host.m_Calls.clear();
    }
    EXPECT_THAT(host.m_Calls, ElementsAre(Call::Hidden()));
}

struct STipCase {
    const char* szName;
    QString strGiven;
    QString strKept;
};

void PrintTo(const STipCase& c, std::ostream* os) {
    *os << c.szName;
}

class TrayTooltipTest : public TrayNotifyIconTest, public testing::WithParamInterface<STipCase> {};

TEST_P(TrayTooltipTest, TheTooltipIsKeptToSixtyThreeCharacters) {
    m_Tray.Create({}, 0, GetParam().strGiven, m_A);
    EXPECT_EQ(m_Tray.GetToolTip(), GetParam().strKept);
    EXPECT_EQ(m_Host.m_Calls.front(), Call::TipSet(GetParam().strKept));
}

const QString k63 = QString(63, QLatin1Char('x'));
const QString kSmile = QString::fromUtf8("\xF0\x9F\x98\x80");  // two UTF-16 units

INSTANTIATE_TEST_SUITE_P(Lengths, TrayTooltipTest,
                         testing::Values(STipCase{"Exactly63", k63, k63},
                                         STipCase{"Over63", k63 + QStringLiteral("yz"), k63},
                                         STipCase{"PairAcrossTheLimit",
                                                  QString(62, QLatin1Char('x')) + kSmile,
                                                  QString(62, QLatin1Char('x'))}),
                         [](const auto& info) { return std::string(info.param.szName); });

}  // namespace
