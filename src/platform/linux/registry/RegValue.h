#pragma once

#include <cstdint>
#include <vector>

#include "platform/Registry.h"

// One value of a registry key: its type and its data as raw bytes, whatever the type says.
struct CRegValue {
    DWORD dwType = REG_NONE;
    std::vector<std::uint8_t> data;

    friend bool operator==(const CRegValue&, const CRegValue&) = default;
};
