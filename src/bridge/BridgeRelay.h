#pragma once

#include <chrono>
#include <filesystem>
#include <string_view>

#include "platform/linux/UniqueFd.h"
#include "platform/linux/bridge/MessageStream.h"

// The native messaging host's work: relays messages between the browser (its standard input
// and output) and Quellio (the bridge socket). While Quellio is not there, the browser's
// messages are dropped and the socket is tried again at every retry; once connected, the
// browser is asked to tell everything again (a "sync" message), so Quellio never needs what
// it missed. A connection to Quellio that breaks or carries a bad message is dropped and made
// again later; the browser's own stream ends the relay.
class CBridgeRelay {
public:
    CBridgeRelay(int fdIn, int fdOut, std::filesystem::path socketPath,
                 std::chrono::milliseconds retry);

    // Relays until the browser closes its input (0) or breaks the framing or its output (1).
    int Run();

private:
    void TryConnect();
    void Disconnect();
    bool ToBrowser(std::string_view message);

    int m_fdIn;
    int m_fdOut;
    std::filesystem::path m_socketPath;
    std::chrono::milliseconds m_retry;
    CMessageReader m_fromBrowser;
    CUniqueFd m_quellio;
    CMessageReader m_fromQuellio;
    std::chrono::steady_clock::time_point m_nextTry;
};
