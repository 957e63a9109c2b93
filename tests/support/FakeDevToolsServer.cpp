#include "support/FakeDevToolsServer.h"

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

CFakeDevToolsServer::CFakeDevToolsServer(Script script, bool bAcceptsHandshake)
    : m_script(std::move(script)),
      m_bAcceptsHandshake(bAcceptsHandshake),
      m_acceptor(m_ioc, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)) {
    m_strVersion = json{{"Browser", "Fake/1.0"}, {"webSocketDebuggerUrl", Endpoint().Url()}}.dump();
    Accept();
    m_thread = std::thread([this] { m_ioc.run(); });
}

CFakeDevToolsServer::~CFakeDevToolsServer() {
    asio::post(m_ioc, [this] {
        beast::error_code ec;
        m_acceptor.close(ec);
        for (tcp::socket& socket : m_held) {
            socket.close(ec);
        }
    });
    m_thread.join();
    // Sessions end when their client goes; the tests drop their clients first.
    for (std::thread& session : m_sessions) {
        session.join();
    }
}

SDevToolsEndpoint CFakeDevToolsServer::Endpoint() const {
    return {"127.0.0.1", m_acceptor.local_endpoint().port(), "/devtools/browser/fake"};
}

SDevToolsEndpoint CFakeDevToolsServer::HttpEndpoint() const {
    return {"127.0.0.1", m_acceptor.local_endpoint().port(), ""};
}

void CFakeDevToolsServer::SetVersionAnswer(std::string body) {
    std::lock_guard lock(m_mutex);
    m_strVersion = std::move(body);
}

std::vector<std::string> CFakeDevToolsServer::Methods() const {
    std::lock_guard lock(m_mutex);
    return m_methods;
}

void CFakeDevToolsServer::ClearMethods() {
    std::lock_guard lock(m_mutex);
    m_methods.clear();
}

CFakeDevToolsServer::SFrame CFakeDevToolsServer::Result(const json& request, json result) {
    return {json{{"id", request.at("id")}, {"result", std::move(result)}}.dump()};
}

void CFakeDevToolsServer::Accept() {
    m_acceptor.async_accept([this](beast::error_code ec, tcp::socket socket) {
        if (ec) {
            return;
        }
        if (m_bAcceptsHandshake) {
            m_sessions.emplace_back(
                [this, s = std::move(socket)]() mutable { Serve(std::move(s)); });
        } else {
            m_held.push_back(std::move(socket));
        }
        Accept();
    });
}

// One connection, served synchronously on its own thread until the client goes.
void CFakeDevToolsServer::Serve(tcp::socket socket) {
    beast::error_code ec;
    beast::flat_buffer buffer;
    http::request<http::string_body> request;
    http::read(socket, buffer, request, ec);
    if (ec) {
        return;
    }
    if (!websocket::is_upgrade(request)) {
        http::response<http::string_body> response{http::status::ok, 11};
        {
            std::lock_guard lock(m_mutex);
            response.body() = m_strVersion;
        }
        response.prepare_payload();
        http::write(socket, response, ec);
        return;
    }
    websocket::stream<tcp::socket> ws(std::move(socket));
    ws.accept(request, ec);
    while (!ec) {
        buffer.clear();
        ws.read(buffer, ec);
        if (ec) {
            break;
        }
        const json message = json::parse(beast::buffers_to_string(buffer.data()), nullptr, false);
        {
            std::lock_guard lock(m_mutex);
            m_methods.push_back(message.value("method", ""));
        }
        for (const SFrame& frame : m_script(message)) {
            ws.binary(frame.bBinary);
            ws.write(asio::buffer(frame.text), ec);
        }
    }
}
