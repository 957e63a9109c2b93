#include "widgets/SlidingTabCtrl.h"

#include <algorithm>
#include <utility>

#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTabBar>
#include <QTimerEvent>

CSlidingTabCtrl::CSlidingTabCtrl(std::function<bool()> isMoveOn, std::function<int()> speed,
                                 QWidget* parent)
    : QWidget(parent),
      m_IsMoveOn(std::move(isMoveOn)),
      m_Speed(std::move(speed)),
      m_pTabBar(new QTabBar(this)) {
    m_pTabBar->setDrawBase(false);
    // Six captions must fit the control's width, as on the classic tab control: tight
    // padding rather than scroll arrows.
    m_pTabBar->setStyleSheet(QStringLiteral(
        "QTabBar::tab { padding: 2px 6px; border: 1px solid palette(mid); border-bottom: none;"
        " border-top-left-radius: 3px; border-top-right-radius: 3px;"
        " background: palette(button); margin-right: -1px; }"
        "QTabBar::tab:selected { background: palette(window); }"
        "QTabBar::tab:!selected { margin-top: 2px; }"));
    m_pTabBar->setExpanding(false);
    m_pTabBar->move(2, 0);
    // The tab bar tells only what has become current; the page being left is the one we
    // remember, which is what the selection-changing step needs.
    connect(m_pTabBar, &QTabBar::currentChanged, this, [this](int) {
        OnSelChanging();
        OnSelChange();
    });
}

void CSlidingTabCtrl::AddPage(QWidget* page, const QString& strCaption) {
    {
        // Inserting the first tab makes it current; that is not a user's selection.
        const QSignalBlocker blocker(m_pTabBar);
        m_pTabBar->insertTab(m_nPageCount, strCaption);
    }
    m_pTabBar->setTabData(m_nPageCount, QVariant::fromValue(static_cast<QObject*>(page)));
    m_pTabBar->adjustSize();
    page->move(kPageX, kPageY);
    page->setVisible(m_nPageCount == 0);
    if (m_nPageCount == 0) {
        m_nCurSel = 0;
    }
    ++m_nPageCount;
}

void CSlidingTabCtrl::SetCurSel(int nIndex) {
    if (nIndex < 0 || nIndex >= m_nPageCount) {
        return;
    }
    const QSignalBlocker blocker(m_pTabBar);
    m_pTabBar->setCurrentIndex(nIndex);
    m_nCurSel = nIndex;
}

int CSlidingTabCtrl::GetCurSel() const {
    return m_nCurSel;
}

QWidget* CSlidingTabCtrl::GetPage(int nIndex) const {
    return qobject_cast<QWidget*>(m_pTabBar->tabData(nIndex).value<QObject*>());
}

void CSlidingTabCtrl::OnSelChanging() {
    if (QWidget* page = GetPage(m_nCurSel)) {
        page->hide();
    }
}

void CSlidingTabCtrl::OnSelChange() {
    m_bMove = m_IsMoveOn();
    m_nCurSel = m_pTabBar->currentIndex();
    QWidget* page = GetPage(m_nCurSel);
    if (page == nullptr) {
        return;
    }
    if (!m_bMove) {
        page->show();
        return;
    }
    const QRect rect = page->geometry();
    m_nPageWidth = rect.width();
    page->move(rect.left() - m_nPageWidth, rect.top());
    page->show();
    m_pSlidingPage = page;
    m_SlideTimer.start(kSlidePeriodMs, this);
}

void CSlidingTabCtrl::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_SlideTimer.timerId()) {
        SlideStep();
    }
    QWidget::timerEvent(event);
}

void CSlidingTabCtrl::SlideStep() {
    if (m_pSlidingPage == nullptr) {
        m_SlideTimer.stop();
        return;
    }
    // A speed below 1 (only a hand-edited store can hold one) would never end the slide.
    m_nStep = std::max(m_Speed(), 1);
    const QRect rect = m_pSlidingPage->geometry();
    if (rect.left() < kPageX - m_nStep) {
        m_pSlidingPage->move(rect.left() + m_nStep, rect.top());
        return;
    }
    m_pSlidingPage->setGeometry(kPageX, rect.top(), m_nPageWidth, rect.height());
    m_SlideTimer.stop();
}

void CSlidingTabCtrl::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionTabWidgetFrame option;
    option.initFrom(this);
    option.shape = QTabBar::RoundedNorth;
    option.tabBarSize = m_pTabBar->size();
    option.rect = rect().adjusted(0, m_pTabBar->height() - 1, 0, 0);
    painter.drawPrimitive(QStyle::PE_FrameTabWidget, option);
}

void CSlidingTabCtrl::resizeEvent(QResizeEvent* event) {
    m_pTabBar->setMaximumWidth(width() - 4);
    QWidget::resizeEvent(event);
}
