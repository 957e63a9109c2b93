#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/linux/UniqueFd.h"
#include "platform/linux/bridge/MessageStream.h"
#include "support/WaitUntil.h"

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

// One end of a native messaging stream, played by a test: a browser talking to the bridge,
// or a bridge talking to Quellio. Sends whole frames or any bytes at all, and receives
// frames, waiting at most kWaitLimit for one.
class CFramedPeer {
public:
    explicit CFramedPeer(CUniqueFd fd) : m_fd(std::move(fd)) {}

    void Send(const nlohmann::json& message) const { SendRaw(FrameMessage(message.dump())); }
    void SendRaw(std::string_view bytes) const {
        while (!bytes.empty()) {
            const ssize_t n = ::send(m_fd.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n <= 0) {
                throw std::runtime_error("the other end no longer reads");
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }
    // The next message; nothing when the other end closed or kept silent.
    std::optional<nlohmann::json> Receive() const {
        std::uint32_t length = 0;
        if (!ReadExactly(reinterpret_cast<char*>(&length), sizeof length)) {
            return std::nullopt;
        }
        std::string text(length, '\0');
        if (!ReadExactly(text.data(), length)) {
            return std::nullopt;
        }
        return nlohmann::json::parse(text);
    }
    // Whether the other end has closed the stream, after draining what it sent.
    bool IsClosedByPeer() const {
        char buffer[4096];
        while (WaitReadable()) {
            if (::read(m_fd.Get(), buffer, sizeof buffer) <= 0) {
                return true;
            }
        }
        return false;
    }
    void Close() { m_fd.Reset(); }
    int Get() const { return m_fd.Get(); }

private:
    bool WaitReadable() const {
        pollfd fd{m_fd.Get(), POLLIN, 0};
        return ::poll(&fd, 1, static_cast<int>(kWaitLimit.count())) == 1;
    }
    bool ReadExactly(char* data, std::size_t size) const {
        while (size > 0) {
            const ssize_t n = WaitReadable() ? ::read(m_fd.Get(), data, size) : 0;
            if (n <= 0) {
                return false;
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    CUniqueFd m_fd;
};
