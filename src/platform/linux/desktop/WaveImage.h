#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// The format and the samples of an uncompressed PCM RIFF wave image, read without trusting
// any size that the image states.
class CWaveImage {
public:
    // Reads `image`; answers nullopt for anything but a whole, consistent wave of 8 or
    // 16-bit PCM in one or two channels with at least one frame. The answer points into
    // `image`, which must outlive it.
    static std::optional<CWaveImage> Parse(std::span<const std::uint8_t> image);

    unsigned Channels() const { return m_nChannels; }
    unsigned SampleRate() const { return m_nSampleRate; }
    unsigned BitsPerSample() const { return m_nBitsPerSample; }
    std::size_t FrameBytes() const { return std::size_t{m_nChannels} * m_nBitsPerSample / 8; }
    // Whole frames only: a trailing part of a frame is left out.
    std::span<const std::uint8_t> Samples() const { return m_Samples; }
    std::size_t FrameCount() const { return m_Samples.size() / FrameBytes(); }

private:
    unsigned m_nChannels = 0;
    unsigned m_nSampleRate = 0;
    unsigned m_nBitsPerSample = 0;
    std::span<const std::uint8_t> m_Samples;
};
