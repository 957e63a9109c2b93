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
    explicit CScriptedSteps(std::vector<SStep> steps);

    // Whether every step has acted.
    bool Finished() const { return m_nNext == m_Steps.size(); }
    // How many steps have acted.
    std::size_t StepsDone() const { return m_nNext; }

private:
    void Poll();

    std::vector<SStep> m_Steps;
    std::size_t m_nNext = 0;
    QTimer m_Timer;
};
