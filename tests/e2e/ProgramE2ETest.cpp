// The whole program on a real headless Chromium: the main window's passes close a pop-up
// that a page opens and log it, the page's tab stays.
#include <gtest/gtest.h>

#include <QTreeWidget>
#include <QUrl>

#include <chrono>
#include <future>
#include <memory>
#include <string>

#include "app/MainApp.h"
#include "app/MainDialog.h"
#include "engine/UrlList.h"
#include "pages/LogPage.h"
#include "platform/linux/desktop/SystemClock.h"
#include "platform/linux/devtools/DevToolsBrowserWindowsFactory.h"
#include "platform/linux/registry/RegistryHive.h"
#include "store/SettingsStore.h"
#include "support/FakeResourceLookup.h"
#include "support/PageServer.h"
#include "support/QtWait.h"
#include "support/RecordingBeeper.h"
#include "support/RecordingHotKeys.h"
#include "support/RecordingShell.h"
#include "support/RecordingSoundPlayer.h"
#include "support/RecordingTrayHost.h"
#include "support/RefusingAutostart.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempDir.h"
#include "support/TestBrowser.h"

namespace {

constexpr int kBurst = 20;

class ProgramE2E : public testing::Test {
protected:
    ProgramE2E() {
        g_BlackList.RemoveAll();
        g_WhiteList.RemoveAll();
        server.SetPage("/opener.html", kOpenerPage);
        server.SetPage("/plain.html", kPlainPage);
    }

    // Starts the program on a browser that lets a page open several pop-ups per click, as
    // one whose user has allowed the site pop-ups.
    CMainDialog& Start() {
        browser =
            std::make_unique<CTestBrowser>(dir.Path(), server.Url("/plain.html?first"),
                                           std::vector<std::string>{"--disable-popup-blocking"});
        store.WriteRegDword(REGKEY_FIRST, REGVAL_FIRST, 1);
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(dir.Path().string()));
        app = std::make_unique<CMainApp>(services, QStringLiteral("quellio-e2e"));
        EXPECT_TRUE(app->InitInstance());
        return *app->MainDialog();
    }

    // Runs `action` on a thread of its own while the program's event loop goes on: the
    // browser holds each new window until the program has readied it.
    template <class F>
    auto Drive(F action) {
        auto future = std::async(std::launch::async, action);
        EXPECT_TRUE(WaitFor(
            [&future] {
                return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
            },
            kBrowserStateTimeout + kBrowserStateTimeout));
        return future.get();
    }

    CTempDir dir;
    CPageServer server;
    std::unique_ptr<CTestBrowser> browser;
    CRegistryHive hive{dir / "registry.reg"};
    CSettingsStore store{hive};
    CDevToolsBrowserWindowsFactory browsers{CDevToolsDiscovery("", {dir / "profile"}),
                                            kBrowserCallTimeout};
    CScriptedMessageBox messageBox;
    CSystemClock clock;
    CRecordingShell shell;
    CRefusingAutostart autostart;
    CRecordingTrayHost tray;
    CRecordingHotKeys hotKeys;
    CRecordingSoundPlayer sound;
    CRecordingBeeper beeper;
    CFakeResourceLookup resources;
    CMainServices services{store, browsers, messageBox, clock,  shell,    autostart,
                           tray,  hotKeys,  sound,      beeper, resources};
    std::unique_ptr<CMainApp> app;
};

TEST_F(ProgramE2E, APopupOpenedByAPageIsClosedAndLoggedItsOpenerStays) {
    CLogPage& log = *Start().LogPage();
    const std::string opener = server.Url("/opener.html");
    const std::string popup = server.Url("/plain.html?popup");
    CBrowserDriver& driver = browser->Driver();
    Drive([&] {
        driver.RunInPage(driver.OpenWindow(opener), "pop('" + popup + "', 'width=320,height=240')");
    });

    ASSERT_TRUE(WaitFor([&] { return log.GetRowCount() == 1; }, kBrowserStateTimeout));
    const QTreeWidgetItem* row = log.findChild<QTreeWidget*>()->topLevelItem(0);
    EXPECT_EQ(row->text(0).toStdString(), popup);
    EXPECT_TRUE(Drive([&] {
        return driver.WaitForPages([&](const auto& pages) { return !HasPage(pages, popup); },
                                   kBrowserStateTimeout);
    }));
    EXPECT_TRUE(HasPage(Drive([&] { return driver.Pages(); }), opener));
    EXPECT_EQ(log.GetRowCount(), 1) << "the tab is left alone";
}

// A page that opens twenty pop-ups from one click: every one is closed, once, before its
// page is asked for.
TEST_F(ProgramE2E, ABurstOfPopupsFromOneClickIsClosedBeforeAnyPageIsAskedFor) {
    CLogPage& log = *Start().LogPage();
    CBrowserDriver& driver = browser->Driver();
    const std::string opener = Drive([&] { return driver.OpenWindow(server.Url("/opener.html")); });

    Drive([&] {
        driver.RunInPage(opener, "for (let i = 0; i < " + std::to_string(kBurst) + "; ++i) pop('" +
                                     server.Url("/plain.html?burst-") + "' + i, 'popup')");
    });

    ASSERT_TRUE(WaitFor([&] { return log.GetRowCount() == kBurst; }, kBrowserStateTimeout));
    for (int i = 0; i < kBurst; ++i) {
        EXPECT_EQ(server.RequestCount("/plain.html?burst-" + std::to_string(i)), 0) << i;
    }
    EXPECT_TRUE(Drive([&] {
        return driver.WaitForPages([](const auto& pages) { return pages.size() == 2; },
                                   kBrowserStateTimeout);
    })) << "the first tab and the opener stay";
    EXPECT_EQ(log.GetRowCount(), kBurst);
}

}  // namespace
