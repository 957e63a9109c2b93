#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <nlohmann/json.hpp>

#include "platform/linux/devtools/DevToolsEndpoint.h"

// A DevTools service on 127.0.0.1 that answers from a script, on a thread of its own. It
// can misbehave on purpose: send anything, in text or binary frames, or stay silent.
class CFakeDevToolsServer {
public:
    struct SFrame {
        std::string text;
        bool bBinary = false;
    };
    // Given a request, the frames to send back (none: stay silent).
    using Script = std::function<std::vector<SFrame>(const nlohmann::json& request)>;

    // `bAcceptsHandshake` false: connections are taken but never answered.
    explicit CFakeDevToolsServer(Script script, bool bAcceptsHandshake = true);
    ~CFakeDevToolsServer();
    CFakeDevToolsServer(const CFakeDevToolsServer&) = delete;
    CFakeDevToolsServer& operator=(const CFakeDevToolsServer&) = delete;

    // The WebSocket endpoint ("/devtools/browser/fake") and the http:// one.
    SDevToolsEndpoint Endpoint() const;
    SDevToolsEndpoint HttpEndpoint() const;
    // The body of the /json/version answer; by default it names Endpoint().
    void SetVersionAnswer(std::string body);
    // The methods received so far, in order.
    std::vector<std::string> Methods() const;
    void ClearMethods();

    // A reply with `result` to `request`.
    static SFrame Result(const nlohmann::json& request, nlohmann::json result);

private:
    void Accept();
    void Serve(boost::asio::ip::tcp::socket socket);

    Script m_script;
    bool m_bAcceptsHandshake;
    boost::asio::io_context m_ioc;
    boost::asio::ip::tcp::acceptor m_acceptor;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_methods;
    std::string m_strVersion;
    std::vector<boost::asio::ip::tcp::socket> m_held;
    std::vector<std::thread> m_sessions;
    std::thread m_thread;
};
