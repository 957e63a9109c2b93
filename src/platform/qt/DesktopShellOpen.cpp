#include "platform/qt/DesktopShellOpen.h"

#include <QDesktopServices>
#include <QUrl>

bool CDesktopShellOpen::Open(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}
