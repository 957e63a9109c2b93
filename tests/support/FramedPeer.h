#pragma once

#include <optional>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/linux/UniqueFd.h"

// One end of a native messaging stream, played by a test: a browser talking to the bridge,
// or a bridge talking to Quellio. Sends whole frames or any bytes at all, and receives
// frames, waiting at most kWaitLimit for one.
class CFramedPeer {
public:
    explicit CFramedPeer(CUniqueFd fd) : m_fd(std::move(fd)) {}

    void Send(const nlohmann::json& message) const;
    void SendRaw(std::string_view bytes) const;
    // The next message; nothing when the other end closed or kept silent.
    std::optional<nlohmann::json> Receive() const;
    // Whether the other end has closed the stream, after draining what it sent.
    bool IsClosedByPeer() const;
    void Close() { m_fd.Reset(); }
    int Get() const { return m_fd.Get(); }

private:
    bool ReadExactly(char* data, std::size_t size) const;

    CUniqueFd m_fd;
};
