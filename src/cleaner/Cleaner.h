#pragma once

#include <stop_token>

class ICleanReport;

// The five cleaning routines, which the cleaning worker runs one at a time on its own
// thread, in the order it chooses.
//
// - Each routine reports to `pReport`; given none, it cleans the same and reports nothing.
// - Once `stop` is requested, a routine deletes and reports nothing more and returns as
//   soon as it can; what it deleted before stays deleted.
// - What cannot be cleaned stays where it is and is reported: through OnSkipped when a
//   running browser holds it, through OnFailed for any other reason. Nothing that failed
//   passes as cleaned.
// - Calls may overlap, from two threads, when a pass left running in the background meets
//   a new one: a routine keeps its handles and connections to itself.
class ICleaner {
public:
    virtual ~ICleaner() = default;

    virtual void CleanCookies(ICleanReport* pReport, std::stop_token stop) = 0;
    virtual void CleanTempInternetFiles(ICleanReport* pReport, std::stop_token stop) = 0;
    virtual void CleanHistory(ICleanReport* pReport, std::stop_token stop) = 0;
    virtual void CleanFavorites(ICleanReport* pReport, std::stop_token stop) = 0;
    virtual void CleanRecent(ICleanReport* pReport, std::stop_token stop) = 0;
};
