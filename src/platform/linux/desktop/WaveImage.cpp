#include "platform/linux/desktop/WaveImage.h"

#include <cstring>

namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr unsigned kMinRate = 1000;
constexpr unsigned kMaxRate = 192000;

std::uint32_t ReadU32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

std::uint16_t ReadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

bool IsTag(const std::uint8_t* p, const char (&tag)[5]) {
    return std::memcmp(p, tag, 4) == 0;
}

}  // namespace

std::optional<CWaveImage> CWaveImage::Parse(std::span<const std::uint8_t> image) {
    if (image.size() < 12 || !IsTag(image.data(), "RIFF") || !IsTag(image.data() + 8, "WAVE")) {
        return std::nullopt;
    }
    // The RIFF size counts from byte 8; bytes after it are not part of the wave.
    const std::uint64_t riffEnd = std::uint64_t{ReadU32(image.data() + 4)} + 8;
    if (riffEnd > image.size()) {
        return std::nullopt;
    }
    const std::span<const std::uint8_t> riff = image.first(static_cast<std::size_t>(riffEnd));

    CWaveImage wave;
    bool bHaveFormat = false;
    std::size_t pos = 12;
    while (riff.size() - pos >= 8) {
        const std::uint8_t* header = riff.data() + pos;
        const std::uint32_t nChunkSize = ReadU32(header + 4);
        pos += 8;
        if (nChunkSize > riff.size() - pos) {
            return std::nullopt;
        }
        const std::span<const std::uint8_t> body = riff.subspan(pos, nChunkSize);
        if (IsTag(header, "fmt ")) {
            if (bHaveFormat || body.size() < 16) {
                return std::nullopt;
            }
            const std::uint16_t nFormat = ReadU16(body.data());
            wave.m_nChannels = ReadU16(body.data() + 2);
            wave.m_nSampleRate = ReadU32(body.data() + 4);
            const std::uint32_t nByteRate = ReadU32(body.data() + 8);
            const std::uint16_t nBlockAlign = ReadU16(body.data() + 12);
            wave.m_nBitsPerSample = ReadU16(body.data() + 14);
            if (nFormat != kFormatPcm || wave.m_nChannels < 1 || wave.m_nChannels > 2 ||
                (wave.m_nBitsPerSample != 8 && wave.m_nBitsPerSample != 16) ||
                wave.m_nSampleRate < kMinRate || wave.m_nSampleRate > kMaxRate ||
                nBlockAlign != wave.FrameBytes() ||
                nByteRate != std::uint64_t{wave.m_nSampleRate} * nBlockAlign) {
                return std::nullopt;
            }
            bHaveFormat = true;
        } else if (IsTag(header, "data")) {
            if (!bHaveFormat) {
                return std::nullopt;
            }
            const std::size_t nWhole = body.size() - body.size() % wave.FrameBytes();
            if (nWhole == 0) {
                return std::nullopt;
            }
            wave.m_Samples = body.first(nWhole);
            return wave;
        }
        // Chunks are padded to an even length; a last odd chunk may lack its pad byte.
        pos += nChunkSize + (nChunkSize & 1U);
        if (pos > riff.size()) {
            break;
        }
    }
    return std::nullopt;
}
