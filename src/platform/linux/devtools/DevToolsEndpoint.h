#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Where a browser's DevTools service listens. Only loopback hosts are ever held: the
// service gives full control of the browser, so Quellio never talks to one elsewhere.
struct SDevToolsEndpoint {
    std::string strHost;  // a literal loopback address, "127.0.0.1" or "::1"
    std::uint16_t nPort = 0;
    // The browser's WebSocket path ("/devtools/browser/<id>"); empty for an http://
    // endpoint, whose path is asked of the browser's /json/version answer.
    std::string strPath;

    // "ws://127.0.0.1:9222/devtools/browser/<id>" or "http://127.0.0.1:9222".
    std::string Url() const;
    bool operator==(const SDevToolsEndpoint&) const = default;
};

// Reads "http://HOST:PORT[/]" or "ws://HOST:PORT/PATH". HOST must be loopback: an address
// in 127.0.0.0/8, "[::1]" or "localhost" (taken as 127.0.0.1). Anything else, including
// user info, a query, blanks or control characters, gives nothing.
std::optional<SDevToolsEndpoint> ParseDevToolsUrl(std::string_view url);
