#pragma once

#include "platform/Clock.h"

// The system's clock in the local time zone (TZ and /etc/localtime), as the C library
// converts it.
class CSystemClock : public IClock {
public:
    CTimeOfDay GetLocalTimeOfDay() const override;
};
