#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The program the desktop registers for web pages: the desktop entry that `xdg-mime query
// default text/html` names, found in the XDG data folders, and the command line of its Exec
// key. Nothing here goes through a shell.
class CXdgWebPageHandler {
public:
    // The Exec value of the registered program's desktop entry, as written there. None when
    // xdg-mime names no program (or does not answer within a few seconds), or when its entry
    // cannot be found or has no Exec key.
    static std::optional<std::string> QueryOpenCommand();

    // The arguments of an Exec value, the program first: the entry's string escapes undone,
    // then split at blanks, double-quoted arguments taken whole with their \", \`, \$ and
    // \\ escapes undone. Field codes such as %u stay as they are. None for an unterminated
    // quote.
    static std::optional<std::vector<std::string>> SplitExec(std::string_view exec);

    // The command that opens `address`: the arguments before the first one holding a file or
    // address field code (%f, %F, %u, %U), then that argument with the address in place of
    // its field code, and nothing after it; without such a code, all the arguments and the
    // address after them. "%%" becomes "%", other field codes are dropped.
    static std::vector<std::string> BuildCommand(const std::vector<std::string>& args,
                                                 std::string_view address);

    // Starts `argv` (the program found in PATH when its name holds no '/') without waiting.
    // Answers a number above 32 when it started; 2 when the program does not exist, 5 when
    // it is no file that may be run, 11 when it could not be started.
    static int Run(const std::vector<std::string>& argv);
};
