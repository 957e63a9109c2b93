// The whole program on a real headless Chromium: the main window's timer scans the
// browser, a pop-up that a page opens is closed and logged, the page's tab stays.
#include <gtest/gtest.h>

#include <QTreeWidget>
#include <QUrl>

#include <memory>

#include "app/MainApp.h"
#include "app/MainDialog.h"
#include "engine/UrlList.h"
#include "pages/LogPage.h"
#include "platform/linux/desktop/SystemClock.h"
#include "platform/linux/devtools/DevToolsBrowserWindowsFactory.h"
#include "platform/linux/registry/RegistryHive.h"
#include "store/SettingsStore.h"
#include "support/FakeResourceLookup.h"
#include "support/LoopbackServer.h"
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
#include "support/TipProfile.h"

namespace {

TEST(ProgramE2E, APopupOpenedByAPageIsClosedAndLoggedItsOpenerStays) {
    g_BlackList.RemoveAll();
    g_WhiteList.RemoveAll();
    CTempDir dir;
    CLoopbackServer server;
    server.SetPage("/opener.html", kOpenerPage);
    server.SetPage("/plain.html", kPlainPage);
    CTestBrowser browser(dir.Path(), server.Url("/plain.html?first"));

    CRegistryHive hive(dir / "registry.reg");
    CSettingsStore store(hive);
    store.WriteRegDword(REGKEY_FIRST, REGVAL_FIRST, 1);
    CDevToolsBrowserWindowsFactory browsers(CDevToolsDiscovery("", {browser.ProfileDir()}),
                                            kBrowserCallTimeout);
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
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(dir.Path().string()));
    CMainApp app(services, QStringLiteral("quellio-e2e"));
    TurnOffStartupTips(dir.Path(), app.AppName());
    ASSERT_TRUE(app.InitInstance());
    CLogPage& log = *app.MainDialog()->LogPage();

    const std::string opener = server.Url("/opener.html");
    const std::string popup = server.Url("/plain.html?popup");
    CBrowserDriver& driver = browser.Driver();
    const std::string openerId = driver.OpenWindow(opener);
    driver.RunInPage(openerId, "pop('" + popup + "', 'width=320,height=240')");

    ASSERT_TRUE(WaitFor([&] { return log.GetRowCount() == 1; }));
    const QTreeWidgetItem* row = log.findChild<QTreeWidget*>()->topLevelItem(0);
    EXPECT_EQ(row->text(0).toStdString(), popup);
    EXPECT_TRUE(driver.WaitForPages([&](const auto& pages) { return !HasPage(pages, popup); }));
    EXPECT_TRUE(HasPage(driver.Pages(), opener));
    EXPECT_EQ(log.GetRowCount(), 1) << "the tab is left alone";
}

}  // namespace
