#include "bridge/BridgeRelay.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/linux/bridge/BridgeSocket.h"

namespace {

constexpr std::string_view kSync = R"({"type":"sync"})";

// Writes all of `bytes`; false on any failure.
bool WriteAll(int fd, std::string_view bytes, bool bSocket) {
    while (!bytes.empty()) {
        const ssize_t n = bSocket ? ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL)
                                  : ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

CBridgeRelay::CBridgeRelay(int fdIn, int fdOut, std::filesystem::path socketPath,
                           std::chrono::milliseconds retry)
    : m_fdIn(fdIn), m_fdOut(fdOut), m_socketPath(std::move(socketPath)), m_retry(retry) {}

int CBridgeRelay::Run() {
    using Clock = std::chrono::steady_clock;
    for (;;) {
        if (!m_quellio.IsValid() && Clock::now() >= m_nextTry) {
            TryConnect();
            if (m_quellio.IsValid() && !ToBrowser(kSync)) {
                return 1;
            }
        }
        pollfd fds[2] = {{m_fdIn, POLLIN, 0}, {m_quellio.Get(), POLLIN, 0}};
        int timeout = -1;
        if (!m_quellio.IsValid()) {
            const auto wait =
                std::chrono::ceil<std::chrono::milliseconds>(m_nextTry - Clock::now());
            timeout = static_cast<int>(std::max<std::chrono::milliseconds::rep>(wait.count(), 0));
        }
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR) {
            return 1;
        }
        if (fds[0].revents != 0) {
            std::vector<std::string> messages;
            const CMessageReader::EState state = m_fromBrowser.ReadFrom(m_fdIn, &messages);
            for (const std::string& message : messages) {
                if (m_quellio.IsValid() &&
                    !WriteAll(m_quellio.Get(), FrameMessage(message), true)) {
                    Disconnect();
                }
            }
            if (state != CMessageReader::EState::Open) {
                return state == CMessageReader::EState::Closed ? 0 : 1;
            }
        }
        if (m_quellio.IsValid() && fds[1].revents != 0) {
            std::vector<std::string> messages;
            const CMessageReader::EState state = m_fromQuellio.ReadFrom(m_quellio.Get(), &messages);
            for (const std::string& message : messages) {
                if (!ToBrowser(message)) {
                    return 1;
                }
            }
            if (state != CMessageReader::EState::Open) {
                Disconnect();
            }
        }
    }
}

void CBridgeRelay::TryConnect() {
    m_quellio = ConnectBridgeSocket(m_socketPath);
    m_fromQuellio = CMessageReader();
    if (!m_quellio.IsValid()) {
        m_nextTry = std::chrono::steady_clock::now() + m_retry;
    }
}

void CBridgeRelay::Disconnect() {
    m_quellio.Reset();
    m_nextTry = std::chrono::steady_clock::now() + m_retry;
}

bool CBridgeRelay::ToBrowser(std::string_view message) {
    const std::string frame = FrameMessage(message);
    return !frame.empty() && WriteAll(m_fdOut, frame, false);
}
