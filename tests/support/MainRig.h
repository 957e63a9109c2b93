#pragma once

#include <memory>

#include <QSettings>
#include <gtest/gtest.h>

#include "app/MainApp.h"
#include "pages/TipOfDayDlg.h"
#include "support/EmptyLists.h"
#include "support/FakeBrowserWindows.h"
#include "support/FakeClock.h"
#include "support/FakeResourceLookup.h"
#include "support/MockAutostart.h"
#include "support/RecordingBeeper.h"
#include "support/RecordingCleaner.h"
#include "support/RecordingHotKeys.h"
#include "support/RecordingShell.h"
#include "support/RecordingSoundPlayer.h"
#include "support/RecordingTrayHost.h"
#include "support/ScopedEnv.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempStore.h"

// Real services a CMainRig is to use in place of its doubles.
struct SRealServices {
    IBrowserWindowsFactory* pBrowsers = nullptr;
    IClock* pClock = nullptr;
    ITrayHost* pTray = nullptr;
    IHotKeys* pHotKeys = nullptr;
};

// The whole program for tests of the main window: a real registry hive in a temporary
// folder (which is also XDG_RUNTIME_DIR, for the instance lock, and XDG_CONFIG_HOME, for the
// profile of the tip of the day), the doubles below for
// every other service, and the process-wide lists empty before and after. A test that
// needs a real service in one place passes it in; the double of that place is then left
// unused.
class CMainRig : public STempStore {
public:
    explicit CMainRig(const SRealServices& real = {})
        : m_Services{m_Store,
                     real.pBrowsers != nullptr ? *real.pBrowsers : m_Browsers,
                     m_MessageBox,
                     real.pClock != nullptr ? *real.pClock : m_Clock,
                     m_Shell,
                     m_Autostart,
                     real.pTray != nullptr ? *real.pTray : m_Tray,
                     real.pHotKeys != nullptr ? *real.pHotKeys : m_HotKeys,
                     m_Sound,
                     m_Beeper,
                     m_Resources,
                     m_Cleaner} {}

    // Starts the application up to its running main window, the first-run wizard taken as
    // done and no tip of the day at start-up unless asked for; answers the window.
    CMainDialog& Start(bool bStartupTip = false) {
        m_Store.WriteRegDword(REGKEY_FIRST, REGVAL_FIRST, 1);
        m_pApp = std::make_unique<CMainApp>(m_Services, QStringLiteral("quellio-test"));
        if (!bStartupTip) {
            QSettings(CTipOfDayDlg::DefaultProfilePath(m_pApp->AppName()), QSettings::IniFormat)
                .setValue(QStringLiteral("Tip/StartUp"), 1);
        }
        EXPECT_TRUE(m_pApp->InitInstance());
        return *m_pApp->MainDialog();
    }

    CScopedEnv m_RuntimeDir{"XDG_RUNTIME_DIR", m_Dir.Path().string()};
    CScopedEnv m_ConfigHome{"XDG_CONFIG_HOME", m_Dir.Path().string()};
    CEmptyLists m_Lists;
    CFakeBrowserWindows m_Browsers;
    CScriptedMessageBox m_MessageBox;
    CFakeClock m_Clock;
    CRecordingShell m_Shell;
    testing::NiceMock<CMockAutostart> m_Autostart;
    CRecordingTrayHost m_Tray;
    CRecordingHotKeys m_HotKeys;
    CRecordingSoundPlayer m_Sound;
    CRecordingBeeper m_Beeper;
    CFakeResourceLookup m_Resources;
    CRecordingCleaner m_Cleaner;
    CMainServices m_Services;
    std::unique_ptr<CMainApp> m_pApp;
};
