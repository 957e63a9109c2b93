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
    QObject::connect(&stopSignals, &CStopSignals::StopRequested, &application,
                     [&app] { app.Stop(); });
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &application,
                     [&app] { app.SaveSettings(); });
    if (!app.InitInstance()) {
        return 0;
    }
    return QApplication::exec();
}
