#pragma once

#include <QLibrary>
#include <QString>

#include <memory>

#include "app/MainDialog.h"
#include "platform/Registry.h"
#include "platform/linux/desktop/InstanceLock.h"

// The application: the live copies of the options the whole program shares, start-up in
// its fixed order, and the single main window.
class CMainApp {
public:
    // Reads "bmove" and "speed" into their live copies.
    CMainApp(const CMainServices& services, QString strAppName);
    ~CMainApp();
    CMainApp(const CMainApp&) = delete;
    CMainApp& operator=(const CMainApp&) = delete;

    // Start-up up to the running main window. False when the program must end at once:
    // another instance runs (after telling the user), or the first-run wizard could not run.
    bool InitInstance();

    // Keeps what the user changed in this run ("speed" and both lists) without running the
    // rest of the exit sequence: for a session that ends or a stop signal.
    void SaveSettings() const;

    bool IsAnotherInstanceRunning();
    bool RunFirstRunWizard();
    // The tip of the day, when the user wants one at start-up.
    void ShowStartupTip();

    const QString& AppName() const { return m_strAppName; }
    CMainDialog* MainDialog() const { return m_pMainDlg.get(); }

    // The application name: the executable's file name without folder and extension.
    static QString ExecutableBaseName();

    bool m_bAppMove = false;
    int m_nAppSpeed = 20;
    DWORD m_nCleanTime = 0;

private:
    CMainServices m_Services;
    QString m_strAppName;
    CInstanceLock m_InstanceLock;
    QLibrary m_Wizard;
    std::unique_ptr<CMainDialog> m_pMainDlg;
};
