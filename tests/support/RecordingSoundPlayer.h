#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/Sound.h"

// A sound player that plays nothing and remembers every call, in order.
class CRecordingSoundPlayer final : public ISoundPlayer {
public:
    struct SCall {
        enum class EKind { Play, Stop } eKind;
        std::vector<std::uint8_t> image;  // Play only
        bool bLoop = false;               // Play only
        bool operator==(const SCall&) const = default;
    };

    bool PlayWave(std::span<const std::uint8_t> image, bool bLoop) override {
        m_Calls.push_back({SCall::EKind::Play, {image.begin(), image.end()}, bLoop});
        return m_bPlayResult;
    }
    void Stop() override { m_Calls.push_back({SCall::EKind::Stop, {}, false}); }

    static SCall Played(std::vector<std::uint8_t> image, bool bLoop) {
        return {SCall::EKind::Play, std::move(image), bLoop};
    }
    static SCall Stopped() { return {SCall::EKind::Stop, {}, false}; }

    std::vector<SCall> m_Calls;
    bool m_bPlayResult = true;  // what PlayWave answers
};
