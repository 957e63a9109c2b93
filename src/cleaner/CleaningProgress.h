#pragma once

#include <string_view>

#include "cleaner/CleanReport.h"

// The cleaning progress dialog as the cleaning worker sees it: the steps of a pass, the
// routines' reports (ICleanReport) and the end of the pass. Calls come on the worker's
// thread; each returns once the dialog has handled it, or at once when the pass has been
// stopped or its dialog has gone. Texts are valid only during the call.
class ICleaningProgress : public ICleanReport {
public:
    // A step begins; `strText` says what it cleans ("Now cleaning cookies...").
    virtual void OnStepStart(std::string_view strText) = 0;

    // A step has ended; `strText` says so ("Clean cookies completely!").
    virtual void OnStepDone(std::string_view strText) = 0;

    // The pass is over. `strSkipped` is empty, or holds, for each step in turn, one line if
    // a running browser kept some of its kind of data from being cleaned, then the text of
    // each of its OnFailed reports, every line beginning with a line feed, to follow the
    // completion text. The call returns once the user has seen the outcome.
    virtual void OnCleanDone(std::string_view strSkipped) = 0;
};
