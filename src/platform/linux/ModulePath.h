#pragma once

#include <filesystem>
#include <string>

// The executable file that a process's link (/proc/PID/exe) names; empty when the link
// cannot be read. A program replaced while it runs (an upgrade renames the new one over it)
// reads as "PATH (deleted)": the answer is then PATH, where the program now is.
std::string ReadExecutableLink(const std::filesystem::path& link);
