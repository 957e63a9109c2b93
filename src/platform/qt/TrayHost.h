#pragma once

#include <functional>

#include <QIcon>
#include <QString>

// Mouse presses on the tray icon, numbered as the window messages that carried them.
enum class ETrayMouse : unsigned {
    LButtonDown = 0x201,
    LButtonDblClk = 0x203,
    RButtonDown = 0x204,
    MButtonDown = 0x207,
};

// One icon in the desktop's notification area (the system tray).
//
// - Show puts the icon in the tray with the icon and tooltip last set and answers false when
//   no icon has been set; where the desktop has no tray at that moment the icon goes in as
//   soon as one appears. Hide takes it out and answers whether it was shown.
// - A shown icon outlives restarts of the tray: when the tray comes back, the host puts the
//   icon back by itself, with its current icon and tooltip. A hidden icon stays out.
// - SetIcon and SetToolTip apply whether the icon is shown or not; SetIcon refuses a null
//   icon (false) and keeps the one it has.
// - IsAvailable tells whether a tray exists now. Where none does the icon cannot be seen,
//   so it must not be the only way back to a hidden window.
// - Presses on the icon reach the mouse handler on the user-interface thread.
class ITrayHost {
public:
    virtual ~ITrayHost() = default;

    [[nodiscard]] virtual bool Show() = 0;
    [[nodiscard]] virtual bool Hide() = 0;
    [[nodiscard]] virtual bool SetIcon(const QIcon& icon) = 0;
    virtual void SetToolTip(const QString& strTip) = 0;
    [[nodiscard]] virtual bool IsAvailable() const = 0;
    // An empty handler drops the presses.
    virtual void SetMouseHandler(std::function<void(ETrayMouse)> handler) = 0;
};
