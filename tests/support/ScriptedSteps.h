#pragma once

#include <functional>
#include <vector>

#include <QTimer>

// Drives a window that runs its own modal loop (a menu) from inside that loop: each step
// waits until its condition holds, then acts, and the next step waits for its own. The
// steps are polled from a timer, which every nested event loop serves, so a step that opens
// a modal loop of its own is followed by the next from inside it.
class CScriptedSteps {
public:
    struct SStep {
        std::function<bool()> ready;
        std::function<void()> act;
    };

    // Starts at once; the first step may run as soon as events are processed.
    explicit CScriptedSteps(std::vector<SStep> steps) : m_Steps(std::move(steps)) {
        m_Timer.callOnTimeout([this] { Poll(); });
        m_Timer.start(5);
    }

    // Whether every step has acted.
    bool Finished() const { return m_nNext == m_Steps.size(); }
    // How many steps have acted.
    std::size_t StepsDone() const { return m_nNext; }

private:
    void Poll() {
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

    std::vector<SStep> m_Steps;
    std::size_t m_nNext = 0;
    QTimer m_Timer;
};
