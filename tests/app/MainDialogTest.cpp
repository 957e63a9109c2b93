#include "app/MainDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gmock/gmock.h>

#include "Resource.h"
#include "pages/GeneralPage.h"
#include "pages/LogPage.h"
#include "pages/TipOfDayDlg.h"
#include "platform/qt/AppResources.h"
#include "support/ChildWithText.h"
#include "support/MainRig.h"
#include "support/QtWait.h"
#include "support/Rows.h"
#include "support/ScriptedSteps.h"
#include "support/TextFile.h"
#include "widgets/BmpMenu.h"
#include "widgets/BmpMenuToolBar.h"
#include "widgets/SlidingTabCtrl.h"

namespace {

using ::testing::ElementsAre;
using Fake = CFakeBrowserWindows;
using Strings = std::vector<std::string>;

// The images `tray` was given from its call `nFrom` on, as resource ids.
std::vector<int> TrayImages(const CRecordingTrayHost& tray, std::size_t nFrom = 0) {
    std::vector<int> images;
    for (std::size_t i = nFrom; i < tray.m_Calls.size(); ++i) {
        if (tray.m_Calls[i].eKind == CRecordingTrayHost::SCall::EKind::SetIcon) {
            images.push_back(0);
            for (const int nId : {IDI_TRAY_ON, IDI_TRAY_KILL, IDI_TRAY_OFF}) {
                if (CAppResources::LoadIcon(nId).cacheKey() == tray.m_Calls[i].nIconKey) {
                    images.back() = nId;
                }
            }
        }
    }
    return images;
}

class MainDialogTest : public testing::Test, public CMainRig {
protected:
    // An exit makes every modal loop return at once until the main loop has run again, as
    // it would for a new start of the program.
    static void ForgetEarlierExit() {
        QTimer::singleShot(0, qApp, [] { QCoreApplication::quit(); });
        QCoreApplication::exec();
    }
    void Store(const char* name, const Strings& urls) {
        CUrlList list;
        for (const std::string& url : urls) {
            list.Add(url);
        }
        WriteRegList(m_Store, REGKEY_LIST, name, list);
    }
    Strings Stored(const char* name) {
        CUrlList list;
        EXPECT_EQ(ReadRegList(m_Store, REGKEY_LIST, name, list), EListLoad::Loaded);
        return list.Entries();
    }
    static Strings PageRows(CMainDialog& dialog, int nPage, const char* szListBox) {
        return Rows(*dialog.Tabs()->GetPage(nPage)->findChild<CSortedListBox*>(
            QString::fromLatin1(szListBox)));
    }
};

// The stored lists are loaded at the start, kills land in the log, the list pages show the
// lists, and edits of the lists reach the passes.
TEST_F(MainDialogTest, TheTimerScansAndTheListPagesShowWhatIsOpenAndListed) {
    Store(REGVAL_WHITE, {"http://spared.example/"});
    Store(REGVAL_BLACK, {"http://bad.example/"});
    m_Browsers.Open(Fake::Popup("http://ads.example/"));
    m_Browsers.Open(Fake::Popup("http://spared.example/"));
    m_Browsers.Open(Fake::Tab("http://news.example/"));
    m_Clock.Set(9, 5, 7);
    CMainDialog& dialog = Start();
    EXPECT_THAT(g_WhiteList.Entries(), ElementsAre("http://spared.example/"));
    ASSERT_TRUE(WaitFor([&] { return dialog.LogPage()->GetRowCount() == 1; }));
    const QTreeWidgetItem* row = dialog.LogPage()->findChild<QTreeWidget*>()->topLevelItem(0);
    EXPECT_EQ(row->text(0), QStringLiteral("http://ads.example/"));
    EXPECT_EQ(row->text(1), QStringLiteral("9/5/7"));
    EXPECT_EQ(m_Browsers.OpenCount(), 2U);

    EXPECT_THAT(PageRows(dialog, CMainDialog::PAGE_BLACKLIST, "urls"),
                ElementsAre("http://bad.example/"));
    g_WhiteList.Add("http://from-log.example/");  // as the Logs page does
    dialog.OnPageCommand(CMainDialog::PAGE_WHITELIST);
    EXPECT_THAT(PageRows(dialog, CMainDialog::PAGE_WHITELIST, "urls"),
                ElementsAre("http://from-log.example/", "http://spared.example/"));

    g_BlackList.Add("http://news.example/");
    g_WhiteList.RemoveAll();
    EXPECT_TRUE(WaitFor([&] { return m_Browsers.OpenCount() == 0; }));
}

// Closing, the tray icon's left button and a page command hide and show the window; no
// key hides or exits it, nor does Enter press a focused button; F1 opens the help beside
// the executable, Shift+F1 does not. Hiding does not stop the program. Without a tray,
// hiding minimises instead.
TEST_F(MainDialogTest, TheWindowIsHiddenAndShownButNeverClosedByTheUser) {
    {
        CMainRig noTray;
        noTray.m_Tray.m_bAvailable = false;
        noTray.m_Store.WriteOption(OPT_MINSTART, 1);
        const CMainDialog& minimised = noTray.Start();
        EXPECT_TRUE(minimised.isVisible() && minimised.isMinimized());
        EXPECT_FALSE(minimised.IsWindowHidden());
    }

    m_Store.WriteOption(OPT_MINSTART, 1);
    CMainDialog& dialog = Start();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.IsWindowHidden());
    m_Tray.Press(ETrayMouse::LButtonDown);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(&dialog, key);
        EXPECT_TRUE(dialog.isVisible()) << key;
    }
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        const QSignalSpy clicked(button, &QPushButton::clicked);
        QTest::keyClick(button, Qt::Key_Return);
        EXPECT_EQ(clicked.count(), 0) << button->text().toStdString();
    }
    QTest::keyClick(&dialog, Qt::Key_F1, Qt::ShiftModifier);
    QTest::keyClick(&dialog, Qt::Key_F1);
    ASSERT_EQ(m_Shell.m_Opened.size(), 1U);
    EXPECT_EQ(m_Shell.m_Opened[0].toLocalFile(),
              QCoreApplication::applicationDirPath() + QStringLiteral("/Quellio.html"));
    EXPECT_FALSE(dialog.close());
    EXPECT_TRUE(dialog.IsWindowHidden());
    m_Tray.Press(ETrayMouse::MButtonDown);
    EXPECT_TRUE(dialog.IsWindowHidden());

    dialog.setWindowState(Qt::WindowMaximized);  // as a double click on the caption asks
    EXPECT_TRUE(dialog.isMinimized());
    dialog.OnPageCommand(CMainDialog::PAGE_LOGS);
    EXPECT_TRUE(dialog.isVisible() && !dialog.isMinimized());
    EXPECT_EQ(dialog.Tabs()->GetCurSel(), CMainDialog::PAGE_LOGS);
    EXPECT_FALSE(dialog.Tabs()->IsSliding());
    for (int i = 0; i < dialog.Tabs()->GetPageCount(); ++i) {
        EXPECT_EQ(dialog.Tabs()->GetPage(i)->isVisible(), i == CMainDialog::PAGE_LOGS) << i;
    }
    dialog.OnTrayLeftButton();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(WaitFor([&] { return m_Browsers.m_nCreated == 3; }));
    ProcessEventsFor(std::chrono::milliseconds(CMainDialog::kScanPeriodMs));
    EXPECT_EQ(m_Browsers.m_nCreated, 3) << "the scan's connection and each list page's own, once";
}

// Exit saves "speed" and the lists, but not one whose stored value could not be read, gives
// the hot key back, removes the tray icon, and from then on a close closes.
TEST_F(MainDialogTest, ExitSavesWhatChangedAndLetsGoOfTheDesktop) {
    WriteTextFile(File(),
                  "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\hollin\\QLIO\\list]\n"
                  "\"white\"=hex(7):61,00,00\n\"black\"=hex(7):62,0\"\n");
    testing::internal::CaptureStderr();
    CMainDialog& dialog = Start();
    testing::internal::GetCapturedStderr();
    g_BlackList.Add("c");
    g_WhiteList.Add("w");
    m_pApp->m_Options.m_nAppSpeed = 25;
    dialog.OnCommand(ID_MENU_EXIT);
    EXPECT_EQ(m_Store.ReadOption(OPT_SPEED), 25U);
    EXPECT_THAT(Stored(REGVAL_WHITE), ElementsAre("a", "w"));
    EXPECT_THAT(ReadTextFile(File()), testing::Not(testing::HasSubstr("\"black\"")));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(m_HotKeys.m_Claims.contains(CMainDialog::kHotKeyId));
    EXPECT_TRUE(WaitFor([&] { return !m_Browsers.m_bWatched; })) << "held windows go on";
    EXPECT_FALSE(m_Tray.m_bShown);
    EXPECT_FALSE(dialog.TrayIcon().IsInstalled());
    EXPECT_TRUE(dialog.close());
}

// Clean time "starting": a pass before the main window exists, and another from the
// History page; "closing": a pass at exit, after saving, by the clean time stored then.
// Each only with a kind chosen. An "Exit" while the closing pass runs changes nothing.
TEST_F(MainDialogTest, PassesRunAtStartAndAtExitAsTheCleanTimeSays) {
    const struct {
        DWORD nStartTime;
        DWORD nExitTime;
        bool bCookies;
        bool bExitPass;
        std::size_t nStartBoxes;
        std::vector<bool> windowAtStartPass;
    } cases[] = {{CLEAN_TIME_STARTING, CLEAN_TIME_STARTING, true, false, 2, {false, true}},
                 {CLEAN_TIME_STARTING, CLEAN_TIME_CLOSING, false, false, 1, {}},
                 {CLEAN_TIME_RUNNING, CLEAN_TIME_CLOSING, true, true, 0, {}},
                 {CLEAN_TIME_CLOSING, CLEAN_TIME_RUNNING, true, false, 0, {}},
                 {0, 0, true, false, 0, {}}};
    for (const auto& test : cases) {
        SCOPED_TRACE(testing::Message() << test.nStartTime << test.nExitTime << test.bCookies);
        m_Store.WriteOption(OPT_CLEANTIME, test.nStartTime);
        m_Store.WriteOption(OPT_KILLCOOKIES, test.bCookies ? 1 : 0);
        std::vector<bool> windowAtPass;
        m_Cleaner.OnCall("CleanCookies", [&](ICleanReport*, std::stop_token) {
            windowAtPass.push_back(m_pApp->MainDialog() != nullptr);
        });
        const std::size_t nBoxes = m_MessageBox.Boxes().size();
        m_pApp.reset();
        ForgetEarlierExit();
        CMainDialog& dialog = Start();
        EXPECT_EQ(windowAtPass, test.windowAtStartPass);
        EXPECT_EQ(m_MessageBox.Boxes().size() - nBoxes, test.nStartBoxes);

        m_Store.WriteOption(OPT_CLEANTIME, test.nExitTime);
        m_pApp->m_Options.m_nAppSpeed = 27;
        std::vector<DWORD> speedAtPass;
        m_Cleaner.OnCall("CleanCookies", [&](ICleanReport*, std::stop_token) {
            speedAtPass.push_back(m_Store.ReadOption(OPT_SPEED));
            if (speedAtPass.size() == 1) {
                QMetaObject::invokeMethod(
                    &dialog, [&] { dialog.OnCommand(ID_MENU_EXIT); }, Qt::BlockingQueuedConnection);
            }
        });
        dialog.ExitProgram();
        EXPECT_EQ(speedAtPass, test.bExitPass ? std::vector<DWORD>{27} : std::vector<DWORD>{});
        EXPECT_FALSE(dialog.isVisible());
    }
}

// Each kill shows the kill image a moment, plays the sound (cutting off the one before)
// and beeps, as the options say; then the tray shows "Running" and the state image again.
TEST_F(MainDialogTest, KillSignalsFollowTheOptions) {
    const std::vector<std::uint8_t> wave = {'R', 'I', 'F', 'F'};
    for (const auto& [bAnimate, bSound, bBeep] : {std::tuple{false, false, false},
                                                  {false, false, true},
                                                  {true, false, false},
                                                  {true, true, true}}) {
        SCOPED_TRACE(testing::Message() << bAnimate << bSound << bBeep);
        CMainRig rig;
        rig.m_Store.WriteOption(OPT_ANIMICON, bAnimate);
        rig.m_Store.WriteOption(OPT_SOUNDBOX, bSound);
        rig.m_Store.WriteOption(OPT_SPEAKER, bBeep);
        rig.m_Resources.Add("WAVE", IDR_WAVE_KILL, wave);
        g_BlackList.Add("http://ads.example/");  // and a pop-up: two kills in one pass
        WriteRegList(rig.m_Store, REGKEY_LIST, REGVAL_BLACK, g_BlackList);
        rig.m_Browsers.Open(Fake::Popup("http://ads.example/"));
        CMainDialog& dialog = rig.Start();
        EXPECT_TRUE(rig.m_Tray.m_bShown);
        EXPECT_THAT(rig.m_Tray.m_Calls,
                    testing::Contains(CRecordingTrayHost::TipSet(QStringLiteral("Running"))));
        const std::size_t nBefore = rig.m_Tray.m_Calls.size();
        rig.m_Sound.m_Calls.clear();
        ASSERT_TRUE(WaitFor([&] { return dialog.LogPage()->GetRowCount() == 2; }));
        const std::vector<int> expected =
            bAnimate ? std::vector<int>{IDI_TRAY_KILL, IDI_TRAY_KILL, IDI_TRAY_ON}
                     : std::vector<int>{};
        EXPECT_TRUE(
            WaitFor([&] { return TrayImages(rig.m_Tray, nBefore).size() >= expected.size(); }));
        EXPECT_EQ(TrayImages(rig.m_Tray, nBefore), expected);
        std::vector<CRecordingSoundPlayer::SCall> sounds;
        for (int nKill = 0; bSound && nKill < 2; ++nKill) {
            sounds.insert(sounds.end(), {CRecordingSoundPlayer::Stopped(),
                                         CRecordingSoundPlayer::Played(wave, false)});
        }
        EXPECT_EQ(rig.m_Sound.m_Calls, sounds);
        EXPECT_EQ(rig.m_Beeper.m_nBeeps, bBeep ? 2 : 0);
    }
}

// Ctrl+Alt+A and the menu switch blocking off and on, with the tray image to match;
// nothing is closed while it is off. A hot key held elsewhere leaves the menu working.
TEST_F(MainDialogTest, TheHotKeyAndTheMenuSwitchBlockingOffAndOn) {
    m_Store.WriteOption(OPT_ANIMICON, 1);
    m_Browsers.Open(Fake::Popup("http://first.example/"));
    CMainDialog& dialog = Start();
    const auto& claim = m_HotKeys.m_Claims.at(CMainDialog::kHotKeyId);
    EXPECT_EQ(claim.fsModifiers, static_cast<std::uint32_t>(MOD_CONTROL | MOD_ALT));
    EXPECT_EQ(claim.nVirtualKey, static_cast<std::uint32_t>('A'));
    std::size_t nBefore = m_Tray.m_Calls.size();
    ASSERT_TRUE(WaitFor([&] { return dialog.LogPage()->GetRowCount() == 1; }));
    EXPECT_TRUE(m_Browsers.m_bWatched);
    m_HotKeys.Press(CMainDialog::kHotKeyId);
    EXPECT_FALSE(dialog.IsBlocking());
    EXPECT_TRUE(WaitFor([&] { return !m_Browsers.m_bWatched; }));
    ProcessEventsFor(std::chrono::milliseconds(2 * CMainDialog::kKillImageMs));
    EXPECT_EQ(TrayImages(m_Tray, nBefore).front(), IDI_TRAY_KILL);
    EXPECT_EQ(TrayImages(m_Tray, nBefore).back(), IDI_TRAY_OFF);
    m_Browsers.Open(Fake::Popup("http://ads.example/"));
    m_Browsers.Announce();
    ProcessEventsFor(std::chrono::milliseconds(1200));
    EXPECT_EQ(m_Browsers.OpenCount(), 1U) << "announcements or not";

    nBefore = m_Tray.m_Calls.size();
    dialog.OnCommand(ID_MENU_OFFON);
    EXPECT_TRUE(dialog.IsBlocking());
    EXPECT_TRUE(WaitFor([&] { return m_Browsers.m_bWatched.load(); }));
    EXPECT_THAT(TrayImages(m_Tray, nBefore), ElementsAre(IDI_TRAY_ON));
    EXPECT_TRUE(WaitFor([&] { return m_Browsers.OpenCount() == 0; }));

    CMainRig taken;
    taken.m_HotKeys.m_bTakenElsewhere = true;
    dialog.OnCommand(ID_MENU_EXIT);
    CMainDialog& second = taken.Start();
    second.OnCommand(ID_MENU_OFFON);
    EXPECT_FALSE(second.IsBlocking());
}

CBmpMenu* OpenTrayMenu() {
    return qobject_cast<CBmpMenu*>(QApplication::activePopupWidget());
}

// Opens the tray menu; inside it, checks that its "OFF/ON" row shows `nBitmap`, then presses
// Down `nDowns` times and `last`.
void UseTrayMenu(CRecordingTrayHost& tray, int nBitmap, int nDowns, Qt::Key last) {
    CScriptedSteps steps({{[] { return OpenTrayMenu() != nullptr; },
                           [=] {
                               const auto& item = OpenTrayMenu()->ToolBar()->Item(0);
                               EXPECT_EQ(item.strText, QStringLiteral("OFF/ON"));
                               EXPECT_TRUE(
                                   item.uncheckedPicture.convertToFormat(QImage::Format_ARGB32) ==
                                   CAppResources::LoadBitmap(nBitmap).toImage().convertToFormat(
                                       QImage::Format_ARGB32));
                               for (int i = 0; i < nDowns; ++i) {
                                   QTest::keyClick(OpenTrayMenu(), Qt::Key_Down);
                               }
                               QTest::keyClick(OpenTrayMenu(), last);
                           }}});
    tray.Press(ETrayMouse::RButtonDown);
    EXPECT_TRUE(steps.Finished());
}

TEST_F(MainDialogTest, RightButtonOpensTheTrayMenuWhoseChoiceArrivesAfterItHasClosed) {
    m_Store.WriteOption(OPT_MINSTART, 1);
    CMainDialog& dialog = Start();
    UseTrayMenu(m_Tray, IDB_MENU_ON, 0, Qt::Key_Escape);
    dialog.ToggleBlocking();
    UseTrayMenu(m_Tray, IDB_MENU_OFF, 6, Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible()) << "the command comes once the menu has returned";
    EXPECT_TRUE(WaitFor([&dialog] { return dialog.isVisible(); }));
    EXPECT_EQ(dialog.Tabs()->GetCurSel(), CMainDialog::PAGE_LOGS);
    EXPECT_EQ(OpenTrayMenu(), nullptr);
}

// A second instance says so and ends; what it saves on the way out leaves the stored lists
// alone, as does a first run without the wizard library, which leaves no marker either. A
// stop during the start-up pass ends start-up: no window, second pass nor message.
TEST_F(MainDialogTest, AProgramThatEndsBeforeItsWindowLeavesTheStoreAlone) {
    Store(REGVAL_BLACK, {"http://ads.example/"});
    CInstanceLock first;
    ASSERT_EQ(first.Acquire("quellio-test"), CInstanceLock::Result::Acquired);
    m_Store.WriteRegDword(REGKEY_FIRST, REGVAL_FIRST, 1);
    m_pApp = std::make_unique<CMainApp>(m_Services, QStringLiteral("quellio-test"));
    EXPECT_FALSE(m_pApp->InitInstance());
    ASSERT_EQ(m_MessageBox.Boxes().size(), 1U);
    EXPECT_EQ(m_MessageBox.Boxes()[0].kind, CScriptedMessageBox::Kind::Message);
    EXPECT_EQ(m_MessageBox.Boxes()[0].strText, QStringLiteral("Quellio is Running!"));
    m_pApp->SaveSettings();
    EXPECT_THAT(Stored(REGVAL_BLACK), ElementsAre("http://ads.example/"));

    m_Store.WriteRegDword(REGKEY_FIRST, REGVAL_FIRST, 0);
    m_pApp = std::make_unique<CMainApp>(m_Services, QStringLiteral("quellio-first"));
    EXPECT_FALSE(m_pApp->InitInstance());  // no libwizard.so beside the test program
    m_pApp->SaveSettings();
    EXPECT_EQ(m_Store.ReadRegDword(REGKEY_FIRST, REGVAL_FIRST, 0), 0U);
    EXPECT_THAT(Stored(REGVAL_BLACK), ElementsAre("http://ads.example/"));

    m_Store.WriteRegDword(REGKEY_FIRST, REGVAL_FIRST, 1);
    m_Store.WriteOption(OPT_CLEANTIME, CLEAN_TIME_STARTING);
    m_Store.WriteOption(OPT_KILLCOOKIES, 1);
    m_Cleaner.OnCall("CleanCookies", [&](ICleanReport*, std::stop_token) {
        QMetaObject::invokeMethod(
            qApp, [&] { m_pApp->Stop(); }, Qt::QueuedConnection);
    });
    ForgetEarlierExit();
    m_pApp = std::make_unique<CMainApp>(m_Services, QStringLiteral("quellio-stop"));
    EXPECT_FALSE(m_pApp->InitInstance());
    EXPECT_EQ(m_pApp->MainDialog(), nullptr);
    m_pApp.reset();
    EXPECT_THAT(m_Cleaner.Calls(), ElementsAre("CleanCookies"));
    EXPECT_EQ(m_MessageBox.Boxes().size(), 1U);
}

TEST_F(MainDialogTest, TheTipOfTheDayComesBeforeTheMainWindowAndFromTheMenu) {
    std::vector<bool> mainWindowThere;
    const auto tipShows = [] {
        return dynamic_cast<CTipOfDayDlg*>(QApplication::activeModalWidget()) != nullptr;
    };
    const auto closeTip = [&] {
        mainWindowThere.push_back(m_pApp->MainDialog() != nullptr);
        QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape);
    };
    CScriptedSteps steps({{tipShows, closeTip}, {tipShows, closeTip}});
    CMainDialog& dialog = Start(true);
    EXPECT_EQ(steps.StepsDone(), 1U);
    dialog.OnCommand(ID_MENU_TIP);
    EXPECT_TRUE(steps.Finished());
    EXPECT_EQ(mainWindowThere, (std::vector<bool>{false, true}));
}

// "Always on top" (stored on) and "Move Table" (stored off) hold from the start, and
// changes on the General page reach the window at once: the tabs slide once "Move Table"
// is on.
TEST_F(MainDialogTest, GeneralPageChangesTakeEffectAtOnce) {
    m_Store.WriteOption(OPT_ONTOP, 1);
    CMainDialog& dialog = Start();
    auto box = [&dialog](const char* szText) {
        return ChildWithText<QCheckBox>(*dialog.GeneralPage(), QString::fromLatin1(szText));
    };
    for (const bool bOnTop : {true, false, true}) {
        EXPECT_EQ(dialog.m_bOnTop, bOnTop);
        EXPECT_EQ(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint), bOnTop);
        EXPECT_TRUE(dialog.isVisible());
        box("Always on top")->click();
    }

    QTabBar* bar = dialog.Tabs()->TabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(CMainDialog::PAGE_LOGS).center());
    EXPECT_FALSE(dialog.Tabs()->IsSliding());
    box("Move Table")->click();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(CMainDialog::PAGE_ABOUT).center());
    EXPECT_TRUE(dialog.Tabs()->IsSliding());
}

}  // namespace
