#pragma once

#include <functional>
#include <map>
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
        m_Routines[strName] = std::move(fnRoutine);
    }

    // The names of the routines called so far, in order.
    std::vector<std::string> Calls() const {
        const std::lock_guard lock(m_Mutex);
        return m_Calls;
    }

    void CleanCookies(ICleanReport* p, std::stop_token stop) override {
        Call("CleanCookies", p, stop);
    }
    void CleanTempInternetFiles(ICleanReport* p, std::stop_token stop) override {
        Call("CleanTempInternetFiles", p, stop);
    }
    void CleanHistory(ICleanReport* p, std::stop_token stop) override {
        Call("CleanHistory", p, stop);
    }
    void CleanFavorites(ICleanReport* p, std::stop_token stop) override {
        Call("CleanFavorites", p, stop);
    }
    void CleanRecent(ICleanReport* p, std::stop_token stop) override {
        Call("CleanRecent", p, stop);
    }

private:
    void Call(const std::string& strName, ICleanReport* pReport, const std::stop_token& stop) {
        FnRoutine fnRoutine;
        {
            const std::lock_guard lock(m_Mutex);
            m_Calls.push_back(strName);
            fnRoutine = m_Routines[strName];
        }
        if (fnRoutine) {
            fnRoutine(pReport, stop);
        }
    }

    mutable std::mutex m_Mutex;
    std::map<std::string, FnRoutine> m_Routines;
    std::vector<std::string> m_Calls;
};
