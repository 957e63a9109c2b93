#include "widgets/SlidingTabCtrl.h"

#include <memory>
#include <vector>

#include <QEvent>
#include <QTabBar>
#include <QTest>
#include <gtest/gtest.h>

#include "support/QtWait.h"

namespace {

using Lefts = std::vector<int>;

class SlidingTabCtrlTest : public testing::Test, public QObject {
protected:
    void SetUp() override {
        for (const char* caption : {"General", "History", "BlackList"}) {
            auto* page = new QWidget(&m_Tabs);
            page->resize(340, 266);
            m_Tabs.AddPage(page, QString::fromLatin1(caption));
            m_Pages.push_back(page);
        }
        m_Pages[1]->installEventFilter(this);
        m_Tabs.resize(344, 300);
        m_Tabs.show();
    }

    // Notes the left edge of page 1 after each of its moves.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Move) {
            m_Lefts.push_back(static_cast<QWidget*>(watched)->x());
            if (m_OnMove) {
                m_OnMove();
            }
        }
        return false;
    }

    void Click(int nIndex) {
        QTabBar* bar = m_Tabs.TabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(nIndex).center());
    }
    // Clicks the tab `nIndex` and waits for the slide, if any, to end.
    void Choose(int nIndex) {
        Click(nIndex);
        EXPECT_TRUE(WaitFor([this] { return !m_Tabs.IsSliding(); }));
    }
    bool Shows(int nPage) const { return m_Pages[static_cast<std::size_t>(nPage)]->isVisible(); }

    bool m_bMove = true;
    int m_nSpeed = 20;
    CSlidingTabCtrl m_Tabs{[this] { return m_bMove; }, [this] { return m_nSpeed; }};
    std::vector<QWidget*> m_Pages;
    Lefts m_Lefts;
    std::function<void()> m_OnMove;
};

// A page comes in from one width to the left, by "speed" pixels a step, and ends at its
// place; a speed changed on the way counts for the steps left. A speed below 1, which only a
// hand-edited store holds, still brings the page home, a pixel a step.
TEST_F(SlidingTabCtrlTest, APageSlidesInBySpeedPixelsAndEndsAtItsPlace) {
    EXPECT_TRUE(Shows(0));
    EXPECT_FALSE(Shows(1));
    m_OnMove = [this] {
        if (m_Lefts.size() == 13) {
            m_nSpeed = 100;
        }
    };
    Choose(1);
    EXPECT_FALSE(Shows(0));
    EXPECT_TRUE(Shows(1));
    Lefts expected{-336};
    for (int left = -316; left <= -96; left += 20) {
        expected.push_back(left);
    }
    expected.push_back(4);  // from -96, a step of 100 would overshoot
    EXPECT_EQ(m_Lefts, expected);
    EXPECT_EQ(m_Pages[1]->geometry(), QRect(4, 28, 340, 266));
    EXPECT_EQ(m_Tabs.GetCurSel(), 1);

    m_OnMove = nullptr;
    m_Pages[1]->resize(30, 266);
    for (const int nSpeed : {0, -5}) {
        m_nSpeed = nSpeed;
        Choose(0);
        m_Lefts.clear();
        Choose(1);
        EXPECT_EQ(m_Pages[1]->pos(), QPoint(4, 28));
        EXPECT_EQ(m_Lefts.size(), 31U);  // -26 to 4
    }
}

// A slide cut short leaves its page where it stood, hidden, and starts from there when the
// page is chosen again.
TEST_F(SlidingTabCtrlTest, ASlideCutShortResumesFromWhereItsPageStood) {
    m_OnMove = [this] {
        if (m_Lefts.size() == 4) {
            Click(2);
        }
    };
    Choose(1);
    EXPECT_FALSE(Shows(1));
    EXPECT_EQ(m_Pages[1]->pos(), QPoint(-276, 28));
    EXPECT_TRUE(Shows(2));
    EXPECT_EQ(m_Pages[2]->pos(), QPoint(4, 28));

    m_OnMove = nullptr;
    m_Lefts.clear();
    Choose(1);
    EXPECT_FALSE(Shows(2));
    EXPECT_EQ(m_Lefts.front(), -276 - 340);
    EXPECT_EQ(m_Pages[1]->geometry(), QRect(4, 28, 340, 266));
}

// With sliding off the page shows at once where it last stood. A selection the window sets
// moves nothing; the user's next change hides the page that selection named.
TEST_F(SlidingTabCtrlTest, WithoutSlidingOrSetByTheWindowNothingMoves) {
    m_bMove = false;
    m_Pages[1]->move(50, 30);
    Choose(1);
    EXPECT_TRUE(Shows(1));
    EXPECT_EQ(m_Pages[1]->pos(), QPoint(50, 30));

    m_Tabs.SetCurSel(2);
    EXPECT_EQ(m_Tabs.GetCurSel(), 2);
    EXPECT_EQ(m_Tabs.TabBar()->currentIndex(), 2);
    EXPECT_TRUE(Shows(1));
    EXPECT_FALSE(m_Tabs.IsSliding());
    m_Pages[2]->show();
    Choose(0);
    EXPECT_FALSE(Shows(2));
    EXPECT_TRUE(Shows(0));
}

}  // namespace
