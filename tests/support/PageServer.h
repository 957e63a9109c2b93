#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

// A small HTTP server on 127.0.0.1 (a port of the system's choosing) that serves the pages
// it is given, on a thread of its own; anything else is answered 404.
class CPageServer {
public:
    CPageServer();
    ~CPageServer();
    CPageServer(const CPageServer&) = delete;
    CPageServer& operator=(const CPageServer&) = delete;

    void SetPage(const std::string& path, std::string html);
    // "http://127.0.0.1:<port>" followed by `path`.
    std::string Url(std::string_view path) const;
    // How many requests have asked for `target` (a path with its query) so far.
    int RequestCount(const std::string& target) const;

private:
    void Accept();
    // The page for a request's target, counted as asked for.
    std::string Page(const std::string& path);

    boost::asio::io_context m_ioc;
    boost::asio::ip::tcp::acceptor m_acceptor;
    mutable std::mutex m_mutex;
    std::map<std::string, std::string, std::less<>> m_pages;
    std::map<std::string, int> m_requests;
    std::thread m_thread;
};
