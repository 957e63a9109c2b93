#pragma once

#include <map>
#include <utility>

#include "platform/HotKeys.h"

// Hot keys that no keyboard reaches: claims are kept in a map, and Press plays a press.
class CRecordingHotKeys final : public IHotKeys {
public:
    struct SClaim {
        std::uint32_t fsModifiers;
        std::uint32_t nVirtualKey;
        std::function<void()> onPressed;
    };

    bool RegisterHotKey(int nId, std::uint32_t fsModifiers, std::uint32_t nVirtualKey,
                        std::function<void()> onPressed) override {
        if (m_bTakenElsewhere || m_Claims.contains(nId)) {
            return false;
        }
        m_Claims[nId] = {fsModifiers, nVirtualKey, std::move(onPressed)};
        return true;
    }

    bool UnregisterHotKey(int nId) override { return m_Claims.erase(nId) > 0; }

    // A press of the combination claimed under `nId`; answers false when none is.
    bool Press(int nId) const {
        const auto it = m_Claims.find(nId);
        if (it == m_Claims.end()) {
            return false;
        }
        const auto onPressed = it->second.onPressed;
        onPressed();
        return true;
    }

    std::map<int, SClaim> m_Claims;
    bool m_bTakenElsewhere = false;  // every claim fails, as when another program holds it
};
