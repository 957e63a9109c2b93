#pragma once

#include <QSystemTrayIcon>

#include "platform/qt/TrayHost.h"

// ITrayHost over QSystemTrayIcon, which docks into an X11 tray or registers with a
// StatusNotifier host, and docks again by itself when the tray restarts.
class CSystemTrayHost final : public ITrayHost {
public:
    CSystemTrayHost();

    bool Show() override;
    bool Hide() override;
    bool SetIcon(const QIcon& icon) override;
    void SetToolTip(const QString& strTip) override;
    bool IsAvailable() const override;
    void SetMouseHandler(std::function<void(ETrayMouse)> handler) override;

private:
    void OnActivated(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon m_TrayIcon;
    std::function<void(ETrayMouse)> m_MouseHandler;
};
