#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "cleaner/CleanReport.h"

// Keeps what the cleaning routines report, in order. `onItem`, when set, runs after each
// item is recorded (to press "Stop" there, say).
class CRecordingCleanReport : public ICleanReport {
public:
    void OnCleanItem(std::string_view strText) override {
        m_items.emplace_back(strText);
        if (m_onItem) {
            m_onItem();
        }
    }
    void OnSkipped(std::string_view strText) override { m_skipped.emplace_back(strText); }
    void OnFailed(std::string_view strText) override { m_failed.emplace_back(strText); }

    std::vector<std::string> m_items;
    std::vector<std::string> m_skipped;
    std::vector<std::string> m_failed;
    std::function<void()> m_onItem;
};
