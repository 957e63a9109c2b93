#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>

#include "platform/linux/UniqueFd.h"

// The private local socket between Quellio and the quellio-bridge hosts that browsers
// start: `$XDG_RUNTIME_DIR/Quellio/bridge.sock`, in a folder only its user may enter (0700),
// the socket itself 0600. Each end also checks that the other runs as the same user, so a
// socket put there by someone else is never talked to.

// The socket's path; empty without an absolute XDG_RUNTIME_DIR (then there is no bridge).
std::filesystem::path BridgeSocketPath();

// Listens at `path`, non-blocking, making its folder private and taking the place of a
// socket left behind. Invalid on failure, with errno set: among others when the folder is
// not a folder of this user's (a link, or someone else's).
CUniqueFd ListenBridgeSocket(const std::filesystem::path& path);

// Connects to `path` (blocking, close-on-exec); invalid on failure or when the listener
// does not run as this user.
CUniqueFd ConnectBridgeSocket(const std::filesystem::path& path);

// The process at the other end of a connected local socket, when it runs as this user
// (effective uid); nothing otherwise or when the kernel cannot say.
std::optional<pid_t> SameUserPeer(int fd);

// The parent of process `pid`; nothing when it cannot be read.
std::optional<pid_t> ParentProcess(pid_t pid);
