#include "support/PageServer.h"

#include <boost/asio/ip/address.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

// One request, one answer, then the connection closes.
struct SExchange : std::enable_shared_from_this<SExchange> {
    explicit SExchange(tcp::socket socket) : stream(std::move(socket)) {}
    beast::tcp_stream stream;
    beast::flat_buffer buffer;
    http::request<http::string_body> request;
    http::response<http::string_body> response;
};

}  // namespace

CPageServer::CPageServer()
    : m_acceptor(m_ioc, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)) {
    Accept();
    m_thread = std::thread([this] { m_ioc.run(); });
}

CPageServer::~CPageServer() {
    m_ioc.stop();
    m_thread.join();
}

void CPageServer::SetPage(const std::string& path, std::string html) {
    std::lock_guard lock(m_mutex);
    m_pages[path] = std::move(html);
}

std::string CPageServer::Url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(m_acceptor.local_endpoint().port()) +
           std::string(path);
}

int CPageServer::RequestCount(const std::string& target) const {
    std::lock_guard lock(m_mutex);
    auto found = m_requests.find(target);
    return found == m_requests.end() ? 0 : found->second;
}

std::string CPageServer::Page(const std::string& path) {
    std::lock_guard lock(m_mutex);
    ++m_requests[path];
    auto found = m_pages.find(path.substr(0, path.find('?')));
    return found == m_pages.end() ? std::string() : found->second;
}

void CPageServer::Accept() {
    m_acceptor.async_accept([this](beast::error_code ec, tcp::socket socket) {
        if (ec) {
            return;
        }
        auto exchange = std::make_shared<SExchange>(std::move(socket));
        http::async_read(
            exchange->stream, exchange->buffer, exchange->request,
            [this, exchange](beast::error_code readError, std::size_t) {
                if (readError) {
                    return;
                }
                const std::string body = Page(std::string(exchange->request.target()));
                auto& response = exchange->response;
                response.version(11);
                response.result(body.empty() ? http::status::not_found : http::status::ok);
                response.set(http::field::content_type, "text/html; charset=utf-8");
                response.set(http::field::cache_control, "no-store");
                response.keep_alive(false);
                response.body() = body;
                response.prepare_payload();
                http::async_write(
                    exchange->stream, response, [exchange](beast::error_code, std::size_t) {
                        beast::error_code ignored;
                        exchange->stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
                    });
            });
        Accept();
    });
}
