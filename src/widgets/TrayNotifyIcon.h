#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QIcon>
#include <QString>

#include "platform/qt/AppResources.h"
#include "platform/qt/TrayHost.h"

class QTimer;

// Owns one icon in the notification area: adds it with a tooltip, changes its image, can
// step the image through a list on a timer, and takes it away when destroyed. The tray host
// brings the icon back by itself, with its current image, when the tray restarts.
class CTrayNotifyIcon {
public:
    // Where presses on the icon go: the icon's id and the press. Stands for the notify window
    // and its callback message.
    using NotifyHandler = std::function<void(unsigned nIconId, ETrayMouse eMouse)>;
    // Loads an icon resource by id; a null icon when there is none.
    using IconLoader = std::function<QIcon(int nResourceId)>;

    // The longest tooltip kept; a longer one is cut.
    static constexpr qsizetype kMaxTipLength = 63;

    explicit CTrayNotifyIcon(ITrayHost& host, IconLoader loadIcon = &CAppResources::LoadIcon);
    ~CTrayNotifyIcon();
    CTrayNotifyIcon(const CTrayNotifyIcon&) = delete;
    CTrayNotifyIcon& operator=(const CTrayNotifyIcon&) = delete;

    // Adds the icon. Called once per object. `notify` may be empty.
    bool Create(NotifyHandler notify, unsigned nId, const QString& strTip, const QIcon& icon);
    // Starts stepping through `icons` every `nDelayMs`, then adds the icon with the first of
    // them. Fails, adding nothing, when `icons` is empty.
    bool CreateAnimated(NotifyHandler notify, unsigned nId, const QString& strTip,
                        std::vector<QIcon> icons, unsigned nDelayMs);

    // Ends any animation and shows `icon`. Fails, changing nothing, when the icon was never
    // added or `icon` is null.
    bool SetIcon(const QIcon& icon);
    // SetIcon with the icon resource `nResourceId`; fails when there is no such icon.
    bool SetIcon(int nResourceId);

    bool HideIcon();
    bool ShowIcon();
    bool RemoveIcon();

    // The destruction steps: end the animation, stop taking presses, remove the icon. Safe to
    // run again; the second run does nothing.
    void Destroy();

    // Whether the desktop has a tray now; without one the icon cannot be seen or clicked.
    bool IsTrayAvailable() const { return m_Host.IsAvailable(); }

    bool IsInstalled() const { return m_bInstalled; }
    bool IsHidden() const { return m_bHidden; }
    bool IsAnimating() const { return m_pTimer != nullptr; }
    const QIcon& GetIcon() const { return m_NotifyIconData.icon; }
    const QString& GetToolTip() const { return m_NotifyIconData.strTip; }

private:
    // What the shell's record held: enough to add the icon again as it was.
    struct SNotifyIconData {
        unsigned nId = 0;
        NotifyHandler notify;
        QIcon icon;
        QString strTip;
    };

    void StepAnimation();

    ITrayHost& m_Host;
    IconLoader m_LoadIcon;
    SNotifyIconData m_NotifyIconData;
    bool m_bInstalled = false;
    bool m_bHidden = false;
    std::unique_ptr<QTimer> m_pTimer;
    std::vector<QIcon> m_AnimationIcons;
    std::size_t m_nCurrentIconIndex = 0;
};
