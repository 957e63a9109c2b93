// The list pages over a real headless Chromium: what they list and what the scan then does.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QPushButton>

#include <chrono>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/BrowserScanner.h"
#include "engine/KillReport.h"
#include "engine/UrlList.h"
#include "pages/WhiteListPage.h"
#include "platform/linux/devtools/DevToolsBrowserWindowsFactory.h"
#include "support/BrowserDriver.h"
#include "support/LoopbackServer.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempDir.h"
#include "support/TestBrowser.h"
#include "widgets/SortedListBox.h"

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class CRecordingReport : public IKillReport {
public:
    void AddLog(std::string_view url) override { m_urls.emplace_back(url); }
    void SignalKill() override {}

    std::vector<std::string> m_urls;
};

std::set<std::string> Rows(const CSortedListBox& listBox) {
    std::set<std::string> rows;
    for (int i = 0; i < listBox.GetCount(); ++i) {
        rows.insert(listBox.GetText(i));
    }
    return rows;
}

TEST(ListPagesE2E, PageListsTheOpenWindowsAndAPickedPopupOnTheWhiteListSurvivesTheNextPass) {
    g_BlackList.RemoveAll();
    g_WhiteList.RemoveAll();
    CTempDir dir;
    CLoopbackServer server;
    server.SetPage("/opener.html", kOpenerPage);
    server.SetPage("/plain.html", kPlainPage);

    CTestBrowser browser(dir.Path(), server.Url("/plain.html?first"));
    CBrowserDriver& driver = browser.Driver();
    const std::filesystem::path profile = browser.ProfileDir();

    const std::string first = server.Url("/plain.html?first");
    const std::string opener = server.Url("/opener.html");
    const std::string spared = server.Url("/plain.html?spared");
    const std::string killed = server.Url("/plain.html?killed");
    const std::string tab = server.Url("/plain.html?tab");
    const std::filesystem::path file = dir / "folder.html";
    std::ofstream(file) << kPlainPage;
    const std::string fileUrl = "file://" + file.string();
    driver.OpenWindow(fileUrl);
    const std::string openerId = driver.OpenWindow(opener);
    for (const auto& [url, features] : std::map<std::string, std::string>{
             {spared, "popup"}, {killed, "width=320,height=240"}, {tab, ""}}) {
        driver.RunInPage(openerId, "pop('" + url + "', '" + features + "')");
    }
    ASSERT_TRUE(driver.WaitForPages([&](const auto& pages) {
        return HasPage(pages, spared) && HasPage(pages, killed) && HasPage(pages, tab);
    }));

    CDevToolsBrowserWindowsFactory factory(CDevToolsDiscovery("", {profile}), kBrowserCallTimeout);
    CScriptedMessageBox messageBox;
    CWhiteListPage page(factory, messageBox);
    auto& openUrls = *page.findChild<CSortedListBox*>(QStringLiteral("openUrls"));
    page.show();
    EXPECT_EQ(Rows(openUrls), (std::set<std::string>{first, opener, spared, killed, tab}))
        << "every window but the one of the file scheme";
    EXPECT_EQ(openUrls.GetCount(), 5);

    for (int i = 0; i < openUrls.GetCount(); ++i) {
        if (openUrls.GetText(i) == spared) {
            openUrls.setCurrentRow(i);
        }
    }
    page.findChild<QPushButton*>(QStringLiteral("addOpenUrl"))->click();
    EXPECT_THAT(messageBox.Texts(), IsEmpty());
    EXPECT_THAT(g_WhiteList.Entries(), ElementsAre(spared));

    CRecordingReport report;
    CBrowserScanner scanner(factory, g_BlackList, g_WhiteList, report);
    scanner.ConnectBrowserWindows();
    EXPECT_EQ(scanner.ScanBrowserWindows(), S_OK);
    EXPECT_THAT(report.m_urls, ElementsAre(killed));
    EXPECT_TRUE(driver.WaitForPages([&](const auto& pages) { return !HasPage(pages, killed); }));
    EXPECT_TRUE(HasPage(driver.Pages(), spared));

    page.findChild<QPushButton*>(QStringLiteral("refresh"))->click();
    EXPECT_EQ(Rows(openUrls), (std::set<std::string>{first, opener, spared, tab}));
}

}  // namespace
