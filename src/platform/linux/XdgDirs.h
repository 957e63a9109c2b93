#pragma once

#include <filesystem>

// An XDG base folder: the variable's value when it is an absolute path (the XDG rules
// ignore a relative one), else `fallback` under the home folder; empty when neither is
// known.
inline std::filesystem::path XdgBaseDir(const char* xdgValue, const char* home,
                                        const char* fallback) {
    if (xdgValue != nullptr && xdgValue[0] == '/') {
        return xdgValue;
    }
    if (home != nullptr && home[0] == '/') {
        return std::filesystem::path(home) / fallback;
    }
    return {};
}
