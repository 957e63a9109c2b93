#include "platform/linux/AllBrowserWindows.h"

#include <unistd.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <gtest/gtest.h>

namespace {

// A browser reached both ways is known by the DevTools port its process listens on: only a
// listening socket of that very process counts, and only while it is open.
TEST(ProcessListensOn, OnlyWhileThisProcessHoldsTheListeningSocket) {
    using boost::asio::ip::tcp;
    boost::asio::io_context ioc;
    tcp::acceptor acceptor(ioc, {boost::asio::ip::address_v4::loopback(), 0});
    const std::uint16_t nPort = acceptor.local_endpoint().port();
    EXPECT_TRUE(ProcessListensOn(::getpid(), nPort));
    EXPECT_FALSE(ProcessListensOn(::getppid(), nPort));
    acceptor.close();
    EXPECT_FALSE(ProcessListensOn(::getpid(), nPort));
}

}  // namespace
