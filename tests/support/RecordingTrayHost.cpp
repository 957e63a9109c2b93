#include "support/RecordingTrayHost.h"

#include <utility>

bool CRecordingTrayHost::Show() {
    m_Calls.push_back(Shown());
    m_bShown = m_bShowResult;
    return m_bShowResult;
}

bool CRecordingTrayHost::Hide() {
    m_Calls.push_back(Hidden());
    return std::exchange(m_bShown, false);
}

bool CRecordingTrayHost::SetIcon(const QIcon& icon) {
    m_Calls.push_back(IconSet(icon));
    return !icon.isNull();
}

void CRecordingTrayHost::SetToolTip(const QString& strTip) {
    m_Calls.push_back(TipSet(strTip));
}

void CRecordingTrayHost::SetMouseHandler(std::function<void(ETrayMouse)> handler) {
    m_MouseHandler = std::move(handler);
}

void CRecordingTrayHost::Press(ETrayMouse eMouse) const {
    if (m_MouseHandler) {
        m_MouseHandler(eMouse);
    }
}

void PrintTo(const CRecordingTrayHost::SCall& call, std::ostream* os) {
    static const char* const kNames[] = {"Show", "Hide", "SetIcon", "SetToolTip"};
    *os << kNames[static_cast<int>(call.eKind)] << "(" << call.nIconKey << ", \""
        << call.strTip.toStdString() << "\")";
}
