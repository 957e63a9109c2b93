#include "widgets/MailLink.h"

#include <QMouseEvent>
#include <QPalette>
#include <QUrl>

#include "platform/qt/ShellOpen.h"

CMailLink::CMailLink(IShellOpen& shell, QWidget* parent) : CNotifyStatic(parent), m_Shell(shell) {
    // The interface font of its dialog, which the link keeps and underlines on its own.
    m_LogFont = font();
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFont(m_LogFont);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, kTextColour);
    setPalette(palette);
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
}

void CMailLink::SetOver(bool bOver) {
    m_bOver = bOver;
    m_LogFont.setUnderline(bOver);
    setFont(m_LogFont);
    repaint();
}

void CMailLink::mouseMoveEvent(QMouseEvent* event) {
    if (m_bOver && mouseGrabber() == this) {
        if (!rect().contains(event->position().toPoint())) {
            SetOver(false);
            releaseMouse();
        }
    } else {
        // Entering, or still over after the mouse was taken away from the link.
        SetOver(true);
        // Held so that the link sees the mouse leave it.
        grabMouse();
    }
    CNotifyStatic::mouseMoveEvent(event);
}

void CMailLink::hideEvent(QHideEvent* event) {
    // A page switched away under the mouse must not keep the mouse to itself.
    if (m_bOver) {
        SetOver(false);
        releaseMouse();
    }
    CNotifyStatic::hideEvent(event);
}

void CMailLink::OnClicked() {
    (void)m_Shell.Open(QUrl(QStringLiteral("mailto:") + text(), QUrl::TolerantMode));
}
