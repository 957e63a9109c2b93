// The collection over the extension, judged by the real scanner, with the test as the
// browser's extension.
#include "platform/linux/bridge/ExtensionBrowserWindows.h"

#include <gtest/gtest.h>

#include "engine/BrowserScanner.h"
#include "engine/UrlList.h"
#include "platform/linux/bridge/BridgeSocket.h"
#include "support/FramedPeer.h"
#include "support/RecordingReport.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"

namespace {

using nlohmann::json;

class CSharedFactory : public IBrowserWindowsFactory {
public:
    explicit CSharedFactory(std::shared_ptr<CExtensionBrowsers> pBrowsers)
        : m_pBrowsers(std::move(pBrowsers)) {}
    HRESULT CreateBrowserWindows(std::unique_ptr<IBrowserWindows>* windows) override {
        *windows = std::make_unique<CExtensionBrowserWindows>(m_pBrowsers);
        return S_OK;
    }

private:
    std::shared_ptr<CExtensionBrowsers> m_pBrowsers;
};

json Tab(std::int64_t nId, std::int64_t nWindowId, const std::string& url, bool bHeld) {
    return {{"type", "tab"},
            {"tab",
             {{"id", nId},
              {"windowId", nWindowId},
              {"url", url},
              {"opener", nullptr},
              {"held", bHeld}}}};
}
json Window(std::int64_t nId, const char* type) {
    return {{"type", "window"}, {"window", {{"id", nId}, {"type", type}}}};
}

// While the scanner watches, the extension holds new tabs' first pages. Each tab it
// announces is judged at once, without a pass: the page of a tab left open goes on once, and
// a tab or pop-up closed is never let go (the extension cancels its page). A look from
// another collection, as the list pages take, lets nothing go; a later pass closes nothing
// twice. Stopping the watch tells the extension.
TEST(ExtensionBrowserWindows, AnnouncedTabsAreJudgedAtOnceAndHeldPagesGoOnOnlyWhenLeftOpen) {
    CTempDir dir;
    std::filesystem::create_directories(dir.Path() / "run");
    const std::filesystem::path socket = dir.Path() / "run" / "Quellio" / "bridge.sock";
    CSharedFactory factory(std::make_shared<CExtensionBrowsers>(socket));
    CUrlList black;
    CUrlList white;
    black.Add("http://black/");
    white.Add("http://spared/");
    CRecordingReport report;
    CBrowserScanner scanner(factory, black, white, report);
    scanner.ConnectBrowserWindows();
    scanner.WatchBrowserEvents(true);
    ASSERT_GE(scanner.GetBrowserEventHandle(), 0);

    CFramedPeer extension(ConnectBridgeSocket(socket));
    for (const json& message :
         {json{{"type", "hello"}, {"browser", {{"name", "C"}, {"version", "1"}, {"profile", "p"}}}},
          json{{"type", "ready"}}, Window(1, "normal"), Window(5, "popup"), Window(6, "popup"),
          Window(8, "popup"), Tab(2, 1, "http://page/", true), Tab(3, 5, "http://ad/", true),
          Tab(4, 6, "http://spared/", true), Tab(7, 1, "http://black/", true),
          Tab(9, 8, "http://other-ad/", false), Tab(10, 1, "http://plain/", false)}) {
        extension.Send(message);
    }
    ASSERT_TRUE(WaitUntil([&] {
        scanner.TakeBrowserEvents();
        std::unique_ptr<IBrowserWindows> look;
        long nCount = 0;
        factory.CreateBrowserWindows(&look);
        look->GetCount(&nCount);
        for (long i = 0; i < nCount; ++i) {
            std::unique_ptr<IBrowserItem> item;
            std::unique_ptr<IBrowserWindow> window;
            look->Item(i, &item);
            item->QueryBrowser(&window);
        }
        return nCount == 3 && report.Logged().size() == 3;
    }));
    ASSERT_EQ(scanner.ScanBrowserWindows(), S_OK);
    scanner.WatchBrowserEvents(false);

    std::vector<json> told;
    while (told.empty() || told.back()["type"] != "watch" || told.back()["on"] != false) {
        const std::optional<json> message = extension.Receive();
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
}

}  // namespace
