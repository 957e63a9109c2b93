#pragma once

#include "platform/Clock.h"

// A clock that shows whatever time of day the test sets.
class CFakeClock : public IClock {
public:
    void Set(int nHour, int nMinute, int nSecond) { m_Time = {nHour, nMinute, nSecond}; }
    CTimeOfDay GetLocalTimeOfDay() const override { return m_Time; }

private:
    CTimeOfDay m_Time;
};
