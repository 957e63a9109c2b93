#include "platform/linux/bridge/MessageStream.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include <nlohmann/json.hpp>

bool IsValidMessage(std::string_view text) {
    // JSON has no raw NUL, which the parser would take for the end of the text.
    if (text.size() > kMaxMessageSize || text.find('\0') != std::string_view::npos) {
        return false;
    }
    // The parser refuses ill-formed UTF-8 in strings, and any byte outside them that is not
    // JSON.
    const nlohmann::json parsed = nlohmann::json::parse(text, nullptr, false);
    return parsed.is_object();
}

std::string FrameMessage(std::string_view text) {
    if (text.size() > kMaxMessageSize) {
        return {};
    }
    const auto length = static_cast<std::uint32_t>(text.size());
    std::string frame(sizeof length, '\0');
    std::memcpy(frame.data(), &length, sizeof length);
    frame.append(text);
    return frame;
}

CMessageReader::EState CMessageReader::Feed(std::string_view bytes,
                                            std::vector<std::string>* messages) {
    if (m_eState != EState::Open) {
        return m_eState;
    }
    m_buffer.append(bytes);
    std::size_t nDone = 0;
    std::uint32_t length = 0;
    while (m_buffer.size() - nDone >= sizeof length) {
        std::memcpy(&length, m_buffer.data() + nDone, sizeof length);
        if (length > kMaxMessageSize) {
            m_eState = EState::Broken;
            break;
        }
        if (m_buffer.size() - nDone - sizeof length < length) {
            break;
        }
        std::string_view message(m_buffer.data() + nDone + sizeof length, length);
        if (!IsValidMessage(message)) {
            m_eState = EState::Broken;
            break;
        }
        messages->emplace_back(message);
        nDone += sizeof length + length;
    }
    m_buffer.erase(0, nDone);
    if (m_eState == EState::Broken) {
        m_buffer = std::string();
    }
    return m_eState;
}

CMessageReader::EState CMessageReader::ReadFrom(int fd, std::vector<std::string>* messages) {
    if (m_eState != EState::Open) {
        return m_eState;
    }
    std::array<char, 64 * 1024> chunk{};
    const ssize_t n = ::read(fd, chunk.data(), chunk.size());
    if (n > 0) {
        return Feed(std::string_view(chunk.data(), static_cast<std::size_t>(n)), messages);
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        return m_eState;
    }
    m_eState = (n == 0 && m_buffer.empty()) ? EState::Closed : EState::Broken;
    m_buffer = std::string();
    return m_eState;
}
