#pragma once

#include <map>
#include <string>
#include <utility>

#include "platform/ResourceLookup.h"

// Resources held in a map, by type and id.
class CFakeResourceLookup final : public IResourceLookup {
public:
    void Add(std::string type, int nId, std::vector<std::uint8_t> bytes) {
        m_Resources[{std::move(type), nId}] = std::move(bytes);
    }

    std::optional<std::vector<std::uint8_t>> FindResource(std::string_view type,
                                                          int nId) const override {
        const auto it = m_Resources.find({std::string(type), nId});
        if (it == m_Resources.end()) {
            return std::nullopt;
        }
        return it->second;
    }

private:
    std::map<std::pair<std::string, int>, std::vector<std::uint8_t>> m_Resources;
};
