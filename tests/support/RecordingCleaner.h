#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "cleaner/CleanReport.h"
#include "cleaner/Cleaner.h"

// Cleaning routines that clean nothing: each call is recorded by the routine's name
// ("CleanCookies" ...), then runs what the test gave for that routine, if anything. Calls
// come on the cleaning worker's thread.
class CRecordingCleaner final : public ICleaner {
public:
    using FnRoutine = std::function<void(ICleanReport* pReport, std::stop_token stop)>;

    // What the routine `strName` does when it is called.
    void OnCall(const std::string& strName, FnRoutine fnRoutine) {
        const std::lock_guard lock(m_Mutex);
        m_Routines.emplace_back(strName, std::move(fnRoutine));
    }

    // The names of the routines called so far, in order.
    std::vector<std::string> Calls() const {
        const std::lock_guard lock(m_Mutex);
        return m_Calls;
    }

    void CleanCookies(ICleanReport* pReport, std::stop_token stop) override {
        Call("CleanCookies", pReport, stop);
    }
    void CleanTempInternetFiles(ICleanReport* pReport, std::stop_token stop) override {
        Call("CleanTempInternetFiles", pReport, stop);
    }
    void CleanHistory(ICleanReport* pReport, std::stop_token stop) override {
        Call("CleanHistory", pReport, stop);
    }
    void CleanFavorites(ICleanReport* pReport, std::stop_token stop) override {
        Call("CleanFavorites", pReport, stop);
    }
    void CleanRecent(ICleanReport* pReport, std::stop_token stop) override {
        Call("CleanRecent", pReport, stop);
    }

private:
    void Call(const std::string& strName, ICleanReport* pReport, const std::stop_token& stop) {
        FnRoutine fnRoutine;
        {
            const std::lock_guard lock(m_Mutex);
            m_Calls.push_back(strName);
            for (const auto& [strRoutine, fn] : m_Routines) {
                if (strRoutine == strName) {
                    fnRoutine = fn;
                }
            }
        }
        if (fnRoutine) {
            fnRoutine(pReport, stop);
        }
    }

    mutable std::mutex m_Mutex;
    std::vector<std::pair<std::string, FnRoutine>> m_Routines;
    std::vector<std::string> m_Calls;
};
