#include "platform/linux/bridge/ExtensionBrowser.h"

#include <fcntl.h>

#include <gtest/gtest.h>

#include "support/FramedPeer.h"

namespace {

using nlohmann::json;

json Window(std::int64_t nId, const char* type) {
    return {{"type", "window"}, {"window", {{"id", nId}, {"type", type}}}};
}
json Tab(std::int64_t nId, std::int64_t nWindowId, const std::string& url) {
    return {{"type", "tab"},
            {"tab", {{"id", nId}, {"windowId", nWindowId}, {"url", url}, {"opener", nullptr}}}};
}
json Removed(const char* what, std::int64_t nId) {
    return {{"type", std::string(what) + "Removed"}, {what + std::string("Id"), nId}};
}
const json kHello = {{"type", "hello"},
                     {"browser", {{"name", "Firefox"}, {"version", "128.0"}, {"profile", "p"}}}};
const json kReady = {{"type", "ready"}};

// A browser connected over a socket pair, with the test as its extension.
struct SConnected {
    explicit SConnected(std::chrono::milliseconds grace = std::chrono::hours(1)) {
        auto [ours, theirs] = SocketPair();
        ::fcntl(ours.Get(), F_SETFL, O_NONBLOCK);
        browser = std::make_unique<CExtensionBrowser>(std::move(ours), 42, grace);
        extension = std::make_unique<CFramedPeer>(std::move(theirs));
    }
    // Sends the messages and takes them in; answers whether the connection lives on.
    bool Tell(const std::vector<json>& messages, bool* pbDue = nullptr) {
        for (const json& message : messages) {
            extension->Send(message);
        }
        bool bDue = false;
        const bool bAlive = browser->Receive(&bDue);
        if (pbDue != nullptr) {
            *pbDue = bDue;
        }
        return bAlive;
    }
    std::unique_ptr<CExtensionBrowser> browser;
    std::unique_ptr<CFramedPeer> extension;
};

// id, window, url, pop-up, awaiting: what a pass sees of each tab.
using Seen = std::tuple<std::int64_t, std::int64_t, std::string, bool, bool>;
std::vector<Seen> Look(const CExtensionBrowser& browser) {
    std::vector<Seen> seen;
    for (const SExtensionTab& tab : browser.Tabs()) {
        seen.emplace_back(tab.nId, tab.nWindowId, tab.strUrl, tab.bPopup, tab.bAwaiting);
    }
    return seen;
}

// Tabs of the normal and pop-up windows told, each once with its newest address; once the
// state is told, each tab that becomes judgeable is handed over once, without a pass.
TEST(ExtensionBrowser, TabsFollowWhatTheExtensionTold) {
    const struct {
        const char* name;
        std::vector<json> messages;
        std::vector<Seen> seen;
        std::vector<std::int64_t> announced;  // handed over for judging at once, by id
        bool bDue;                            // a pass over the whole browser
    } cases[] = {
        {"state",
         {kHello, Window(1, "normal"), Tab(3, 1, "http://a/"), Tab(2, 1, "http://b/"),
          Window(5, "popup"), Tab(6, 5, "http://p/"), kReady},
         {{2, 1, "http://b/", false, false},
          {3, 1, "http://a/", false, false},
          {6, 5, "http://p/", true, false}},
         {},
         true},
        {"tab before its window", {Tab(6, 5, "http://p/")}, {}, {}, false},
        {"window after its tab",
         {Tab(6, 5, "http://p/"), Window(5, "popup")},
         {{6, 5, "http://p/", true, false}},
         {6},
         false},
        {"other window types",
         {Window(1, "devtools"), Tab(2, 1, "devtools://x"), Window(3, "app"),
          Tab(4, 3, "http://app/")},
         {},
         {},
         false},
        {"new address and move",
         {Window(1, "normal"), Window(5, "popup"), Tab(2, 1, "http://a/"), Tab(2, 5, "http://b/")},
         {{2, 5, "http://b/", true, false}},
         {2},
         false},
        {"removals",
         {Window(1, "normal"), Window(5, "popup"), Tab(2, 1, "http://a/"), Tab(3, 1, "http://b/"),
          Tab(6, 5, "http://p/"), Tab(7, 5, "http://q/"), Removed("tab", 3), Removed("window", 5)},
         {{2, 1, "http://a/", false, false}},
         {2},
         false},
        {"hello again",
         {Window(1, "normal"), Tab(2, 1, "http://a/"), kHello, Window(1, "normal")},
         {},
         {},
         false},
        {"blank while new",
         {Window(1, "popup"), Tab(2, 1, ""), Tab(3, 1, "about:blank")},
         {{2, 1, "", true, true}, {3, 1, "about:blank", true, true}},
         {},
         false},
        {"blank after an address",
         {Window(1, "popup"), Tab(2, 1, "http://a/"), Tab(2, 1, "about:blank")},
         {{2, 1, "about:blank", true, false}},
         {2},
         false},
        {"unknown message", {{{"type", "later"}, {"x", 1}}}, {}, {}, false},
        {"nothing new",
         {Window(1, "normal"), Removed("window", 9), Removed("tab", 9)},
         {},
         {},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SConnected connected;
        bool bDue = false;
        ASSERT_TRUE(connected.Tell({kHello, kReady}, &bDue));
        EXPECT_TRUE(bDue);
        ASSERT_TRUE(connected.Tell(c.messages, &bDue));
        EXPECT_EQ(Look(*connected.browser), c.seen);
        std::vector<std::int64_t> announced;
        for (const SExtensionTab& tab : connected.browser->TakeAnnounced()) {
            announced.push_back(tab.nId);
        }
        EXPECT_EQ(announced, c.announced);
        // Each once: told again, the last message changes nothing.
        ASSERT_TRUE(connected.Tell({c.messages.back()}));
        EXPECT_TRUE(connected.browser->TakeAnnounced().empty()) << "each once";
        EXPECT_EQ(bDue, c.bDue);
    }
}

// A message of the wrong shape ends a connection that took good ones before.
TEST(ExtensionBrowser, AMessageOfTheWrongShapeEndsTheConnection) {
    const json tab = Tab(2, 1, "u")["tab"];
    const auto with = [&tab](const char* key, const json& value) {
        json spoiled = tab;
        spoiled[key] = value;
        return json{{"type", "tab"}, {"tab", spoiled}};
    };
    json noOpener = Tab(2, 1, "u");
    noOpener["tab"].erase("opener");
    for (const json& bad : {json{{"type", 1}}, json{{"kind", "tab"}}, json{{"type", "tab"}},
                            with("id", "2"), with("url", 7), noOpener, with("opener", "x"),
                            with("held", 1), json{{"type", "window"}, {"window", {{"id", 1}}}},
                            json{{"type", "hello"}, {"browser", "Firefox"}},
                            json{{"type", "tabRemoved"}, {"tabId", nullptr}}}) {
        SConnected connected;
        ASSERT_TRUE(connected.Tell({Window(1, "normal")}));
        EXPECT_FALSE(connected.Tell({bad})) << bad.dump();
    }
    SConnected connected;
    bool bAlive = connected.Tell({Window(1, "normal")});
    std::int64_t nTabs = 0;
    while (bAlive && nTabs <= static_cast<std::int64_t>(CExtensionBrowser::kMaxItems)) {
        std::vector<json> tabs;
        for (int i = 0; i < 100; ++i) {
            tabs.push_back(Tab(++nTabs, 1, "http://a/"));
        }
        bAlive = connected.Tell(tabs);
    }
    EXPECT_FALSE(bAlive) << "more tabs than any browser holds";
}

// Closing asks for the tab, or a pop-up's whole window, and leaves out what is going.
TEST(ExtensionBrowser, ClosingAsksTheExtensionAndLeavesOutWhatIsGoing) {
    SConnected connected(std::chrono::milliseconds(0));
    ASSERT_TRUE(connected.Tell({Window(1, "normal"), Tab(2, 1, "http://a/"), Tab(3, 1, "http://b/"),
                                Window(5, "popup"), Tab(6, 5, ""), Tab(7, 5, "http://q/")}));
    const std::vector<SExtensionTab> tabs = connected.browser->Tabs();
    ASSERT_EQ(tabs.size(), 4U);
    EXPECT_FALSE(tabs[2].bAwaiting) << "the grace is over";
    EXPECT_EQ(connected.browser->Close(tabs[0]), S_OK);
    EXPECT_EQ(connected.browser->Close(tabs[2]), S_OK);
    EXPECT_EQ(connected.extension->Receive(), (json{{"type", "closeTab"}, {"tabId", 2}}));
    EXPECT_EQ(connected.extension->Receive(), (json{{"type", "closeWindow"}, {"windowId", 5}}));
    EXPECT_EQ(Look(*connected.browser), (std::vector<Seen>{{3, 1, "http://b/", false, false}}));
    // Gone and back (ids are not reused by browsers, but the model must not keep the mark).
    ASSERT_TRUE(connected.Tell({Removed("tab", 2), Tab(2, 1, "http://c/")}));
    EXPECT_EQ(Look(*connected.browser).size(), 2U);

    connected.extension->Close();
    EXPECT_FALSE(connected.Tell({}));
    EXPECT_EQ(connected.browser->Close(tabs[1]), E_FAIL);
}

}  // namespace
