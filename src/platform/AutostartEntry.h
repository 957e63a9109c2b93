#pragma once

#include <string_view>

// The entry that has the program started when the user logs in. Besides being absent, it
// has two states: it starts a given executable, or it is present but starts nothing. Once
// written the entry is never removed, so the user's desktop keeps one place where the
// program's start at log-in can be seen and changed.
class IAutostartEntry {
public:
    virtual ~IAutostartEntry() = default;

    // Makes the entry start the executable at `executablePath` (an absolute path) with no
    // arguments. Answers false and leaves the entry as it was when the path cannot be
    // represented in the entry or the entry cannot be written.
    [[nodiscard]] virtual bool Set(std::string_view executablePath) = 0;

    // Keeps the entry but makes it start nothing. Answers false and leaves the entry as it
    // was when it cannot be written.
    [[nodiscard]] virtual bool SetEmpty() = 0;
};
