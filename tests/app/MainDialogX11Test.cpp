// The main window on a real X server with a real tray host: what only a real desktop
// shows of it.
#include "app/MainDialog.h"

#include <csignal>

#include <QApplication>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include "Resource.h"
#include "pages/LogPage.h"
#include "platform/qt/SystemTrayHost.h"
#include "platform/qt/X11HotKeys.h"
#include "support/ChildProcess.h"
#include "support/Desktop.h"
#include "support/MainRig.h"
#include "support/QtWait.h"
#include "support/ScriptedSteps.h"
#include "support/TextFile.h"
#include "support/TrayProbe.h"
#include "widgets/BmpMenu.h"
#include "widgets/SlidingTabCtrl.h"

namespace {

class MainDialogX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_Probe.StartTrayer());
        m_pDialog = &m_Rig.Start();
        ASSERT_TRUE(WaitFor([this] { return m_Probe.DockedColour().has_value(); }));
    }

    CTrayProbe m_Probe;
    CSystemTrayHost m_SystemTray;
    // The real hot key too: its event filter sees every event the windows get.
    CX11HotKeys m_X11HotKeys;
    CMainRig m_Rig{{.pTray = &m_SystemTray, .pHotKeys = &m_X11HotKeys}};
    CMainDialog* m_pDialog = nullptr;
};

// The kill image stays long enough for the tray to show it.
TEST_F(MainDialogX11Test, TheKillImageIsSeenInTheTrayThenTheStateImageComesBack) {
    ProcessEventsFor(std::chrono::seconds(1));  // the tray may still move its icons
    const QRgb on = *m_Probe.DockedColour();
    m_pDialog->m_bAnimateIcon = true;
    m_Rig.m_Browsers.Open(CFakeBrowserWindows::Popup("http://ads.example/"));
    ASSERT_TRUE(WaitFor([&] { return m_Probe.DockedColour().value_or(on) != on; }));
    EXPECT_EQ(m_pDialog->LogPage()->GetRowCount(), 1);
    EXPECT_TRUE(WaitFor([&] { return m_Probe.DockedColour() == on; }));
}

// Opened over the active window, the tray menu's grab of the keyboard takes the focus from
// the window, which does not close the menu; the hot key switches blocking while the menu
// holds the keyboard, and the menu stays. A real click elsewhere closes it.
TEST_F(MainDialogX11Test, HotKeyWorksInTheTrayMenuAndAClickElsewhereClosesIt) {
    m_pDialog->OnPageCommand(CMainDialog::PAGE_GENERAL);
    m_pDialog->activateWindow();
    ASSERT_TRUE(WaitFor([this] { return m_pDialog->isActiveWindow(); }));
    ProcessEventsFor(std::chrono::seconds(1));  // the tray may still move its icons
    const QPoint icon = *m_Probe.DockedCentre();
    const auto menu = [] { return qobject_cast<CBmpMenu*>(QApplication::activePopupWidget()); };
    xcb_window_t nMenu = 0;
    CScriptedSteps steps({{[&] { return menu() != nullptr && menu()->isVisible(); },
                           [&] {
                               nMenu = static_cast<xcb_window_t>(menu()->winId());
                               EXPECT_TRUE(Xdotool({"key", "ctrl+alt+a"}));
                               EXPECT_TRUE(WaitFor([this] { return !m_pDialog->IsBlocking(); }));
                               EXPECT_TRUE(menu() != nullptr && !menu()->IsClosing());
                               EXPECT_TRUE(Xdotool({"mousemove", "20", "300", "click", "1"}));
                           }}});
    EXPECT_TRUE(
        Xdotool({"mousemove", std::to_string(icon.x()), std::to_string(icon.y()), "click", "3"}));
    ASSERT_TRUE(WaitFor([&] { return steps.Finished(); }));
    EXPECT_TRUE(WaitFor([&] { return !m_Probe.IsViewable(nMenu); }));
    ProcessEventsFor(std::chrono::milliseconds(300));
    EXPECT_TRUE(m_pDialog->isVisible());
    EXPECT_EQ(m_pDialog->Tabs()->GetCurSel(), CMainDialog::PAGE_GENERAL);
    EXPECT_FALSE(m_pDialog->IsBlocking()) << "switched once, by the hot key alone";
}

TEST_F(MainDialogX11Test, APageCommandBringsTheWindowInFront) {
    QWidget other;
    other.setWindowTitle(QStringLiteral("a browser"));
    other.setGeometry(m_pDialog->geometry().adjusted(-20, -20, 20, 20));
    other.show();
    other.raise();
    other.activateWindow();
    ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == &other; }));
    m_pDialog->OnCommand(ID_MENU_LOGS);
    EXPECT_TRUE(WaitFor([&] { return QApplication::activeWindow() == m_pDialog; }));
    const QPoint centre = m_pDialog->geometry().center();
    EXPECT_TRUE(WaitFor([&] { return QApplication::topLevelAt(centre) == m_pDialog; }));
}

// A process that never reached its main window, asked to stop while it waits for the
// user (the second start's "Quellio is Running!", or the first-run wizard), leaves the
// store as it was.
TEST(StopBeforeTheMainWindow, LeavesTheStoreAsItWas) {
    for (const auto& [bSecondStart, nSignal] : {std::pair{true, SIGINT}, {false, SIGHUP}}) {
        SCOPED_TRACE(bSecondStart ? "second start, Ctrl+C" : "first-run wizard, terminal closed");
        CMainRig rig;
        const std::filesystem::path file = rig.m_Dir / "config" / "Quellio" / "registry.reg";
        {
            CRegistryHive hive(file);
            CSettingsStore store(hive);
            CUrlList list;
            list.Add("http://ads.example/");
            WriteRegList(store, REGKEY_LIST, REGVAL_BLACK, list);
            WriteRegList(store, REGKEY_LIST, REGVAL_WHITE, list);
            store.WriteOption(OPT_SPEED, 25);
            store.WriteRegDword(REGKEY_FIRST, REGVAL_FIRST, bSecondStart ? 1 : 0);
        }
        const std::string before = ReadTextFile(file);
        CInstanceLock first;
        ASSERT_TRUE(!bSecondStart || first.Acquire("quellio") == CInstanceLock::Result::Acquired);
        CChildProcess program;
        ASSERT_TRUE(program.Start({QUELLIO_EXECUTABLE},
                                  {{"XDG_CONFIG_HOME", (rig.m_Dir / "config").string()}}));
        const std::string pid = std::to_string(program.Pid());
        ASSERT_TRUE(WaitFor([&] { return Xdotool({"search", "--onlyvisible", "--pid", pid}); }));
        ASSERT_EQ(::kill(program.Pid(), nSignal), 0);
        ASSERT_TRUE(WaitFor([&] { return !program.IsRunning(); }));
        EXPECT_EQ(ReadTextFile(file), before);
    }
}

}  // namespace
