// The bridge between a browser (played by the test) and Quellio's end of the socket.
#include "bridge/BridgeRelay.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <future>
#include <thread>

#include "platform/linux/bridge/BridgeSocket.h"
#include "platform/linux/bridge/ExtensionBrowsers.h"
#include "support/FramedPeer.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"
#include "support/WaitUntil.h"

namespace {

using nlohmann::json;
const json kSync = {{"type", "sync"}};

// A relay running on a thread of its own, its standard input and output one socket pair.
class CRunningRelay {
public:
    explicit CRunningRelay(const std::filesystem::path& socket) {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        m_relayEnd.Reset(fds[0]);
        m_pBrowser = std::make_unique<CFramedPeer>(CUniqueFd(fds[1]));
        m_result = std::async(std::launch::async, [this, socket] {
            return CBridgeRelay(m_relayEnd.Get(), m_relayEnd.Get(), socket,
                                std::chrono::milliseconds(10))
                .Run();
        });
    }
    CFramedPeer& Browser() { return *m_pBrowser; }
    // How the relay ended; -1 when it still runs.
    int Result() {
        return m_result.wait_for(kWaitLimit) == std::future_status::ready ? m_result.get() : -1;
    }

private:
    CUniqueFd m_relayEnd;
    std::unique_ptr<CFramedPeer> m_pBrowser;
    std::future<int> m_result;
};

CUniqueFd Accept(const CUniqueFd& listener) {
    pollfd fd{listener.Get(), POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(kWaitLimit.count())) != 1) {
        return {};
    }
    return CUniqueFd(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
}

std::string Length(std::uint32_t length) {
    std::string bytes(sizeof length, '\0');
    std::memcpy(bytes.data(), &length, sizeof length);
    return bytes;
}

class BridgeRelay : public testing::Test {
protected:
    BridgeRelay() { std::filesystem::create_directories(m_Dir / "run"); }
    std::filesystem::path Socket() const { return m_Dir / "run" / "Quellio" / "bridge.sock"; }
    CTempDir m_Dir;
};

// Messages pass both ways; the browser is asked for a sync at every connection to Quellio;
// a bad message from Quellio ends only that connection, which the relay makes again; a bad
// message from the browser ends the relay, which reports the failure.
TEST_F(BridgeRelay, RelaysBothWaysAndDropsOnlyTheConnectionThatMisbehaves) {
    CRunningRelay relay(Socket());
    relay.Browser().Send({{"type", "tab"}, {"dropped", true}});  // nobody listens yet
    const CUniqueFd listener = ListenBridgeSocket(Socket());
    ASSERT_TRUE(listener.IsValid());
    struct stat status {};
    ASSERT_EQ(::stat(Socket().parent_path().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0700U);
    ASSERT_EQ(::stat(Socket().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600U);

    CFramedPeer first(Accept(listener));
    EXPECT_EQ(relay.Browser().Receive(), kSync);
    first.SendRaw(Length(kMaxMessageSize + 1));
    EXPECT_TRUE(first.IsClosedByPeer());

    CFramedPeer second(Accept(listener));
    EXPECT_EQ(relay.Browser().Receive(), kSync) << "a sync for the new connection";
    relay.Browser().Send({{"type", "ready"}});
    EXPECT_EQ(second.Receive(), (json{{"type", "ready"}})) << "the dropped message is gone";
    second.Send({{"type", "closeTab"}, {"tabId", 2}});
    EXPECT_EQ(relay.Browser().Receive(), (json{{"type", "closeTab"}, {"tabId", 2}}));

    relay.Browser().SendRaw(Length(4) + "\xFF\xFE{}");
    EXPECT_EQ(relay.Result(), 1);
    EXPECT_TRUE(second.IsClosedByPeer());
}

// Quellio's end: a bridge's browser is known by the process that started the bridge and is
// kept current; a connection that sends garbage is dropped without touching the others; a
// browser that closes its input ends its relay cleanly, and its browser leaves.
TEST_F(BridgeRelay, QuellioKeepsEachBrowserAndDropsOnlyAMisbehavingConnection) {
    CExtensionBrowsers browsers(Socket());
    ASSERT_GE(browsers.GetEventHandle(), 0);
    CRunningRelay relay(Socket());
    ASSERT_TRUE(WaitUntil([&] { return browsers.Pump(), browsers.Browsers().size() == 1; }));
    EXPECT_EQ(browsers.Browsers()[0]->GetBrowserPid(), ::getppid());
    EXPECT_EQ(relay.Browser().Receive(), kSync);

    CFramedPeer intruder(ConnectBridgeSocket(Socket()));
    ASSERT_TRUE(WaitUntil([&] { return browsers.Pump(), browsers.Browsers().size() == 2; }));
    intruder.SendRaw(Length(2) + "[]");
    relay.Browser().Send({{"type", "window"}, {"window", {{"id", 1}, {"type", "popup"}}}});
    relay.Browser().Send(
        {{"type", "tab"},
         {"tab", {{"id", 2}, {"windowId", 1}, {"url", "http://a/"}, {"opener", nullptr}}}});
    relay.Browser().Send({{"type", "ready"}});
    ASSERT_TRUE(WaitUntil([&] {
        browsers.Pump();
        return browsers.Browsers().size() == 1 && browsers.Browsers()[0]->IsReady();
    }));
    EXPECT_TRUE(intruder.IsClosedByPeer());
    const std::vector<SExtensionTab> tabs = browsers.Browsers()[0]->Tabs();
    ASSERT_EQ(tabs.size(), 1U);
    EXPECT_EQ(tabs[0].strUrl, "http://a/");
    EXPECT_EQ(browsers.Browsers()[0]->Close(tabs[0]), S_OK);
    EXPECT_EQ(relay.Browser().Receive(), (json{{"type", "closeWindow"}, {"windowId", 1}}));

    relay.Browser().Close();
    EXPECT_EQ(relay.Result(), 0);
    EXPECT_TRUE(WaitUntil([&] { return browsers.Pump(), browsers.Browsers().empty(); }));
}

// Neither end talks to a process of another user: Quellio closes such a connection at
// once, and the bridge refuses a socket that someone else listens on.
TEST_F(BridgeRelay, NeitherEndTalksToAnotherUser) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to run a process as another user";
    }
    ASSERT_TRUE(GiveTreeToUnprivileged(m_Dir.Path()));
    {
        CExtensionBrowsers browsers(Socket());
        ASSERT_GE(browsers.GetEventHandle(), 0);
        // Opened up on purpose, so that only the peer check stands in the way.
        ::chmod(Socket().parent_path().c_str(), 0755);
        ::chmod(Socket().c_str(), 0666);
        std::atomic<bool> bDone = false;
        std::thread pump([&] {
            while (!bDone) {
                browsers.Pump();
                EXPECT_TRUE(browsers.Browsers().empty());
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        const int status = RunUnprivileged([&] {
            int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strcpy(address.sun_path, Socket().c_str());
            if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
                return 2;
            }
            CFramedPeer peer{CUniqueFd(fd)};
            return peer.IsClosedByPeer() ? 0 : 1;
        });
        bDone = true;
        pump.join();
        EXPECT_EQ(status, 0) << "2: could not connect; 1: the connection was kept";
    }
    std::filesystem::remove_all(m_Dir / "run");
    std::filesystem::create_directories(m_Dir / "run");
    ASSERT_TRUE(GiveTreeToUnprivileged(m_Dir.Path()));
    auto listener = std::async(std::launch::async, [&] {
        return RunUnprivileged([&] {
            const CUniqueFd fd = ListenBridgeSocket(Socket());
            ::chmod(Socket().parent_path().c_str(), 0755);
            ::chmod(Socket().c_str(), 0666);
            return fd.IsValid() && Accept(fd).IsValid() ? 0 : 1;
        });
    });
    // The socket is opened up only once it listens; its name alone exists from the bind.
    ASSERT_TRUE(WaitUntil([&] {
        std::error_code error;
        const auto perms = std::filesystem::status(Socket(), error).permissions();
        return !error &&
               (perms & std::filesystem::perms::others_write) != std::filesystem::perms::none;
    }));
    EXPECT_FALSE(ConnectBridgeSocket(Socket()).IsValid());
    EXPECT_EQ(listener.get(), 0) << "the listener saw the attempt";
}

}  // namespace
