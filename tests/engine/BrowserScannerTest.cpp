#include "engine/BrowserScanner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/KillReport.h"
#include "engine/UrlList.h"
#include "support/FakeBrowserWindows.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Fake = CFakeBrowserWindows;

namespace {

// Records the kill reports as "log <url>" and "signal", in the order they came.
class CRecordingReport : public IKillReport {
public:
    void AddLog(std::string_view url) override { events.push_back("log " + std::string(url)); }
    void SignalKill() override { events.emplace_back("signal"); }
    std::vector<std::string> events;
};

class BrowserScannerTest : public ::testing::Test {
protected:
    HRESULT Pass() {
        const HRESULT hr = scanner.ScanBrowserWindows();
        EXPECT_EQ(fake.LiveReferences(), 0) << "a pass must release every reference it took";
        return hr;
    }

    Fake fake;
    CUrlList black;
    CUrlList white;
    CRecordingReport report;
    CBrowserScanner scanner{fake, black, white, report};
};

struct RuleCase {
    const char* name;
    Fake::Window window;
    std::vector<std::string> black;
    std::vector<std::string> white;
    int nReports;  // rows logged for the window (each followed by its signal)
};

void PrintTo(const RuleCase& c, std::ostream* os) { *os << c.name; }

Fake::Window Bars(bool bAddressBar, bool bToolBar, std::string url) {
    Fake::Window window = Fake::Tab(std::move(url));
    window.bAddressBar = bAddressBar;
    window.bToolBar = bToolBar;
    return window;
}

const char* const kUrl = "http://ads.example/pop?id=1";

class ScanRules : public BrowserScannerTest, public ::testing::WithParamInterface<RuleCase> {};

TEST_P(ScanRules, ClosesAndReportsAsTheListsSay) {
    const RuleCase& c = GetParam();
    for (const auto& url : c.black)
        black.Add(url);
    for (const auto& url : c.white)
        white.Add(url);
    Fake::Window& window = fake.Open(c.window);
    scanner.ConnectBrowserWindows();

    EXPECT_EQ(Pass(), S_OK);

    std::vector<std::string> expected;
    for (int i = 0; i < c.nReports; ++i) {
        expected.push_back("log " + window.url);
        expected.emplace_back("signal");
    }
    EXPECT_EQ(report.events, expected);
    EXPECT_EQ(window.nQuits, c.nReports);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ScanRules,
    ::testing::Values(RuleCase{"TabLeftAlone", Fake::Tab(kUrl), {}, {}, 0},
                      RuleCase{"WhiteListedTabLeftAlone", Fake::Tab(kUrl), {}, {kUrl}, 0},
                      RuleCase{"PopupClosed", Fake::Popup(kUrl), {}, {}, 1},
                      RuleCase{"NoToolBarIsPopup", Bars(true, false, kUrl), {}, {}, 1},
                      RuleCase{"NoAddressBarIsPopup", Bars(false, true, kUrl), {}, {}, 1},
                      RuleCase{"WhiteListedPopupSpared", Fake::Popup(kUrl), {}, {kUrl}, 0},
                      RuleCase{"WhiteListOtherCaseDoesNotSpare",
                               Fake::Popup(kUrl),
                               {},
                               {"http://ads.example/Pop?id=1"},
                               1},
                      RuleCase{"WhiteListTrailingSlashDoesNotSpare",
                               Fake::Popup("http://a.example/"),
                               {},
                               {"http://a.example"},
                               1},
                      RuleCase{"WhiteListWithoutQueryDoesNotSpare",
                               Fake::Popup(kUrl),
                               {},
                               {"http://ads.example/pop"},
                               1},
                      RuleCase{"BlackListedTabClosedOnce", Fake::Tab(kUrl), {kUrl}, {}, 1},
                      RuleCase{"BlackListWinsOverWhiteList", Fake::Tab(kUrl), {kUrl}, {kUrl}, 1},
                      RuleCase{"BlackListedPopupReportedTwice", Fake::Popup(kUrl), {kUrl}, {}, 2},
                      RuleCase{
                          "BlackListedWhiteListedPopupOnce", Fake::Popup(kUrl), {kUrl}, {kUrl}, 1},
                      RuleCase{"EmptyAddressMatchesOnlyEmptyEntry", Fake::Tab(""), {""}, {}, 1},
                      RuleCase{"EmptyAddressNotOnEmptyList", Fake::Tab(""), {"x"}, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BrowserScannerTest, PassesWithoutConnectionDoNothing) {
    fake.m_hrCreate = E_FAIL;
    fake.Open(Fake::Popup(kUrl));
    scanner.ConnectBrowserWindows();

    EXPECT_EQ(Pass(), E_POINTER);
    EXPECT_EQ(Pass(), E_POINTER);
    EXPECT_EQ(fake.m_nCounts, 0);
    EXPECT_THAT(report.events, IsEmpty());
}

TEST_F(BrowserScannerTest, ReconnectingReplacesTheCollection) {
    scanner.ConnectBrowserWindows();
    fake.m_hrCreate = E_FAIL;
    scanner.ConnectBrowserWindows();
    fake.Open(Fake::Popup(kUrl));

    EXPECT_EQ(Pass(), E_POINTER) << "a failed reconnection leaves no collection";
    EXPECT_EQ(fake.m_nCreated, 2);
}

TEST_F(BrowserScannerTest, SkipsNullItemsNonBrowsersAndUnreadableWindows) {
    Fake::Window nullItem = Fake::Popup("null");
    nullItem.kind = Fake::Kind::NullItem;
    Fake::Window folder = Fake::Popup("file:///home");
    folder.kind = Fake::Kind::NotBrowser;
    Fake::Window noBars = Fake::Popup("bars");
    noBars.hrToolBar = E_FAIL;
    Fake::Window noUrl = Fake::Popup("url");
    noUrl.hrUrl = E_TIMEOUT;
    fake.Open(nullItem);
    fake.Open(folder);
    fake.Open(noBars);
    fake.Open(noUrl);
    fake.Open(Fake::Popup("last"));
    scanner.ConnectBrowserWindows();

    EXPECT_EQ(Pass(), S_OK);
    EXPECT_THAT(fake.m_closedUrls, ElementsAre("last"));
}

// Which failure, set on the third of five pop-ups, ends the pass there.
struct EndCase {
    const char* name;
    HRESULT Fake::Window::*call;
};

void PrintTo(const EndCase& c, std::ostream* os) { *os << c.name; }

class PassEndingFailures : public BrowserScannerTest,
                           public ::testing::WithParamInterface<EndCase> {};

TEST_P(PassEndingFailures, EndThePassAndTheNextPassRetries) {
    for (const char* url : {"1", "2", "3", "4", "5"}) {
        fake.Open(Fake::Popup(url));
    }
    fake.At(2).*GetParam().call = E_FAIL;
    scanner.ConnectBrowserWindows();

    EXPECT_EQ(Pass(), E_FAIL);
    EXPECT_THAT(fake.m_closedUrls, ElementsAre("1", "2"));
    EXPECT_THAT(report.events, ElementsAre("log 1", "signal", "log 2", "signal"));
    EXPECT_EQ(fake.At(3).nQuits + fake.At(4).nQuits, 0);

    fake.At(2).*GetParam().call = S_OK;
    EXPECT_EQ(Pass(), S_OK);
    EXPECT_THAT(fake.m_closedUrls, ElementsAre("1", "2", "3", "4", "5"));
}

INSTANTIATE_TEST_SUITE_P(Failures, PassEndingFailures,
                         ::testing::Values(EndCase{"Item", &Fake::Window::hrItem},
                                           EndCase{"QueryBrowser", &Fake::Window::hrQueryBrowser},
                                           EndCase{"Quit", &Fake::Window::hrQuit}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BrowserScannerTest, FailedCountEndsThePass) {
    fake.Open(Fake::Popup(kUrl));
    fake.m_hrCount = E_TIMEOUT;
    scanner.ConnectBrowserWindows();

    EXPECT_EQ(Pass(), E_TIMEOUT);
    EXPECT_THAT(report.events, IsEmpty());
}

TEST_F(BrowserScannerTest, FailedSecondCloseOfBlackListedPopupEndsAfterOneReport) {
    black.Add(kUrl);
    Fake::Window& window = fake.Open(Fake::Popup(kUrl));
    fake.Open(Fake::Popup("next"));
    // The window accepts the first close and refuses the second.
    struct CFailAfterFirstQuit : IKillReport {
        Fake::Window& window;
        CRecordingReport& inner;
        CFailAfterFirstQuit(Fake::Window& w, CRecordingReport& r) : window(w), inner(r) {}
        void AddLog(std::string_view url) override {
            inner.AddLog(url);
            window.hrQuit = E_FAIL;
        }
        void SignalKill() override { inner.SignalKill(); }
    } failing(window, report);
    CBrowserScanner scanner2(fake, black, white, failing);
    scanner2.ConnectBrowserWindows();

    EXPECT_EQ(scanner2.ScanBrowserWindows(), E_FAIL);
    EXPECT_THAT(report.events, ElementsAre("log " + std::string(kUrl), "signal"));
    EXPECT_EQ(fake.At(1).nQuits, 0);
    EXPECT_EQ(fake.LiveReferences(), 0);
}

TEST_F(BrowserScannerTest, ListChangesApplyFromTheNextPass) {
    fake.Open(Fake::Popup(kUrl));
    white.Add(kUrl);
    scanner.ConnectBrowserWindows();
    EXPECT_EQ(Pass(), S_OK);
    EXPECT_THAT(report.events, IsEmpty());

    white.RemoveAll();
    EXPECT_EQ(Pass(), S_OK);
    EXPECT_THAT(fake.m_closedUrls, ElementsAre(kUrl));
}

TEST_F(BrowserScannerTest, LongAndBinaryAddressesAreReportedWhole) {
    const std::string longUrl = "http://x.example/" + std::string(100000, 'a');
    const std::string binaryUrl = std::string("http://y.example/<b>\x01\xff", 23);
    fake.Open(Fake::Popup(longUrl));
    fake.Open(Fake::Popup(binaryUrl));
    scanner.ConnectBrowserWindows();

    EXPECT_EQ(Pass(), S_OK);
    EXPECT_THAT(report.events,
                ElementsAre("log " + longUrl, "signal", "log " + binaryUrl, "signal"));
}

}  // namespace
