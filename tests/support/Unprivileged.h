#pragma once

#include <filesystem>
#include <functional>

// Runs `body` in a forked child that has given up root (uid and gid 65534) when the tests
// run as root, so that file permissions hold for it as for any user. Answers the child's
// exit status: what `body` returned, or 128 + the signal that ended it.
int RunUnprivileged(const std::function<int()>& body);

// Makes the unprivileged user of RunUnprivileged the owner of `dir` and of everything in it
// (links themselves, not what they point to), when the tests run as root. False on failure.
bool GiveTreeToUnprivileged(const std::filesystem::path& dir);
