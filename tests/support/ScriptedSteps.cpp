#include "support/ScriptedSteps.h"

#include <utility>

CScriptedSteps::CScriptedSteps(std::vector<SStep> steps) : m_Steps(std::move(steps)) {
    m_Timer.callOnTimeout([this] { Poll(); });
    m_Timer.start(5);
}

void CScriptedSteps::Poll() {
    if (Finished()) {
        m_Timer.stop();
        return;
    }
    if (m_Steps[m_nNext].ready && !m_Steps[m_nNext].ready()) {
        return;
    }
    // The step may run a nested loop of its own (open a menu); the next steps go on from
    // this timer inside it.
    const std::size_t nStep = m_nNext++;
    m_Steps[nStep].act();
}
