#include "widgets/BmpMenuToolBar.h"

#include <algorithm>
#include <utility>

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <QStyle>

#include "widgets/BmpMenu.h"
#include "widgets/BmpMenuEvent.h"

namespace {

// Space above and below the taller of the text and the check mark, and right of the text.
constexpr int kRowPadding = 3;
constexpr int kTextPadding = 8;
// Where the text starts: two pixels right of the picture square.
constexpr int kTextGap = 2;

// The last mouse position any item bar has seen, in screen coordinates. A window that
// appears or moves under a resting mouse gets a move to the same point, which is no move.
QPoint s_ptLastMouse(0, 0);

// Fills the 4-connected area around `seed`, inside `bounds`, of the pixels for which
// `inside` holds, with the colour `paint` gives for each point.
template <typename Inside, typename Paint>
void FloodFill(QImage& image, QPoint seed, QRect bounds, Inside inside, Paint paint) {
    bounds &= image.rect();
    if (!bounds.contains(seed) || !inside(image.pixel(seed))) {
        return;
    }
    std::vector<bool> seen(static_cast<size_t>(bounds.width()) * bounds.height(), false);
    const auto index = [&bounds](QPoint pt) {
        return static_cast<size_t>(pt.y() - bounds.top()) * bounds.width() + pt.x() - bounds.left();
    };
    std::vector<QPoint> todo{seed};
    seen[index(seed)] = true;
    while (!todo.empty()) {
        const QPoint pt = todo.back();
        todo.pop_back();
        image.setPixel(pt, paint(pt));
        for (const QPoint next :
             {pt + QPoint(1, 0), pt - QPoint(1, 0), pt + QPoint(0, 1), pt - QPoint(0, 1)}) {
            if (bounds.contains(next) && !seen[index(next)] && inside(image.pixel(next))) {
                seen[index(next)] = true;
                todo.push_back(next);
            }
        }
    }
}

// A one-pixel line from `a` to `b`, both ends included.
void DrawLine(QImage& image, QPoint a, QPoint b, QRgb colour) {
    const int dx = std::abs(b.x() - a.x());
    const int dy = -std::abs(b.y() - a.y());
    const int sx = a.x() < b.x() ? 1 : -1;
    const int sy = a.y() < b.y() ? 1 : -1;
    int err = dx + dy;
    for (QPoint pt = a;;) {
        if (image.rect().contains(pt)) {
            image.setPixel(pt, colour);
        }
        if (pt == b) {
            return;
        }
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            pt.rx() += sx;
        }
        if (e2 <= dx) {
            err += dx;
            pt.ry() += sy;
        }
    }
}

// `rc`, in the coordinates a painter on `image` takes, in the image's own pixels: its edges
// where the painter puts them at the image's device pixel ratio.
QRect DeviceRect(const QImage& image, const QRect& rc) {
    const qreal dpr = image.devicePixelRatio();
    return {QPoint(qRound(rc.left() * dpr), qRound(rc.top() * dpr)),
            QPoint(qRound((rc.left() + rc.width()) * dpr) - 1,
                   qRound((rc.top() + rc.height()) * dpr) - 1)};
}

// The platform's check mark: a monochrome 13 x 13 picture, the mark black on white.
QImage CheckMark() {
    QImage mark(13, 13, QImage::Format_Mono);
    mark.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    mark.fill(1);
    // Seven columns, each three pixels tall, falling then rising.
    constexpr int kTops[] = {2, 3, 4, 3, 2, 1, 0};
    for (int x = 0; x < 7; ++x) {
        for (int y = kTops[x]; y < kTops[x] + 3; ++y) {
            mark.setPixel(3 + x, 3 + y, 0);
        }
    }
    return mark;
}

// BMM_ITEMCLICKED: a click the bar posts to itself, to act on once the press is handled.
class CItemClickedEvent : public QEvent {
public:
    CItemClickedEvent(unsigned nFlags, QPoint pt)
        : QEvent(EventType()), m_nFlags(nFlags), m_pt(pt) {}
    static QEvent::Type EventType() {
        static const auto s_nType = static_cast<QEvent::Type>(QEvent::registerEventType());
        return s_nType;
    }
    const unsigned m_nFlags;
    const QPoint m_pt;
};

}  // namespace

CBmpMenuToolBar::SMenuColours CBmpMenuToolBar::SMenuColours::FromPalette(const QPalette& palette) {
    SMenuColours colours;
    colours.menu = palette.color(QPalette::Active, QPalette::Window);
    colours.menuText = palette.color(QPalette::Active, QPalette::WindowText);
    colours.highlight = palette.color(QPalette::Active, QPalette::Highlight);
    colours.highlightText = palette.color(QPalette::Active, QPalette::HighlightedText);
    colours.btnShadow = palette.color(QPalette::Active, QPalette::Dark);
    colours.grayText = palette.color(QPalette::Disabled, QPalette::WindowText);
    colours.btnText = palette.color(QPalette::Active, QPalette::ButtonText);
    colours.btnHighlight = palette.color(QPalette::Active, QPalette::Light);
    return colours;
}

CBmpMenuToolBar::CBmpMenuToolBar(CBmpMenu& menu)
    : QWidget(&menu), m_Menu(menu), m_MenuFont(QApplication::font("QMenu")) {
    setFont(m_MenuFont);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

QSize CBmpMenuToolBar::CheckMarkSize() const {
    return {style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, this),
            style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, this)};
}

void CBmpMenuToolBar::SetItems(std::vector<SMenuItemInfo> items) {
    m_Items = std::move(items);
    const QFontMetrics metrics(m_MenuFont);
    const QSize check = CheckMarkSize();
    const int nRowHeight = std::max(metrics.height(), check.height()) + 2 * kRowPadding;
    int nTextWidth = 0;
    for (const SMenuItemInfo& item : m_Items) {
        if (!item.bSeparator) {
            nTextWidth =
                std::max(nTextWidth, metrics.size(Qt::TextShowMnemonic, item.strText).width());
        }
    }
    // A row: a one-pixel margin, the picture square, the text; widened by a check mark for
    // the submenu arrow.
    const int nWidth = 1 + nRowHeight + kTextGap + nTextWidth + kTextPadding + check.width();
    m_Rects.clear();
    int y = 0;
    for (const SMenuItemInfo& item : m_Items) {
        const int nHeight = item.bSeparator ? kSeparatorHeight : nRowHeight;
        m_Rects.emplace_back(0, y, nWidth, nHeight);
        y += nHeight;
    }
    m_nHotItem = -1;
    update();
}

QSize CBmpMenuToolBar::RowsSize() const {
    if (m_Rects.empty()) {
        return {0, 0};
    }
    return {m_Rects.front().width(), m_Rects.back().bottom() + 1 - m_Rects.front().top()};
}

int CBmpMenuToolBar::HitTest(QPoint pt) const {
    for (int i = 0; i < ButtonCount(); ++i) {
        if (m_Rects[static_cast<size_t>(i)].contains(pt)) {
            return Item(i).bSeparator ? -1 : i;
        }
    }
    return -1;
}

void CBmpMenuToolBar::SetHotItem(int nIndex) {
    if (nIndex < -1 || nIndex >= ButtonCount() || nIndex == m_nHotItem) {
        return;
    }
    m_nHotItem = nIndex;
    update();
    if (nIndex < 0 || nIndex == m_nSelectedItem) {
        return;
    }
    m_nSelectedItem = nIndex;
    const SMenuItemInfo& item = Item(nIndex);
    if (item.pSubMenu != nullptr) {
        m_Menu.NotifyOwner(CBmpMenuEvent::WM_MENUSELECT, static_cast<unsigned>(nIndex),
                           CBmpMenuEvent::MF_POPUP);
    } else {
        const unsigned nState =
            (item.bDisabled ? CBmpMenuEvent::MF_GRAYED | CBmpMenuEvent::MF_DISABLED : 0) |
            (item.bChecked ? CBmpMenuEvent::MF_CHECKED : 0);
        m_Menu.NotifyOwner(CBmpMenuEvent::WM_MENUSELECT, static_cast<unsigned>(item.nId) & 0xFFFF,
                           nState);
    }
}

bool CBmpMenuToolBar::IsSelectable(int nIndex) const {
    return nIndex >= 0 && nIndex < ButtonCount() && !Item(nIndex).bSeparator &&
           !Item(nIndex).bDisabled;
}

int CBmpMenuToolBar::NextSelectable(int nFrom, int nStep) const {
    const int nCount = ButtonCount();
    for (int i = 1; i <= nCount; ++i) {
        const int nIndex = ((nFrom + nStep * i) % nCount + nCount) % nCount;
        if (IsSelectable(nIndex)) {
            return nIndex;
        }
    }
    return -1;
}

void CBmpMenuToolBar::ClickButton(int nIndex, unsigned nFlags) {
    m_nLastClicked = -1;
    OnLButtonDown(nFlags, GetItemRect(nIndex).topLeft() + QPoint(1, 1));
}

void CBmpMenuToolBar::OnLButtonDown(unsigned nFlags, QPoint pt) {
    const int nIndex = HitTest(pt);
    if (nIndex < 0 || Item(nIndex).bDisabled || nIndex == m_nLastClicked) {
        return;
    }
    m_Menu.CloseSubMenus();
    QCoreApplication::postEvent(this, new CItemClickedEvent(nFlags, pt));
    m_nLastClicked = nIndex;
}

void CBmpMenuToolBar::OnItemClicked(unsigned nFlags, QPoint pt) {
    if (m_Menu.IsClosing()) {
        return;
    }
    // The submenu this click closed is still unwinding its loop: act once it has.
    if (m_Menu.IsInSubMenu()) {
        QCoreApplication::postEvent(this, new CItemClickedEvent(nFlags, pt));
        return;
    }
    const int nIndex = HitTest(pt);
    if (nIndex < 0) {
        return;
    }
    if (Item(nIndex).pSubMenu != nullptr) {
        m_Menu.OnOpenSubMenu(pt, (nFlags & MK_KEYBOARD) != 0);
    } else {
        m_Menu.ChooseCommand(Item(nIndex).nId);
        m_Menu.CloseMenuChain();
    }
}

void CBmpMenuToolBar::OnMouseMove(QPoint pt, QPoint ptGlobal) {
    m_bMouseInside = true;
    const int nIndex = HitTest(pt);
    if (nIndex >= 0 && Item(nIndex).bDisabled) {
        return;
    }
    if (ptGlobal == s_ptLastMouse) {
        return;
    }
    s_ptLastMouse = ptGlobal;
    if (nIndex >= 0 && nIndex != m_nHoverIndex) {
        m_ptHover = pt;
        m_nHoverIndex = nIndex;
        m_HoverTimer.start(0, this);
    }
    // The highlight follows the mouse; the row whose submenu is open stays highlighted
    // while the mouse is elsewhere.
    SetHotItem(nIndex >= 0 ? nIndex : (m_Menu.SubMenu() != nullptr ? m_nLastClicked : -1));
}

void CBmpMenuToolBar::OnMouseLeave() {
    if (!m_bMouseInside) {
        return;
    }
    m_bMouseInside = false;
    m_HoverTimer.stop();
    SetHotItem(m_Menu.SubMenu() != nullptr ? m_nLastClicked : -1);
}

void CBmpMenuToolBar::OnMouseHover() {
    m_HoverTimer.stop();
    if (m_nHoverIndex < 0 || m_nHoverIndex >= ButtonCount()) {
        return;
    }
    if (Item(m_nHoverIndex).pSubMenu != nullptr) {
        OnLButtonDown(MK_LBUTTON, m_ptHover);
    } else {
        m_Menu.CloseSubMenus();
        m_nLastClicked = -1;
    }
}

void CBmpMenuToolBar::OnKeyDown(QKeyEvent* event) {
    const int nKey = event->key();
    switch (nKey) {
        case Qt::Key_Escape:
            m_Menu.CloseMenuChain();
            return;
        case Qt::Key_Left:
            if (CBmpMenu* pParent = m_Menu.ParentMenu()) {
                pParent->CloseSubMenus();
                pParent->OnResetClick();
            }
            return;
        case Qt::Key_Right:
            if (m_nHotItem >= 0 && Item(m_nHotItem).pSubMenu != nullptr) {
                ClickButton(m_nHotItem, MK_LBUTTON | MK_KEYBOARD);
            }
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (m_nHotItem >= 0) {
                ClickButton(m_nHotItem, MK_LBUTTON | MK_KEYBOARD);
            }
            return;
        default:
            break;
    }
    const QString strText = event->text();
    const bool bChar = !strText.isEmpty() && strText.at(0).isPrint();
    QPointer<CBmpMenuToolBar> self(this);
    MnemonicSearch(bChar ? strText.at(0).toUpper().unicode() : static_cast<unsigned>(nKey));
    if (self == nullptr || m_Menu.IsClosing()) {
        return;
    }
    // The bar's own keys move the highlight over the items that can be chosen.
    switch (nKey) {
        case Qt::Key_Up:
            SetHotItem(NextSelectable(m_nHotItem < 0 ? 0 : m_nHotItem, -1));
            break;
        case Qt::Key_Down:
            SetHotItem(NextSelectable(m_nHotItem, 1));
            break;
        case Qt::Key_Home:
            SetHotItem(NextSelectable(-1, 1));
            break;
        case Qt::Key_End:
            SetHotItem(NextSelectable(0, -1));
            break;
        default:
            break;
    }
}

void CBmpMenuToolBar::MnemonicSearch(unsigned nKey) {
    std::vector<int> matches;
    for (int i = 0; i < ButtonCount(); ++i) {
        const QString& strText = Item(i).strText;
        const qsizetype nAmp = strText.indexOf(QLatin1Char('&'));
        if (nAmp >= 0 && nAmp + 1 < strText.size() &&
            strText.at(nAmp + 1).toUpper().unicode() == nKey) {
            matches.push_back(i);
        }
    }
    if (matches.empty()) {
        const unsigned nAnswer =
            m_Menu.NotifyOwner(CBmpMenuEvent::WM_MENUCHAR, nKey, CBmpMenuEvent::MF_POPUP);
        if (nAnswer >> 16 == CBmpMenuEvent::MNC_CLOSE) {
            m_Menu.CloseMenuChain();
        } else if (nAnswer >> 16 == CBmpMenuEvent::MNC_EXECUTE) {
            m_Menu.NotifyOwner(CBmpMenuEvent::WM_COMMAND, nAnswer & 0xFFFF);
        }
        return;
    }
    if (matches.size() == 1) {
        SetHotItem(matches.front());
        ClickButton(matches.front(), MK_LBUTTON);
        return;
    }
    // Several items share the key: each press moves on to the next of them.
    const auto next = std::find_if(matches.begin(), matches.end(),
                                   [this](int nIndex) { return nIndex > m_nHotItem; });
    SetHotItem(next != matches.end() ? *next : matches.front());
}

bool CBmpMenuToolBar::event(QEvent* event) {
    if (event->type() == CItemClickedEvent::EventType()) {
        const auto* click = static_cast<const CItemClickedEvent*>(event);
        OnItemClicked(click->m_nFlags, click->m_pt);
        return true;
    }
    return QWidget::event(event);
}

void CBmpMenuToolBar::mouseMoveEvent(QMouseEvent* event) {
    m_Menu.RouteMouseMove(event->globalPosition().toPoint());
}

void CBmpMenuToolBar::mousePressEvent(QMouseEvent* event) {
    m_Menu.RouteMousePress(event->globalPosition().toPoint(), event->button());
}

void CBmpMenuToolBar::leaveEvent(QEvent*) {
    OnMouseLeave();
}

void CBmpMenuToolBar::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_HoverTimer.timerId()) {
        OnMouseHover();
        return;
    }
    QWidget::timerEvent(event);
}

void CBmpMenuToolBar::paintEvent(QPaintEvent*) {
    const SMenuColours colours = SMenuColours::FromPalette(palette());
    // In the screen's own pixels, so that the text is as sharp as the screen can show it.
    const qreal dpr = devicePixelRatio();
    QImage image(size() * dpr, QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    image.fill(colours.menu);
    for (int i = 0; i < ButtonCount(); ++i) {
        if (Item(i).bSeparator) {
            DrawSeparator(image, GetItemRect(i), colours);
        } else {
            DrawRow(image, i, i == m_nHotItem);
        }
    }
    QPainter(this).drawImage(0, 0, image);
}

void CBmpMenuToolBar::DrawSeparator(QImage& image, const QRect& rc,
                                    const SMenuColours& colours) const {
    QPainter painter(&image);
    const int y = rc.top() + rc.height() / 2 - 1;
    painter.fillRect(QRect(rc.left() + 1, y, rc.width() - 2, 1), colours.btnShadow);
    painter.fillRect(QRect(rc.left() + 1, y + 1, rc.width() - 2, 1), colours.btnHighlight);
}

void CBmpMenuToolBar::DrawRow(QImage& image, int nIndex, bool bHot) {
    const SMenuColours colours = SMenuColours::FromPalette(palette());
    const SMenuItemInfo& item = Item(nIndex);
    const QRect rcRow = GetItemRect(nIndex);

    QColor textColour = bHot ? colours.highlightText : colours.menuText;
    const QColor background = bHot ? colours.highlight : colours.menu;
    if (item.bDisabled) {
        textColour = colours.grayText;
    }
    // What a one-bit picture's black is drawn in.
    const QColor pictureText = item.bDisabled ? colours.grayText : colours.menuText;

    QRect rc = rcRow.adjusted(1, 0, 0, 0);
    QPainter(&image).fillRect(rc, background);

    const QRect rcSquare(rc.left(), rc.top(), rc.height(), rc.height());
    if (item.bChecked) {
        DrawItemImage(image, rcSquare, bHot,
                      item.checkedPicture.isNull() ? nullptr : &item.checkedPicture, true,
                      item.bDisabled, pictureText, colours);
    } else if (!item.uncheckedPicture.isNull()) {
        DrawItemImage(image, rcSquare, bHot, &item.uncheckedPicture, false, item.bDisabled,
                      pictureText, colours);
    }

    rc.setLeft(rcSquare.left() + rcSquare.width() + kTextGap);
    {
        QPainter painter(&image);
        painter.setFont(m_MenuFont);
        constexpr int kFlags =
            Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
        if (item.bDisabled && !bHot) {
            // Embossed: a light copy one pixel down and right, the grey text over it.
            painter.setPen(colours.btnHighlight);
            painter.drawText(rc.translated(1, 1), kFlags, item.strText);
        }
        painter.setPen(textColour);
        painter.drawText(rc, kFlags, item.strText);
    }
    if (item.pSubMenu != nullptr) {
        DrawSubMenuArrow(image, rcRow, CheckMarkSize().width(), textColour);
    }
}

void CBmpMenuToolBar::DrawSubMenuArrow(QImage& image, const QRect& rcRow, int nCheckWidth,
                                       const QColor& colour) {
    // Pixel by pixel, in the image's own pixels.
    const QRect rc = DeviceRect(image, rcRow);
    const int c = qRound(nCheckWidth * image.devicePixelRatio());
    const int nLeft = rc.left() + rc.width() - 3 * c / 4;
    const int nTop = rc.top() + (rc.height() - c) / 2;
    const int nL1 = nLeft + 3 * c / 10;
    const int nT1 = nTop + 3 * c / 10;
    const int nR1 = nLeft + c - 3 * c / 10;
    const int nB1 = nTop + c - 3 * c / 10;
    const int h = (nB1 - nT1) / 2;
    const QPoint apex(nL1 + (nR1 - nL1) / 2, nT1 + h);
    const QRgb rgb = colour.rgb();
    DrawLine(image, {nL1, nT1}, apex, rgb);
    DrawLine(image, apex, {nL1, nT1 + 2 * h}, rgb);
    DrawLine(image, {nL1, nT1 + 2 * h}, {nL1, nT1}, rgb);
    FloodFill(
        image, {nL1 + 1, nT1 + 2}, QRect(nLeft, nTop, c, c),
        [rgb](QRgb pixel) { return (pixel | 0xFF000000U) != (rgb | 0xFF000000U); },
        [rgb](QPoint) { return rgb; });
}

QImage CBmpMenuToolBar::CopyBitmapForMenu(const QImage& picture, bool bDisabled, bool bHighlighted,
                                          const SMenuColours& colours) {
    const QImage source = picture.convertToFormat(QImage::Format_ARGB32);
    if (bDisabled) {
        // Each pixel as the platform reduces it to one bit: seen over the light grey a
        // picture is drawn on, dark pixels become black and light ones white.
        QImage silhouette(source.size(), QImage::Format_Mono);
        silhouette.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        for (int y = 0; y < source.height(); ++y) {
            for (int x = 0; x < source.width(); ++x) {
                const QRgb pixel = source.pixel(x, y);
                const int a = qAlpha(pixel);
                const auto over = [a](int nChannel) {
                    return (nChannel * a + 192 * (255 - a)) / 255;
                };
                const bool bDark =
                    qGray(over(qRed(pixel)), over(qGreen(pixel)), over(qBlue(pixel))) < 128;
                silhouette.setPixel(x, y, bDark ? 0 : 1);
            }
        }
        return silhouette;
    }
    const std::pair<QRgb, QColor> table[] = {
        {qRgb(0, 0, 0), colours.btnText},
        {qRgb(128, 128, 128), colours.btnShadow},
        {qRgb(192, 192, 192), bHighlighted ? colours.highlight : colours.menu},
        {qRgb(255, 255, 255), colours.btnHighlight},
    };
    QImage copy = source;
    for (int y = 0; y < copy.height(); ++y) {
        for (int x = 0; x < copy.width(); ++x) {
            const QRgb pixel = copy.pixel(x, y);
            if (qAlpha(pixel) != 255) {
                continue;
            }
            for (const auto& [from, to] : table) {
                if (pixel == from) {
                    copy.setPixel(x, y, to.rgb());
                    break;
                }
            }
        }
    }
    return copy;
}

void CBmpMenuToolBar::DrawItemImage(QImage& image, const QRect& rcSquare, bool bHighlighted,
                                    const QImage* pPicture, bool bChecked, bool bDisabled,
                                    const QColor& textColour, const SMenuColours& colours) {
    const QColor background = bHighlighted && !bDisabled ? colours.highlight : colours.menu;
    QImage picture = pPicture != nullptr
                         ? CopyBitmapForMenu(*pPicture, bDisabled, bHighlighted, colours)
                         : CheckMark();
    if (picture.format() == QImage::Format_Mono) {
        picture.setColorTable({textColour.rgb(), background.rgb()});
    }
    {
        QPainter painter(&image);
        if (pPicture != nullptr && bChecked) {
            painter.fillRect(rcSquare, colours.menu);
        }
        if (rcSquare.width() > picture.width()) {
            painter.drawImage(rcSquare.left() + (rcSquare.width() - picture.width()) / 2,
                              rcSquare.top() + (rcSquare.height() - picture.height()) / 2, picture);
        } else {
            painter.drawImage(rcSquare.topLeft(), picture,
                              QRect((picture.width() - rcSquare.width()) / 2,
                                    (picture.height() - rcSquare.height()) / 2, rcSquare.width(),
                                    rcSquare.height()));
        }
        if (!bChecked) {
            return;
        }
        // A sunken edge: dark above and left, light below and right.
        const QRect& rc = rcSquare;
        painter.fillRect(QRect(rc.left(), rc.top(), rc.width(), 1), colours.btnShadow);
        painter.fillRect(QRect(rc.left(), rc.top(), 1, rc.height()), colours.btnShadow);
        painter.fillRect(QRect(rc.left(), rc.bottom(), rc.width(), 1), colours.btnHighlight);
        painter.fillRect(QRect(rc.right(), rc.top(), 1, rc.height()), colours.btnHighlight);
    }
    // The background inside the edge: solid in a highlighted row, else the pressed-button
    // checkerboard of the image's own pixels, lined up with the bar.
    const QRgb target =
        (pPicture != nullptr || !bHighlighted ? colours.menu : colours.highlight).rgb();
    const QRgb light = colours.btnHighlight.rgb();
    const QRgb menu = colours.menu.rgb();
    const QRect rcInside = DeviceRect(image, rcSquare.adjusted(1, 1, -1, -1));
    FloodFill(
        image, rcInside.topLeft(), rcInside,
        [target](QRgb pixel) { return (pixel | 0xFF000000U) == (target | 0xFF000000U); },
        [bHighlighted, light, menu](QPoint pt) {
            return bHighlighted || (pt.x() + pt.y()) % 2 != 0 ? menu : light;
        });
}
