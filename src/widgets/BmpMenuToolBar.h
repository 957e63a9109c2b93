#pragma once

#include <vector>

#include <QBasicTimer>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QWidget>

class CBmpMenu;
class QMenu;
class QPalette;

// The rows of a bitmap menu (CBmpMenu): one button per menu item, one item per row, drawn
// as the items of a classic menu in the current palette. The bar tracks the highlighted
// row with the mouse and the arrow keys, opens submenus on click, rest or key, and hands
// the chosen command to its menu.
class CBmpMenuToolBar : public QWidget {
    Q_OBJECT
public:
    // What the bar keeps of each menu item: a copy, taken when the menu is shown.
    struct SMenuItemInfo {
        bool bSeparator = false;
        bool bDisabled = false;
        bool bChecked = false;
        int nId = 0;
        QMenu* pSubMenu = nullptr;
        QImage checkedPicture;    // null: none
        QImage uncheckedPicture;  // null: none
        QString strText;          // with its "&" mnemonic marks
    };

    // The system colours a menu is drawn with, read from a palette at each drawing.
    struct SMenuColours {
        QColor menu;           // COLOR_MENU
        QColor menuText;       // COLOR_MENUTEXT
        QColor highlight;      // COLOR_HIGHLIGHT
        QColor highlightText;  // COLOR_HIGHLIGHTTEXT
        QColor btnShadow;      // COLOR_BTNSHADOW
        QColor grayText;       // COLOR_GRAYTEXT
        QColor btnText;        // COLOR_BTNTEXT
        QColor btnHighlight;   // COLOR_BTNHIGHLIGHT
        static SMenuColours FromPalette(const QPalette& palette);
    };

    // Mouse flags of a click: the left button, and a click made from the keyboard.
    static constexpr unsigned MK_LBUTTON = 0x1;
    static constexpr unsigned MK_KEYBOARD = 0x100;
    static constexpr int kSeparatorHeight = 8;

    explicit CBmpMenuToolBar(CBmpMenu& menu);

    // Takes the items, one button each, and lays the rows out.
    void SetItems(std::vector<SMenuItemInfo> items);
    int ButtonCount() const { return static_cast<int>(m_Items.size()); }
    const SMenuItemInfo& Item(int nIndex) const { return m_Items[static_cast<size_t>(nIndex)]; }
    QRect GetItemRect(int nIndex) const { return m_Rects[static_cast<size_t>(nIndex)]; }
    // The size of all rows together.
    QSize RowsSize() const;
    // The button under `pt`; -1 over a separator or no button.
    int HitTest(QPoint pt) const;
    // The size of the check-mark square of the platform's menus.
    QSize CheckMarkSize() const;

    int GetHotItem() const { return m_nHotItem; }
    // Highlights button `nIndex` (-1: none), telling the owner when another item becomes the
    // highlighted one.
    void SetHotItem(int nIndex);

    // The input the bar acts on.
    void OnLButtonDown(unsigned nFlags, QPoint pt);
    void OnItemClicked(unsigned nFlags, QPoint pt);  // BMM_ITEMCLICKED
    void OnMouseMove(QPoint pt, QPoint ptGlobal);
    void OnMouseLeave();
    void OnMouseHover();
    void OnKeyDown(QKeyEvent* event);
    void MnemonicSearch(unsigned nKey);
    void ResetClick() { m_nLastClicked = -1; }

    // Drawing of the item pictures. A copy of `picture` for a row: for a disabled item a
    // one-bit silhouette (Format_Mono: 0 drawn in the text colour, 1 in the background),
    // otherwise the picture with its black, dark grey, light grey and white pixels in the
    // menu's colours. Transparent pixels stay transparent: they show the row background, as
    // the light grey of a picture does.
    static QImage CopyBitmapForMenu(const QImage& picture, bool bDisabled, bool bHighlighted,
                                    const SMenuColours& colours);
    // Draws the picture square `rcSquare` of a row into `image` (bar coordinates, the row
    // already filled): the item's picture, or the check mark when it has none. Here and in
    // DrawSubMenuArrow, `image` may have more pixels than the bar (its device pixel ratio):
    // what is drawn pixel by pixel is drawn in its pixels.
    static void DrawItemImage(QImage& image, const QRect& rcSquare, bool bHighlighted,
                              const QImage* pPicture, bool bChecked, bool bDisabled,
                              const QColor& textColour, const SMenuColours& colours);
    // Draws the submenu arrow of row `rcRow` into `image` in `colour`; `nCheckWidth` is the
    // check-mark width.
    static void DrawSubMenuArrow(QImage& image, const QRect& rcRow, int nCheckWidth,
                                 const QColor& colour);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void DrawRow(QImage& image, int nIndex, bool bHot);
    void DrawSeparator(QImage& image, const QRect& rc, const SMenuColours& colours) const;
    void ClickButton(int nIndex, unsigned nFlags);
    int NextSelectable(int nFrom, int nStep) const;
    bool IsSelectable(int nIndex) const;

    CBmpMenu& m_Menu;
    std::vector<SMenuItemInfo> m_Items;
    std::vector<QRect> m_Rects;
    int m_nHotItem = -1;

    // The item last announced to the owner as highlighted.
    int m_nSelectedItem = -1;
    int m_nLastClicked = -1;
    QFont m_MenuFont;
    QPoint m_ptHover{-1, -1};
    int m_nHoverIndex = -1;
    QBasicTimer m_HoverTimer;
    bool m_bMouseInside = false;
};
