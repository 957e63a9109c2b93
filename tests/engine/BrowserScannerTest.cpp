#include "engine/BrowserScanner.h"

#include "engine/UrlList.h"
#include "support/FakeBrowserWindows.h"
#include "support/RecordingReport.h"

#include <gmock/gmock.h>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Fake = CFakeBrowserWindows;

const std::string kUrl = "http://ads.example/pop?id=1";

// A scanner over a fake collection; every pass must let go of every reference it took.
struct SRig {
    explicit SRig(const std::vector<Fake::Window>& windows = {}) {
        for (const Fake::Window& window : windows) {
            fake.Open(window);
        }
    }
    HRESULT Pass() {
        const HRESULT hr = scanner.ScanBrowserWindows();
        EXPECT_EQ(fake.LiveReferences(), 0);
        return hr;
    }

    Fake fake;
    CUrlList black;
    CUrlList white;
    CRecordingReport report;
    CBrowserScanner scanner{fake, black, white, report};
};

Fake::Window Bars(bool bAddressBar, bool bToolBar) {
    Fake::Window window = Fake::Tab(kUrl);
    window.bAddressBar = bAddressBar;
    window.bToolBar = bToolBar;
    return window;
}

TEST(BrowserScanner, ClosesAndReportsEachWindowAsTheListsSay) {
    const struct {
        const char* name;
        Fake::Window window;
        std::vector<std::string> black;
        std::vector<std::string> white;
        int nKills;  // each a log followed by its signal
    } cases[] = {
        {"tab", Fake::Tab(kUrl), {}, {}, 0},
        {"pop-up", Fake::Popup(kUrl), {}, {}, 1},
        {"no tool bar", Bars(true, false), {}, {}, 1},
        {"no address bar", Bars(false, true), {}, {}, 1},
        {"white-listed pop-up", Fake::Popup(kUrl), {}, {kUrl}, 0},
        {"pop-up, white list of another address", Fake::Popup(kUrl), {}, {kUrl + "&"}, 1},
        {"black-listed tab", Fake::Tab(kUrl), {kUrl}, {}, 1},
        {"black list over white list", Fake::Tab(kUrl), {kUrl}, {kUrl}, 1},
        {"black-listed pop-up, twice", Fake::Popup(kUrl), {kUrl}, {}, 2},
        {"black- and white-listed pop-up", Fake::Popup(kUrl), {kUrl}, {kUrl}, 1},
        {"empty address, empty entry", Fake::Tab(""), {""}, {}, 1},
        {"empty address", Fake::Tab(""), {"x"}, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SRig rig({c.window});
        for (const std::string& url : c.black) {
            rig.black.Add(url);
        }
        for (const std::string& url : c.white) {
            rig.white.Add(url);
        }
        rig.scanner.ConnectBrowserWindows();
        EXPECT_EQ(rig.Pass(), S_OK);
        std::vector<std::string> expected;
        for (int i = 0; i < c.nKills; ++i) {
            expected.insert(expected.end(), {"log " + c.window.url, "signal"});
        }
        EXPECT_EQ(rig.report.m_Events, expected);
        EXPECT_EQ(rig.fake.At(0).nQuits, c.nKills);
    }
}

TEST(BrowserScanner, WithoutACollectionPassesDoNothingAndAFailedReconnectionDropsIt) {
    SRig rig({Fake::Popup(kUrl)});
    EXPECT_EQ(rig.Pass(), E_POINTER);
    rig.scanner.ConnectBrowserWindows();
    rig.fake.m_hrCreate = E_FAIL;
    rig.scanner.ConnectBrowserWindows();
    EXPECT_EQ(rig.Pass(), E_POINTER);
    EXPECT_EQ(rig.fake.m_nCreated, 2);
    EXPECT_EQ(rig.fake.m_nCounts, 0);
    EXPECT_THAT(rig.report.m_Events, IsEmpty());
}

// Windows that are no browser or cannot be read are passed over; a failed count, item,
// view or close ends the pass there, and the next pass tries again.
TEST(BrowserScanner, SkipsWhatItCannotJudgeAndEndsThePassOnAFailedCall) {
    Fake::Window nullItem = Fake::Popup("null");
    nullItem.kind = Fake::Kind::NullItem;
    Fake::Window folder = Fake::Popup("folder");
    folder.kind = Fake::Kind::NotBrowser;
    Fake::Window noBars = Fake::Popup("bars");
    noBars.hrToolBar = E_FAIL;
    Fake::Window noUrl = Fake::Popup("url");
    noUrl.hrUrl = E_TIMEOUT;
    SRig skipping({nullItem, folder, noBars, noUrl, Fake::Popup("last")});
    skipping.scanner.ConnectBrowserWindows();
    EXPECT_EQ(skipping.Pass(), S_OK);
    EXPECT_THAT(skipping.fake.m_ClosedUrls, ElementsAre("last"));

    for (HRESULT Fake::Window::*call :
         {&Fake::Window::hrItem, &Fake::Window::hrQueryBrowser, &Fake::Window::hrQuit}) {
        SRig rig({Fake::Popup("1"), Fake::Popup("2"), Fake::Popup("3"), Fake::Popup("4")});
        rig.fake.At(2).*call = E_FAIL;
        rig.scanner.ConnectBrowserWindows();
        EXPECT_EQ(rig.Pass(), E_FAIL);
        EXPECT_THAT(rig.report.m_Events, ElementsAre("log 1", "signal", "log 2", "signal"));
        EXPECT_EQ(rig.fake.At(3).nQuits, 0);
        rig.fake.At(2).*call = S_OK;
        EXPECT_EQ(rig.Pass(), S_OK);
        EXPECT_THAT(rig.fake.m_ClosedUrls, ElementsAre("1", "2", "3", "4"));
    }

    SRig uncounted({Fake::Popup(kUrl)});
    uncounted.fake.m_hrCount = E_TIMEOUT;
    uncounted.scanner.ConnectBrowserWindows();
    EXPECT_EQ(uncounted.Pass(), E_TIMEOUT);
    EXPECT_THAT(uncounted.report.m_Events, IsEmpty());
}

// The second close of a black-listed pop-up fails: one report, and the pass ends.
TEST(BrowserScanner, AFailedSecondCloseEndsThePassAfterOneReport) {
    struct CFailingReport : CRecordingReport {
        Fake::Window* pWindow = nullptr;
        void AddLog(std::string_view url) override {
            CRecordingReport::AddLog(url);
            pWindow->hrQuit = E_FAIL;
        }
    } report;
    SRig rig({Fake::Popup(kUrl), Fake::Popup("next")});
    rig.black.Add(kUrl);
    report.pWindow = &rig.fake.At(0);
    CBrowserScanner scanner(rig.fake, rig.black, rig.white, report);
    scanner.ConnectBrowserWindows();
    EXPECT_EQ(scanner.ScanBrowserWindows(), E_FAIL);
    EXPECT_THAT(report.m_Events, ElementsAre("log " + kUrl, "signal"));
    EXPECT_EQ(rig.fake.At(1).nQuits, 0);
}

TEST(BrowserScanner, ListChangesCountFromTheNextPassAndAddressesAreReportedWhole) {
    const std::string longUrl = "http://x.example/" + std::string(100000, 'a');
    const std::string binaryUrl("http://y.example/<b>\x01\xff", 23);
    SRig rig({Fake::Popup(kUrl), Fake::Popup(longUrl), Fake::Popup(binaryUrl)});
    for (const std::string& url : {kUrl, longUrl, binaryUrl}) {
        rig.white.Add(url);
    }
    rig.scanner.ConnectBrowserWindows();
    EXPECT_EQ(rig.Pass(), S_OK);
    EXPECT_THAT(rig.report.m_Events, IsEmpty());

    rig.white.RemoveAll();
    EXPECT_EQ(rig.Pass(), S_OK);
    EXPECT_EQ(rig.report.Logged(), (std::vector<std::string>{kUrl, longUrl, binaryUrl}));
}

}  // namespace
