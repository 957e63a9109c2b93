// The main window on a real X server with a real tray host: the hot key and the tray icon
// as a user meets them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>

#include "Resource.h"
#include "app/MainApp.h"
#include "app/MainDialog.h"
#include "engine/UrlList.h"
#include "pages/GeneralPage.h"
#include "pages/LogPage.h"
#include "platform/linux/desktop/InstanceLock.h"
#include "platform/linux/registry/RegistryHive.h"
#include "platform/qt/SystemTrayHost.h"
#include "platform/qt/X11HotKeys.h"
#include "store/SettingsStore.h"
#include "support/ChildProcess.h"
#include "support/FakeBrowserWindows.h"
#include "support/FakeClock.h"
#include "support/FakeResourceLookup.h"
#include "support/QtWait.h"
#include "support/RecordingBeeper.h"
#include "support/RecordingCleaner.h"
#include "support/RecordingShell.h"
#include "support/RecordingSoundPlayer.h"
#include "support/RefusingAutostart.h"
#include "support/ScopedEnv.h"
#include "support/ScriptedMessageBox.h"
#include "support/ScriptedSteps.h"
#include "support/TempDir.h"
#include "support/TipProfile.h"
#include "support/TrayProbe.h"
#include "widgets/BmpMenu.h"
#include "widgets/SlidingTabCtrl.h"

namespace {

bool Xdotool(std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    return CChildProcess::Run(args) == 0;
}

xcb_atom_t Atom(xcb_connection_t* connection, const char* szName) {
    auto* reply = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(szName)), szName),
        nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// Whether the X server holds `szState` in the window manager state of `window` now. (A
// change of the stay-on-top flag gives the widget a new native window, which only its
// QWindow knows at once.)
bool HasNetWmState(const QWidget& window, const char* szState) {
    auto* connection = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    auto* reply = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, static_cast<xcb_window_t>(window.windowHandle()->winId()),
                         Atom(connection, "_NET_WM_STATE"), XCB_ATOM_ATOM, 0, 64),
        nullptr);
    if (reply == nullptr) {
        return false;
    }
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
    const int nCount = xcb_get_property_value_length(reply) / 4;
    const bool bHas = std::find(atoms, atoms + nCount, Atom(connection, szState)) != atoms + nCount;
    std::free(reply);
    return bHas;
}

class MainDialogX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(probe.StartTrayer());
        store.WriteRegDword(REGKEY_FIRST, REGVAL_FIRST, 1);
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(dir.Path().string()));
        app = std::make_unique<CMainApp>(services, QStringLiteral("quellio-x11-test"));
        TurnOffStartupTips(app->AppName());
        ASSERT_TRUE(app->InitInstance());
        // Docked and painted: the tray has placed the icon where it stays.
        ASSERT_TRUE(WaitFor([this] { return probe.DockedColour().has_value(); }));
    }
    void TearDown() override { app.reset(); }
    CMainDialog& Dialog() { return *app->MainDialog(); }

    // Right-clicks the tray icon and, once the tray menu shows, runs `act` from inside the
    // menu's own loop. Answers the X window of the menu, 0 when it never showed.
    xcb_window_t UseTrayMenu(const std::function<void()>& act) {
        // The tray may still lay its icons out after the first paint.
        ProcessEventsFor(std::chrono::seconds(1));
        const QPoint centre = *probe.DockedCentre();
        xcb_window_t nMenuWindow = 0;
        CScriptedSteps steps({{[] {
                                   auto* menu =
                                       qobject_cast<CBmpMenu*>(QApplication::activePopupWidget());
                                   return menu != nullptr && menu->isVisible();
                               },
                               [&] {
                                   nMenuWindow = static_cast<xcb_window_t>(
                                       QApplication::activePopupWidget()->winId());
                                   act();
                               }}});
        EXPECT_TRUE(Xdotool(
            {"mousemove", std::to_string(centre.x()), std::to_string(centre.y()), "click", "3"}));
        EXPECT_TRUE(WaitFor([&] { return steps.Finished(); }));
        return nMenuWindow;
    }

    CTempDir dir;
    // The profile of the tip of the day.
    CScopedEnv configHome{"XDG_CONFIG_HOME", dir.Path().string()};
    CRegistryHive hive{dir / "registry.reg"};
    CSettingsStore store{hive};
    CFakeBrowserWindows browsers;
    CScriptedMessageBox messageBox;
    CFakeClock clock;
    CRecordingShell shell;
    CRefusingAutostart autostart;
    CSystemTrayHost tray;
    CX11HotKeys hotKeys;
    CRecordingSoundPlayer sound;
    CRecordingBeeper beeper;
    CFakeResourceLookup resources;
    CRecordingCleaner cleaner;
    CMainServices services{store, browsers, messageBox, clock,  shell,    autostart,
                           tray,  hotKeys,  sound,      beeper, resources, cleaner};
    std::unique_ptr<CMainApp> app;
    CTrayProbe probe;
};

TEST_F(MainDialogX11Test, CtrlAltASwitchesBlockingFromAnywhere) {
    ASSERT_TRUE(Xdotool({"key", "ctrl+alt+a"}));
    ASSERT_TRUE(WaitFor([this] { return !Dialog().IsBlocking(); }));
    ASSERT_TRUE(Xdotool({"key", "ctrl+alt+a"}));
    EXPECT_TRUE(WaitFor([this] { return Dialog().IsBlocking(); }));
}

TEST_F(MainDialogX11Test, LeftClickOnTheTrayIconHidesAndShowsTheWindow) {
    // The tray may still lay its icons out after the first paint.
    ProcessEventsFor(std::chrono::seconds(1));
    const QPoint centre = *probe.DockedCentre();
    ASSERT_TRUE(Xdotool(
        {"mousemove", std::to_string(centre.x()), std::to_string(centre.y()), "click", "1"}));
    ASSERT_TRUE(WaitFor([this] { return Dialog().IsWindowHidden() && !Dialog().isVisible(); }));
    // A second click within the double-click time would be a double click.
    ProcessEventsFor(std::chrono::milliseconds(2 * QApplication::doubleClickInterval()));
    ASSERT_TRUE(Xdotool({"click", "1"}));
    EXPECT_TRUE(WaitFor([this] { return Dialog().isVisible(); }));
}

TEST_F(MainDialogX11Test, TrayMenuChoiceFromTheKeyboardShowsTheLogsPage) {
    // Opened over the hidden window and over the active one: the menu's grab of the keyboard
    // takes the focus from the window, which must not close the menu.
    for (const bool bHidden : {true, false}) {
        if (bHidden) {
            Dialog().Hide();
        } else {
            Dialog().OnPageCommand(CMainDialog::PAGE_GENERAL);
            Dialog().activateWindow();
            ASSERT_TRUE(WaitFor([this] { return Dialog().isActiveWindow(); }));
        }
        const xcb_window_t nMenu = UseTrayMenu([] {
            // Typed at once: the highlight moves six rows, past the separator, to "Logs".
            EXPECT_TRUE(Xdotool({"key", "Down", "Down", "Down", "Down", "Down", "Down", "Return"}));
        });
        ASSERT_NE(nMenu, 0U);
        ASSERT_TRUE(WaitFor([this] {
            return Dialog().isVisible() && Dialog().Tabs()->GetCurSel() == CMainDialog::PAGE_LOGS;
        })) << "hidden: "
            << bHidden;
        EXPECT_TRUE(Dialog().LogPage()->isVisible());
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
        EXPECT_FALSE(probe.IsViewable(nMenu));
    }
}

TEST_F(MainDialogX11Test, ClickElsewhereClosesTheTrayMenuWithoutACommand) {
    Dialog().Hide();
    const xcb_window_t nMenu = UseTrayMenu([] {
        EXPECT_TRUE(Xdotool({"mousemove", "20", "300", "click", "1"}));
    });
    ASSERT_NE(nMenu, 0U);
    EXPECT_TRUE(WaitFor([&] { return !probe.IsViewable(nMenu); }));
    ProcessEventsFor(std::chrono::milliseconds(300));
    EXPECT_FALSE(Dialog().isVisible());
    EXPECT_TRUE(Dialog().IsBlocking());
}

TEST_F(MainDialogX11Test, RestartedTrayShowsTheIconWithItsCurrentImage) {
    ASSERT_TRUE(WaitFor([this] { return probe.DockedColour().has_value(); }));
    const QRgb on = *probe.DockedColour();
    Dialog().ToggleBlocking();
    ASSERT_TRUE(WaitFor([&] { return probe.DockedColour().value_or(on) != on; }));
    const QRgb off = *probe.DockedColour();

    ASSERT_TRUE(probe.StopTrayer());
    ASSERT_TRUE(WaitFor([this] { return probe.DockedIcons().empty(); }));
    ASSERT_TRUE(probe.StartTrayer());
    EXPECT_TRUE(WaitFor([&] { return probe.DockedColour() == off; }));
}

TEST_F(MainDialogX11Test, AlwaysOnTopAsksTheWindowManagerToKeepTheWindowAboveAtOnce) {
    QCheckBox* onTop = nullptr;
    for (QCheckBox* box : Dialog().GeneralPage()->findChildren<QCheckBox*>()) {
        if (box->text() == QStringLiteral("Always on top")) {
            onTop = box;
        }
    }
    ASSERT_NE(onTop, nullptr);
    ASSERT_FALSE(HasNetWmState(Dialog(), "_NET_WM_STATE_ABOVE"));
    onTop->click();
    EXPECT_TRUE(WaitFor([this] { return HasNetWmState(Dialog(), "_NET_WM_STATE_ABOVE"); }));
    EXPECT_TRUE(Dialog().isVisible());
    onTop->click();
    EXPECT_TRUE(WaitFor([this] { return !HasNetWmState(Dialog(), "_NET_WM_STATE_ABOVE"); }));
    EXPECT_TRUE(Dialog().isVisible());
}

TEST_F(MainDialogX11Test, TheKillImageIsSeenInTheTrayThenTheStateImageComesBack) {
    // The tray may still lay its icons out after the first paint.
    ProcessEventsFor(std::chrono::seconds(1));
    const QRgb on = *probe.DockedColour();
    Dialog().m_bAnimateIcon = true;
    browsers.Open(CFakeBrowserWindows::Popup("http://ads.example/"));
    ASSERT_TRUE(WaitFor([&] { return probe.DockedColour().value_or(on) != on; }));
    EXPECT_EQ(Dialog().LogPage()->GetRowCount(), 1);
    EXPECT_TRUE(WaitFor([&] { return probe.DockedColour() == on; }));
}

TEST_F(MainDialogX11Test, APageCommandBringsTheWindowInFront) {
    QWidget other;
    other.setWindowTitle(QStringLiteral("a browser"));
    other.setGeometry(Dialog().geometry().adjusted(-20, -20, 20, 20));
    other.show();
    other.raise();
    other.activateWindow();
    ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == &other; }));
    Dialog().OnCommand(ID_MENU_LOGS);
    EXPECT_TRUE(WaitFor([&] { return QApplication::activeWindow() == &Dialog(); }));
    const QPoint centre = Dialog().geometry().center();
    EXPECT_TRUE(WaitFor([&] { return QApplication::topLevelAt(centre) == &Dialog(); }));
}

// A process that never reached its main window, asked to stop while it waits for the
// user: the second start's "Quellio is Running!", or the first-run wizard.
struct CStopCase {
    const char* szName;
    bool bSecondStart;
    int nSignal;
};

void PrintTo(const CStopCase& c, std::ostream* os) {
    *os << c.szName;
}

class StopBeforeTheMainWindow : public testing::TestWithParam<CStopCase> {};

TEST_P(StopBeforeTheMainWindow, LeavesTheStoreAsItWas) {
    const CStopCase& c = GetParam();
    CTempDir dir;
    const std::filesystem::path file = dir / "config" / "Quellio" / "registry.reg";
    {
        CRegistryHive hive(file);
        CSettingsStore store(hive);
        CUrlList list;
        list.Add("http://ads.example/");
        WriteRegList(store, REGKEY_LIST, REGVAL_BLACK, list);
        WriteRegList(store, REGKEY_LIST, REGVAL_WHITE, list);
        store.WriteOption(OPT_SPEED, 25);
        store.WriteRegDword(REGKEY_FIRST, REGVAL_FIRST, c.bSecondStart ? 1 : 0);
    }
    std::ifstream in(file);
    const std::string before{std::istreambuf_iterator<char>(in), {}};
    CInstanceLock first;
    if (c.bSecondStart) {
        ASSERT_EQ(first.Acquire("quellio", dir.Path().string()), CInstanceLock::Result::Acquired);
    }
    CChildProcess program;
    ASSERT_TRUE(program.Start({QUELLIO_EXECUTABLE}, {{"XDG_CONFIG_HOME", (dir / "config").string()},
                                                     {"XDG_RUNTIME_DIR", dir.Path().string()}}));
    const std::string pid = std::to_string(program.Pid());
    ASSERT_TRUE(WaitFor([&] { return Xdotool({"search", "--onlyvisible", "--pid", pid}); }));
    ASSERT_EQ(::kill(program.Pid(), c.nSignal), 0);
    ASSERT_TRUE(WaitFor([&] { return !program.IsRunning(); }));
    std::ifstream after(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(after), {}), before);
}

INSTANTIATE_TEST_SUITE_P(Starts, StopBeforeTheMainWindow,
                         testing::Values(CStopCase{"SecondStartCtrlC", true, SIGINT},
                                         CStopCase{"WizardTerminalClosed", false, SIGHUP}),
                         [](const auto& info) { return std::string(info.param.szName); });

}  // namespace
