#pragma once

#include <string_view>

// Where the scan reports each window it has closed: first the kill record (the address,
// whole) for the kill log, then the signals to the user. Both run on the scanning thread
// before the scan goes on; the receiver copies what it keeps.
class IKillReport {
public:
    virtual ~IKillReport() = default;

    // The kill record (WM_ADDLOG in the log page).
    virtual void AddLog(std::string_view url) = 0;
    // Tray image, sound and beep, as the options say.
    virtual void SignalKill() = 0;
};
