#pragma once

#include <optional>
#include <string_view>

class QUrl;

// Any answer of RunWebPageHandler above this one means the program was started.
inline constexpr int SHELL_RUN_FAILED_MAX = 32;

// Hands a file or an address to the desktop, which opens it with the user's program for
// it (the file manager's "open"). The address travels as one argument, never through a
// shell.
class IShellOpen {
public:
    virtual ~IShellOpen() = default;

    // Answers whether the desktop accepted the request.
    [[nodiscard]] virtual bool Open(const QUrl& url) = 0;

    // Starts the program the desktop registers for web pages, with `address` (its bytes
    // unchanged) as one argument in the place the program's command line keeps for it, and
    // does not wait for it: the way to a web page when Open fails. Answers nullopt when no
    // such program is registered or its command line cannot be read; otherwise a number
    // above SHELL_RUN_FAILED_MAX when the program started, or why it did not: 2 the program
    // was not found, 5 it may not be run, 11 it is not a program that can be run.
    [[nodiscard]] virtual std::optional<int> RunWebPageHandler(std::string_view address) = 0;
};
