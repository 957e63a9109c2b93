// The bridge between a browser (played by the test) and Quellio's end of the socket.
#include "bridge/BridgeRelay.h"

#include <poll.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <atomic>
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "engine/BrowserScanner.h"
#include "engine/UrlList.h"
#include "platform/linux/AllBrowserWindows.h"
#include "platform/linux/bridge/BridgeSocket.h"
#include "support/FramedPeer.h"
#include "support/RecordingReport.h"
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
        auto [relayEnd, browserEnd] = SocketPair();
        m_relayEnd = std::move(relayEnd);
        m_browser = CFramedPeer(std::move(browserEnd));
        m_result = std::async(std::launch::async, [this, socket] {
            return CBridgeRelay(m_relayEnd.Get(), m_relayEnd.Get(), socket,
                                std::chrono::milliseconds(10))
                .Run();
        });
    }
    CFramedPeer& Browser() { return m_browser; }
    // How the relay ended; -1 when it still runs.
    int Result() {
        return m_result.wait_for(kWaitLimit) == std::future_status::ready ? m_result.get() : -1;
    }

private:
    CUniqueFd m_relayEnd;
    CFramedPeer m_browser{CUniqueFd()};
    std::future<int> m_result;
};

CUniqueFd Accept(const CUniqueFd& listener) {
    pollfd fd{listener.Get(), POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(kWaitLimit.count())) != 1) {
        return {};
    }
    return CUniqueFd(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
}

class BridgeRelay : public testing::Test {
protected:
    BridgeRelay() { std::filesystem::create_directories(m_Dir / "run"); }
    std::filesystem::path Socket() const { return m_Dir / "run" / "Quellio" / "bridge.sock"; }
    CTempDir m_Dir;
};

// A sync for each connection to Quellio; a bad message from Quellio ends only that
// connection, one from the browser ends the relay with a failure.
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
    first.SendRaw(FrameLength(kMaxMessageSize + 1));
    EXPECT_TRUE(first.IsClosedByPeer());

    CFramedPeer second(Accept(listener));
    EXPECT_EQ(relay.Browser().Receive(), kSync) << "a sync for the new connection";
    relay.Browser().Send({{"type", "ready"}});
    EXPECT_EQ(second.Receive(), (json{{"type", "ready"}})) << "the dropped message is gone";
    second.Send({{"type", "closeTab"}, {"tabId", 2}});
    EXPECT_EQ(relay.Browser().Receive(), (json{{"type", "closeTab"}, {"tabId", 2}}));

    relay.Browser().SendRaw(FrameLength(4) + "\xFF\xFE{}");
    EXPECT_EQ(relay.Result(), 1);
    EXPECT_TRUE(second.IsClosedByPeer());
}

// Every collection over the same browsers, as the scan and the list pages have.
class CSharedFactory : public IBrowserWindowsFactory {
public:
    explicit CSharedFactory(std::shared_ptr<CExtensionBrowsers> pBrowsers)
        : m_pBrowsers(std::move(pBrowsers)) {}
    HRESULT CreateBrowserWindows(std::unique_ptr<IBrowserWindows>* windows) override {
        *windows = std::make_unique<CAllBrowserWindows>(
            std::make_unique<CExtensionBrowserWindows>(m_pBrowsers),
            std::make_unique<CDevToolsBrowserWindows>(CDevToolsDiscovery("", {}),
                                                      std::chrono::seconds(1)));
        return S_OK;
    }

private:
    std::shared_ptr<CExtensionBrowsers> m_pBrowsers;
};

json Window(std::int64_t nId, const char* type) {
    return {{"type", "window"}, {"window", {{"id", nId}, {"type", type}}}};
}
json Tab(std::int64_t nId, std::int64_t nWindowId, const std::string& url, bool bHeld) {
    return {{"type", "tab"},
            {"tab",
             {{"id", nId},
              {"windowId", nWindowId},
              {"url", url},
              {"opener", nullptr},
              {"held", bHeld}}}};
}

// Each held tab announced is judged at once (released once, or closed); a look from another
// collection lets nothing go, a later pass closes nothing twice, garbage drops one connection.
TEST_F(BridgeRelay, QuellioJudgesWhatTheExtensionAnnouncesAndDropsOnlyAMisbehavingConnection) {
    auto pBrowsers = std::make_shared<CExtensionBrowsers>(Socket());
    CSharedFactory factory(pBrowsers);
    CUrlList black;
    CUrlList white;
    black.Add("http://black/");
    white.Add("http://spared/");
    CRecordingReport report;
    CBrowserScanner scanner(factory, black, white, report);
    scanner.ConnectBrowserWindows();
    scanner.WatchBrowserEvents(true);
    ASSERT_GE(scanner.GetBrowserEventHandle(), 0);
    const auto pumpUntil = [&pBrowsers](std::size_t nBrowsers) {
        return WaitUntil(
            [&] { return pBrowsers->Pump(), pBrowsers->Browsers().size() == nBrowsers; });
    };
    CRunningRelay relay(Socket());
    ASSERT_TRUE(pumpUntil(1));
    EXPECT_EQ(pBrowsers->Browsers()[0]->GetBrowserPid(), ::getppid());
    EXPECT_EQ(relay.Browser().Receive(), kSync);
    CFramedPeer intruder(ConnectBridgeSocket(Socket()));
    ASSERT_TRUE(pumpUntil(2));
    intruder.SendRaw(FrameLength(2) + "[]");

    for (const json& message :
         {json{{"type", "hello"}, {"browser", {{"name", "C"}, {"version", "1"}, {"profile", "p"}}}},
          json{{"type", "ready"}}, Window(1, "normal"), Window(5, "popup"), Window(6, "popup"),
          Window(8, "popup"), Tab(2, 1, "http://page/", true), Tab(3, 5, "http://ad/", true),
          Tab(4, 6, "http://spared/", true), Tab(7, 1, "http://black/", true),
          Tab(9, 8, "http://other-ad/", false), Tab(10, 1, "http://plain/", false)}) {
        relay.Browser().Send(message);
    }
    // What another collection sees, as a list page looks.
    const auto look = [&factory] {
        std::unique_ptr<IBrowserWindows> windows;
        long nCount = 0;
        factory.CreateBrowserWindows(&windows);
        windows->GetCount(&nCount);
        std::vector<std::unique_ptr<IBrowserWindow>> seen(static_cast<std::size_t>(nCount));
        for (long i = 0; i < nCount; ++i) {
            std::unique_ptr<IBrowserItem> item;
            windows->Item(i, &item);
            item->QueryBrowser(&seen[static_cast<std::size_t>(i)]);
        }
        return seen;
    };
    bool bPassDue = false;  // the extension's "ready" calls for one
    ASSERT_TRUE(WaitUntil([&] {
        bPassDue = scanner.TakeBrowserEvents().has_value() || bPassDue;
        return look().size() == 3 && report.Logged().size() == 3;
    }));
    EXPECT_TRUE(bPassDue);
    EXPECT_TRUE(intruder.IsClosedByPeer());
    ASSERT_EQ(scanner.ScanBrowserWindows(), S_OK);
    scanner.WatchBrowserEvents(false);

    std::vector<json> told;
    while (told.empty() || told.back()["type"] != "watch" || told.back()["on"] != false) {
        const std::optional<json> message = relay.Browser().Receive();
        ASSERT_TRUE(message) << testing::PrintToString(told);
        told.push_back(*message);
    }
    EXPECT_EQ(told, (std::vector<json>{{{"type", "watch"}, {"on", true}},
                                       {{"type", "release"}, {"tabId", 2}},
                                       {{"type", "closeWindow"}, {"windowId", 5}},
                                       {{"type", "release"}, {"tabId", 4}},
                                       {{"type", "closeTab"}, {"tabId", 7}},
                                       {{"type", "closeWindow"}, {"windowId", 8}},
                                       {{"type", "watch"}, {"on", false}}}));
    EXPECT_EQ(report.Logged(),
              (std::vector<std::string>{"http://ad/", "http://black/", "http://other-ad/"}));

    const auto kept = look();
    relay.Browser().Close();
    EXPECT_EQ(relay.Result(), 0);
    EXPECT_TRUE(pumpUntil(0));
    EXPECT_TRUE(FAILED(kept.at(0)->Quit())) << "a browser gone closes nothing";
}

// Neither end talks to another user's process; the sockets are opened up on purpose, so that
// only the peer check stands in the way.
TEST_F(BridgeRelay, NeitherEndTalksToAnotherUser) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to run a process as another user";
    }
    const auto openUp = [this] {
        ::chmod(Socket().parent_path().c_str(), 0755);
        ::chmod(Socket().c_str(), 0666);
    };
    ASSERT_TRUE(GiveTreeToUnprivileged(m_Dir.Path()));
    {
        CExtensionBrowsers browsers(Socket());
        ASSERT_GE(browsers.GetEventHandle(), 0);
        openUp();
        std::atomic<bool> bDone = false;
        std::thread pump([&] {
            while (!bDone) {
                browsers.Pump();
                EXPECT_TRUE(browsers.Browsers().empty());
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        const int status = RunUnprivileged([&] {
            CFramedPeer peer{CUniqueFd(::socket(AF_UNIX, SOCK_STREAM, 0))};
            sockaddr_un address{AF_UNIX, {}};
            Socket().string().copy(address.sun_path, sizeof address.sun_path - 1);
            if (::connect(peer.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
                return 2;
            }
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
            openUp();
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
