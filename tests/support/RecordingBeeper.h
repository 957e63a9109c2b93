#pragma once

#include "platform/Beep.h"

// A bell that counts its rings.
class CRecordingBeeper final : public IBeeper {
public:
    bool Beep() override {
        ++m_nBeeps;
        return m_bResult;
    }

    int m_nBeeps = 0;
    bool m_bResult = true;
};
