#include "cleaner/CleaningThreadProc.h"

#include <string>

#include "cleaner/Cleaner.h"
#include "cleaner/CleaningProgress.h"
#include "store/SettingsStore.h"

namespace {

struct SCleaningStep {
    const COption& option;
    const char* szStart;
    void (ICleaner::*pfnClean)(ICleanReport*, std::stop_token);
    const char* szDone;
    // The kind of data, in the completion message when a browser in use kept some of it.
    const char* szKind;
};

const SCleaningStep kSteps[] = {
    {OPT_KILLCOOKIES, "Now cleaning cookies...", &ICleaner::CleanCookies,
     "Clean cookies completely!", "Cookies"},
    {OPT_KILLCACHE, "Now cleaning Temporary Internet Files", &ICleaner::CleanTempInternetFiles,
     "Clean Temporary Internet Files completely!", "Temporary Internet Files"},
    {OPT_KILLHISTORY, "Now cleaning History...", &ICleaner::CleanHistory,
     "Clean History completely!", "History"},
    {OPT_KILLFAVORITES, "Now cleaning Favorites...", &ICleaner::CleanFavorites,
     "Clean Favorites completely!", "Favorites"},
    {OPT_KILLRECENT, "Now cleaning Recent...", &ICleaner::CleanRecent, "Clean Recent completely!",
     "Recent"},
};

// Passes a routine's reports on to the dialog and keeps what the end of the pass tells:
// whether anything was skipped, and what failed.
class CStepReport : public ICleanReport {
public:
    explicit CStepReport(ICleaningProgress& progress) : m_Progress(progress) {}

    void OnCleanItem(std::string_view strText) override { m_Progress.OnCleanItem(strText); }
    void OnSkipped(std::string_view strText) override {
        m_bSkipped = true;
        m_Progress.OnSkipped(strText);
    }
    void OnFailed(std::string_view strText) override {
        m_strFailed += '\n';
        m_strFailed += strText;
        m_Progress.OnFailed(strText);
    }

    bool HasSkipped() const { return m_bSkipped; }
    // One line, each beginning with a line feed, per failure.
    const std::string& Failed() const { return m_strFailed; }

private:
    ICleaningProgress& m_Progress;
    bool m_bSkipped = false;
    std::string m_strFailed;
};

}  // namespace

int CleaningThreadProc(ICleaner& cleaner, const CSettingsStore& store, ICleaningProgress& progress,
                       std::stop_token stop) {
    std::string strSkipped;
    for (const SCleaningStep& step : kSteps) {
        if (stop.stop_requested()) {
            return 1;
        }
        if (store.ReadOption(step.option) == 0) {
            continue;
        }
        progress.OnStepStart(step.szStart);
        CStepReport report(progress);
        (cleaner.*step.pfnClean)(&report, stop);
        if (stop.stop_requested()) {
            return 1;
        }
        progress.OnStepDone(step.szDone);
        if (report.HasSkipped()) {
            strSkipped += '\n';
            strSkipped += step.szKind;
            strSkipped += ": not cleaned where a browser is in use";
        }
        strSkipped += report.Failed();
    }
    progress.OnCleanDone(strSkipped);
    return 1;
}
