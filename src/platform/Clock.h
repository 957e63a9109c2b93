#pragma once

// The local time of day, as the kill log stamps its rows.
struct CTimeOfDay {
    int nHour = 0;    // 0 to 23
    int nMinute = 0;  // 0 to 59
    int nSecond = 0;  // 0 to 60 (a leap second)
};

class IClock {
public:
    virtual ~IClock() = default;

    // The local time of day now, in the user's time zone. Answers midnight when the time
    // cannot be read or converted.
    [[nodiscard]] virtual CTimeOfDay GetLocalTimeOfDay() const = 0;
};
