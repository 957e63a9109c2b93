#pragma once

#include <memory>

#include <QLibrary>
#include <QString>

#include "app/MainDialog.h"
#include "cleaner/CleaningThreads.h"
#include "pages/CleaningDlg.h"
#include "platform/Registry.h"
#include "platform/linux/desktop/InstanceLock.h"

// The application: the live copies of the options the whole program shares, start-up in
// its fixed order, and the single main window.
class CMainApp : public IMainDialogHost {
public:
    // Reads "bmove" and "speed" into their live copies.
    CMainApp(const CMainServices& services, QString strAppName);
    ~CMainApp() override;
    CMainApp(const CMainApp&) = delete;
    CMainApp& operator=(const CMainApp&) = delete;

    // Start-up up to the running main window. False when the program must end at once:
    // another instance runs (after telling the user), the first-run wizard could not run, or
    // a stop was asked for.
    bool InitInstance();

    // Keeps what the user changed in this run ("speed" and both lists) without running the
    // rest of the exit sequence: for a session that ends or a stop signal. Writes nothing
    // before the main window has loaded the lists.
    void SaveSettings() const override;
    // A stop signal: saves, and ends the program at the event loop, or ends start-up where
    // it stands (InitInstance then answers false).
    void Stop();

    bool IsAnotherInstanceRunning();
    void RunCleaningPass() override;
    // What the cleaning dialog works with. Passes left running in the background end with
    // the application.
    CCleaningServices CleaningServices() override;
    SAppOptions& Options() override { return m_Options; }
    bool RunFirstRunWizard();
    // The tip of the day, when the user wants one at start-up.
    void ShowStartupTip();

    const QString& AppName() const { return m_strAppName; }
    CMainDialog* MainDialog() const { return m_pMainDlg.get(); }

    // The application name: the executable's file name without folder and extension.
    static QString ExecutableBaseName();

    SAppOptions m_Options;

private:
    CMainServices m_Services;
    QString m_strAppName;
    CInstanceLock m_InstanceLock;
    QLibrary m_Wizard;
    CCleaningThreads m_CleaningThreads;
    std::unique_ptr<CMainDialog> m_pMainDlg;
    bool m_bStopping = false;
};
