#pragma once

#include <QEvent>

class QMenu;
class QWidget;

// What a bitmap menu (CBmpMenu) tells the window that owns it, as a platform menu tells its
// owner with its menu messages. The notifications are sent to the owner window, so they
// arrive while the menu is open; WM_COMMAND, the chosen command, is posted once the whole
// menu has closed. An owner that ignores an event loses nothing: the menu goes on as the
// platform's default handling would let it.
class CBmpMenuEvent : public QEvent {
public:
    // The notifications, numbered as the platform's menu messages.
    enum EMessage : unsigned {
        // Item(): the chosen command id.
        WM_COMMAND = 0x111,
        // Menu(): the menu about to be shown as a top-level menu.
        WM_INITMENU = 0x116,
        // Menu(): the menu about to be shown as a submenu.
        WM_INITMENUPOPUP = 0x117,
        // Another item is highlighted. Item(): its command id, or its position when it opens
        // a submenu; Flags(): its state (MF_GRAYED, MF_DISABLED, MF_CHECKED) or MF_POPUP.
        WM_MENUSELECT = 0x11F,
        // A key matched no mnemonic. Item(): the key (its character, upper case, or its Qt
        // key code); Flags(): MF_POPUP. The owner may answer with SetResult: MNC_CLOSE in the
        // high 16 bits closes the whole menu; MNC_EXECUTE sends it the command in the low 16
        // bits. Anything else leaves the menu as it is.
        WM_MENUCHAR = 0x120,
        // The menu window MenuWindow() is shown.
        WM_ENTERMENULOOP = 0x211,
        // A menu window has gone.
        WM_EXITMENULOOP = 0x212,
    };

    // Item state flags and WM_MENUCHAR answers.
    static constexpr unsigned MF_GRAYED = 0x1;
    static constexpr unsigned MF_DISABLED = 0x2;
    static constexpr unsigned MF_CHECKED = 0x8;
    static constexpr unsigned MF_POPUP = 0x10;
    static constexpr unsigned MNC_CLOSE = 1;
    static constexpr unsigned MNC_EXECUTE = 2;

    CBmpMenuEvent(EMessage nMessage, QMenu* pMenu, unsigned nItem = 0, unsigned nFlags = 0,
                  QWidget* pMenuWindow = nullptr);

    // The event type of every bitmap menu notification.
    static QEvent::Type EventType();

    EMessage Message() const { return m_nMessage; }
    QMenu* Menu() const { return m_pMenu; }
    unsigned Item() const { return m_nItem; }
    unsigned Flags() const { return m_nFlags; }
    QWidget* MenuWindow() const { return m_pMenuWindow; }
    unsigned Result() const { return m_nResult; }
    void SetResult(unsigned nResult) { m_nResult = nResult; }

private:
    EMessage m_nMessage;
    QMenu* m_pMenu;
    unsigned m_nItem;
    unsigned m_nFlags;
    QWidget* m_pMenuWindow;
    unsigned m_nResult = 0;
};
