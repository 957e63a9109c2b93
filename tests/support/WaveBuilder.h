#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// Pieces of RIFF wave images, for tests that feed players and parsers good and bad waves.
using Bytes = std::vector<std::uint8_t>;

inline void PutU16(Bytes& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void PutU32(Bytes& out, std::uint32_t value) {
    PutU16(out, value & 0xFFFFU);
    PutU16(out, value >> 16);
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// One chunk: tag, little-endian size (the body's length unless `nStatedSize` is given),
// body, and the pad byte of an odd body.
inline Bytes WaveChunk(std::string_view tag, const Bytes& body, std::int64_t nStatedSize = -1) {
    Bytes out(tag.begin(), tag.end());
    PutU32(out, static_cast<std::uint32_t>(nStatedSize < 0 ? static_cast<std::int64_t>(body.size())
                                                           : nStatedSize));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2 != 0) {
        out.push_back(0);
    }
    return out;
}

// The body of a "fmt " chunk. Block align and byte rate follow from the others unless given.
inline Bytes WaveFormatBody(std::uint16_t nFormat, std::uint16_t nChannels, std::uint32_t nRate,
                            std::uint16_t nBits, std::int32_t nBlockAlign = -1,
                            std::int64_t nByteRate = -1) {
    const std::uint32_t nAlign =
        nBlockAlign < 0 ? nChannels * nBits / 8U : static_cast<std::uint32_t>(nBlockAlign);
    Bytes out;
    PutU16(out, nFormat);
    PutU16(out, nChannels);
    PutU32(out, nRate);
    PutU32(out, nByteRate < 0 ? nRate * nAlign : static_cast<std::uint32_t>(nByteRate));
    PutU16(out, nAlign);
    PutU16(out, nBits);
    return out;
}

// "RIFF", the size (of what follows unless `nStatedSize` is given), "WAVE" and the chunks.
inline Bytes WaveRiff(const Bytes& chunks, std::int64_t nStatedSize = -1) {
    Bytes out{'R', 'I', 'F', 'F'};
    PutU32(out, static_cast<std::uint32_t>(
                    nStatedSize < 0 ? static_cast<std::int64_t>(chunks.size() + 4) : nStatedSize));
    out.insert(out.end(), {'W', 'A', 'V', 'E'});
    out.insert(out.end(), chunks.begin(), chunks.end());
    return out;
}

// A whole PCM wave of `nFrames` frames of a rising ramp.
inline Bytes PcmWave(std::uint16_t nChannels, std::uint32_t nRate, std::uint16_t nBits,
                     std::size_t nFrames) {
    Bytes samples(nFrames * nChannels * nBits / 8);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::uint8_t>(i);
    }
    return WaveRiff(Concat({WaveChunk("fmt ", WaveFormatBody(1, nChannels, nRate, nBits)),
                            WaveChunk("data", samples)}));
}
