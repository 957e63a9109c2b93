#include "engine/BrowserScanner.h"

#include <gmock/gmock.h>

#include "engine/UrlList.h"
#include "support/FakeBrowserWindows.h"
#include "support/RecordingReport.h"

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

// The lists are read at each pass, and addresses are compared and reported whole.
TEST(BrowserScanner, ClosesAndReportsEachWindowAsTheListsSay) {
    const std::string longUrl = "http://x.example/" + std::string(100000, 'a') + "<b>\x01\xff";
    const struct {
        Fake::Window window;
        std::vector<std::string> black, white;
        int nKills;  // each a log followed by its signal
    } cases[] = {{Fake::Tab(kUrl), {}, {}, 0},
                 {Fake::Popup(kUrl), {}, {}, 1},
                 {{.url = kUrl, .bToolBar = false}, {}, {}, 1},
                 {{.url = kUrl, .bAddressBar = false}, {}, {}, 1},
                 {Fake::Popup(kUrl), {}, {kUrl}, 0},
                 {Fake::Popup(kUrl), {}, {kUrl + "&"}, 1},
                 {Fake::Tab(kUrl), {kUrl}, {}, 1},
                 {Fake::Tab(kUrl), {kUrl}, {kUrl}, 1},
                 {Fake::Popup(kUrl), {kUrl}, {}, 2},  // black-listed and a pop-up
                 {Fake::Popup(kUrl), {kUrl}, {kUrl}, 1},
                 {Fake::Tab(""), {""}, {}, 1},
                 {Fake::Tab(""), {"x"}, {}, 0},
                 {Fake::Popup(longUrl), {}, {longUrl.substr(0, 100)}, 1},
                 {Fake::Popup(longUrl), {}, {longUrl}, 0}};
    for (std::size_t n = 0; n < std::size(cases); ++n) {
        SCOPED_TRACE(n);
        const auto& c = cases[n];
        SRig rig({c.window});
        std::ranges::for_each(c.black, [&](const std::string& url) { rig.black.Add(url); });
        std::ranges::for_each(c.white, [&](const std::string& url) { rig.white.Add(url); });
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

// Unreadable windows are passed over; a failed call ends the pass, the next tries again.
TEST(BrowserScanner, SkipsWhatItCannotJudgeAndEndsThePassOnAFailedCall) {
    SRig skipping({{.url = "null", .bAddressBar = false, .kind = Fake::Kind::NullItem},
                   {.url = "folder", .bAddressBar = false, .kind = Fake::Kind::NotBrowser},
                   {.url = "bars", .bAddressBar = false, .hrToolBar = E_FAIL},
                   {.url = "url", .bAddressBar = false, .hrUrl = E_TIMEOUT},
                   Fake::Popup("last")});
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

// Judged at once without a count, one that cannot be closed holding up none; a pass is asked
// for only by an announcement that hands no window over.
TEST(BrowserScanner, AnnouncedWindowsAreJudgedAtOnceWhileWatched) {
    SRig rig;
    rig.white.Add("spared");
    rig.scanner.ConnectBrowserWindows();
    rig.fake.AnnounceWindow(Fake::Popup("unwatched"));
    EXPECT_EQ(rig.scanner.TakeBrowserEvents(), std::nullopt);
    rig.scanner.WatchBrowserEvents(true);
    Fake::Window stuck = Fake::Popup("stuck");
    stuck.hrQuit = E_FAIL;
    for (const Fake::Window& window :
         {stuck, Fake::Popup("pop"), Fake::Tab("tab"), Fake::Popup("spared")}) {
        rig.fake.AnnounceWindow(window);
    }
    EXPECT_EQ(rig.scanner.TakeBrowserEvents(), std::nullopt);
    EXPECT_THAT(rig.fake.m_ClosedUrls, ElementsAre("pop"));
    EXPECT_EQ(rig.fake.At(1).nQuits, 1);
    EXPECT_THAT(rig.report.m_Events, ElementsAre("log pop", "signal"));
    EXPECT_EQ(rig.fake.m_nCounts, 0);
    EXPECT_EQ(rig.fake.LiveReferences(), 0);
    rig.fake.Announce();
    EXPECT_NE(rig.scanner.TakeBrowserEvents(), std::nullopt);
    rig.scanner.DisconnectBrowserWindows();
    rig.scanner.ConnectBrowserWindows();
    rig.fake.AnnounceWindow(Fake::Popup("reconnected"));
    rig.scanner.TakeBrowserEvents();
    EXPECT_THAT(rig.fake.m_ClosedUrls, ElementsAre("pop")) << "a new connection is not watched";
}

}  // namespace
