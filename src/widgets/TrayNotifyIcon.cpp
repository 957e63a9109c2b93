#include "widgets/TrayNotifyIcon.h"

#include <utility>

#include <QTimer>

namespace {

// At most `nMax` characters, never splitting a surrogate pair.
QString Bounded(const QString& str, qsizetype nMax) {
    if (str.size() <= nMax) {
        return str;
    }
    qsizetype nKeep = nMax;
    if (str.at(nKeep - 1).isHighSurrogate()) {
        --nKeep;
    }
    return str.left(nKeep);
}

}  // namespace

CTrayNotifyIcon::CTrayNotifyIcon(ITrayHost& host, IconLoader loadIcon)
    : m_Host(host), m_LoadIcon(std::move(loadIcon)) {}

CTrayNotifyIcon::~CTrayNotifyIcon() {
    Destroy();
}

bool CTrayNotifyIcon::Create(NotifyHandler notify, unsigned nId, const QString& strTip,
                             const QIcon& icon) {
    m_NotifyIconData.nId = nId;
    m_NotifyIconData.notify = std::move(notify);
    m_NotifyIconData.icon = icon;
    m_NotifyIconData.strTip = Bounded(strTip, kMaxTipLength);
    m_Host.SetMouseHandler([this](ETrayMouse eMouse) {
        if (m_NotifyIconData.notify) {
            m_NotifyIconData.notify(m_NotifyIconData.nId, eMouse);
        }
    });
    m_Host.SetToolTip(m_NotifyIconData.strTip);
    (void)m_Host.SetIcon(icon);  // Show answers for the whole icon
    m_bInstalled = m_Host.Show();
    return m_bInstalled;
}

bool CTrayNotifyIcon::CreateAnimated(NotifyHandler notify, unsigned nId, const QString& strTip,
                                     std::vector<QIcon> icons, unsigned nDelayMs) {
    if (icons.empty()) {
        return false;
    }
    m_AnimationIcons = std::move(icons);
    m_nCurrentIconIndex = 0;
    m_pTimer = std::make_unique<QTimer>();
    QObject::connect(m_pTimer.get(), &QTimer::timeout, m_pTimer.get(), [this] { StepAnimation(); });
    m_pTimer->start(static_cast<int>(nDelayMs));
    return Create(std::move(notify), nId, strTip, m_AnimationIcons.front());
}

void CTrayNotifyIcon::StepAnimation() {
    m_nCurrentIconIndex = (m_nCurrentIconIndex + 1) % m_AnimationIcons.size();
    // The record always holds the image shown, so the icon comes back as it was.
    m_NotifyIconData.icon = m_AnimationIcons[m_nCurrentIconIndex];
    (void)m_Host.SetIcon(m_NotifyIconData.icon);
}

bool CTrayNotifyIcon::SetIcon(const QIcon& icon) {
    if (!m_bInstalled || icon.isNull()) {
        return false;
    }
    m_pTimer.reset();
    m_NotifyIconData.icon = icon;
    return m_Host.SetIcon(icon);
}

bool CTrayNotifyIcon::SetIcon(int nResourceId) {
    return SetIcon(m_LoadIcon(nResourceId));
}

bool CTrayNotifyIcon::HideIcon() {
    if (m_bHidden) {
        return true;
    }
    const bool bResult = m_Host.Hide();
    m_bHidden = true;
    return bResult;
}

bool CTrayNotifyIcon::ShowIcon() {
    if (!m_bHidden) {
        return false;
    }
    m_Host.SetToolTip(m_NotifyIconData.strTip);
    (void)m_Host.SetIcon(m_NotifyIconData.icon);
    const bool bResult = m_Host.Show();
    m_bHidden = false;
    return bResult;
}

bool CTrayNotifyIcon::RemoveIcon() {
    if (!m_bInstalled) {
        return false;
    }
    const bool bResult = m_Host.Hide();
    m_bInstalled = false;
    return bResult;
}

void CTrayNotifyIcon::Destroy() {
    m_pTimer.reset();
    m_Host.SetMouseHandler({});
    RemoveIcon();
}
