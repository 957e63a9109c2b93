#pragma once

#include <functional>

#include <QBasicTimer>
#include <QWidget>

class QTabBar;

// The main window's tab control. It keeps one child page per tab, shows the page of the
// selected tab and hides the others; when the user changes the tab and sliding is on, the
// new page slides in from the left, one page width, a few pixels every 10 ms.
class CSlidingTabCtrl : public QWidget {
    Q_OBJECT
public:
    // `isMoveOn` answers the live "bmove" option, read at every selection change; `speed`
    // the live "speed" option (pixels per step), read at every step of a slide.
    CSlidingTabCtrl(std::function<bool()> isMoveOn, std::function<int()> speed,
                    QWidget* parent = nullptr);

    // Appends a tab for `page`, which must be a child of this control. The page is put at
    // its resting place; the first page is shown, the others are hidden.
    void AddPage(QWidget* page, const QString& strCaption);

    // Selects a tab without any notification: no page is hidden, shown or slid, as when the
    // window itself switches pages.
    void SetCurSel(int nIndex);
    int GetCurSel() const;
    int GetPageCount() const { return m_nPageCount; }
    QWidget* GetPage(int nIndex) const;
    QTabBar* TabBar() const { return m_pTabBar; }
    bool IsSliding() const { return m_SlideTimer.isActive(); }

    // Where a page rests, in this control's coordinates.
    static constexpr int kPageX = 4;
    static constexpr int kPageY = 28;
    static constexpr int kSlidePeriodMs = 10;

protected:
    void timerEvent(QTimerEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnSelChanging();
    void OnSelChange();
    void SlideStep();

    std::function<bool()> m_IsMoveOn;
    std::function<int()> m_Speed;
    QTabBar* m_pTabBar;
    QBasicTimer m_SlideTimer;
    int m_nStep = 10;
    bool m_bMove = true;
    int m_nPageWidth = 0;
    QWidget* m_pSlidingPage = nullptr;
    int m_nPageCount = 0;
    int m_nCurSel = -1;
};
