#pragma once

#include "platform/qt/ShellOpen.h"

// Opens through QDesktopServices (xdg-open on Linux desktops).
class CDesktopShellOpen : public IShellOpen {
public:
    bool Open(const QUrl& url) override;
};
