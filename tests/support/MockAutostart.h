#pragma once

#include <gmock/gmock.h>

#include "platform/AutostartEntry.h"

// A log-in entry; uninstructed, it can never be written.
struct CMockAutostart : IAutostartEntry {
    MOCK_METHOD(bool, Set, (std::string_view), (override));
    MOCK_METHOD(bool, SetEmpty, (), (override));
};
