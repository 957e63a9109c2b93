#include "widgets/UrlLink.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPalette>
#include <QTextDocument>
#include <QUrl>

#include "platform/Beep.h"
#include "platform/qt/MessageBox.h"
#include "platform/qt/ShellOpen.h"

CUrlLink::CUrlLink(IShellOpen& shell, IBeeper& beeper, IMessageBox& messageBox, QWidget* parent)
    : CNotifyStatic(parent),
      m_Shell(shell),
      m_Beeper(beeper),
      m_MessageBox(messageBox),
      m_crHoverColour(QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight)) {
    setTextFormat(Qt::PlainText);
    // Placed like a dialog's static text: from its top left corner unless told otherwise.
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void CUrlLink::PreSubclassWindow() {
    if (m_strUrl.empty()) {
        m_strUrl = text().toStdString();
    }
    if (text().isEmpty()) {
        setText(QString::fromStdString(m_strUrl));
    }
    QFont linkFont = font();
    linkFont.setUnderline(m_bUnderline);
    setFont(linkFont);
    FitToText();
    LoadLinkCursor();
    // The address shown as it is: one that could be read as markup is escaped.
    const QString strTip = QString::fromStdString(m_strUrl);
    setToolTip(Qt::mightBeRichText(strTip) ? Qt::convertFromPlainText(strTip, Qt::WhiteSpaceNoWrap)
                                           : strTip);
    // Moves over the text without a button held, which the hover look follows.
    setMouseTracking(true);
    RedrawNow();
}

void CUrlLink::FitToText() {
    if (!m_bAdjustToFit) {
        return;
    }
    QRect rect = geometry();
    const QSize textSize = QFontMetrics(font()).size(Qt::TextSingleLine, text());
    if (alignment() & Qt::AlignVCenter) {
        const int nShrink = (rect.height() - textSize.height()) / 2;
        rect.adjust(0, nShrink, 0, -nShrink);
    } else {
        rect.setHeight(textSize.height());
    }
    if (alignment() & Qt::AlignHCenter) {
        const int nShrink = (rect.width() - textSize.width()) / 2;
        rect.adjust(nShrink, 0, -nShrink, 0);
    } else if (alignment() & Qt::AlignRight) {
        rect.setLeft(rect.right() + 1 - textSize.width());
    } else {
        rect.setWidth(textSize.width());
    }
    setGeometry(rect);
}

void CUrlLink::LoadLinkCursor() {
    setCursor(Qt::PointingHandCursor);
}

QColor CUrlLink::TextColour() const {
    if (m_bOver) {
        return m_crHoverColour;
    }
    return m_bVisited ? kVisitedColour : kLinkColour;
}

void CUrlLink::RedrawNow() {
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, TextColour());
    setPalette(palette);
    repaint();
}

void CUrlLink::mouseMoveEvent(QMouseEvent* event) {
    CNotifyStatic::mouseMoveEvent(event);
    if (m_bOver) {
        if (!rect().contains(event->position().toPoint())) {
            m_bOver = false;
            releaseMouse();
            RedrawNow();
        }
        return;
    }
    m_bOver = true;
    RedrawNow();
    // Held so that the link sees the mouse leave it.
    grabMouse();
}

void CUrlLink::hideEvent(QHideEvent* event) {
    // A page switched away under the mouse must not keep the mouse to itself.
    if (m_bOver) {
        m_bOver = false;
        releaseMouse();
        RedrawNow();
    }
    CNotifyStatic::hideEvent(event);
}

void CUrlLink::OnClicked() {
    const int nResult = OpenUrl(m_strUrl);
    if (nResult > SHELL_RUN_FAILED_MAX) {
        m_bVisited = true;
        RedrawNow();
        return;
    }
    m_bVisited = false;
    RedrawNow();
    (void)m_Beeper.Beep();
    ReportOpenError(nResult);
}

int CUrlLink::OpenUrl(std::string_view address) {
    const QString strAddress =
        QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size()));
    if (m_Shell.Open(QUrl(strAddress, QUrl::TolerantMode))) {
        return SHELL_RUN_FAILED_MAX + 1;
    }
    // The desktop would not; the program registered for web pages may, given the address
    // as it is.
    return m_Shell.RunWebPageHandler(address).value_or(SE_ERR_NOASSOC);
}

QString CUrlLink::OpenErrorText(int nError) {
    switch (nError) {
        case 0:
            return QStringLiteral("The operating system is out\nof memory or resources.");
        case 2:
            return QStringLiteral("The specified file was not found.");
        case 3:
            return QStringLiteral("The specified path was not found.");
        case 5:
            return QStringLiteral("The operating system denied\naccess to the specified file.");
        case 8:
            return QStringLiteral("There was not enough memory to complete the operation.");
        case 11:
            return QStringLiteral(
                "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
        case 26:
            return QStringLiteral("A sharing violation occurred. ");
        case 27:
            return QStringLiteral("The filename association is\nincomplete or invalid.");
        case 28:
            return QStringLiteral(
                "The DDE transaction could not\nbe completed because the request timed out.");
        case 29:
            return QStringLiteral("The DDE transaction failed.");
        case 30:
            return QStringLiteral(
                "The DDE transaction could not\nbe completed because other DDE transactions\n"
                "were being processed.");
        case 31:
            return QStringLiteral(
                "There is no application associated\nwith the given filename extension.");
        case 32:
            return QStringLiteral("The specified dynamic-link library was not found.");
        default:
            return QStringLiteral("Unknown Error (%1) occurred.").arg(nError);
    }
}

void CUrlLink::ReportOpenError(int nError) {
    m_MessageBox.ShowWarning(
        window(), QStringLiteral("Unable to open hyperlink:\n\n") + OpenErrorText(nError));
}
