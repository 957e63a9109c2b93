#include "app/MainDialog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include "Resource.h"
#include "app/MainApp.h"
#include "engine/UrlList.h"
#include "pages/AboutPage.h"
#include "pages/GeneralPage.h"
#include "pages/LogPage.h"
#include "pages/TipOfDayDlg.h"
#include "platform/linux/desktop/InstanceLock.h"
#include "platform/linux/registry/RegistryHive.h"
#include "platform/qt/AppResources.h"
#include "store/SettingsStore.h"
#include "support/FakeBrowserWindows.h"
#include "support/FakeClock.h"
#include "support/FakeResourceLookup.h"
#include "support/QtWait.h"
#include "support/RecordingBeeper.h"
#include "support/RecordingCleaner.h"
#include "support/RecordingHotKeys.h"
#include "support/RecordingShell.h"
#include "support/RecordingSoundPlayer.h"
#include "support/RecordingTrayHost.h"
#include "support/RefusingAutostart.h"
#include "support/ScopedEnv.h"
#include "support/ScriptedMessageBox.h"
#include "support/ScriptedSteps.h"
#include "support/TempDir.h"
#include "support/TipProfile.h"
#include "widgets/BmpMenu.h"
#include "widgets/BmpMenuToolBar.h"
#include "widgets/MailLink.h"
#include "widgets/SlidingTabCtrl.h"
#include "widgets/SortedListBox.h"
#include "widgets/UrlLink.h"

using ::testing::ElementsAre;

namespace {

class MainDialogTest : public ::testing::Test {
protected:
    MainDialogTest() {
        g_BlackList.RemoveAll();
        g_WhiteList.RemoveAll();
    }
    ~MainDialogTest() override {
        g_BlackList.RemoveAll();
        g_WhiteList.RemoveAll();
    }

    // Starts the application as far as the running main window, without the tip of the day
    // unless asked for.
    CMainDialog& Start(bool bStartupTip = false) {
        store.WriteRegDword(REGKEY_FIRST, REGVAL_FIRST, 1);
        app = std::make_unique<CMainApp>(services, QStringLiteral("quellio-test"));
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(dir.Path().string()));
        if (!bStartupTip) {
            TurnOffStartupTips(app->AppName());
        }
        EXPECT_TRUE(app->InitInstance());
        return *app->MainDialog();
    }

    // An exit makes every modal loop return at once until the main loop has run again, as
    // it would for a new start of the program.
    static void ForgetEarlierExit() {
        QTimer::singleShot(0, qApp, [] { QCoreApplication::quit(); });
        QCoreApplication::exec();
    }

    template <typename T>
    T* Child(CMainDialog& dialog, const QString& text) {
        for (T* child : dialog.findChildren<T*>()) {
            if (child->text() == text)
                return child;
        }
        ADD_FAILURE() << "no control " << text.toStdString();
        return nullptr;
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
    CRecordingTrayHost tray;
    CRecordingHotKeys hotKeys;
    CRecordingSoundPlayer sound;
    CRecordingBeeper beeper;
    CFakeResourceLookup resources;
    CRecordingCleaner cleaner;
    CMainServices services{store, browsers, messageBox, clock,  shell,     autostart,
                           tray,  hotKeys,  sound,      beeper, resources, cleaner};
    std::unique_ptr<CMainApp> app;
};

TEST_F(MainDialogTest, LaysOutTheWindowAndItsSixPages) {
    CMainDialog& dialog = Start();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Quellio 2.1"));
    // The inside of a 370 x 375 window under a usual frame: as wide a margin right of the
    // controls as left of them, and no wider band below them.
    QRect used;
    for (const QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        used |= child->geometry();
    }
    EXPECT_EQ(dialog.width() - 1 - used.right(), used.left());
    EXPECT_LE(dialog.height() - 1 - used.bottom(), used.top());
    EXPECT_EQ(dialog.Tabs()->geometry(), QRect(10, 10, 344, 300));
    EXPECT_EQ(Child<QLabel>(dialog, QStringLiteral("Technical Support: "))->geometry(),
              QRect(60, 315, 150, 15));
    EXPECT_EQ(Child<QPushButton>(dialog, QStringLiteral("Hide"))->geometry(),
              QRect(258, 320, 44, 20));
    EXPECT_EQ(Child<QPushButton>(dialog, QStringLiteral("Exit"))->geometry(),
              QRect(310, 320, 44, 20));

    std::vector<std::string> captions;
    for (int i = 0; i < dialog.Tabs()->TabBar()->count(); ++i) {
        captions.push_back(dialog.Tabs()->TabBar()->tabText(i).toStdString());
    }
    EXPECT_THAT(captions,
                ElementsAre("General", "History", "BlackList", "WhiteList", "Logs", "About"));
    EXPECT_EQ(dialog.Tabs()->GetPage(CMainDialog::PAGE_LOGS), dialog.LogPage());
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(MainDialogTest, StartsHiddenWhenAskedToAndLoadsTheStoredLists) {
    CUrlList white;
    white.Add("http://spared.example/");
    WriteRegList(store, REGKEY_LIST, REGVAL_WHITE, white);
    store.WriteOption(OPT_MINSTART, 1);

    CMainDialog& dialog = Start();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.IsWindowHidden());
    EXPECT_THAT(g_WhiteList.Entries(), ElementsAre("http://spared.example/"));
}

TEST_F(MainDialogTest, TimerScansAndKillsLandInTheLog) {
    g_WhiteList.Add("http://spared.example/");
    WriteRegList(store, REGKEY_LIST, REGVAL_WHITE, g_WhiteList);
    browsers.Open(CFakeBrowserWindows::Popup("http://ads.example/"));
    browsers.Open(CFakeBrowserWindows::Popup("http://spared.example/"));
    browsers.Open(CFakeBrowserWindows::Tab("http://news.example/"));
    clock.Set(9, 5, 7);

    CMainDialog& dialog = Start();
    ASSERT_TRUE(WaitFor([&] { return dialog.LogPage()->GetRowCount() == 1; }));
    auto* log = dialog.LogPage()->findChild<QTreeWidget*>();
    EXPECT_EQ(log->topLevelItem(0)->text(0), QStringLiteral("http://ads.example/"));
    EXPECT_EQ(log->topLevelItem(0)->text(1), QStringLiteral("9/5/7"));
    EXPECT_EQ(browsers.OpenCount(), 2U);
}

TEST_F(MainDialogTest, ListPagesReadTheOpenWindowsAndTheListsWhenShown) {
    g_BlackList.Add("http://bad.example/");
    WriteRegList(store, REGKEY_LIST, REGVAL_BLACK, g_BlackList);
    browsers.Open(CFakeBrowserWindows::Tab("http://news.example/"));
    CMainDialog& dialog = Start();
    auto rows = [&](int nPage, const char* szListBox) {
        std::vector<std::string> texts;
        const auto* listBox = dialog.Tabs()->GetPage(nPage)->findChild<CSortedListBox*>(
            QString::fromLatin1(szListBox));
        if (listBox == nullptr) {
            ADD_FAILURE() << "no list box " << szListBox << " on page " << nPage;
            return texts;
        }
        for (int i = 0; i < listBox->GetCount(); ++i) {
            texts.push_back(listBox->GetText(i));
        }
        return texts;
    };
    EXPECT_THAT(rows(CMainDialog::PAGE_BLACKLIST, "urls"), ElementsAre("http://bad.example/"));
    EXPECT_THAT(rows(CMainDialog::PAGE_BLACKLIST, "openUrls"), ElementsAre());

    dialog.OnPageCommand(CMainDialog::PAGE_BLACKLIST);
    EXPECT_THAT(rows(CMainDialog::PAGE_BLACKLIST, "openUrls"), ElementsAre("http://news.example/"));

    // As the Logs page adds to the white list behind the white list page's back.
    g_WhiteList.Add("http://from-log.example/");
    dialog.OnPageCommand(CMainDialog::PAGE_WHITELIST);
    EXPECT_THAT(rows(CMainDialog::PAGE_WHITELIST, "urls"), ElementsAre("http://from-log.example/"));
    EXPECT_THAT(rows(CMainDialog::PAGE_WHITELIST, "openUrls"), ElementsAre("http://news.example/"));
}

TEST_F(MainDialogTest, ClosingHidesAndKeysNeitherHideNorExit) {
    CMainDialog& dialog = Start();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(&dialog, key);
        EXPECT_TRUE(dialog.isVisible()) << "key " << key;
    }
    // Nor does Enter press a button that has the focus, on any page.
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        bool bClicked = false;
        const auto connection =
            QObject::connect(button, &QPushButton::clicked, [&bClicked] { bClicked = true; });
        QTest::keyClick(button, Qt::Key_Return);
        QObject::disconnect(connection);
        EXPECT_FALSE(bClicked) << button->text().toStdString();
    }
    dialog.close();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.IsWindowHidden());
    // The scan's connection and each list page's own, made once.
    EXPECT_EQ(browsers.m_nCreated, 3) << "hiding does not stop the program";
}

TEST_F(MainDialogTest, TrayLeftButtonShowsAndHides) {
    store.WriteOption(OPT_MINSTART, 1);
    CMainDialog& dialog = Start();
    dialog.OnTrayLeftButton();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        << "brought to the front, not kept on top";
    dialog.OnTrayLeftButton();
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(MainDialogTest, PageCommandShowsTheHiddenWindowOnThatPage) {
    store.WriteOption(OPT_MINSTART, 1);
    CMainDialog& dialog = Start();
    dialog.OnPageCommand(CMainDialog::PAGE_LOGS);

    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.IsWindowHidden());
    EXPECT_EQ(dialog.Tabs()->GetCurSel(), CMainDialog::PAGE_LOGS);
    EXPECT_FALSE(dialog.Tabs()->IsSliding());
    for (int i = 0; i < dialog.Tabs()->GetPageCount(); ++i) {
        EXPECT_EQ(dialog.Tabs()->GetPage(i)->isVisible(), i == CMainDialog::PAGE_LOGS) << i;
    }
    dialog.OnTrayLeftButton();
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(MainDialogTest, F1OpensTheHelpBesideTheExecutableShiftF1DoesNot) {
    CMainDialog& dialog = Start();
    QTest::keyClick(&dialog, Qt::Key_F1, Qt::ShiftModifier);
    EXPECT_TRUE(shell.m_Opened.empty());
    QTest::keyClick(&dialog, Qt::Key_F1);
    ASSERT_EQ(shell.m_Opened.size(), 1U);
    EXPECT_EQ(shell.m_Opened[0].toLocalFile(),
              QCoreApplication::applicationDirPath() + QStringLiteral("/Quellio.html"));
}

TEST_F(MainDialogTest, ExitSavesSpeedAndBothLists) {
    CMainDialog& dialog = Start();
    g_BlackList.Add("http://b.example/");
    g_WhiteList.Add("http://w.example/");
    app->m_nAppSpeed = 25;
    dialog.ExitProgram();

    EXPECT_EQ(store.ReadOption(OPT_SPEED), 25U);
    CUrlList black;
    CUrlList white;
    EXPECT_TRUE(ReadRegList(store, REGKEY_LIST, REGVAL_BLACK, black));
    EXPECT_TRUE(ReadRegList(store, REGKEY_LIST, REGVAL_WHITE, white));
    EXPECT_THAT(black.Entries(), ElementsAre("http://b.example/"));
    EXPECT_THAT(white.Entries(), ElementsAre("http://w.example/"));
    EXPECT_FALSE(dialog.isVisible());
}

// Clean time "starting": a pass before the main window exists, whether or not a kind is
// chosen, and another from the History page when one is.
TEST_F(MainDialogTest, StartupCleansBeforeTheWindowAndAgainFromTheHistoryPage) {
    const struct {
        DWORD nCleanTime;
        bool bCookies;
        std::vector<bool> windowAtPass;
        std::size_t nPasses;
    } cases[] = {{CLEAN_TIME_STARTING, true, {false, true}, 2},
                 {CLEAN_TIME_STARTING, false, {}, 1},
                 {CLEAN_TIME_RUNNING, true, {}, 0},
                 {CLEAN_TIME_CLOSING, true, {}, 0}};
    for (const auto& test : cases) {
        store.WriteOption(OPT_CLEANTIME, test.nCleanTime);
        store.WriteOption(OPT_KILLCOOKIES, test.bCookies ? 1 : 0);
        std::vector<bool> windowAtPass;
        // The user-interface thread waits in the pass's dialog meanwhile.
        cleaner.OnCall("CleanCookies", [&](ICleanReport*, std::stop_token) {
            windowAtPass.push_back(app->MainDialog() != nullptr);
        });
        const std::size_t nBoxes = messageBox.Boxes().size();
        app.reset();
        ForgetEarlierExit();
        Start();
        EXPECT_EQ(windowAtPass, test.windowAtPass) << test.nCleanTime << test.bCookies;
        EXPECT_EQ(messageBox.Boxes().size() - nBoxes, test.nPasses);
    }
}

// A stop asked for while the start-up pass runs ends start-up there: no main window, no
// second pass, no completion message.
TEST_F(MainDialogTest, StopDuringTheStartupPassEndsStartUp) {
    store.WriteRegDword(REGKEY_FIRST, REGVAL_FIRST, 1);
    store.WriteOption(OPT_CLEANTIME, CLEAN_TIME_STARTING);
    store.WriteOption(OPT_KILLCOOKIES, 1);
    cleaner.OnCall("CleanCookies", [&](ICleanReport*, std::stop_token) {
        QMetaObject::invokeMethod(
            qApp, [&] { app->Stop(); }, Qt::QueuedConnection);
    });
    ForgetEarlierExit();
    app = std::make_unique<CMainApp>(services, QStringLiteral("quellio-test"));
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(dir.Path().string()));
    EXPECT_FALSE(app->InitInstance());
    EXPECT_EQ(app->MainDialog(), nullptr);
    app.reset();
    EXPECT_THAT(cleaner.Calls(), ElementsAre("CleanCookies"));
    EXPECT_TRUE(messageBox.Boxes().empty());
}

// The clean time is read from the store at exit; the pass comes after the settings are saved.
TEST_F(MainDialogTest, ExitCleansWhenTheCleanTimeIsClosingAndAKindIsChosen) {
    const struct {
        DWORD nCleanTime;
        bool bCookies;
        bool bPass;
    } cases[] = {{CLEAN_TIME_CLOSING, true, true},
                 {CLEAN_TIME_CLOSING, false, false},
                 {CLEAN_TIME_RUNNING, true, false},
                 {0, true, false}};
    for (const auto& test : cases) {
        app.reset();
        ForgetEarlierExit();
        store.WriteOption(OPT_KILLCOOKIES, test.bCookies ? 1 : 0);
        CMainDialog& dialog = Start();
        store.WriteOption(OPT_CLEANTIME, test.nCleanTime);
        app->m_nAppSpeed = 27;
        DWORD nSpeedAtPass = 0;
        cleaner.OnCall("CleanCookies", [&](ICleanReport*, std::stop_token) {
            nSpeedAtPass = store.ReadOption(OPT_SPEED);
        });
        const std::size_t nCalls = cleaner.Calls().size();
        dialog.ExitProgram();
        EXPECT_EQ(cleaner.Calls().size() - nCalls, test.bPass ? 1U : 0U) << test.nCleanTime;
        EXPECT_EQ(nSpeedAtPass, test.bPass ? 27U : 0U);
        EXPECT_FALSE(dialog.isVisible());
    }
}

using Call = CRecordingTrayHost::SCall;

// The tray images set since `from`, as resource ids.
std::vector<int> TrayImages(const CRecordingTrayHost& tray, std::size_t from = 0) {
    std::vector<int> images;
    for (std::size_t i = from; i < tray.m_Calls.size(); ++i) {
        const Call& call = tray.m_Calls[i];
        if (call.eKind != Call::EKind::SetIcon)
            continue;
        int id = 0;
        for (const int candidate : {IDI_TRAY_ON, IDI_TRAY_KILL, IDI_TRAY_OFF}) {
            if (CAppResources::LoadIcon(candidate).cacheKey() == call.nIconKey)
                id = candidate;
        }
        images.push_back(id);
    }
    return images;
}

TEST_F(MainDialogTest, TrayShowsRunningWithTheBlockingImage) {
    Start();
    EXPECT_TRUE(tray.m_bShown);
    EXPECT_THAT(tray.m_Calls,
                ::testing::Contains(CRecordingTrayHost::TipSet(QStringLiteral("Running"))));
    ASSERT_FALSE(TrayImages(tray).empty());
    EXPECT_EQ(TrayImages(tray).back(), IDI_TRAY_ON);
}

struct SignalCase {
    const char* name;
    bool bAnimate, bSound, bBeep;
};

void PrintTo(const SignalCase& c, std::ostream* os) {
    *os << c.name;
}

class KillSignals : public MainDialogTest, public ::testing::WithParamInterface<SignalCase> {};

TEST_P(KillSignals, FollowTheOptionsForEachKill) {
    const SignalCase& c = GetParam();
    store.WriteOption(OPT_ANIMICON, c.bAnimate);
    store.WriteOption(OPT_SOUNDBOX, c.bSound);
    store.WriteOption(OPT_SPEAKER, c.bBeep);
    const std::vector<std::uint8_t> wave = {'R', 'I', 'F', 'F'};
    resources.Add("WAVE", IDR_WAVE_KILL, wave);
    // Black-listed and a pop-up: two kills in one pass.
    g_BlackList.Add("http://ads.example/");
    WriteRegList(store, REGKEY_LIST, REGVAL_BLACK, g_BlackList);
    browsers.Open(CFakeBrowserWindows::Popup("http://ads.example/"));

    CMainDialog& dialog = Start();
    const std::size_t nBefore = tray.m_Calls.size();
    sound.m_Calls.clear();
    ASSERT_TRUE(WaitFor([&] { return dialog.LogPage()->GetRowCount() == 2; }));

    // The kill image stays a moment, the second kill starting it again, then blocking's own.
    std::vector<int> expectedImages;
    if (c.bAnimate) {
        expectedImages = {IDI_TRAY_KILL, IDI_TRAY_KILL, IDI_TRAY_ON};
        ASSERT_TRUE(WaitFor([&] { return TrayImages(tray, nBefore).size() >= 3; }));
    }
    EXPECT_EQ(TrayImages(tray, nBefore), expectedImages);
    std::vector<CRecordingSoundPlayer::SCall> expectedSounds;
    if (c.bSound) {
        // Each play cuts off the one before.
        for (int kill = 0; kill < 2; ++kill) {
            expectedSounds.push_back(CRecordingSoundPlayer::Stopped());
            expectedSounds.push_back(CRecordingSoundPlayer::Played(wave, false));
        }
    }
    EXPECT_EQ(sound.m_Calls, expectedSounds);
    EXPECT_EQ(beeper.m_nBeeps, c.bBeep ? 2 : 0);
}

INSTANTIATE_TEST_SUITE_P(Options, KillSignals,
                         ::testing::Values(SignalCase{"None", false, false, false},
                                           SignalCase{"BeepOnly", false, false, true},
                                           SignalCase{"ImageOnly", true, false, false},
                                           SignalCase{"All", true, true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainDialogTest, BlockingSwitchedOffAfterAKillEndsOnTheOffImage) {
    store.WriteOption(OPT_ANIMICON, 1);
    browsers.Open(CFakeBrowserWindows::Popup("http://ads.example/"));
    CMainDialog& dialog = Start();
    const std::size_t nBefore = tray.m_Calls.size();
    ASSERT_TRUE(WaitFor([&] { return dialog.LogPage()->GetRowCount() == 1; }));
    dialog.ToggleBlocking();
    ProcessEventsFor(std::chrono::milliseconds(2 * CMainDialog::kKillImageMs));
    const std::vector<int> images = TrayImages(tray, nBefore);
    ASSERT_FALSE(images.empty());
    EXPECT_EQ(images.front(), IDI_TRAY_KILL);
    EXPECT_EQ(images.back(), IDI_TRAY_OFF);
}

TEST_F(MainDialogTest, HotKeyAndMenuSwitchBlockingOffAndOn) {
    CMainDialog& dialog = Start();
    ASSERT_TRUE(hotKeys.m_Claims.contains(CMainDialog::kHotKeyId));
    const auto& claim = hotKeys.m_Claims.at(CMainDialog::kHotKeyId);
    EXPECT_EQ(claim.fsModifiers, MOD_CONTROL | MOD_ALT);
    EXPECT_EQ(claim.nVirtualKey, static_cast<std::uint32_t>('A'));

    EXPECT_TRUE(browsers.m_bWatched);
    std::size_t nBefore = tray.m_Calls.size();
    hotKeys.Press(CMainDialog::kHotKeyId);
    EXPECT_FALSE(dialog.IsBlocking());
    EXPECT_FALSE(browsers.m_bWatched);
    EXPECT_THAT(TrayImages(tray, nBefore), ElementsAre(IDI_TRAY_OFF));
    browsers.Open(CFakeBrowserWindows::Popup("http://ads.example/"));
    browsers.Announce();
    ProcessEventsFor(std::chrono::milliseconds(1200));
    EXPECT_EQ(browsers.OpenCount(), 1U)
        << "nothing is closed while blocking is off, announcements or not";

    nBefore = tray.m_Calls.size();
    dialog.OnCommand(ID_MENU_OFFON);
    EXPECT_TRUE(dialog.IsBlocking());
    EXPECT_TRUE(browsers.m_bWatched);
    EXPECT_THAT(TrayImages(tray, nBefore), ElementsAre(IDI_TRAY_ON));
    EXPECT_TRUE(WaitFor([&] { return browsers.OpenCount() == 0; }));
}

TEST_F(MainDialogTest, HotKeyHeldElsewhereLeavesTheMenuWorking) {
    hotKeys.m_bTakenElsewhere = true;
    CMainDialog& dialog = Start();
    dialog.OnCommand(ID_MENU_OFFON);
    EXPECT_FALSE(dialog.IsBlocking());
}

TEST_F(MainDialogTest, TrayPressesShowAndHideTheWindow) {
    CMainDialog& dialog = Start();
    tray.Press(ETrayMouse::LButtonDown);
    EXPECT_TRUE(dialog.IsWindowHidden());
    tray.Press(ETrayMouse::MButtonDown);
    EXPECT_TRUE(dialog.IsWindowHidden());
    tray.Press(ETrayMouse::LButtonDown);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(MainDialogTest, WithoutATrayHidingMinimisesInstead) {
    tray.m_bAvailable = false;
    store.WriteOption(OPT_MINSTART, 1);
    CMainDialog& dialog = Start();
    EXPECT_FALSE(dialog.IsWindowHidden());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.isMinimized());
}

TEST_F(MainDialogTest, ExitReleasesTheHotKeyAndRemovesTheTrayIcon) {
    CMainDialog& dialog = Start();
    dialog.OnCommand(ID_MENU_EXIT);
    EXPECT_FALSE(hotKeys.m_Claims.contains(CMainDialog::kHotKeyId));
    EXPECT_FALSE(browsers.m_bWatched) << "held windows go on";
    EXPECT_FALSE(tray.m_bShown);
    EXPECT_FALSE(dialog.TrayIcon().IsInstalled());
}

CBmpMenu* OpenTrayMenu() {
    return qobject_cast<CBmpMenu*>(QApplication::activePopupWidget());
}

// The rows of the open tray menu: text (a separator is "-"), picture id ("OFF/ON" first),
// and whether the row can be chosen.
std::vector<std::string> TrayMenuRows(int nOffOnPicture) {
    const int pictures[] = {nOffOnPicture,
                            0,
                            IDB_MENU_GENERAL,
                            IDB_MENU_HISTORY,
                            IDB_MENU_BLACKLIST,
                            IDB_MENU_WHITELIST,
                            IDB_MENU_LOGS,
                            IDB_MENU_ABOUT,
                            0,
                            IDB_MENU_HELP_TOPICS,
                            IDB_MENU_HELP_ONLINE,
                            IDB_MENU_TIP,
                            0,
                            IDB_MENU_EXIT};
    const CBmpMenuToolBar& bar = *OpenTrayMenu()->ToolBar();
    EXPECT_EQ(bar.ButtonCount(), static_cast<int>(std::size(pictures)));
    std::vector<std::string> rows;
    for (int i = 0; i < bar.ButtonCount(); ++i) {
        const CBmpMenuToolBar::SMenuItemInfo& item = bar.Item(i);
        if (item.bSeparator) {
            rows.emplace_back("-");
            continue;
        }
        const QImage picture =
            CAppResources::LoadBitmap(pictures[i]).toImage().convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(item.uncheckedPicture.convertToFormat(QImage::Format_ARGB32), picture) << i;
        EXPECT_EQ(item.checkedPicture.convertToFormat(QImage::Format_ARGB32), picture) << i;
        rows.push_back(item.strText.toStdString() + (item.bDisabled ? " (disabled)" : ""));
    }
    return rows;
}

TEST_F(MainDialogTest, RightButtonOpensTheTrayMenuWhoseChoiceArrivesAfterItHasClosed) {
    store.WriteOption(OPT_MINSTART, 1);
    CMainDialog& dialog = Start();
    const auto isOpen = [] { return OpenTrayMenu() != nullptr; };

    std::vector<std::string> rows;
    CScriptedSteps whileOn({{isOpen, [&rows] {
                                 rows = TrayMenuRows(IDB_MENU_ON);
                                 QTest::keyClick(OpenTrayMenu(), Qt::Key_Escape);
                             }}});
    tray.Press(ETrayMouse::RButtonDown);
    EXPECT_THAT(rows, ElementsAre("OFF/ON", "-", "General", "History", "BlackList", "WhiteList",
                                  "Logs", "About", "-", "Help Topics", "Help Online",
                                  "Tip of the Day", "-", "Exit"));

    dialog.ToggleBlocking();
    CScriptedSteps whileOff({{isOpen, [] {
                                  TrayMenuRows(IDB_MENU_OFF);
                                  for (int i = 0; i < 6; ++i) {
                                      QTest::keyClick(OpenTrayMenu(), Qt::Key_Down);
                                  }
                                  QTest::keyClick(OpenTrayMenu(), Qt::Key_Return);
                              }}});
    tray.Press(ETrayMouse::RButtonDown);
    EXPECT_TRUE(whileOff.Finished());
    EXPECT_FALSE(dialog.isVisible()) << "the command comes once the menu has returned";
    EXPECT_TRUE(WaitFor([&dialog] { return dialog.isVisible(); }));
    EXPECT_EQ(dialog.Tabs()->GetCurSel(), CMainDialog::PAGE_LOGS);
    EXPECT_EQ(OpenTrayMenu(), nullptr);
}

TEST_F(MainDialogTest, ASecondInstanceSaysSoAndLeavesTheStoredListsAlone) {
    g_BlackList.Add("http://ads.example/");
    WriteRegList(store, REGKEY_LIST, REGVAL_BLACK, g_BlackList);
    g_BlackList.RemoveAll();
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(dir.Path().string()));
    CInstanceLock first;
    ASSERT_EQ(first.Acquire("quellio-test"), CInstanceLock::Result::Acquired);

    store.WriteRegDword(REGKEY_FIRST, REGVAL_FIRST, 1);
    app = std::make_unique<CMainApp>(services, QStringLiteral("quellio-test"));
    EXPECT_FALSE(app->InitInstance());
    ASSERT_EQ(messageBox.Boxes().size(), 1U);
    EXPECT_EQ(messageBox.Boxes()[0].kind, CScriptedMessageBox::Kind::Message);
    EXPECT_EQ(messageBox.Boxes()[0].strText, QStringLiteral("Quellio is Running!"));
    // As a stop signal or the end of the session would have it.
    app->SaveSettings();
    CUrlList black;
    EXPECT_TRUE(ReadRegList(store, REGKEY_LIST, REGVAL_BLACK, black));
    EXPECT_THAT(black.Entries(), ElementsAre("http://ads.example/"));
}

TEST_F(MainDialogTest, FirstRunWithoutTheWizardLibraryEndsAndLeavesNoMarker) {
    app = std::make_unique<CMainApp>(services, QStringLiteral("quellio-test"));
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(dir.Path().string()));
    // The test program's folder has no libwizard.so, and the system has none either.
    EXPECT_FALSE(app->InitInstance());
    EXPECT_EQ(store.ReadRegDword(REGKEY_FIRST, REGVAL_FIRST, 0), 0U);
}

TEST_F(MainDialogTest, TheTipOfTheDayComesBeforeTheMainWindowAndFromTheMenu) {
    std::vector<bool> mainWindowThere;
    const auto tipShows = [] {
        return dynamic_cast<CTipOfDayDlg*>(QApplication::activeModalWidget()) != nullptr;
    };
    const auto closeTip = [&] {
        mainWindowThere.push_back(app->MainDialog() != nullptr);
        QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape);
    };
    CScriptedSteps steps({{tipShows, closeTip}, {tipShows, closeTip}, {tipShows, closeTip}});
    CMainDialog& dialog = Start(true);
    EXPECT_EQ(steps.StepsDone(), 1U);
    // Closed with Esc: still shown at the next start; from the menu, shown all the same.
    dialog.OnCommand(ID_MENU_TIP);
    EXPECT_EQ(steps.StepsDone(), 2U);
    TurnOffStartupTips(app->AppName());
    dialog.OnCommand(ID_MENU_TIP);
    EXPECT_TRUE(steps.Finished());
    EXPECT_EQ(mainWindowThere, (std::vector<bool>{false, true, true}));
}

TEST_F(MainDialogTest, GeneralPageChangesTakeEffectAtOnce) {
    browsers.Open(CFakeBrowserWindows::Popup("http://ads.example/"));
    CMainDialog& dialog = Start();
    auto box = [&dialog](const char* szText) {
        for (QCheckBox* candidate : dialog.GeneralPage()->findChildren<QCheckBox*>()) {
            if (candidate->text() == QString::fromLatin1(szText)) {
                return candidate;
            }
        }
        ADD_FAILURE() << "no check box " << szText;
        return static_cast<QCheckBox*>(nullptr);
    };
    box("Beep from PC speaker")->click();
    ASSERT_TRUE(WaitFor([&] { return dialog.LogPage()->GetRowCount() == 1; }));
    EXPECT_EQ(beeper.m_nBeeps, 1) << "the next kill beeps";

    box("Always on top")->click();
    EXPECT_TRUE(dialog.m_bOnTop);
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(dialog.isVisible());

    box("Move Table")->click();
    QTest::keyClick(dialog.GeneralPage()->findChild<QSlider*>(), Qt::Key_End);
    EXPECT_TRUE(app->m_bAppMove);
    EXPECT_EQ(app->m_nAppSpeed, 30);
    QTabBar* bar = dialog.Tabs()->TabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(CMainDialog::PAGE_ABOUT).center());
    EXPECT_TRUE(dialog.Tabs()->IsSliding());
}

TEST_F(MainDialogTest, SupportAddressesAndWebSiteAreLinks) {
    CMainDialog& dialog = Start();
    CMailLink* support = nullptr;
    for (QLabel* label : dialog.findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (label->text() == QString::fromLatin1(CAboutPage::kTechSupportMail)) {
            support = dynamic_cast<CMailLink*>(label);
        }
    }
    ASSERT_NE(support, nullptr);
    EXPECT_EQ(support->geometry(), QRect(60, 330, 150, 15));
    support->OnClicked();
    dialog.AboutPage()->PurchaseLink()->OnClicked();
    dialog.AboutPage()->WebLink()->OnClicked();
    std::vector<std::string> opened;
    for (const QUrl& url : shell.m_Opened) {
        opened.push_back(url.toEncoded().toStdString());
    }
    EXPECT_THAT(opened, ElementsAre("mailto:support@quellio.example",
                                    "mailto:sales@quellio.example", "https://quellio.github.io/"));
}

}  // namespace
