#include "widgets/BmpMenu.h"

#include <utility>

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <qdrawutil.h>

#include "widgets/BmpMenuToolBar.h"

namespace {

// The picture an icon holds for `state`, or a null image when it has none for it.
QImage PictureOf(const QIcon& icon, QIcon::State state) {
    const QList<QSize> sizes = icon.availableSizes(QIcon::Normal, state);
    if (sizes.isEmpty()) {
        return {};
    }
    return icon.pixmap(sizes.first(), QIcon::Normal, state).toImage();
}

// The work area of the screen that shows `pt`.
QRect WorkAreaAt(QPoint pt) {
    const QScreen* screen = QGuiApplication::screenAt(pt);
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

}  // namespace

CBmpMenu::CBmpMenu(int nSideBandWidth, bool bShowSideBitmap, const QPixmap& sideBitmap,
                   bool bStretchSideBitmap)
    : m_hSideBitmap(sideBitmap),
      m_bShowSideBitmap(bShowSideBitmap),
      m_bStretchSideBitmap(bStretchSideBitmap),
      m_nSideBandWidth(nSideBandWidth) {
    setObjectName(QStringLiteral("BitmapMenu"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
}

CBmpMenu::~CBmpMenu() {
    delete m_pMenu;
}

void CBmpMenu::Attach(QMenu* pMenu) {
    if (pMenu != m_pMenu) {
        delete m_pMenu;
    }
    m_pMenu = pMenu;
}

QMenu* CBmpMenu::Detach() {
    return std::exchange(m_pMenu, nullptr);
}

bool CBmpMenu::SetMenuItemBitmaps(int nPosition, const QPixmap& unchecked, const QPixmap& checked) {
    if (m_pMenu == nullptr || nPosition < 0 || nPosition >= m_pMenu->actions().size()) {
        return false;
    }
    QIcon icon;
    if (!unchecked.isNull()) {
        icon.addPixmap(unchecked, QIcon::Normal, QIcon::Off);
    }
    if (!checked.isNull()) {
        icon.addPixmap(checked, QIcon::Normal, QIcon::On);
    }
    m_pMenu->actions().at(nPosition)->setIcon(icon);
    return true;
}

CBmpMenu* CBmpMenu::ParentMenu() const {
    return qobject_cast<CBmpMenu*>(parentWidget());
}

CBmpMenu* CBmpMenu::RootMenu() {
    CBmpMenu* pRoot = this;
    while (CBmpMenu* pParent = pRoot->ParentMenu()) {
        pRoot = pParent;
    }
    return pRoot;
}

unsigned CBmpMenu::NotifyOwner(CBmpMenuEvent::EMessage nMessage, unsigned nItem, unsigned nFlags) {
    if (m_pOwnerWnd == nullptr) {
        return 0;
    }
    CBmpMenuEvent event(nMessage, m_pMenu, nItem, nFlags, this);
    QCoreApplication::sendEvent(m_pOwnerWnd, &event);
    return event.Result();
}

bool CBmpMenu::TrackPopup(QPoint pt, QWidget* pParentWnd, const QRect* pExclude) {
    const bool bSubMenu = (m_nFlags & BMF_SUBMENU) != 0;
    if (!bSubMenu) {
        m_pOwnerWnd = pParentWnd;
    }
    if (m_pOwnerWnd == nullptr || m_pMenu == nullptr) {
        return false;
    }
    NotifyOwner(bSubMenu ? CBmpMenuEvent::WM_INITMENUPOPUP : CBmpMenuEvent::WM_INITMENU);

    // A pop-up window: it takes the mouse and the keyboard while it is shown, so a click
    // anywhere else and every key reach the menu. A top-level menu has no parent widget,
    // so that nothing but this object's own scope ends it.
    setParent(bSubMenu ? pParentWnd : nullptr, Qt::Popup | Qt::FramelessWindowHint);
    if (CBmpMenu* pParent = ParentMenu()) {
        pParent->m_pSubMenu = this;
    }
    QMetaObject::Connection activation;
    if (!bSubMenu) {
        activation = connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
                             [this](Qt::ApplicationState state) {
                                 if (state != Qt::ApplicationActive) {
                                     CloseMenuChain();
                                 }
                             });
    }

    m_pToolBar = new CBmpMenuToolBar(*this);
    FillAndSize(pt, pExclude);
    show();
    setFocus(Qt::PopupFocusReason);
    if (m_nFlags & BMF_KEYBOARD) {
        m_pToolBar->SetHotItem(0);
        m_nFlags &= ~BMF_KEYBOARD;
    }
    NotifyOwner(CBmpMenuEvent::WM_ENTERMENULOOP);

    if (!m_bEndLoop) {
        QEventLoop loop;
        m_pLoop = &loop;
        loop.exec();
        m_pLoop = nullptr;
    }
    // The loop also ends when the application quits; the menu closes as a whole then.
    m_bEndLoop = true;
    disconnect(activation);

    delete m_pToolBar;
    m_pToolBar = nullptr;
    DestroyMenuWindow();
    if (!bSubMenu && m_nChosenCommand && m_pOwnerWnd != nullptr) {
        QCoreApplication::postEvent(
            m_pOwnerWnd, new CBmpMenuEvent(CBmpMenuEvent::WM_COMMAND, nullptr,
                                           static_cast<unsigned>(*m_nChosenCommand) & 0xFFFF));
    }
    return true;
}

void CBmpMenu::FillAndSize(QPoint pt, const QRect* pExclude) {
    std::vector<CBmpMenuToolBar::SMenuItemInfo> items;
    for (const QAction* pAction : m_pMenu->actions()) {
        CBmpMenuToolBar::SMenuItemInfo item;
        item.bSeparator = pAction->isSeparator();
        item.bDisabled = !pAction->isEnabled();
        item.bChecked = pAction->isCheckable() && pAction->isChecked();
        item.nId = pAction->data().toInt();
        item.pSubMenu = pAction->menu();
        item.uncheckedPicture = PictureOf(pAction->icon(), QIcon::Off);
        item.checkedPicture = PictureOf(pAction->icon(), QIcon::On);
        item.strText = pAction->text();
        items.push_back(std::move(item));
    }
    m_pToolBar->SetItems(std::move(items));

    const QSize rows = m_pToolBar->RowsSize();
    const QSize size(rows.width() + m_nSideBandWidth + 2 * kFrameWidth,
                     rows.height() + 2 * kFrameWidth);
    resize(size);
    move(PlaceMenu(pt, size, WorkAreaAt(pExclude != nullptr ? pExclude->center() : pt), pExclude));
    m_pToolBar->setGeometry(kFrameWidth + m_nSideBandWidth, kFrameWidth, rows.width(),
                            rows.height());
    m_pToolBar->show();
}

QPoint CBmpMenu::PlaceMenu(QPoint pt, QSize size, const QRect& desktop, const QRect* pExclude) {
    // Edges as the platform counts them: right and bottom lie just outside the rectangle.
    const int nW = size.width();
    const int nH = size.height();
    const int nLeft = desktop.left();
    const int nTop = desktop.top();
    const int nRight = desktop.left() + desktop.width();
    const int nBottom = desktop.top() + desktop.height();

    if (pExclude == nullptr) {
        const int x = pt.x();
        const int y = pt.y();
        const bool bRight = x + nW < nRight;
        const bool bLeft = x - nW > nLeft;
        const bool bBelow = y + nH < nBottom;
        const bool bAbove = y - nH > nTop;
        if (bRight && bBelow) {
            return {x, y};
        }
        if (bLeft && bBelow) {
            return {x - nW, y};
        }
        if (bRight && bAbove) {
            return {x, y - nH};
        }
        if (bLeft && bAbove) {
            return {x - nW, y - nH};
        }
        return {x, y};
    }

    const int nExRight = pExclude->left() + pExclude->width();
    const int nExBottom = pExclude->top() + pExclude->height();
    const bool bRight = nExRight + nW < nRight;
    const bool bLeft = pExclude->left() - nW > nLeft;
    const bool bDown = pExclude->top() + nH < nBottom;
    const bool bUp = nExBottom - nH > nTop;
    const int xRight = nExRight;
    const int xLeft = pExclude->left() - nW;
    if (bRight && bDown) {
        return {xRight, pExclude->top()};
    }
    if (bRight && bUp) {
        return {xRight, nExBottom - nH};
    }
    if (bLeft && bDown) {
        return {xLeft, pExclude->top()};
    }
    if (bLeft && bUp) {
        return {xLeft, nExBottom - nH};
    }
    // It fits nowhere beside the row: on the side with more room, as high as the row and
    // pushed up into the work area, but never above its top.
    const bool bRightSide = bRight || (!bLeft && nRight - nExRight >= pExclude->left() - nLeft);
    const int y = std::max(nTop, std::min(pExclude->top(), nBottom - nH));
    return {bRightSide ? xRight : xLeft, y};
}

void CBmpMenu::OnOpenSubMenu(QPoint pt, bool bKeyboard) {
    const int nIndex = m_pToolBar->HitTest(pt);
    if (nIndex < 0 || m_pToolBar->Item(nIndex).pSubMenu == nullptr) {
        return;
    }
    // The whole row, side band included, is what the submenu must not cover.
    const QRect rcItem = m_pToolBar->GetItemRect(nIndex);
    QRect rcExclude(m_pToolBar->mapToGlobal(rcItem.topLeft()), rcItem.size());
    rcExclude.setLeft(rcExclude.left() - m_nSideBandWidth);

    CBmpMenu child(m_bShowSideBitmap ? m_nSideBandWidth : 0, m_bShowSideBitmap,
                   m_bShowSideBitmap ? m_hSideBitmap : QPixmap(), m_bStretchSideBitmap);
    child.m_pOwnerWnd = m_pOwnerWnd;
    child.Attach(m_pToolBar->Item(nIndex).pSubMenu);
    child.m_nFlags = BMF_SUBMENU | (bKeyboard ? BMF_KEYBOARD : 0);
    m_bInSubMenu = true;
    child.TrackPopup(QPoint(0, 0), this, &rcExclude);
    m_bInSubMenu = false;
    child.Detach();
}

void CBmpMenu::OnResetClick() {
    if (m_pToolBar != nullptr) {
        m_pToolBar->ResetClick();
    }
}

void CBmpMenu::ChooseCommand(int nCommand) {
    CBmpMenu* pRoot = RootMenu();
    if (!pRoot->m_nChosenCommand) {
        pRoot->m_nChosenCommand = nCommand;
    }
}

void CBmpMenu::CloseMenuChain() {
    if (CBmpMenu* pParent = ParentMenu()) {
        pParent->CloseMenuChain();
    }
    if (m_pToolBar != nullptr) {
        CloseSubMenus();
        EndModalLoop();
        m_pSubMenu = nullptr;
    }
}

void CBmpMenu::CloseSubMenus() {
    if (m_pSubMenu != nullptr) {
        m_pSubMenu->CloseSubMenus();
        m_pSubMenu->EndModalLoop();
        m_pSubMenu = nullptr;
    }
}

void CBmpMenu::EndModalLoop() {
    m_bEndLoop = true;
    if (m_pLoop != nullptr) {
        m_pLoop->exit();
    }
}

void CBmpMenu::DestroyMenuWindow() {
    hide();
    NotifyOwner(CBmpMenuEvent::WM_EXITMENULOOP);
    if (CBmpMenu* pParent = ParentMenu()) {
        pParent->setFocus(Qt::PopupFocusReason);
    }
}

void CBmpMenu::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& pal = palette();
    // A one-pixel border and a raised two-pixel edge inside it.
    painter.setPen(pal.color(QPalette::Shadow));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    qDrawWinPanel(&painter, rect().adjusted(1, 1, -1, -1), pal, false);

    const QRect rcClient = rect().adjusted(kFrameWidth, kFrameWidth, -kFrameWidth, -kFrameWidth);
    painter.fillRect(rcClient, pal.color(QPalette::Light));
    if (m_hSideBitmap.isNull()) {
        return;
    }
    const QRect rcBand(rcClient.topLeft(), QSize(m_nSideBandWidth, rcClient.height()));
    if (m_bStretchSideBitmap) {
        painter.drawPixmap(rcBand, m_hSideBitmap);
    } else {
        painter.setBrushOrigin(rcBand.topLeft());
        painter.fillRect(rcBand, QBrush(m_hSideBitmap));
    }
}

void CBmpMenu::keyPressEvent(QKeyEvent* event) {
    // Alt and F10 would move into the owner's menu bar: the menu closes as a whole. Alt with
    // Ctrl held is no such key: it begins a combination, such as the blocking hot key.
    const bool bAlt = (event->key() == Qt::Key_Alt || (event->modifiers() & Qt::AltModifier)) &&
                      !(event->modifiers() & Qt::ControlModifier);
    if (bAlt || event->key() == Qt::Key_F10) {
        CloseMenuChain();
        event->ignore();
        return;
    }
    if (m_pSubMenu != nullptr) {
        QCoreApplication::sendEvent(m_pSubMenu, event);
        return;
    }
    if (m_pToolBar != nullptr) {
        m_pToolBar->OnKeyDown(event);
    }
}

void CBmpMenu::RouteMouseMove(QPoint ptGlobal) {
    for (CBmpMenu* pMenu = RootMenu(); pMenu != nullptr; pMenu = pMenu->m_pSubMenu) {
        CBmpMenuToolBar* pBar = pMenu->m_pToolBar;
        if (pBar == nullptr) {
            continue;
        }
        const QPoint pt = pBar->mapFromGlobal(ptGlobal);
        if (pBar->rect().contains(pt)) {
            pBar->OnMouseMove(pt, ptGlobal);
        } else {
            pBar->OnMouseLeave();
        }
    }
}

void CBmpMenu::RouteMousePress(QPoint ptGlobal, Qt::MouseButton button) {
    for (CBmpMenu* pMenu = RootMenu(); pMenu != nullptr; pMenu = pMenu->m_pSubMenu) {
        if (!pMenu->isVisible() || !pMenu->frameGeometry().contains(ptGlobal)) {
            continue;
        }
        CBmpMenuToolBar* pBar = pMenu->m_pToolBar;
        const QPoint pt = pBar != nullptr ? pBar->mapFromGlobal(ptGlobal) : QPoint();
        if (pBar != nullptr && button == Qt::LeftButton && pBar->rect().contains(pt)) {
            pBar->OnLButtonDown(CBmpMenuToolBar::MK_LBUTTON, pt);
        }
        return;
    }
    // A click outside every menu of the chain.
    CloseMenuChain();
}

void CBmpMenu::mouseMoveEvent(QMouseEvent* event) {
    RouteMouseMove(event->globalPosition().toPoint());
}

void CBmpMenu::mousePressEvent(QMouseEvent* event) {
    RouteMousePress(event->globalPosition().toPoint(), event->button());
}

void CBmpMenu::mouseReleaseEvent(QMouseEvent* event) {
    // Items act on the press; the release of that press, or of the press that opened the
    // menu, does nothing.
    event->accept();
}

void CBmpMenu::closeEvent(QCloseEvent* event) {
    // Something else closes the window (the desktop, the application): the whole menu goes.
    if (m_pToolBar != nullptr) {
        CloseMenuChain();
    }
    event->accept();
}
