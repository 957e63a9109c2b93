#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <nlohmann/json.hpp>

#include "platform/linux/devtools/DevToolsEndpoint.h"

// A small HTTP and WebSocket server on 127.0.0.1, at a port of the system's choosing, each
// connection served on a thread of its own. It serves the pages a real browser loads in
// end-to-end tests, and it plays a DevTools service for the client's tests:
// - a GET of a path given to SetPage answers that body (the query part of the address is
//   ignored), with one request per connection; any other path answers 404;
// - a WebSocket handshake is accepted, and every message that comes is parsed as JSON,
//   its "method" recorded, and answered with the frames the script gives (none: silence).
//   The service can misbehave on purpose: send anything, in text or binary frames.
// The destructor closes every connection still open.
class CLoopbackServer {
public:
    struct SFrame {
        std::string text;
        bool bBinary = false;
    };
    // Given a WebSocket request, the frames to send back.
    using Script = std::function<std::vector<SFrame>(const nlohmann::json& request)>;

    explicit CLoopbackServer(Script script = {});
    ~CLoopbackServer();
    CLoopbackServer(const CLoopbackServer&) = delete;
    CLoopbackServer& operator=(const CLoopbackServer&) = delete;

    // A page is never stored by the browser unless `bCacheable`: then it may keep it in its
    // cache for an hour.
    void SetPage(const std::string& path, std::string body, bool bCacheable = false);
    // How many GET requests have asked for `target` (a path with its query) so far.
    int RequestCount(const std::string& target) const;
    // "http://127.0.0.1:<port>" followed by `path`.
    std::string Url(std::string_view path) const;

    // As a DevTools service: the WebSocket endpoint ("/devtools/browser/fake"), and the
    // http:// one, whose /json/version page names the WebSocket one until set otherwise.
    SDevToolsEndpoint Endpoint() const;
    SDevToolsEndpoint HttpEndpoint() const;
    // The methods of the WebSocket requests received so far, in order.
    std::vector<std::string> Methods() const;
    void ClearMethods();
    // A reply with `result` to `request`.
    static SFrame Result(const nlohmann::json& request, nlohmann::json result);

private:
    void AcceptAll();
    void Serve(boost::asio::ip::tcp::socket socket);

    const Script m_Script;
    boost::asio::io_context m_Ioc;
    boost::asio::ip::tcp::acceptor m_Acceptor;
    mutable std::mutex m_Mutex;
    std::map<std::string, std::string, std::less<>> m_Pages;
    std::set<std::string, std::less<>> m_Cacheable;
    std::map<std::string, int> m_Requests;
    std::vector<std::string> m_Methods;
    bool m_bStopping = false;
    std::set<int> m_Open;  // the descriptors of the connections being served
    std::vector<std::thread> m_Threads;
    std::thread m_AcceptThread;
};
