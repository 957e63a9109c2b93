#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/Sound.h"

// ISoundPlayer on ALSA. A worker thread owns the PCM device and writes to it without
// blocking, so neither a slow nor a missing device can hold up the caller; the device is
// opened for each sound and closed when the sound ends.
class CAlsaSoundPlayer final : public ISoundPlayer {
public:
    // `strDevice` is an ALSA PCM name such as "default".
    explicit CAlsaSoundPlayer(std::string strDevice = "default");
    ~CAlsaSoundPlayer() override;
    CAlsaSoundPlayer(const CAlsaSoundPlayer&) = delete;
    CAlsaSoundPlayer& operator=(const CAlsaSoundPlayer&) = delete;

    bool PlayWave(std::span<const std::uint8_t> image, bool bLoop) override;
    void Stop() override;

    // Whether a sound is under way: from PlayWave until it has been played out, has failed
    // to reach the device, or has been stopped.
    bool IsPlaying() const;
    // Frames handed to the device since the player was made.
    std::uint64_t FramesWritten() const { return m_nFramesWritten; }

private:
    struct SSound {
        unsigned nChannels;
        unsigned nSampleRate;
        unsigned nBitsPerSample;
        std::vector<std::uint8_t> samples;
        bool bLoop;
    };

    void Run();
    void PlayOnDevice(const SSound& sound, std::uint64_t nGeneration);
    bool IsCancelled(std::uint64_t nGeneration) const;

    const std::string m_strDevice;
    mutable std::mutex m_Mutex;
    std::condition_variable m_Wake;
    std::optional<SSound> m_Pending;
    std::uint64_t m_nGeneration = 0;  // counts PlayWave and Stop calls
    bool m_bBusy = false;
    bool m_bQuit = false;
    std::atomic<std::uint64_t> m_nFramesWritten{0};
    std::thread m_Worker;
};
