// The companion extension at work in real headless browsers, Chromium and Firefox, on pages
// served on 127.0.0.1: the browser starts quellio-bridge through the host manifest Quellio
// writes, and the scanner guards it through the bridge socket alone.
#include "engine/BrowserScanner.h"
#include "engine/UrlList.h"
#include "platform/linux/AllBrowserWindowsFactory.h"
#include "platform/linux/bridge/NativeHostManifests.h"
#include "support/ChildProcess.h"
#include "support/LoopbackServer.h"
#include "support/RecordingReport.h"
#include "support/TempDir.h"
#include "support/TestBrowser.h"
#include "support/TextFile.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <poll.h>

#include <set>

namespace {

namespace fs = std::filesystem;

class ExtensionE2E : public testing::TestWithParam<const char*> {
protected:
    ExtensionE2E() { fs::create_directories(m_Dir / "run"); }

    std::string Url(const std::string& query) const { return m_Server.Url("/plain.html?" + query); }
    fs::path Socket() const { return m_Dir / "run" / "Quellio" / "bridge.sock"; }

    // Starts the browser on `url` with the extension, and the bridge allowed to it.
    void StartBrowser(const std::string& url) {
        const fs::path bridge = QUELLIO_BIN_DIR "/quellio-bridge";
        std::map<std::string, std::string> env = {{"XDG_RUNTIME_DIR", (m_Dir / "run").string()}};
        std::vector<std::string> command;
        if (std::string(GetParam()) == "chromium") {
            const fs::path profile = m_Dir / "profile";
            fs::create_directories(profile);
            ASSERT_EQ(WriteHostManifests({{profile / "NativeMessagingHosts", false}}, bridge), 0);
            command = {QUELLIO_SOURCE_DIR "/scripts/headless-browser",
                       "chromium",
                       "--user-data-dir=" + profile.string(),
                       "--load-extension=" QUELLIO_SOURCE_DIR "/browser-extension",
                       "--disable-popup-blocking",
                       url};
        } else {
            // Firefox reads host manifests from the home folder only, and takes an unsigned
            // add-on dropped into the profile when signatures are not required.
            const fs::path home = m_Dir / "home";
            const fs::path profile = m_Dir / "profile";
            fs::create_directories(home / ".mozilla");
            ASSERT_EQ(
                WriteHostManifests({{home / ".mozilla/native-messaging-hosts", true}}, bridge), 0);
            fs::create_directories(profile / "extensions");
            fs::copy_file(QUELLIO_BIN_DIR "/quellio-companion.xpi",
                          profile / "extensions" / "companion@quellio.github.io.xpi");
            WriteTextFile(profile / "user.js",
                          "user_pref(\"xpinstall.signatures.required\", false);\n"
                          "user_pref(\"extensions.autoDisableScopes\", 0);\n"
                          "user_pref(\"dom.disable_open_during_load\", false);\n"
                          "user_pref(\"datareporting.policy.firstRunURL\", \"\");\n"
                          "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
                          "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n");
            env["HOME"] = home.string();
            command = {"firefox-esr", "--headless",     "--no-remote",
                       "--profile",   profile.string(), url};
        }
        ASSERT_TRUE(m_Browser.Start(command, env, m_Dir / "browser.log"));
    }

    // Runs passes as Quellio does, on announcements and at ticks, until `done` holds.
    bool PassUntil(CBrowserScanner& scanner, const std::function<bool()>& done,
                   std::chrono::milliseconds limit) {
        return WaitUntil(done, limit, [&] {
            pollfd fd{scanner.GetBrowserEventHandle(), POLLIN, 0};
            ::poll(&fd, 1, 100);
            scanner.TakeBrowserEvents();
            EXPECT_EQ(scanner.ScanBrowserWindows(), S_OK);
        });
    }

    static std::set<std::string> OpenAddresses(IBrowserWindowsFactory& factory) {
        std::unique_ptr<IBrowserWindows> windows;
        EXPECT_EQ(factory.CreateBrowserWindows(&windows), S_OK);
        std::set<std::string> urls;
        long count = 0;
        EXPECT_EQ(windows->GetCount(&count), S_OK);
        for (long i = 0; i < count; ++i) {
            std::unique_ptr<IBrowserItem> item;
            std::unique_ptr<IBrowserWindow> window;
            std::string url;
            if (SUCCEEDED(windows->Item(i, &item)) && item &&
                SUCCEEDED(item->QueryBrowser(&window)) && SUCCEEDED(window->GetLocationUrl(&url))) {
                urls.insert(url);
            }
        }
        return urls;
    }

    CTempDir m_Dir;
    CLoopbackServer m_Server;
    CChildProcess m_Browser;
    CUrlList m_Black;
    CUrlList m_White;
    CRecordingReport m_Report;
};

// A page opens two pop-ups, a tab and a white-listed pop-up, then goes to a black-listed
// address: the pop-ups close, the black-listed tab closes, each logged once; the tab and the
// white-listed pop-up stay, and the list pages see them.
TEST_P(ExtensionE2E, PopupsAndABlackListedAddressCloseEachLoggedOnce) {
    m_Server.SetPage("/plain.html", kPlainPage);
    m_Server.SetPage("/scenario.html",
                     "<!doctype html><title>scenario</title><script>"
                     "window.open('" +
                         Url("popup") +
                         "', '_blank', 'popup');"
                         "window.open('" +
                         Url("sized") +
                         "', '_blank', 'width=320,height=240');"
                         "window.open('" +
                         Url("tab") +
                         "', '_blank');"
                         "window.open('" +
                         Url("spared") +
                         "', '_blank', 'popup');"
                         "setTimeout(() => { location.href = '" +
                         Url("black") +
                         "'; }, 1500);"
                         "</script><p>scenario</p>");
    m_White.Add(Url("spared"));
    m_Black.Add(Url("black"));
    CAllBrowserWindowsFactory factory(CDevToolsDiscovery("", {}), Socket());
    CBrowserScanner scanner(factory, m_Black, m_White, m_Report);
    scanner.ConnectBrowserWindows();
    scanner.WatchBrowserEvents(true);
    ASSERT_GE(scanner.GetBrowserEventHandle(), 0);
    ASSERT_NO_FATAL_FAILURE(StartBrowser(m_Server.Url("/scenario.html")));

    const std::multiset<std::string> expected = {Url("popup"), Url("sized"), Url("black")};
    const auto logged = [&] {
        const auto urls = m_Report.Logged();
        return std::multiset<std::string>(urls.begin(), urls.end());
    };
    EXPECT_TRUE(PassUntil(
        scanner, [&] { return logged() == expected; }, 3 * kWaitLimit))
        << "see " << (m_Dir / "browser.log").string();
    const auto open = [&] { return OpenAddresses(factory); };
    EXPECT_TRUE(PassUntil(
        scanner,
        [&] {
            return open() == std::set<std::string>{Url("tab"), Url("spared")};
        },
        kWaitLimit))
        << testing::PrintToString(open());
    EXPECT_EQ(logged(), expected) << "each once";
    EXPECT_EQ(m_Report.m_Events.size(), 2 * expected.size()) << "each log with its signal";
}

INSTANTIATE_TEST_SUITE_P(Browsers, ExtensionE2E, testing::Values("chromium", "firefox-esr"),
                         [](const auto& info) {
                             return std::string(info.param) == "chromium" ? "Chromium" : "Firefox";
                         });

}  // namespace
