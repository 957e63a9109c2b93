#include "support/FramedPeer.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/linux/bridge/MessageStream.h"
#include "support/WaitUntil.h"

void CFramedPeer::Send(const nlohmann::json& message) const {
    SendRaw(FrameMessage(message.dump()));
}

void CFramedPeer::SendRaw(std::string_view bytes) const {
    while (!bytes.empty()) {
        const ssize_t n = ::send(m_fd.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) {
            throw std::runtime_error("the other end no longer reads");
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

bool CFramedPeer::ReadExactly(char* data, std::size_t size) const {
    while (size > 0) {
        pollfd fd{m_fd.Get(), POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(kWaitLimit.count())) != 1) {
            return false;
        }
        const ssize_t n = ::read(m_fd.Get(), data, size);
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<nlohmann::json> CFramedPeer::Receive() const {
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

bool CFramedPeer::IsClosedByPeer() const {
    char buffer[4096];
    for (;;) {
        pollfd fd{m_fd.Get(), POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(kWaitLimit.count())) != 1) {
            return false;
        }
        const ssize_t n = ::read(m_fd.Get(), buffer, sizeof buffer);
        if (n <= 0) {
            return true;
        }
    }
}
