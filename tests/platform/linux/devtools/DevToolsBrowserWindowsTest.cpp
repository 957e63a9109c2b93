#include "platform/linux/devtools/DevToolsBrowserWindows.h"

#include <map>
#include <mutex>
#include <set>

#include <gtest/gtest.h>

#include "support/LoopbackServer.h"

using namespace std::chrono_literals;
using nlohmann::json;
using Frames = std::vector<CLoopbackServer::SFrame>;
using Strings = std::vector<std::string>;

namespace {

constexpr auto kTimeout = 300ms;

json Event(const std::string& method, json params, const std::string& session = {}) {
    json event = {{"method", method}, {"params", std::move(params)}};
    if (!session.empty()) {
        event["sessionId"] = session;
    }
    return event;
}

// A page target; with an opener, one opened by that page with access to it.
json Info(const std::string& id, const std::string& url, const std::string& opener = {}) {
    json info = {{"targetId", id}, {"type", "page"}, {"title", ""}, {"url", url}};
    if (!opener.empty()) {
        info["openerId"] = opener;
        info["canAccessOpener"] = true;
    }
    return info;
}

// A target announced as waiting to start.
json Attached(const json& info) {
    return Event(
        "Target.attachedToTarget",
        {{"sessionId", info["targetId"]}, {"targetInfo", info}, {"waitingForDebugger", true}});
}

// A browser as the DevTools service shows it: targets, the window of each page and the
// bars each page reports in its own script world.
struct SFakeBrowser {
    struct SPage {
        std::string id;
        std::string url;
        int nWindow;
        bool bPageSaysBars = true;  // what locationbar/toolbar.visible say
        std::string opener = {};
        bool bCanAccessOpener = true;
    };

    // A window a page opens waits in its renderer until a request to run reaches it; then it
    // asks for its page (stopped if its requests were set to stop) and the page opens the next.
    void RunRenderer(const std::string& session) {
        const auto page = std::find_if(pages.begin(), pages.end(),
                                       [&](const SPage& p) { return p.id == session; });
        const std::string renderer =
            page != pages.end() && page->bCanAccessOpener && !page->opener.empty() ? page->opener
                                                                                   : session;
        const std::string window = std::exchange(waitingIn[renderer], "");
        if (window.empty()) {
            return;
        }
        if (!stopping.contains(window)) {
            askedUnstopped.push_back(window);
        } else {
            eventsCaused.push_back(Event("Fetch.requestPaused",
                                         {{"requestId", window},
                                          {"frameId", window},
                                          {"request", {{"url", "https://ad/" + window}}}},
                                         window));
        }
        if (auto& next = toOpen[renderer]; !next.empty()) {
            Open(next.front(), renderer);
            next.erase(next.begin());
        }
    }
    void Open(const std::string& window, const std::string& opener) {
        pages.push_back({window, "", 2, false, opener});
        waitingIn[opener] = window;
        eventsCaused.push_back(Attached(Info(window, "", opener)));
    }

    // The events queued for the request's method, then those it causes, then the answer.
    Frames Answer(const json& request) {
        std::lock_guard lock(mutex);
        const std::string method = request.value("method", "");
        Frames frames;
        std::erase_if(eventsBefore, [&](const auto& entry) {
            if (entry.first == method) {
                frames.push_back({entry.second.dump()});
            }
            return entry.first == method;
        });
        const json params = request.value("params", json::object());
        const auto page = std::find_if(pages.begin(), pages.end(), [&](const SPage& p) {
            return p.id == params.value("targetId", request.value("sessionId", ""));
        });
        if (method == "Fetch.enable") {
            stopping.insert(request.value("sessionId", ""));
        } else if (method == "Runtime.runIfWaitingForDebugger") {
            RunRenderer(request.value("sessionId", ""));
        }
        for (const json& event : std::exchange(eventsCaused, {})) {
            frames.push_back({event.dump()});
        }
        const auto result = [&](json value) {
            frames.push_back(CLoopbackServer::Result(request, std::move(value)));
            return frames;
        };
        if (method == "Target.getTargets") {
            json infos = others;
            for (const SPage& p : pages) {
                infos.push_back(Info(p.id, p.url, p.opener));
                infos.back()["canAccessOpener"] = p.bCanAccessOpener;
            }
            return result({{"targetInfos", infos}});
        }
        if (method == "Runtime.evaluate") {
            if (page != pages.end() && hungRenderers.contains(page->id)) {
                return frames;
            }
            const bool bShown = page != pages.end() && page->bPageSaysBars;
            return result({{"result", {{"type", "object"}, {"value", {bShown, bShown}}}}});
        }
        if (method == "Browser.getWindowForTarget" || method == "Target.closeTarget") {
            if (page == pages.end()) {
                frames.push_back(
                    {R"({"id":)" + request["id"].dump() + R"(,"error":{"code":-32000}})"});
                return frames;
            }
            if (method == "Target.closeTarget") {
                pages.erase(page);
                return result(json::object());
            }
            return result({{"windowId", page->nWindow}});
        }
        return result({{"sessionId", params.value("targetId", "")}, {"executionContextId", 7}});
    }

    std::mutex mutex;
    std::vector<SPage> pages;
    json others = json::array();  // targets that are no page
    std::set<std::string> hungRenderers;
    // Events sent just before the answer to the next request of a method: (method, event).
    std::vector<std::pair<std::string, json>> eventsBefore;
    std::vector<json> eventsCaused;  // by the request being answered, sent before the answer
    std::map<std::string, std::string> waitingIn;  // renderer (its page) -> window held there
    std::map<std::string, std::vector<std::string>> toOpen;  // page -> windows it opens next
    std::set<std::string> stopping;           // sessions whose document requests stop on the way
    std::vector<std::string> askedUnstopped;  // windows whose page was asked for unheld
};

struct SSeen {
    std::string url;
    bool bAddressBar;
    bool bToolBar;
    bool operator==(const SSeen&) const = default;
};

class DevToolsBrowserWindowsTest : public testing::Test {
protected:
    CDevToolsBrowserWindows Collection(
        std::chrono::milliseconds urlWait = CDevToolsBrowser::kAddressGrace,
        std::chrono::milliseconds holdLimit = CDevToolsBrowser::kHoldLimit) {
        return CDevToolsBrowserWindows(CDevToolsDiscovery(m_Server.Endpoint().Url(), {}), kTimeout,
                                       urlWait, holdLimit);
    }
    void SendBefore(const std::string& method, json event) {
        std::lock_guard lock(m_Browser.mutex);
        m_Browser.eventsBefore.emplace_back(method, std::move(event));
    }
    template <typename Edit>
    void Change(Edit change) {
        std::lock_guard lock(m_Browser.mutex);
        change(m_Browser);
    }
    // How often the browser has been asked `method` since the methods were last cleared.
    int Asked(const std::string& method) const {
        return static_cast<int>(std::ranges::count(m_Server.Methods(), method));
    }

    // What one pass over the collection reads, in order; non-windows are left out.
    static std::vector<SSeen> ReadAll(IBrowserWindows& windows) {
        std::vector<SSeen> seen;
        long count = 0;
        EXPECT_EQ(windows.GetCount(&count), S_OK);
        for (long i = 0; i < count; ++i) {
            std::unique_ptr<IBrowserItem> item;
            EXPECT_EQ(windows.Item(i, &item), S_OK);
            std::unique_ptr<IBrowserWindow> window;
            if (!item || item->QueryBrowser(&window) == E_NOINTERFACE) {
                continue;
            }
            SSeen one{};
            EXPECT_EQ(window->GetAddressBar(&one.bAddressBar), S_OK);
            EXPECT_EQ(window->GetToolBar(&one.bToolBar), S_OK);
            EXPECT_EQ(window->GetLocationUrl(&one.url), S_OK);
            seen.push_back(one);
        }
        return seen;
    }
    // The announcements taken in: DevTools hands over no window, its passes read the bars.
    static HRESULT TakeEvents(IBrowserWindows& windows) {
        std::vector<std::unique_ptr<IBrowserItem>> announced;
        const HRESULT hr = windows.TakeEvents(&announced);
        EXPECT_TRUE(announced.empty());
        return hr;
    }

    SFakeBrowser m_Browser;
    CLoopbackServer m_Server{[this](const json& request) { return m_Browser.Answer(request); }};
};

// Page flags are believed, but a page opened without access to its opener (which loses its
// pop-up flag) or whose renderer hangs is judged by whether it got a window of its own.
TEST_F(DevToolsBrowserWindowsTest, BarsComeFromThePageOrFromWhereTheBrowserPutIt) {
    m_Browser.pages = {{"TAB", "https://opener/", 1},
                       {"POPUP", "https://popup/", 2, false, "TAB"},
                       {"NOOPENER-POPUP", "https://noopener-popup/", 3, true, "TAB", false},
                       {"NOOPENER-TAB", "https://noopener-tab/", 1, true, "TAB", false},
                       {"NEW-WINDOW", "https://new-window/", 4, true, "", false},
                       {"HUNG-POPUP", "https://hung-popup/", 5, false, "TAB"},
                       {"HUNG-TAB", "https://hung-tab/", 1, true, "TAB"}};
    m_Browser.hungRenderers = {"HUNG-POPUP", "HUNG-TAB"};
    m_Browser.others = {
        {{"targetId", "U1"}, {"type", "browser_ui"}, {"url", "chrome://omnibox-popup.top-chrome/"}},
        {{"targetId", "W1"}, {"type", "service_worker"}, {"url", "https://a.example/sw.js"}},
        {{"targetId", "R1"}, {"type", "page"}, {"subtype", "prerender"}, {"url", "https://b/"}}};
    CDevToolsBrowserWindows windows = Collection();

    EXPECT_EQ(ReadAll(windows), (std::vector<SSeen>{{"https://opener/", true, true},
                                                    {"https://popup/", false, false},
                                                    {"https://noopener-popup/", false, false},
                                                    {"https://noopener-tab/", true, true},
                                                    {"https://new-window/", true, true},
                                                    {"https://hung-popup/", false, false},
                                                    {"https://hung-tab/", true, true}}));
    long count = 0;
    ASSERT_EQ(windows.GetCount(&count), S_OK);
    EXPECT_EQ(count, 10);
    for (const long i : {-1L, count}) {
        std::unique_ptr<IBrowserItem> beyond;
        EXPECT_EQ(windows.Item(i, &beyond), S_OK);
        EXPECT_EQ(beyond, nullptr);
    }
}

// Windows already seen cost one round trip a pass; a pop-up without an address yet is left
// for the next pass (up to a limit) so that the white list can spare it; Quit closes once.
TEST_F(DevToolsBrowserWindowsTest, EachWindowIsReadOnceJudgedOnItsAddressAndClosedOnce) {
    m_Browser.pages = {{"TAB", "https://opener/", 1},
                       {"POPUP", "https://popup/", 2, false, "TAB"},
                       {"NOOPENER", "https://noopener/", 3, true, "TAB", false}};
    CDevToolsBrowserWindows windows = Collection();
    const std::vector<SSeen> first = ReadAll(windows);
    m_Server.ClearMethods();
    EXPECT_EQ(ReadAll(windows), first);
    EXPECT_EQ(m_Server.Methods(), Strings{"Target.getTargets"});

    std::unique_ptr<IBrowserItem> item;
    ASSERT_EQ(windows.Item(1, &item), S_OK);
    std::unique_ptr<IBrowserWindow> window;
    ASSERT_EQ(item->QueryBrowser(&window), S_OK);
    m_Server.ClearMethods();
    EXPECT_EQ(window->Quit(), S_OK);
    EXPECT_EQ(window->Quit(), S_OK);
    EXPECT_EQ(m_Server.Methods(), Strings{"Target.closeTarget"});
    EXPECT_EQ(ReadAll(windows), (std::vector<SSeen>{first[0], first[2]}));

    Change([](SFakeBrowser& b) { b.pages.push_back({"LATE", "", 5, false, "TAB"}); });
    long count = 0;
    ASSERT_EQ(windows.GetCount(&count), S_OK);
    EXPECT_EQ(windows.Item(2, &item), S_OK);
    EXPECT_EQ(item, nullptr) << "no address yet";
    Change([](SFakeBrowser& b) { b.pages[2].url = "https://white-listed/"; });
    EXPECT_EQ(ReadAll(windows).back(), (SSeen{"https://white-listed/", false, false}));
    m_Server.ClearMethods();
    ReadAll(windows);
    EXPECT_EQ(m_Server.Methods(), Strings{"Target.getTargets"});
    Change([](SFakeBrowser& b) { b.pages[2].url = ""; });
    CDevToolsBrowserWindows impatient = Collection(0ms);
    EXPECT_EQ(ReadAll(impatient).back(), (SSeen{"", false, false}));

    ASSERT_EQ(windows.Item(0, &item), S_OK);
    Change([](SFakeBrowser& b) { b.pages.clear(); });
    ASSERT_EQ(item->QueryBrowser(&window), S_OK);
    EXPECT_EQ(window->Quit(), E_FAIL);
}

// A target list not as the protocol says fails the count; no browser is an empty collection.
TEST_F(DevToolsBrowserWindowsTest, AMalformedTargetListFailsTheCount) {
    for (const json& bad :
         {json{{"type", "page"}, {"url", "x"}},
          json{{"targetId", 5}, {"type", "page"}, {"url", "x"}},
          json{{"targetId", "A"}, {"type", "page"}, {"url", "x"}, {"canAccessOpener", "yes"}},
          json("not an object")}) {
        SCOPED_TRACE(bad.dump());
        Change([&bad](SFakeBrowser& b) { b.others = {bad}; });
        CDevToolsBrowserWindows windows = Collection();
        long count = -1;
        EXPECT_EQ(windows.GetCount(&count), E_FAIL);
        EXPECT_EQ(count, -1);
    }
    CDevToolsBrowserWindows none(CDevToolsDiscovery("http://127.0.0.1:1", {"/nonexistent"}),
                                 kTimeout);
    long count = -1;
    EXPECT_EQ(none.GetCount(&count), S_OK);
    EXPECT_EQ(count, 0);
}

// Only an address the last look did not show calls for a pass (the browser tests show that
// one does); what cannot be read is passed over without harm.
TEST_F(DevToolsBrowserWindowsTest, AnAnnouncementOfNoNewAddressCallsForNoPass) {
    m_Browser.pages = {{"TAB", "https://a/", 1}};
    CDevToolsBrowserWindows windows = Collection();
    long count = 0;
    ASSERT_EQ(windows.GetCount(&count), S_OK);
    EXPECT_EQ(windows.GetEventHandle(), -1) << "not watched yet";
    for (const json& event :
         {Event("Target.targetInfoChanged",
                {{"targetInfo",
                  {{"targetId", "TAB"}, {"type", "page"}, {"title", "t"}, {"url", "https://a/"}}}}),
          Event("Target.targetCreated", {{"targetInfo", Info("NEW", "")}}),
          Event("Target.targetCreated",
                {{"targetInfo",
                  {{"targetId", "W"}, {"type", "worker"}, {"url", "https://a/sw.js"}}}}),
          Event("Target.targetInfoChanged", {{"targetInfo", "x"}}),
          Event("Target.targetDestroyed", {{"targetId", 5}}),
          Event("Target.attachedToTarget", {{"waitingForDebugger", "yes"}}),
          Event("Fetch.requestPaused", {{"requestId", "R"}}, "NOBODY")}) {
        SendBefore("Target.setDiscoverTargets", event);
    }
    windows.WatchEvents(true);
    EXPECT_GE(windows.GetEventHandle(), 0);
    EXPECT_EQ(TakeEvents(windows), S_FALSE);
    EXPECT_EQ(windows.GetCount(&count), S_OK);
}

// A new pop-up is held at its first request until a pass has left it open, or its time is
// up, or watching stops (the browser tests show one closed before its page is asked for).
TEST_F(DevToolsBrowserWindowsTest, AHeldWindowGoesOnOnceJudgedOrWhenItsTimeIsUp) {
    enum class EFate { LeftOpen, NotJudgedInTime, Unwatched };
    for (const EFate eFate : {EFate::LeftOpen, EFate::NotJudgedInTime, EFate::Unwatched}) {
        SCOPED_TRACE(static_cast<int>(eFate));
        Change([](SFakeBrowser& b) {
            b.pages = {{"TAB", "https://opener/", 1}, {"POP", "", 2, false, "TAB"}};
        });
        SendBefore("Target.setAutoAttach", Attached(Info("POP", "", "TAB")));
        SendBefore("Runtime.runIfWaitingForDebugger",
                   Event("Fetch.requestPaused",
                         {{"requestId", "R1"},
                          {"frameId", "POP"},
                          {"request", {{"url", "https://ad/"}, {"method", "GET"}}}},
                         "POP"));
        CDevToolsBrowserWindows windows =
            Collection(CDevToolsBrowser::kAddressGrace,
                       eFate == EFate::NotJudgedInTime ? 0ms : CDevToolsBrowser::kHoldLimit);
        ReadAll(windows);
        windows.WatchEvents(true);
        m_Server.ClearMethods();
        if (eFate == EFate::Unwatched) {
            windows.WatchEvents(false);
            EXPECT_EQ(m_Server.Methods().front(), "Target.setAutoAttach");
        } else {
            EXPECT_EQ(TakeEvents(windows), S_OK) << "the address is known";
            EXPECT_EQ(Asked("Runtime.evaluate"), 1) << "the bars are read before it starts";
            EXPECT_EQ(Asked("Fetch.continueRequest") + Asked("Target.detachFromTarget"), 0)
                << "held for the next pass, however late";
        }
        if (eFate == EFate::LeftOpen) {
            EXPECT_EQ(ReadAll(windows).back(), (SSeen{"https://ad/", false, false}));
        }
        EXPECT_EQ(TakeEvents(windows), S_FALSE);
        EXPECT_EQ(Asked("Runtime.runIfWaitingForDebugger"), 1);
        EXPECT_EQ(Asked("Fetch.continueRequest"), eFate == EFate::Unwatched ? 0 : 1);
        EXPECT_EQ(Asked("Target.detachFromTarget"), 1);
    }
}

// A request to run reaches a window's renderer by any session and lets every window waiting
// there go: a typed window goes on only once the pop-ups its page opened are armed.
TEST_F(DevToolsBrowserWindowsTest, NoNewWindowAsksForItsPageBeforeItIsArmed) {
    m_Browser.pages = {{"TYPED", "https://typed/", 1, true, "", false}};
    m_Browser.toOpen["TYPED"] = {"POP2", "POP3", "POP4"};
    SendBefore("Target.setAutoAttach", Attached(Info("TYPED", "https://typed/")));
    m_Browser.Open("POP1", "TYPED");
    SendBefore("Target.setAutoAttach", std::exchange(m_Browser.eventsCaused, {}).front());
    CDevToolsBrowserWindows windows = Collection();
    windows.WatchEvents(true);
    EXPECT_EQ(TakeEvents(windows), S_OK);
    EXPECT_EQ(ReadAll(windows), (std::vector<SSeen>{{"https://typed/", true, true},
                                                    {"https://ad/POP1", false, false},
                                                    {"https://ad/POP2", false, false},
                                                    {"https://ad/POP3", false, false},
                                                    {"https://ad/POP4", false, false}}));
    EXPECT_EQ(m_Browser.askedUnstopped, Strings{});

    // One announced during a pass goes on during that pass, and a new address announced
    // meanwhile still calls for the next pass.
    Change([](SFakeBrowser& b) { b.pages.push_back({"TYPED2", "https://typed-2/", 3}); });
    SendBefore("Target.getTargets", Attached(Info("TYPED2", "https://typed-2/")));
    SendBefore("Runtime.runIfWaitingForDebugger",
               Event("Target.targetInfoChanged", {{"targetInfo", Info("TYPED", "https://next/")}}));
    ReadAll(windows);
    EXPECT_EQ(TakeEvents(windows), S_OK);
}

}  // namespace
