// The main window on a real X server with a real tray host: the hot key and the tray icon
// as a user meets them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/MainApp.h"
#include "app/MainDialog.h"
#include "pages/GeneralPage.h"
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
#include "support/RecordingShell.h"
#include "support/RecordingSoundPlayer.h"
#include "support/RefusingAutostart.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempDir.h"
#include "support/TipProfile.h"
#include "support/TrayProbe.h"

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
        TurnOffStartupTips(dir.Path(), app->AppName());
        ASSERT_TRUE(app->InitInstance());
        // Docked and painted: the tray has placed the icon where it stays.
        ASSERT_TRUE(WaitFor([this] { return probe.DockedColour().has_value(); }));
    }
    void TearDown() override { app.reset(); }
    CMainDialog& Dialog() { return *app->MainDialog(); }

    CTempDir dir;
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
    CMainServices services{store, browsers, messageBox, clock,  shell,    autostart,
                           tray,  hotKeys,  sound,      beeper, resources};
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

}  // namespace
