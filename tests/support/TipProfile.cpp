#include "support/TipProfile.h"

#include "pages/TipOfDayDlg.h"

#include <QSettings>

void TurnOffStartupTips(const QString& strAppName) {
    QSettings(CTipOfDayDlg::DefaultProfilePath(strAppName), QSettings::IniFormat)
        .setValue(QStringLiteral("Tip/StartUp"), 1);
}
