#include "widgets/SlidingTabCtrl.h"

#include "support/QtWait.h"

#include <QEvent>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// Notes the left edge of a page after every move, so a slide can be followed step by step.
class CMoveRecorder : public QObject {
public:
    std::vector<int> m_Lefts;
    std::function<void()> m_OnMove;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Move) {
            m_Lefts.push_back(static_cast<QWidget*>(watched)->x());
            if (m_OnMove) {
                m_OnMove();
            }
        }
        return false;
    }
};

class SlidingTabCtrlTest : public testing::Test {
protected:
    void SetUp() override {
        m_pTabs = std::make_unique<CSlidingTabCtrl>([this] { return m_bMove; },
                                                    [this] { return m_nSpeed; });
        m_pTabs->resize(344, 300);
        for (const char* caption : {"General", "History", "BlackList"}) {
            auto* page = new QWidget(m_pTabs.get());
            page->resize(340, 266);
            m_pTabs->AddPage(page, QString::fromLatin1(caption));
            m_Pages.push_back(page);
        }
        m_pTabs->show();
    }

    QWidget* Page(int n) const { return m_Pages[static_cast<std::size_t>(n)]; }

    void ClickTab(int nIndex) {
        QTabBar* bar = m_pTabs->TabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(nIndex).center());
    }

    void Follow(int nPage) { Page(nPage)->installEventFilter(&m_Recorder); }

    bool WaitForSlideEnd() {
        return WaitFor([this] { return !m_pTabs->IsSliding(); });
    }

    bool m_bMove = true;
    int m_nSpeed = 20;
    std::unique_ptr<CSlidingTabCtrl> m_pTabs;
    std::vector<QWidget*> m_Pages;
    CMoveRecorder m_Recorder;
};

TEST_F(SlidingTabCtrlTest, AddedPagesRestAtTheirPlaceAndOnlyTheFirstIsShown) {
    EXPECT_EQ(m_pTabs->GetPageCount(), 3);
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(Page(n)->pos(), QPoint(4, 28));
        EXPECT_EQ(m_pTabs->GetPage(n), Page(n));
        EXPECT_EQ(Page(n)->isVisible(), n == 0);
    }
    EXPECT_EQ(m_pTabs->GetCurSel(), 0);
}

TEST_F(SlidingTabCtrlTest, WithSlidingOffTheNewPageShowsAtOnceWhereItLastStood) {
    m_bMove = false;
    Page(1)->move(50, 30);
    ClickTab(1);
    EXPECT_FALSE(Page(0)->isVisible());
    EXPECT_TRUE(Page(1)->isVisible());
    EXPECT_EQ(Page(1)->pos(), QPoint(50, 30));
    EXPECT_FALSE(m_pTabs->IsSliding());
    EXPECT_EQ(m_pTabs->GetCurSel(), 1);
}

TEST_F(SlidingTabCtrlTest, APageSlidesInFromOneWidthLeftBySpeedPixelsAndEndsAtItsPlace) {
    Follow(1);
    ClickTab(1);
    EXPECT_FALSE(Page(0)->isVisible());
    EXPECT_TRUE(Page(1)->isVisible());
    ASSERT_TRUE(WaitForSlideEnd());

    std::vector<int> expected{-336};
    for (int left = -316; left <= -16; left += 20) {
        expected.push_back(left);
    }
    expected.push_back(4);
    EXPECT_EQ(m_Recorder.m_Lefts, expected);
    EXPECT_EQ(Page(1)->geometry(), QRect(4, 28, 340, 266));
}

TEST_F(SlidingTabCtrlTest, ASpeedChangedDuringASlideAppliesToTheRemainingSteps) {
    Follow(1);
    m_Recorder.m_OnMove = [this] {
        if (m_Recorder.m_Lefts.size() == 3) {
            m_nSpeed = 100;
        }
    };
    ClickTab(1);
    ASSERT_TRUE(WaitForSlideEnd());
    // Start, two steps of 20, then steps of 100 while the page is left of 4 - 100.
    EXPECT_EQ(m_Recorder.m_Lefts, (std::vector<int>{-336, -316, -296, -196, -96, 4}));
}

class SlidingTabCtrlSpeedTest : public SlidingTabCtrlTest,
                                public testing::WithParamInterface<int> {};

TEST_P(SlidingTabCtrlSpeedTest, ASpeedBelowOneStillBringsThePageHome) {
    m_nSpeed = GetParam();
    Page(1)->resize(30, 266);
    Follow(1);
    ClickTab(1);
    ASSERT_TRUE(WaitForSlideEnd());
    EXPECT_EQ(Page(1)->pos(), QPoint(4, 28));
    // One pixel a step: from -26 to 4.
    EXPECT_EQ(m_Recorder.m_Lefts.size(), 31U);
}

INSTANTIATE_TEST_SUITE_P(ZeroAndNegative, SlidingTabCtrlSpeedTest, testing::Values(0, -5));

TEST_F(SlidingTabCtrlTest, ASlideCutShortLeavesItsPageWhereItStoodAndResumesFromThereLater) {
    m_Recorder.m_OnMove = [this] {
        if (m_Recorder.m_Lefts.size() == 4) {
            ClickTab(2);
        }
    };
    Follow(1);
    ClickTab(1);
    ASSERT_TRUE(WaitForSlideEnd());
    // Page 1 stopped at -276 (start and three steps) and was hidden there.
    EXPECT_FALSE(Page(1)->isVisible());
    EXPECT_EQ(Page(1)->pos(), QPoint(-276, 28));
    EXPECT_TRUE(Page(2)->isVisible());
    EXPECT_EQ(Page(2)->pos(), QPoint(4, 28));

    m_Recorder.m_OnMove = nullptr;
    m_Recorder.m_Lefts.clear();
    ClickTab(1);
    ASSERT_TRUE(WaitForSlideEnd());
    EXPECT_FALSE(Page(2)->isVisible());
    ASSERT_FALSE(m_Recorder.m_Lefts.empty());
    EXPECT_EQ(m_Recorder.m_Lefts.front(), -276 - 340);
    EXPECT_EQ(Page(1)->geometry(), QRect(4, 28, 340, 266));
}

TEST_F(SlidingTabCtrlTest, ASelectionSetByTheWindowHidesShowsAndSlidesNothing) {
    m_pTabs->SetCurSel(2);
    EXPECT_EQ(m_pTabs->GetCurSel(), 2);
    EXPECT_EQ(m_pTabs->TabBar()->currentIndex(), 2);
    EXPECT_TRUE(Page(0)->isVisible());
    EXPECT_FALSE(Page(2)->isVisible());
    EXPECT_FALSE(m_pTabs->IsSliding());

    // The user's next change leaves the tab the window selected.
    Page(2)->show();
    ClickTab(1);
    EXPECT_FALSE(Page(2)->isVisible());
    EXPECT_TRUE(Page(1)->isVisible());
}

}  // namespace
