#pragma once

#include <cstdint>
#include <span>

// Plays short sounds through the sound card, one at a time, without making the caller wait.
class ISoundPlayer {
public:
    virtual ~ISoundPlayer() = default;

    // Starts playing `image`, a whole RIFF wave file in memory (uncompressed PCM, 8 or 16
    // bits, one or two channels), and returns at once; the image is copied, so the caller
    // may drop it. A sound still playing is cut off first. With `bLoop` the sound repeats
    // until Stop or the next PlayWave. Answers false, and plays nothing, when the image is
    // not such a wave; a missing or busy sound device is not an error: the sound is then
    // silent and nothing is printed.
    [[nodiscard]] virtual bool PlayWave(std::span<const std::uint8_t> image, bool bLoop) = 0;

    // Cuts off the sound playing, if any. Returns at once.
    virtual void Stop() = 0;
};
