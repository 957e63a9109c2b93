#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "platform/linux/UniqueFd.h"

// The length in front of a native message, as raw bytes: for frames a test spoils on purpose.
inline std::string FrameLength(std::uint32_t length) {
    std::string bytes(sizeof length, '\0');
    std::memcpy(bytes.data(), &length, sizeof length);
    return bytes;
}

// Two connected stream sockets, as a browser and its native host have.
inline std::pair<CUniqueFd, CUniqueFd> SocketPair() {
    int fds[2] = {-1, -1};
    ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds);
    return {CUniqueFd(fds[0]), CUniqueFd(fds[1])};
}
