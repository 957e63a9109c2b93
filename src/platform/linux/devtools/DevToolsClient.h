#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <boost/asio/io_context.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/websocket/stream.hpp>
#include <nlohmann/json.hpp>

#include "platform/Result.h"
#include "platform/linux/devtools/DevToolsEndpoint.h"

// One WebSocket connection to one browser's DevTools service. Calls are synchronous for
// the caller but run as asynchronous operations on a private io_context, so each one ends
// by its timeout at the latest (E_TIMEOUT) however the browser behaves.
//
// An answer that breaks the protocol (not JSON, not an object, a binary frame, a message
// over the size limit, an id never asked) drops the connection: the call fails with
// E_FAIL and IsConnected() turns false. An error answer to a call fails that call only. A
// timeout keeps the connection, so a browser that was only slow answers the next call;
// late answers are recognised by their id and dropped.
//
// Events (messages with a method and no id) are read whenever the connection is read:
// during a call, or by Poll, which reads what has arrived without waiting. They go to the
// event handler, if any, and are dropped otherwise.
class CDevToolsClient {
public:
    // Receives an event's method, its params (an object, empty when the event has none) and
    // its session (empty for the browser's own). It runs inside the client's reading, so it
    // must not call the client.
    using EventHandler =
        std::function<void(const std::string& strMethod, const nlohmann::json& params,
                           const std::string& strSessionId)>;

    explicit CDevToolsClient(std::chrono::milliseconds timeout,
                             std::size_t nMaxMessage = std::size_t{64} * 1024 * 1024);
    ~CDevToolsClient();
    CDevToolsClient(const CDevToolsClient&) = delete;
    CDevToolsClient& operator=(const CDevToolsClient&) = delete;

    // Connects, dropping an earlier connection. An http:// endpoint is first asked for its
    // WebSocket address (/json/version), which must be a loopback one too.
    HRESULT Connect(const SDevToolsEndpoint& endpoint);
    void Disconnect();
    bool IsConnected() const { return m_pSocket != nullptr; }

    // Sends one command and waits for its answer; `*result` receives the answer's result
    // object. `strSessionId` addresses a target session attached in flat mode.
    HRESULT Call(std::string_view method, const nlohmann::json& params, nlohmann::json* result,
                 const std::string& strSessionId = {});

    void SetEventHandler(EventHandler handler) { m_eventHandler = std::move(handler); }
    // Reads what the browser has sent so far without waiting, handing events to the handler.
    // E_FAIL when there is no connection or it broke (it is dropped).
    HRESULT Poll();
    // The connection's socket, which turns readable when the browser has sent something
    // that Poll or a call would read; -1 without a connection.
    int GetNativeHandle();

    // The browser's WebSocket address of the current connection ("ws://...").
    const std::string& GetWebSocketUrl() const { return m_strWebSocketUrl; }
    // Commands sent since the client was made.
    std::uint64_t GetRoundTrips() const { return m_nRoundTrips; }

private:
    using Clock = std::chrono::steady_clock;

    bool RunUntil(const std::function<bool()>& done, Clock::time_point deadline);
    // Starts an operation whose handler sets `*pDone`; on timeout `cancel` runs and the
    // aborted handler is awaited, so nothing outlives the caller's frame.
    bool Await(bool& bDone, Clock::time_point deadline, const std::function<void()>& cancel);
    HRESULT LookUpWebSocket(const SDevToolsEndpoint& endpoint, Clock::time_point deadline,
                            SDevToolsEndpoint* wsEndpoint);
    void StartRead();
    void OnRead(boost::beast::error_code ec);
    // Takes in the message just read; false when it breaks the protocol.
    bool Dispatch();
    bool DispatchEvent(const nlohmann::json& message);

    boost::asio::io_context m_ioc;
    std::unique_ptr<boost::beast::websocket::stream<boost::beast::tcp_stream>> m_pSocket;
    boost::beast::flat_buffer m_buffer;
    std::chrono::milliseconds m_timeout;
    std::size_t m_nMaxMessage;
    bool m_bBroken = false;
    bool m_bWriting = false;
    std::int64_t m_nNextId = 1;
    std::int64_t m_nWaitingId = 0;
    std::optional<nlohmann::json> m_answer;
    std::string m_strOutgoing;
    std::string m_strWebSocketUrl;
    std::uint64_t m_nRoundTrips = 0;
    EventHandler m_eventHandler;
};

// Attaches to the target `strTargetId` in flat mode through `call` (a CDevToolsClient::Call
// or a wrapper of it taking method, params and result), runs `work` with the session id,
// then detaches again whatever `work` answered. The answer is the attach's failure or
// `work`'s.
template <typename Call, typename Work>
HRESULT WithTargetSession(Call&& call, const std::string& strTargetId, Work&& work) {
    nlohmann::json attached;
    if (const HRESULT hr = call("Target.attachToTarget",
                                {{"targetId", strTargetId}, {"flatten", true}}, &attached);
        FAILED(hr)) {
        return hr;
    }
    const auto session = attached.find("sessionId");
    if (session == attached.end() || !session->is_string()) {
        return E_FAIL;
    }
    const std::string strSessionId = session->template get<std::string>();
    const HRESULT hr = work(strSessionId);
    nlohmann::json ignored;
    (void)call("Target.detachFromTarget", {{"sessionId", strSessionId}}, &ignored);
    return hr;
}
