#pragma once

#include "platform/Beep.h"

// A bell that counts its rings.
class CRecordingBeeper final : public IBeeper {
public:
    bool Beep() override {
        ++m_nBeeps;
        return true;
    }

    int m_nBeeps = 0;
};
