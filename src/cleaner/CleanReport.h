#pragma once

#include <string_view>

// Where the cleaning routines tell the progress dialog what they do. Calls come on the
// cleaning worker's thread; each returns once the dialog has taken the report, or at once
// when the pass has been stopped or its dialog has gone. The text is valid only during
// the call: the receiver copies what it keeps.
class ICleanReport {
public:
    virtual ~ICleanReport() = default;

    // The full path of a file the routine deleted (also when the file resisted deletion),
    // or a fixed progress text such as "Cleaning History...".
    virtual void OnCleanItem(std::string_view strText) = 0;

    // Something the routine had to leave as it was because a running browser holds it, in
    // words for the user: "History of Chromium (Default) is in use: close the browser to
    // clean it". One report per browser profile and kind of data.
    virtual void OnSkipped(std::string_view strText) = 0;

    // Something the routine could not clean for any other reason, in words for the user:
    // "History of Chromium (Profile 1) is damaged: it was left as it is", "<folder> is
    // reached through a link: it was left as it is". One report per browser profile and
    // kind of data, or per folder.
    virtual void OnFailed(std::string_view strText) = 0;
};
