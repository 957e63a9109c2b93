#include "app/MainApp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include "engine/UrlList.h"
#include "pages/TipOfDayDlg.h"
#include "platform/AutostartEntry.h"
#include "platform/ModulePath.h"
#include "platform/qt/MessageBox.h"
#include "store/SettingsStore.h"
#include "wizard/Wizard.h"

namespace {

// What the first-run wizard may do to the program's settings.
const CSettingsStore& StoreOf(void* pContext) {
    return static_cast<const CMainServices*>(pContext)->store;
}

unsigned int WizardReadOption(void* pContext, const char* name, unsigned int defaultValue) {
    return StoreOf(pContext).ReadRegDword(REGKEY_OPTION, name, defaultValue);
}

int WizardWriteOption(void* pContext, const char* name, unsigned int value) {
    return StoreOf(pContext).WriteRegDword(REGKEY_OPTION, name, value) ? 1 : 0;
}

int WizardSetStartWithSystem(void* pContext, int enable) {
    IAutostartEntry& autostart = static_cast<const CMainServices*>(pContext)->autostart;
    const std::string strExecutable = GetModuleFileName();
    if (strExecutable.empty()) {
        return 0;
    }
    return (enable ? autostart.Set(strExecutable) : autostart.SetEmpty()) ? 1 : 0;
}

}  // namespace

CMainApp::CMainApp(const CMainServices& services, QString strAppName)
    : m_Services(services), m_strAppName(std::move(strAppName)) {
    m_Options.m_bAppMove = m_Services.store.ReadOption(OPT_MOVE) != 0;
    m_Options.m_nAppSpeed = static_cast<int>(m_Services.store.ReadOption(OPT_SPEED));
}

CMainApp::~CMainApp() = default;

QString CMainApp::ExecutableBaseName() {
    const QFileInfo exe(QStringLiteral("/proc/self/exe"));
    return QFileInfo(exe.symLinkTarget()).completeBaseName();
}

bool CMainApp::InitInstance() {
    if (IsAnotherInstanceRunning()) {
        m_Services.messageBox.ShowMessage(nullptr, QStringLiteral("Quellio is Running!"));
        return false;
    }

    const CSettingsStore& store = m_Services.store;
    if (store.ReadRegDword(REGKEY_FIRST, REGVAL_FIRST, 0) == 0) {
        // A wizard that a stop request ended did not finish: it runs again next time.
        if (!RunFirstRunWizard() || m_bStopping) {
            return false;
        }
        store.WriteRegDword(REGKEY_FIRST, REGVAL_FIRST, 1);
    }

    m_Options.m_nCleanTime = store.ReadOption(OPT_CLEANTIME);
    // Before any window of the program, whether or not a kind is chosen.
    if (m_Options.m_nCleanTime == CLEAN_TIME_STARTING) {
        RunCleaningPass();
        if (m_bStopping) {
            return false;
        }
    }
    ShowStartupTip();
    if (m_bStopping) {
        return false;
    }

    m_pMainDlg = std::make_unique<CMainDialog>(*this, m_Services, m_strAppName);
    m_pMainDlg->OnInitDialog();
    m_pMainDlg->ShowInFront();
    if (store.ReadOption(OPT_MINSTART) != 0) {
        m_pMainDlg->Hide();
    }
    // A stop asked for in a modal loop of start-up ended that loop, not the program.
    return !m_bStopping;
}

bool CMainApp::IsAnotherInstanceRunning() {
    // A lock that cannot be taken at all says nothing about other instances: start.
    return m_InstanceLock.Acquire(m_strAppName.toStdString()) ==
           CInstanceLock::Result::AlreadyRunning;
}

bool CMainApp::RunFirstRunWizard() {
    // The library beside the executable first, then the system's library search.
    m_Wizard.setFileName(
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("libwizard.so")));
    if (!m_Wizard.load()) {
        m_Wizard.setFileName(QStringLiteral("wizard"));
        if (!m_Wizard.load()) {
            return false;
        }
    }
    const auto pfnRunWizard = reinterpret_cast<PFN_RUNWIZARD>(m_Wizard.resolve("RunWizard"));
    if (pfnRunWizard == nullptr) {
        m_Wizard.unload();
        return false;
    }
    CWizardHost host{};
    host.m_cbSize = sizeof host;
    host.m_pContext = &m_Services;
    host.m_pfnReadOption = WizardReadOption;
    host.m_pfnWriteOption = WizardWriteOption;
    host.m_pfnSetStartWithSystem = WizardSetStartWithSystem;
    pfnRunWizard(nullptr, &host);
    return true;
}

void CMainApp::ShowStartupTip() {
    // A start by the session manager, bringing back the last session, is none the user made:
    // no tip, and the tips stay where they are.
    const auto* application = qobject_cast<const QGuiApplication*>(QCoreApplication::instance());
    if (application != nullptr && application->isSessionRestored()) {
        return;
    }
    CTipOfDayDlg tipDlg(m_Services.messageBox, CTipOfDayDlg::DefaultTipsPath(),
                        CTipOfDayDlg::DefaultProfilePath(m_strAppName));
    if (tipDlg.m_bStartup) {
        tipDlg.exec();
    }
}

void CMainApp::RunCleaningPass() {
    CCleaningDlg dlg{CleaningServices()};
    dlg.exec();
}

CCleaningServices CMainApp::CleaningServices() {
    return {m_Services.cleaner, m_Services.store, m_Services.messageBox, m_CleaningThreads};
}

void CMainApp::Stop() {
    m_bStopping = true;
    SaveSettings();
    QCoreApplication::exit(0);
}

void CMainApp::SaveSettings() const {
    // Lists this process never loaded are not the user's: saving them would wipe the stored
    // ones (a second instance, a stop during the first-run wizard, a list it could not read).
    if (m_pMainDlg == nullptr) {
        return;
    }
    const CSettingsStore& store = m_Services.store;
    store.WriteOption(OPT_SPEED, static_cast<DWORD>(m_Options.m_nAppSpeed));
    for (const auto& [name, list] :
         {std::pair{REGVAL_WHITE, &g_WhiteList}, std::pair{REGVAL_BLACK, &g_BlackList}}) {
        if (m_pMainDlg->MaySaveList(name)) {
            WriteRegList(store, REGKEY_LIST, name, *list);
        }
    }
}
