#pragma once

#include <ostream>
#include <utility>
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
        friend void PrintTo(const SCall& call, std::ostream* os) {
            static const char* const kNames[] = {"Show", "Hide", "SetIcon", "SetToolTip"};
            *os << kNames[static_cast<int>(call.eKind)] << "(" << call.nIconKey << ", \""
                << call.strTip.toStdString() << "\")";
        }
    };

    static SCall Shown() { return {SCall::EKind::Show, 0, {}}; }
    static SCall Hidden() { return {SCall::EKind::Hide, 0, {}}; }
    static SCall IconSet(const QIcon& icon) { return {SCall::EKind::SetIcon, icon.cacheKey(), {}}; }
    static SCall TipSet(const QString& strTip) { return {SCall::EKind::SetToolTip, 0, strTip}; }

    bool Show() override {
        m_Calls.push_back(Shown());
        m_bShown = m_bShowResult;
        return m_bShowResult;
    }
    bool Hide() override {
        m_Calls.push_back(Hidden());
        return std::exchange(m_bShown, false);
    }
    bool SetIcon(const QIcon& icon) override {
        m_Calls.push_back(IconSet(icon));
        return !icon.isNull();
    }
    void SetToolTip(const QString& strTip) override { m_Calls.push_back(TipSet(strTip)); }
    bool IsAvailable() const override { return m_bAvailable; }
    void SetMouseHandler(std::function<void(ETrayMouse)> handler) override {
        m_MouseHandler = std::move(handler);
    }

    // A press on the icon, as the tray would report it.
    void Press(ETrayMouse eMouse) const {
        if (m_MouseHandler) {
            m_MouseHandler(eMouse);
        }
    }

    std::vector<SCall> m_Calls;
    bool m_bShowResult = true;
    bool m_bAvailable = true;
    bool m_bShown = false;

private:
    std::function<void(ETrayMouse)> m_MouseHandler;
};
