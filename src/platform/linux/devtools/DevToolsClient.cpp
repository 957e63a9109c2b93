#include "platform/linux/devtools/DevToolsClient.h"

#include <exception>

#include <boost/asio/ip/address.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using nlohmann::json;

namespace {

// /json/version is a few hundred bytes.
constexpr std::size_t kVersionAnswerMax = std::size_t{64} * 1024;

tcp::endpoint TcpEndpoint(const SDevToolsEndpoint& endpoint) {
    return {asio::ip::make_address(endpoint.strHost), endpoint.nPort};
}

std::string HostHeader(const SDevToolsEndpoint& endpoint) {
    const bool bV6 = endpoint.strHost.find(':') != std::string::npos;
    return (bV6 ? "[" + endpoint.strHost + "]" : endpoint.strHost) + ":" +
           std::to_string(endpoint.nPort);
}

}  // namespace

CDevToolsClient::CDevToolsClient(std::chrono::milliseconds timeout, std::size_t nMaxMessage)
    : m_timeout(timeout), m_nMaxMessage(nMaxMessage) {}

CDevToolsClient::~CDevToolsClient() {
    try {
        Disconnect();
    } catch (const std::exception&) {
        // The socket is closed by its own destructor all the same.
    }
}

bool CDevToolsClient::RunUntil(const std::function<bool()>& done, Clock::time_point deadline) {
    while (!done()) {
        const auto now = Clock::now();
        if (now >= deadline) {
            return false;
        }
        if (m_ioc.stopped()) {
            m_ioc.restart();
        }
        if (m_ioc.run_one_for(deadline - now) == 0 && m_ioc.stopped() && !done()) {
            // Nothing left that could complete.
            return false;
        }
    }
    return true;
}

bool CDevToolsClient::Await(bool& bDone, Clock::time_point deadline,
                            const std::function<void()>& cancel) {
    if (RunUntil([&bDone] { return bDone; }, deadline)) {
        return true;
    }
    cancel();
    m_ioc.restart();
    while (!bDone && m_ioc.run_one() != 0) {
    }
    return false;
}

HRESULT CDevToolsClient::LookUpWebSocket(const SDevToolsEndpoint& endpoint,
                                         Clock::time_point deadline,
                                         SDevToolsEndpoint* wsEndpoint) {
    beast::tcp_stream stream(m_ioc);
    auto cancel = [&stream] { stream.socket().close(); };
    beast::error_code ec;
    bool bDone = false;
    stream.async_connect(TcpEndpoint(endpoint), [&](beast::error_code e) {
        ec = e;
        bDone = true;
    });
    if (!Await(bDone, deadline, cancel)) {
        return E_TIMEOUT;
    }
    if (ec) {
        return E_FAIL;
    }
    http::request<http::empty_body> request{http::verb::get, "/json/version", 11};
    request.set(http::field::host, HostHeader(endpoint));
    bDone = false;
    http::async_write(stream, request, [&](beast::error_code e, std::size_t) {
        ec = e;
        bDone = true;
    });
    if (!Await(bDone, deadline, cancel)) {
        return E_TIMEOUT;
    }
    if (ec) {
        return E_FAIL;
    }
    beast::flat_buffer buffer;
    http::response_parser<http::string_body> parser;
    parser.body_limit(kVersionAnswerMax);
    parser.header_limit(kVersionAnswerMax);
    bDone = false;
    http::async_read(stream, buffer, parser, [&](beast::error_code e, std::size_t) {
        ec = e;
        bDone = true;
    });
    if (!Await(bDone, deadline, cancel)) {
        return E_TIMEOUT;
    }
    stream.socket().close(ec);
    if (ec || parser.get().result() != http::status::ok) {
        return E_FAIL;
    }
    const json version = json::parse(parser.get().body(), nullptr, false);
    if (!version.is_object()) {
        return E_FAIL;
    }
    auto url = version.find("webSocketDebuggerUrl");
    if (url == version.end() || !url->is_string()) {
        return E_FAIL;
    }
    auto parsed = ParseDevToolsUrl(url->get<std::string>());
    if (!parsed || parsed->strPath.empty()) {
        return E_FAIL;
    }
    *wsEndpoint = std::move(*parsed);
    return S_OK;
}

HRESULT CDevToolsClient::Connect(const SDevToolsEndpoint& endpoint) {
    Disconnect();
    const auto deadline = Clock::now() + m_timeout;
    SDevToolsEndpoint target = endpoint;
    if (target.strPath.empty()) {
        if (HRESULT hr = LookUpWebSocket(endpoint, deadline, &target); FAILED(hr)) {
            return hr;
        }
    }
    auto pSocket = std::make_unique<websocket::stream<beast::tcp_stream>>(m_ioc);
    auto cancel = [&pSocket] { beast::get_lowest_layer(*pSocket).socket().close(); };
    beast::error_code ec;
    bool bDone = false;
    beast::get_lowest_layer(*pSocket).async_connect(TcpEndpoint(target), [&](beast::error_code e) {
        ec = e;
        bDone = true;
    });
    if (!Await(bDone, deadline, cancel)) {
        return E_TIMEOUT;
    }
    if (ec) {
        return E_FAIL;
    }
    pSocket->read_message_max(m_nMaxMessage);
    bDone = false;
    pSocket->async_handshake(HostHeader(target), target.strPath, [&](beast::error_code e) {
        ec = e;
        bDone = true;
    });
    if (!Await(bDone, deadline, cancel)) {
        return E_TIMEOUT;
    }
    if (ec) {
        cancel();
        return E_FAIL;
    }
    m_pSocket = std::move(pSocket);
    m_strWebSocketUrl = target.Url();
    StartRead();
    return S_OK;
}

void CDevToolsClient::Disconnect() {
    if (m_pSocket) {
        beast::error_code ec;
        beast::get_lowest_layer(*m_pSocket).socket().close(ec);
        // Let the aborted operations finish before the stream goes.
        m_ioc.restart();
        m_ioc.run();
        m_pSocket.reset();
    }
    m_ioc.restart();
    m_buffer.clear();
    m_bBroken = false;
    m_bWriting = false;
    m_answer.reset();
    m_strWebSocketUrl.clear();
}

void CDevToolsClient::StartRead() {
    m_pSocket->async_read(m_buffer, [this](beast::error_code ec, std::size_t) { OnRead(ec); });
}

void CDevToolsClient::OnRead(beast::error_code ec) {
    if (ec || !m_pSocket->got_text()) {
        m_bBroken = true;
        return;
    }
    try {
        if (!Dispatch()) {
            m_bBroken = true;
            return;
        }
    } catch (const std::exception&) {
        // Out of memory for a huge answer, say: the stream cannot be trusted past it.
        m_bBroken = true;
        return;
    }
    StartRead();
}

bool CDevToolsClient::Dispatch() {
    const auto* text = static_cast<const char*>(m_buffer.data().data());
    json message = json::parse(text, text + m_buffer.size(), nullptr, false);
    m_buffer.clear();
    if (!message.is_object()) {
        return false;
    }
    auto id = message.find("id");
    if (id == message.end()) {
        return DispatchEvent(message);
    }
    if (!id->is_number_integer() || id->get<std::int64_t>() < 1 ||
        id->get<std::int64_t>() >= m_nNextId) {
        return false;
    }
    if (id->get<std::int64_t>() == m_nWaitingId) {
        m_answer = std::move(message);
    }
    return true;
}

bool CDevToolsClient::DispatchEvent(const json& message) {
    auto method = message.find("method");
    if (method == message.end() || !method->is_string()) {
        return false;
    }
    auto params = message.find("params");
    if (params != message.end() && !params->is_object()) {
        return false;
    }
    std::string strSessionId;
    if (auto session = message.find("sessionId"); session != message.end()) {
        if (!session->is_string()) {
            return false;
        }
        strSessionId = session->get<std::string>();
    }
    if (m_eventHandler) {
        m_eventHandler(method->get<std::string>(),
                       params != message.end() ? *params : json::object(), strSessionId);
    }
    return true;
}

HRESULT CDevToolsClient::Poll() {
    if (!m_pSocket) {
        return E_FAIL;
    }
    if (m_ioc.stopped()) {
        m_ioc.restart();
    }
    // A message read may complete the next one from what was read with it.
    while (!m_bBroken && m_ioc.poll() != 0) {
    }
    if (m_bBroken) {
        Disconnect();
        return E_FAIL;
    }
    return S_OK;
}

int CDevToolsClient::GetNativeHandle() {
    return m_pSocket ? beast::get_lowest_layer(*m_pSocket).socket().native_handle() : -1;
}

HRESULT CDevToolsClient::Call(std::string_view method, const json& params, json* result,
                              const std::string& strSessionId) {
    if (!m_pSocket) {
        return E_FAIL;
    }
    json request = {{"id", m_nNextId}, {"method", method}, {"params", params}};
    if (!strSessionId.empty()) {
        request["sessionId"] = strSessionId;
    }
    m_strOutgoing = request.dump(-1, ' ', false, json::error_handler_t::replace);
    m_nWaitingId = m_nNextId++;
    m_answer.reset();
    m_bWriting = true;
    ++m_nRoundTrips;
    m_pSocket->text(true);
    m_pSocket->async_write(asio::buffer(m_strOutgoing), [this](beast::error_code ec, std::size_t) {
        m_bWriting = false;
        if (ec) {
            m_bBroken = true;
        }
    });
    const bool bAnswered =
        RunUntil([this] { return m_answer.has_value() || m_bBroken; }, Clock::now() + m_timeout);
    if (m_bBroken) {
        Disconnect();
        return E_FAIL;
    }
    if (!bAnswered) {
        m_nWaitingId = 0;
        // A write that never finished leaves the stream unusable for the next one.
        if (m_bWriting) {
            Disconnect();
        }
        return E_TIMEOUT;
    }
    json answer = std::move(*m_answer);
    m_answer.reset();
    m_nWaitingId = 0;
    if (answer.contains("error")) {
        return E_FAIL;
    }
    auto found = answer.find("result");
    if (found == answer.end() || !found->is_object()) {
        Disconnect();
        return E_FAIL;
    }
    *result = std::move(*found);
    return S_OK;
}
