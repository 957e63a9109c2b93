#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <stop_token>
#include <thread>

// The threads that run cleaning passes. A pass may go on in the background after its dialog
// has gone, so its thread belongs here, not to the dialog: when this object goes, at the
// end of the program, it asks every pass still running to stop and waits until each has
// reached a point where it can end safely. Used from one thread only.
class CCleaningThreads {
public:
    CCleaningThreads() = default;
    ~CCleaningThreads();
    CCleaningThreads(const CCleaningThreads&) = delete;
    CCleaningThreads& operator=(const CCleaningThreads&) = delete;

    // Runs `fnPass` on a new thread and answers the source through which it can be asked to
    // stop. Threads of earlier passes that have ended are let go first. Throws
    // std::system_error when no thread can be started.
    std::stop_source Start(std::function<void(std::stop_token)> fnPass);

private:
    struct SThread {
        std::shared_ptr<std::atomic<bool>> pEnded;
        std::jthread thread;
    };

    std::list<SThread> m_Threads;
};
