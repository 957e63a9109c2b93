#pragma once

#include <string>
#include <vector>

#include <QIcon>
#include <QPixmap>

#include "support/ChildProcess.h"

// Runs xdotool with `args` on the test's X server; answers whether it succeeded.
inline bool Xdotool(std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    return CChildProcess::Run(args) == 0;
}

// A tray-sized icon of one colour, which a tray probe can tell apart from others.
inline QIcon SolidIcon(const QColor& colour) {
    QPixmap pixmap(22, 22);
    pixmap.fill(colour);
    return QIcon(pixmap);
}
