#pragma once

#include "platform/AutostartEntry.h"

// A log-in entry that can never be written.
class CRefusingAutostart final : public IAutostartEntry {
public:
    bool Set(std::string_view) override { return false; }
    bool SetEmpty() override { return false; }
};
