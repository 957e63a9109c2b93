#pragma once

// The desktop's simple alert beep.
class IBeeper {
public:
    virtual ~IBeeper() = default;

    // Rings the bell once and returns at once. Answers false where no bell can be reached
    // (no display, for one); nothing is printed then.
    [[nodiscard]] virtual bool Beep() = 0;
};
