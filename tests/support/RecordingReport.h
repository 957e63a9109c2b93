#pragma once

#include <set>
#include <string>
#include <vector>

#include "engine/KillReport.h"

// Kill reports kept in the order they came: "log <address>" and "signal".
class CRecordingReport : public IKillReport {
public:
    void AddLog(std::string_view url) override { m_Events.push_back("log " + std::string(url)); }
    void SignalKill() override { m_Events.emplace_back("signal"); }

    // The addresses logged, in order.
    std::vector<std::string> Logged() const {
        std::vector<std::string> urls;
        for (const std::string& event : m_Events) {
            if (event.starts_with("log ")) {
                urls.push_back(event.substr(4));
            }
        }
        return urls;
    }
    // The same, in any order.
    std::multiset<std::string> LoggedSet() const {
        const std::vector<std::string> urls = Logged();
        return {urls.begin(), urls.end()};
    }

    std::vector<std::string> m_Events;
};
