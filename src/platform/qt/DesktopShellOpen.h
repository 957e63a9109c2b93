#pragma once

#include "platform/qt/ShellOpen.h"

// Opens through QDesktopServices (xdg-open on Linux desktops); the web page program is the
// one xdg-mime names for HTML files (CXdgWebPageHandler).
class CDesktopShellOpen : public IShellOpen {
public:
    bool Open(const QUrl& url) override;
    std::optional<int> RunWebPageHandler(std::string_view address) override;
};
