#pragma once

#include <ostream>
#include <vector>

#include "platform/qt/TrayHost.h"

// A tray that shows nothing and remembers every call, in order; presses are made by Press.
class CRecordingTrayHost final : public ITrayHost {
public:
    struct SCall {
        enum class EKind { Show, Hide, SetIcon, SetToolTip } eKind;
        qint64 nIconKey = 0;  // SetIcon: the icon's cacheKey()
        QString strTip;       // SetToolTip
        bool operator==(const SCall&) const = default;
    };

    static SCall Shown() { return {SCall::EKind::Show, 0, {}}; }
    static SCall Hidden() { return {SCall::EKind::Hide, 0, {}}; }
    static SCall IconSet(const QIcon& icon) { return {SCall::EKind::SetIcon, icon.cacheKey(), {}}; }
    static SCall TipSet(const QString& strTip) { return {SCall::EKind::SetToolTip, 0, strTip}; }

    bool Show() override;
    bool Hide() override;
    bool SetIcon(const QIcon& icon) override;
    void SetToolTip(const QString& strTip) override;
    bool IsAvailable() const override { return m_bAvailable; }
    void SetMouseHandler(std::function<void(ETrayMouse)> handler) override;

    // A press on the icon, as the tray would report it.
    void Press(ETrayMouse eMouse) const;
    bool HasMouseHandler() const { return static_cast<bool>(m_MouseHandler); }

    std::vector<SCall> m_Calls;
    bool m_bShowResult = true;
    bool m_bAvailable = true;
    bool m_bShown = false;

private:
    std::function<void(ETrayMouse)> m_MouseHandler;
};

void PrintTo(const CRecordingTrayHost::SCall& call, std::ostream* os);
