#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// Read-only data built into the program (pictures, sounds), found by type and number as
// the program's resource header names them.
class IResourceLookup {
public:
    virtual ~IResourceLookup() = default;

    // A copy of the bytes of the resource of `type` (such as "WAVE") and `nId`, or nullopt
    // when the program has no such resource. Never fails otherwise.
    [[nodiscard]] virtual std::optional<std::vector<std::uint8_t>> FindResource(
        std::string_view type, int nId) const = 0;
};
