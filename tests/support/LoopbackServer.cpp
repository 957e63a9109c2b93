#include "support/LoopbackServer.h"

#include <sys/socket.h>

#include <boost/asio/ip/address.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using nlohmann::json;

CLoopbackServer::CLoopbackServer(Script script)
    : m_Script(std::move(script)),
      m_Acceptor(m_Ioc, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)) {
    m_Pages["/json/version"] =
        json{{"Browser", "Fake/1.0"}, {"webSocketDebuggerUrl", Endpoint().Url()}}.dump();
    m_AcceptThread = std::thread([this] { AcceptAll(); });
}

CLoopbackServer::~CLoopbackServer() {
    {
        std::lock_guard lock(m_Mutex);
        m_bStopping = true;
    }
    // A connection of our own wakes the accepting thread, which then sees it is to stop.
    beast::error_code ec;
    tcp::socket waker(m_Ioc);
    waker.connect(m_Acceptor.local_endpoint(), ec);
    m_AcceptThread.join();
    {
        std::lock_guard lock(m_Mutex);
        for (const int fd : m_Open) {
            ::shutdown(fd, SHUT_RDWR);
        }
    }
    for (std::thread& thread : m_Threads) {
        thread.join();
    }
}

void CLoopbackServer::SetPage(const std::string& path, std::string body, bool bCacheable) {
    std::lock_guard lock(m_Mutex);
    m_Pages[path] = std::move(body);
    if (bCacheable) {
        m_Cacheable.insert(path);
    } else {
        m_Cacheable.erase(path);
    }
}

int CLoopbackServer::RequestCount(const std::string& target) const {
    std::lock_guard lock(m_Mutex);
    const auto found = m_Requests.find(target);
    return found == m_Requests.end() ? 0 : found->second;
}

std::string CLoopbackServer::Url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(m_Acceptor.local_endpoint().port()) +
           std::string(path);
}

SDevToolsEndpoint CLoopbackServer::Endpoint() const {
    return {"127.0.0.1", m_Acceptor.local_endpoint().port(), "/devtools/browser/fake"};
}

SDevToolsEndpoint CLoopbackServer::HttpEndpoint() const {
    return {"127.0.0.1", m_Acceptor.local_endpoint().port(), ""};
}

std::vector<std::string> CLoopbackServer::Methods() const {
    std::lock_guard lock(m_Mutex);
    return m_Methods;
}

void CLoopbackServer::ClearMethods() {
    std::lock_guard lock(m_Mutex);
    m_Methods.clear();
}

CLoopbackServer::SFrame CLoopbackServer::Result(const json& request, json result) {
    return {json{{"id", request.at("id")}, {"result", std::move(result)}}.dump()};
}

void CLoopbackServer::AcceptAll() {
    for (;;) {
        tcp::socket socket(m_Ioc);
        beast::error_code ec;
        m_Acceptor.accept(socket, ec);
        std::lock_guard lock(m_Mutex);
        if (m_bStopping) {
            return;
        }
        if (ec) {
            continue;
        }
        m_Open.insert(socket.native_handle());
        m_Threads.emplace_back([this, s = std::move(socket)]() mutable { Serve(std::move(s)); });
    }
}

void CLoopbackServer::Serve(tcp::socket socket) {
    beast::error_code ec;
    beast::flat_buffer buffer;
    http::request<http::string_body> request;
    http::read(socket, buffer, request, ec);
    if (!ec && websocket::is_upgrade(request)) {
        websocket::stream<tcp::socket&> ws(socket);
        ws.accept(request, ec);
        while (!ec) {
            buffer.clear();
            ws.read(buffer, ec);
            if (ec) {
                break;
            }
            const json message =
                json::parse(beast::buffers_to_string(buffer.data()), nullptr, false);
            {
                std::lock_guard lock(m_Mutex);
                m_Methods.push_back(message.value("method", ""));
            }
            for (const SFrame& frame : m_Script ? m_Script(message) : std::vector<SFrame>{}) {
                ws.binary(frame.bBinary);
                ws.write(asio::buffer(frame.text), ec);
            }
        }
    } else if (!ec) {
        http::response<http::string_body> response;
        bool bCacheable = false;
        {
            std::lock_guard lock(m_Mutex);
            const std::string target(request.target());
            ++m_Requests[target];
            const std::string path = target.substr(0, target.find('?'));
            const auto found = m_Pages.find(path);
            response.result(found == m_Pages.end() ? http::status::not_found : http::status::ok);
            response.body() = found == m_Pages.end() ? std::string() : found->second;
            bCacheable = m_Cacheable.contains(path);
        }
        response.version(11);
        response.set(http::field::content_type, "text/html; charset=utf-8");
        response.set(http::field::cache_control, bCacheable ? "max-age=3600" : "no-store");
        response.keep_alive(false);
        response.prepare_payload();
        http::write(socket, response, ec);
        socket.shutdown(tcp::socket::shutdown_send, ec);
    }
    // Out of the set before the descriptor is closed, so the destructor never shuts down
    // a number the system has given to something else since.
    std::lock_guard lock(m_Mutex);
    m_Open.erase(socket.native_handle());
}
