#include <QApplication>

#include "app/LinuxServices.h"
#include "app/MainApp.h"
#include "app/StopSignals.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // The program lives in the tray: hiding its last window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    CLinuxServices services;
    CMainApp app(services.Services(), CMainApp::ExecutableBaseName());
    // Changes survive a log-out or a stop signal, not only the "Exit" command.
    CStopSignals stopSignals;
    bool bStopRequested = false;
    QObject::connect(&stopSignals, &CStopSignals::StopRequested, &application,
                     [&app, &bStopRequested] {
                         bStopRequested = true;
                         app.SaveSettings();
                         QCoreApplication::exit(0);
                     });
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &application,
                     [&app] { app.SaveSettings(); });
    // A stop asked for during start-up (while the first-run wizard waits for the user)
    // ends the modal loop it came in; it must end the program too.
    if (!app.InitInstance() || bStopRequested) {
        return 0;
    }
    return QApplication::exec();
}
