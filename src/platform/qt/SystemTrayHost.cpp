#include "platform/qt/SystemTrayHost.h"

#include <utility>

CSystemTrayHost::CSystemTrayHost() {
    QObject::connect(&m_TrayIcon, &QSystemTrayIcon::activated, &m_TrayIcon,
                     [this](QSystemTrayIcon::ActivationReason reason) { OnActivated(reason); });
}

bool CSystemTrayHost::Show() {
    if (m_TrayIcon.icon().isNull()) {
        return false;
    }
    m_TrayIcon.show();
    return true;
}

bool CSystemTrayHost::Hide() {
    const bool bWasShown = m_TrayIcon.isVisible();
    m_TrayIcon.hide();
    return bWasShown;
}

bool CSystemTrayHost::SetIcon(const QIcon& icon) {
    if (icon.isNull()) {
        return false;
    }
    m_TrayIcon.setIcon(icon);
    return true;
}

void CSystemTrayHost::SetToolTip(const QString& strTip) {
    m_TrayIcon.setToolTip(strTip);
}

bool CSystemTrayHost::IsAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void CSystemTrayHost::SetMouseHandler(std::function<void(ETrayMouse)> handler) {
    m_MouseHandler = std::move(handler);
}

void CSystemTrayHost::OnActivated(QSystemTrayIcon::ActivationReason reason) {
    if (!m_MouseHandler) {
        return;
    }
    // On X11 Qt reports the presses themselves: Trigger on the left button going down,
    // Context on the right one.
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            m_MouseHandler(ETrayMouse::LButtonDown);
            break;
        case QSystemTrayIcon::DoubleClick:
            m_MouseHandler(ETrayMouse::LButtonDblClk);
            break;
        case QSystemTrayIcon::Context:
            m_MouseHandler(ETrayMouse::RButtonDown);
            break;
        case QSystemTrayIcon::MiddleClick:
            m_MouseHandler(ETrayMouse::MButtonDown);
            break;
        case QSystemTrayIcon::Unknown:
            break;
    }
}
