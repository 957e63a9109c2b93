#include "cleaner/CleaningThreads.h"

#include <utility>

CCleaningThreads::~CCleaningThreads() {
    for (SThread& entry : m_Threads) {
        entry.thread.request_stop();
    }
    // Each jthread waits for its own thread as it goes.
}

std::stop_source CCleaningThreads::Start(std::function<void(std::stop_token)> fnPass) {
    m_Threads.remove_if([](const SThread& entry) { return entry.pEnded->load(); });
    auto pEnded = std::make_shared<std::atomic<bool>>(false);
    SThread& entry = m_Threads.emplace_back(
        SThread{pEnded, std::jthread([pEnded, fnPass = std::move(fnPass)](std::stop_token stop) {
                    fnPass(std::move(stop));
                    pEnded->store(true);
                })});
    return entry.thread.get_stop_source();
}
