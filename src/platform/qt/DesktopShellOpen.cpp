#include "platform/qt/DesktopShellOpen.h"

#include <QDesktopServices>
#include <QUrl>

#include "platform/qt/XdgWebPageHandler.h"

bool CDesktopShellOpen::Open(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

std::optional<int> CDesktopShellOpen::RunWebPageHandler(std::string_view address) {
    const std::optional<std::string> strExec = CXdgWebPageHandler::QueryOpenCommand();
    if (!strExec) {
        return std::nullopt;
    }
    const std::optional<std::vector<std::string>> args = CXdgWebPageHandler::SplitExec(*strExec);
    if (!args || args->empty()) {
        return std::nullopt;
    }
    return CXdgWebPageHandler::Run(CXdgWebPageHandler::BuildCommand(*args, address));
}
