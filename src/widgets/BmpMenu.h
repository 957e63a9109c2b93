#pragma once

#include <optional>

#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include "widgets/BmpMenuEvent.h"

class CBmpMenuToolBar;
class QEventLoop;
class QMenu;

// Shows a menu (a QMenu, used only as the list of items) as a pop-up window of its own: a
// picture band on the left and, right of it, one row per item with a small picture left
// of its text (CBmpMenuToolBar). Items that carry a submenu open it as a further CBmpMenu
// beside their row, by click, by resting the mouse on them or from the keyboard. The menu
// keeps itself on the screen, has keyboard navigation and mnemonics, and closes as a whole
// on Escape, Alt or F10, a click elsewhere, or when the application loses activation.
//
// TrackPopup runs the menu's own modal loop and returns once the menu has closed. The
// owner window hears of the menu through CBmpMenuEvent; the chosen command reaches it as a
// posted WM_COMMAND, so it is handled after TrackPopup has returned, and only once.
class CBmpMenu : public QWidget {
    Q_OBJECT
public:
    // m_nFlags: a submenu of another bitmap menu; opened from the keyboard, so the first
    // item is highlighted when the menu shows.
    static constexpr unsigned BMF_SUBMENU = 0x1;
    static constexpr unsigned BMF_KEYBOARD = 0x100;
    // The frame around the menu, on every side.
    static constexpr int kFrameWidth = 3;

    // A null `sideBitmap` paints the band empty; `bStretchSideBitmap` stretches the picture
    // over the band, otherwise it is tiled.
    CBmpMenu(int nSideBandWidth, bool bShowSideBitmap, const QPixmap& sideBitmap,
             bool bStretchSideBitmap);
    // Deletes an attached menu.
    ~CBmpMenu() override;
    CBmpMenu(const CBmpMenu&) = delete;
    CBmpMenu& operator=(const CBmpMenu&) = delete;

    // Makes `pMenu` the menu shown, and this object's: the destructor deletes it unless
    // Detach has taken it back. A menu attached before is deleted.
    void Attach(QMenu* pMenu);
    QMenu* Detach();
    QMenu* GetMenu() const { return m_pMenu; }
    // Sets the pictures of the item at `nPosition` of the attached menu, shown while the
    // item is not checked and while it is. False when there is no such item.
    bool SetMenuItemBitmaps(int nPosition, const QPixmap& unchecked, const QPixmap& checked);

    // Shows the menu at `pt` (screen coordinates) and runs until it has closed. A top-level
    // menu takes `pParentWnd` as its owner; a submenu shows beside `*pExclude`, the row
    // that opened it, and has its parent's owner. False, showing nothing, without an owner
    // or a menu. Used once per object.
    bool TrackPopup(QPoint pt, QWidget* pParentWnd, const QRect* pExclude = nullptr);
    // Closes this menu, every menu above it and every submenu below it.
    void CloseMenuChain();
    // Closes every open submenu below this menu.
    void CloseSubMenus();

    // Where a menu of `size` goes, inside the work area `desktop`: a top-level menu at the
    // first corner of `pt` where it fits (right and below, left and below, right and above,
    // left and above; right and below when none does); a submenu beside `*pExclude`, right
    // of it going down or up, else left of it going down or up.
    static QPoint PlaceMenu(QPoint pt, QSize size, const QRect& desktop, const QRect* pExclude);

    // BMM_OPENSUBMENU: opens the submenu of the item at `pt` (item bar coordinates) and
    // returns when it has closed.
    void OnOpenSubMenu(QPoint pt, bool bKeyboard);
    // BMM_RESETCLICK: the item bar forgets the item last clicked.
    void OnResetClick();

    // The command chosen in this menu or one of its submenus; handed to the owner once the
    // top-level menu has closed.
    void ChooseCommand(int nCommand);

    // For the item bar and for tests.
    CBmpMenu* ParentMenu() const;
    CBmpMenu* SubMenu() const { return m_pSubMenu; }
    CBmpMenuToolBar* ToolBar() const { return m_pToolBar; }
    QWidget* OwnerWindow() const { return m_pOwnerWnd; }
    bool IsClosing() const { return m_bEndLoop; }
    // Whether the submenu this menu opened still runs its modal loop.
    bool IsInSubMenu() const { return m_bInSubMenu; }
    // Sends a notification to the owner window, if it still exists; answers the event's
    // result.
    unsigned NotifyOwner(CBmpMenuEvent::EMessage nMessage, unsigned nItem = 0, unsigned nFlags = 0);

    // Mouse input reaches the deepest open menu, which hands it to the level under it.
    void RouteMouseMove(QPoint ptGlobal);
    void RouteMousePress(QPoint ptGlobal, Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FillAndSize(QPoint pt, const QRect* pExclude);
    void EndModalLoop();
    void DestroyMenuWindow();
    CBmpMenu* RootMenu();

    QMenu* m_pMenu = nullptr;
    QPointer<QWidget> m_pOwnerWnd;
    CBmpMenu* m_pSubMenu = nullptr;
    QPixmap m_hSideBitmap;
    bool m_bShowSideBitmap;
    bool m_bStretchSideBitmap;
    int m_nSideBandWidth;
    unsigned m_nFlags = 0;
    CBmpMenuToolBar* m_pToolBar = nullptr;

    QEventLoop* m_pLoop = nullptr;
    bool m_bEndLoop = false;
    bool m_bInSubMenu = false;
    std::optional<int> m_nChosenCommand;
};
