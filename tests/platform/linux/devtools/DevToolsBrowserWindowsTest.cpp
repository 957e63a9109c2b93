#include "platform/linux/devtools/DevToolsBrowserWindows.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <set>

#include "support/FakeDevToolsServer.h"

using namespace std::chrono_literals;
using nlohmann::json;
using SFrame = CFakeDevToolsServer::SFrame;

namespace {

constexpr auto kTimeout = 300ms;

// A browser as the DevTools service shows it: targets, the window of each page and the
// bars each page reports in its own script world.
struct SFakeBrowser {
    struct SPage {
        SPage(std::string strId, std::string strUrl, int nWindow, bool bBars = true,
              std::string strOpener = {}, bool bAccess = false)
            : id(std::move(strId)),
              url(std::move(strUrl)),
              window(nWindow),
              bPageSaysBars(bBars),
              opener(std::move(strOpener)),
              bCanAccessOpener(bAccess) {}
        std::string id;
        std::string url;
        int window;
        bool bPageSaysBars;  // what locationbar/toolbar.visible say
        std::string opener;
        bool bCanAccessOpener;
    };

    // The events queued for `method`, then the answer.
    std::vector<SFrame> Answer(const json& request) {
        std::lock_guard lock(mutex);
        std::vector<SFrame> frames;
        const std::string method = request.value("method", "");
        std::erase_if(eventsBefore, [&](const auto& entry) {
            if (entry.first == method) {
                frames.push_back({entry.second.dump()});
                return true;
            }
            return false;
        });
        for (SFrame& frame : AnswerOnly(request)) {
            frames.push_back(std::move(frame));
        }
        return frames;
    }

    std::vector<SFrame> AnswerOnly(const json& request) {
        const std::string method = request.value("method", "");
        const json params = request.value("params", json::object());
        auto result = [&request](json value) {
            return std::vector<SFrame>{CFakeDevToolsServer::Result(request, std::move(value))};
        };
        if (method == "Target.getTargets") {
            json infos = json::array();
            for (const SPage& page : pages) {
                json info = {{"targetId", page.id}, {"type", "page"},
                             {"title", ""},         {"url", page.url},
                             {"attached", false},   {"canAccessOpener", page.bCanAccessOpener}};
                if (!page.opener.empty()) {
                    info["openerId"] = page.opener;
                }
                infos.push_back(info);
            }
            for (const json& extra : others) {
                infos.push_back(extra);
            }
            return result({{"targetInfos", infos}});
        }
        if (method == "Target.attachToTarget") {
            return result({{"sessionId", "S-" + params.value("targetId", "")}});
        }
        if (method == "Page.createIsolatedWorld") {
            return result({{"executionContextId", 7}});
        }
        if (method == "Runtime.evaluate") {
            const std::string id = request.value("sessionId", "").substr(2);
            if (hungRenderers.contains(id)) {
                return {};
            }
            const bool bShown = Find(id) != nullptr && Find(id)->bPageSaysBars;
            return result({{"result", {{"type", "object"}, {"value", {bShown, bShown}}}}});
        }
        if (method == "Browser.getWindowForTarget") {
            const SPage* page = Find(params.value("targetId", ""));
            if (page == nullptr) {
                return {{R"({"id":)" + request["id"].dump() + R"(,"error":{"code":-32000}})"}};
            }
            return result({{"windowId", page->window}, {"bounds", json::object()}});
        }
        if (method == "Target.closeTarget") {
            if (std::erase_if(pages, [&params](const SPage& page) {
                    return page.id == params.value("targetId", "");
                }) == 0) {
                return {{R"({"id":)" + request["id"].dump() + R"(,"error":{"code":-32602}})"}};
            }
            return result(json::object());
        }
        return result(json::object());
    }

    const SPage* Find(const std::string& id) const {
        for (const SPage& page : pages) {
            if (page.id == id) {
                return &page;
            }
        }
        return nullptr;
    }

    std::mutex mutex;
    std::vector<SPage> pages;
    std::vector<json> others;
    std::set<std::string> hungRenderers;
    // Events sent just before the answer to the next request of a method: (method, event).
    std::vector<std::pair<std::string, json>> eventsBefore;
};

json Event(const std::string& method, json params, const std::string& session = {}) {
    json event = {{"method", method}, {"params", std::move(params)}};
    if (!session.empty()) {
        event["sessionId"] = session;
    }
    return event;
}

json Info(const std::string& id, const std::string& url, const std::string& type = "page",
          const std::string& title = {}) {
    return {{"targetId", id}, {"type", type},      {"title", title},
            {"url", url},     {"attached", false}, {"canAccessOpener", false}};
}

class DevToolsBrowserWindowsTest : public testing::Test {
protected:
    CDevToolsBrowserWindows Collection(
        std::chrono::milliseconds holdLimit = CDevToolsBrowser::kHoldLimit) {
        return CDevToolsBrowserWindows(CDevToolsDiscovery(m_server.Endpoint().Url(), {}), kTimeout,
                                       CDevToolsBrowser::kAddressGrace, holdLimit);
    }

    void SendBefore(const std::string& method, json event) {
        std::lock_guard lock(m_browser.mutex);
        m_browser.eventsBefore.emplace_back(method, std::move(event));
    }

    struct SSeen {
        std::string url;
        bool bAddressBar;
        bool bToolBar;
        bool operator==(const SSeen&) const = default;
    };

    // What one pass over the collection reads, in order; non-windows are left out.
    std::vector<SSeen> ReadAll(IBrowserWindows& windows) {
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

    SFakeBrowser m_browser;
    CFakeDevToolsServer m_server{[this](const json& request) { return m_browser.Answer(request); }};
};

TEST_F(DevToolsBrowserWindowsTest, OnlyOrdinaryPagesAreBrowserWindows) {
    m_browser.pages = {{"P1", "https://a.example/", 1}};
    m_browser.others = {
        {{"targetId", "U1"}, {"type", "browser_ui"}, {"url", "chrome://omnibox-popup.top-chrome/"}},
        {{"targetId", "W1"}, {"type", "service_worker"}, {"url", "https://a.example/sw.js"}},
        {{"targetId", "R1"}, {"type", "page"}, {"subtype", "prerender"}, {"url", "https://b/"}}};
    CDevToolsBrowserWindows windows = Collection();
    long count = 0;
    ASSERT_EQ(windows.GetCount(&count), S_OK);
    ASSERT_EQ(count, 4);

    std::vector<HRESULT> answers;
    for (long i = 0; i < count; ++i) {
        std::unique_ptr<IBrowserItem> item;
        ASSERT_EQ(windows.Item(i, &item), S_OK);
        std::unique_ptr<IBrowserWindow> window;
        answers.push_back(item->QueryBrowser(&window));
    }
    EXPECT_EQ(answers, (std::vector<HRESULT>{S_OK, E_NOINTERFACE, E_NOINTERFACE, E_NOINTERFACE}));
    std::unique_ptr<IBrowserItem> beyond;
    EXPECT_EQ(windows.Item(count, &beyond), S_OK);
    EXPECT_EQ(beyond, nullptr);
    EXPECT_EQ(windows.Item(-1, &beyond), S_OK);
    EXPECT_EQ(beyond, nullptr);
}

// Page flags are believed, except for pages opened without access to their opener, which
// lose their pop-up flag: those count as pop-ups when they got a window of their own.
TEST_F(DevToolsBrowserWindowsTest, BarsComeFromThePageOrFromWhereTheBrowserPutIt) {
    m_browser.pages = {
        {"TAB", "https://opener/", 1},
        {"POPUP", "https://popup/", 2, false, "TAB", true},
        {"NOOPENER-POPUP", "https://noopener-popup/", 3, true, "TAB", false},
        {"NOOPENER-TAB", "https://noopener-tab/", 1, true, "TAB", false},
        {"NEW-WINDOW", "https://new-window/", 4, true, "", false},
    };
    CDevToolsBrowserWindows windows = Collection();

    EXPECT_EQ(ReadAll(windows), (std::vector<SSeen>{{"https://opener/", true, true},
                                                    {"https://popup/", false, false},
                                                    {"https://noopener-popup/", false, false},
                                                    {"https://noopener-tab/", true, true},
                                                    {"https://new-window/", true, true}}));
}

TEST_F(DevToolsBrowserWindowsTest, HungRendererIsJudgedByItsWindow) {
    m_browser.pages = {{"TAB", "https://opener/", 1},
                       {"POPUP", "https://popup/", 2, false, "TAB", true},
                       {"TAB2", "https://tab/", 1, true, "TAB", true}};
    m_browser.hungRenderers = {"POPUP", "TAB2"};
    CDevToolsBrowserWindows windows = Collection();

    EXPECT_EQ(ReadAll(windows), (std::vector<SSeen>{{"https://opener/", true, true},
                                                    {"https://popup/", false, false},
                                                    {"https://tab/", true, true}}));
}

TEST_F(DevToolsBrowserWindowsTest, KnownWindowsCostOneRoundTripAndAnswerTheSame) {
    m_browser.pages = {{"TAB", "https://opener/", 1},
                       {"POPUP", "https://popup/", 2, false, "TAB", true},
                       {"NOOPENER", "https://noopener/", 3, true, "TAB", false}};
    CDevToolsBrowserWindows windows = Collection();
    const std::vector<SSeen> first = ReadAll(windows);
    m_server.ClearMethods();

    EXPECT_EQ(ReadAll(windows), first);
    EXPECT_EQ(m_server.Methods(), std::vector<std::string>{"Target.getTargets"});

    // A new window is read once, then costs nothing more either.
    {
        std::lock_guard lock(m_browser.mutex);
        m_browser.pages.push_back({"LATE", "https://late/", 5, false, "TAB", true});
    }
    EXPECT_EQ(ReadAll(windows).back(), (SSeen{"https://late/", false, false}));
    m_server.ClearMethods();
    ReadAll(windows);
    EXPECT_EQ(m_server.Methods(), std::vector<std::string>{"Target.getTargets"});
}

// A pop-up caught before its first page arrives has no address yet; judged at once, it
// could not be spared by the white list.
TEST_F(DevToolsBrowserWindowsTest, WindowWithoutAddressWaitsForItThenIsJudgedAnyway) {
    m_browser.pages = {{"TAB", "https://opener/", 1}, {"POPUP", "", 2, false, "TAB", true}};
    CDevToolsBrowserWindows windows = Collection();
    long count = 0;
    ASSERT_EQ(windows.GetCount(&count), S_OK);
    ASSERT_EQ(count, 2);
    std::unique_ptr<IBrowserItem> item;
    EXPECT_EQ(windows.Item(1, &item), S_OK);
    EXPECT_EQ(item, nullptr);

    {
        std::lock_guard lock(m_browser.mutex);
        m_browser.pages[1].url = "https://white-listed/";
    }
    EXPECT_EQ(ReadAll(windows).back(), (SSeen{"https://white-listed/", false, false}));

    CDevToolsBrowserWindows impatient(CDevToolsDiscovery(m_server.Endpoint().Url(), {}), kTimeout,
                                      0ms);
    {
        std::lock_guard lock(m_browser.mutex);
        m_browser.pages[1].url = "";
    }
    EXPECT_EQ(ReadAll(impatient).back(), (SSeen{"", false, false}));
}

TEST_F(DevToolsBrowserWindowsTest, QuitClosesTheTarget) {
    m_browser.pages = {{"TAB", "https://opener/", 1},
                       {"POPUP", "https://popup/", 2, false, "TAB", true}};
    CDevToolsBrowserWindows windows = Collection();
    long count = 0;
    ASSERT_EQ(windows.GetCount(&count), S_OK);
    std::unique_ptr<IBrowserItem> item;
    ASSERT_EQ(windows.Item(1, &item), S_OK);
    std::unique_ptr<IBrowserWindow> window;
    ASSERT_EQ(item->QueryBrowser(&window), S_OK);

    m_server.ClearMethods();
    EXPECT_EQ(window->Quit(), S_OK);
    // A second rule closing the same window in the same pass asks nothing more.
    EXPECT_EQ(window->Quit(), S_OK);

    EXPECT_EQ(m_server.Methods(), std::vector<std::string>{"Target.closeTarget"});
    EXPECT_EQ(ReadAll(windows), (std::vector<SSeen>{{"https://opener/", true, true}}));
    // A window that is gone without Quellio's doing cannot be closed.
    std::unique_ptr<IBrowserItem> stale;
    ASSERT_EQ(windows.Item(0, &stale), S_OK);
    {
        std::lock_guard lock(m_browser.mutex);
        m_browser.pages.clear();
    }
    std::unique_ptr<IBrowserWindow> gone;
    ASSERT_EQ(stale->QueryBrowser(&gone), S_OK);
    EXPECT_EQ(gone->Quit(), E_FAIL);
}

TEST_F(DevToolsBrowserWindowsTest, MalformedTargetListFailsTheCount) {
    for (const json& bad :
         {json{{"type", "page"}, {"url", "x"}},
          json{{"targetId", 5}, {"type", "page"}, {"url", "x"}},
          json{{"targetId", "A"}, {"type", "page"}, {"url", "x"}, {"canAccessOpener", "yes"}},
          json("not an object")}) {
        SCOPED_TRACE(bad.dump());
        {
            std::lock_guard lock(m_browser.mutex);
            m_browser.others = {bad};
        }
        CDevToolsBrowserWindows windows = Collection();
        long count = -1;
        EXPECT_EQ(windows.GetCount(&count), E_FAIL);
        EXPECT_EQ(count, -1);
    }
}

TEST(DevToolsBrowserWindows, NoBrowserAnywhereIsAnEmptyCollection) {
    CDevToolsBrowserWindows windows(CDevToolsDiscovery("http://127.0.0.1:1", {"/nonexistent"}),
                                    kTimeout);
    long count = -1;
    EXPECT_EQ(windows.GetCount(&count), S_OK);
    EXPECT_EQ(count, 0);
}

struct SAnnouncementCase {
    const char* name;
    std::vector<json> events;
    HRESULT expected;
};

void PrintTo(const SAnnouncementCase& c, std::ostream* os) {
    *os << c.name;
}

class Announcement : public DevToolsBrowserWindowsTest,
                     public testing::WithParamInterface<SAnnouncementCase> {};

// Only a window's address that the last look did not show calls for a pass; what cannot be
// read is passed over without harm.
TEST_P(Announcement, CallsForAPassOnlyForANewAddress) {
    m_browser.pages = {{"TAB", "https://a/", 1}};
    CDevToolsBrowserWindows windows = Collection();
    long count = 0;
    ASSERT_EQ(windows.GetCount(&count), S_OK);
    EXPECT_EQ(windows.GetEventHandle(), -1) << "not watched yet";
    for (const json& event : GetParam().events) {
        SendBefore("Target.setDiscoverTargets", event);
    }

    windows.WatchEvents(true);

    EXPECT_GE(windows.GetEventHandle(), 0);
    EXPECT_EQ(windows.TakeEvents(), GetParam().expected);
    EXPECT_EQ(windows.TakeEvents(), S_FALSE) << "taken once";
    EXPECT_EQ(windows.GetCount(&count), S_OK);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Announcement,
    testing::Values(
        SAnnouncementCase{"TitleChanged",
                          {Event("Target.targetInfoChanged",
                                 {{"targetInfo", Info("TAB", "https://a/", "page", "new")}})},
                          S_FALSE},
        SAnnouncementCase{
            "AddressChanged",
            {Event("Target.targetInfoChanged", {{"targetInfo", Info("TAB", "https://b/")}})},
            S_OK},
        SAnnouncementCase{"NewWindowWithoutAddress",
                          {Event("Target.targetCreated", {{"targetInfo", Info("NEW", "")}})},
                          S_FALSE},
        SAnnouncementCase{
            "NewWindowsAddressArrives",
            {Event("Target.targetCreated", {{"targetInfo", Info("NEW", "")}}),
             Event("Target.targetInfoChanged", {{"targetInfo", Info("NEW", "https://new/")}})},
            S_OK},
        SAnnouncementCase{
            "NotAWindow",
            {Event("Target.targetCreated",
                   {{"targetInfo", Info("W1", "https://a/sw.js", "service_worker")}})},
            S_FALSE},
        SAnnouncementCase{"Unreadable",
                          {Event("Target.targetInfoChanged", {{"targetInfo", "x"}}),
                           Event("Target.targetDestroyed", {{"targetId", 5}}),
                           Event("Target.attachedToTarget", {{"waitingForDebugger", "yes"}}),
                           Event("Fetch.requestPaused", {{"requestId", "R"}}, "S-NOBODY")},
                          S_FALSE}),
    [](const auto& info) { return std::string(info.param.name); });

enum class EFate { LeftOpen, Closed, NotJudgedInTime, Unwatched };

struct SHoldCase {
    const char* name;
    EFate eFate;
    // What the browser is asked once the window's first request is held (or, unwatched,
    // while the window still waits to start; or, with no time to wait, from the start).
    std::vector<std::string> methods;
};

void PrintTo(const SHoldCase& c, std::ostream* os) {
    *os << c.name;
}

class HeldWindow : public DevToolsBrowserWindowsTest,
                   public testing::WithParamInterface<SHoldCase> {};

// A new pop-up waits to start while its bars are read, then its first request is stopped:
// a pass sees it with the address it asks for and closes it, or lets it go on.
TEST_P(HeldWindow, IsJudgedOnTheAddressItAsksForThenClosedOrLetGo) {
    m_browser.pages = {{"TAB", "https://opener/", 1}, {"POP", "", 2, false, "TAB", true}};
    json info = Info("POP", "");
    info["openerId"] = "TAB";
    info["canAccessOpener"] = true;
    SendBefore("Target.setAutoAttach",
               Event("Target.attachedToTarget",
                     {{"sessionId", "S-POP"}, {"targetInfo", info}, {"waitingForDebugger", true}}));
    SendBefore("Runtime.runIfWaitingForDebugger",
               Event("Fetch.requestPaused",
                     {{"requestId", "R1"},
                      {"frameId", "POP"},
                      {"resourceType", "Document"},
                      {"request", {{"url", "https://ad/"}, {"method", "GET"}}}},
                     "S-POP"));
    const EFate eFate = GetParam().eFate;
    CDevToolsBrowserWindows windows =
        Collection(eFate == EFate::NotJudgedInTime ? 0ms : CDevToolsBrowser::kHoldLimit);
    long count = 0;
    ASSERT_EQ(windows.GetCount(&count), S_OK);
    windows.WatchEvents(true);
    m_server.ClearMethods();

    if (eFate == EFate::Unwatched) {
        windows.WatchEvents(false);
    } else {
        EXPECT_EQ(windows.TakeEvents(), S_OK);
    }
    if (eFate == EFate::LeftOpen || eFate == EFate::Closed) {
        EXPECT_EQ(m_server.Methods(),
                  (std::vector<std::string>{"Page.createIsolatedWorld", "Runtime.evaluate",
                                            "Fetch.enable", "Runtime.runIfWaitingForDebugger"}));
        m_server.ClearMethods();
    }
    if (eFate == EFate::LeftOpen || eFate == EFate::Closed) {
        ASSERT_EQ(windows.GetCount(&count), S_OK);
        std::unique_ptr<IBrowserItem> item;
        ASSERT_EQ(windows.Item(1, &item), S_OK);
        ASSERT_NE(item, nullptr);
        std::unique_ptr<IBrowserWindow> window;
        ASSERT_EQ(item->QueryBrowser(&window), S_OK);
        std::string url;
        bool bToolBar = true;
        EXPECT_EQ(window->GetLocationUrl(&url), S_OK);
        EXPECT_EQ(url, "https://ad/");
        EXPECT_EQ(window->GetToolBar(&bToolBar), S_OK);
        EXPECT_FALSE(bToolBar);
        if (eFate == EFate::Closed) {
            EXPECT_EQ(window->Quit(), S_OK);
        }
        window.reset();
        EXPECT_EQ(windows.TakeEvents(), S_FALSE);
    }

    EXPECT_EQ(m_server.Methods(), GetParam().methods);
}

INSTANTIATE_TEST_SUITE_P(
    Fates, HeldWindow,
    testing::Values(SHoldCase{"LeftOpen",
                              EFate::LeftOpen,
                              {"Target.getTargets", "Fetch.continueRequest",
                               "Target.detachFromTarget"}},
                    SHoldCase{"Closed", EFate::Closed, {"Target.getTargets", "Target.closeTarget"}},
                    SHoldCase{"NotJudgedInTime",
                              EFate::NotJudgedInTime,
                              {"Page.createIsolatedWorld", "Runtime.evaluate", "Fetch.enable",
                               "Runtime.runIfWaitingForDebugger", "Fetch.continueRequest",
                               "Target.detachFromTarget"}},
                    // New windows stop waiting before the held one is started and its session left,
                    // so none is left waiting with no one to start it.
                    SHoldCase{"Unwatched",
                              EFate::Unwatched,
                              {"Target.setAutoAttach", "Runtime.runIfWaitingForDebugger",
                               "Target.detachFromTarget", "Target.setDiscoverTargets",
                               "Target.setAutoAttach"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
