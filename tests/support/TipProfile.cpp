#include "support/TipProfile.h"

#include "pages/TipOfDayDlg.h"

#include <QSettings>

void TurnOffStartupTips(const std::filesystem::path& configHome, const QString& strAppName) {
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(configHome.string()));
    QSettings(CTipOfDayDlg::DefaultProfilePath(strAppName), QSettings::IniFormat)
        .setValue(QStringLiteral("Tip/StartUp"), 1);
}
