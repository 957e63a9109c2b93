#include "platform/linux/desktop/SystemClock.h"

#include <ctime>

CTimeOfDay CSystemClock::GetLocalTimeOfDay() const {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (now == static_cast<std::time_t>(-1) || localtime_r(&now, &local) == nullptr) {
        return {};
    }
    return {local.tm_hour, local.tm_min, local.tm_sec};
}
