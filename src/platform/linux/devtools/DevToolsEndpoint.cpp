#include "platform/linux/devtools/DevToolsEndpoint.h"

#include <charconv>

#include <boost/asio/ip/address.hpp>

namespace {

std::optional<std::uint16_t> ParsePort(std::string_view text) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || text.size() > 5 || ec != std::errc() || ptr != end || value == 0 ||
        value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

std::optional<std::string> LoopbackHost(std::string_view host) {
    if (host == "localhost") {
        return "127.0.0.1";
    }
    boost::system::error_code ec;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        auto address = boost::asio::ip::make_address_v6(host.substr(1, host.size() - 2), ec);
        if (!ec && address.is_loopback()) {
            return address.to_string();
        }
        return std::nullopt;
    }
    auto address = boost::asio::ip::make_address_v4(host, ec);
    if (!ec && address.is_loopback()) {
        return address.to_string();
    }
    return std::nullopt;
}

bool IsPlainPathChar(char c) {
    return c > ' ' && c < 0x7f && c != '?' && c != '#';
}

}  // namespace

std::string SDevToolsEndpoint::Url() const {
    const std::string host = strHost.find(':') == std::string::npos ? strHost : "[" + strHost + "]";
    if (strPath.empty()) {
        return "http://" + host + ":" + std::to_string(nPort);
    }
    return "ws://" + host + ":" + std::to_string(nPort) + strPath;
}

std::optional<SDevToolsEndpoint> ParseDevToolsUrl(std::string_view url) {
    bool bHttp = false;
    if (url.starts_with("http://")) {
        bHttp = true;
        url.remove_prefix(7);
    } else if (url.starts_with("ws://")) {
        url.remove_prefix(5);
    } else {
        return std::nullopt;
    }
    const std::size_t slash = url.find('/');
    const std::string_view authority = url.substr(0, slash);
    const std::string_view path =
        slash == std::string_view::npos ? std::string_view() : url.substr(slash);
    const std::size_t colon = authority.rfind(':');
    if (colon == std::string_view::npos || authority.find('@') != std::string_view::npos) {
        return std::nullopt;
    }
    auto host = LoopbackHost(authority.substr(0, colon));
    auto port = ParsePort(authority.substr(colon + 1));
    if (!host || !port) {
        return std::nullopt;
    }
    for (char c : path) {
        if (!IsPlainPathChar(c)) {
            return std::nullopt;
        }
    }
    SDevToolsEndpoint endpoint{*host, *port, {}};
    if (bHttp) {
        if (path.size() > 1) {
            return std::nullopt;
        }
    } else {
        if (path.size() < 2) {
            return std::nullopt;
        }
        endpoint.strPath = path;
    }
    return endpoint;
}
