#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// Pieces of RIFF wave images, for tests that feed players and parsers good and bad waves.
using Bytes = std::vector<std::uint8_t>;

// One chunk: tag, little-endian size (the body's length unless `nStatedSize` is given),
// body, and the pad byte of an odd body.
Bytes WaveChunk(std::string_view tag, const Bytes& body, std::int64_t nStatedSize = -1);

// The body of a "fmt " chunk. Block align and byte rate follow from the others unless given.
Bytes WaveFormatBody(std::uint16_t nFormat, std::uint16_t nChannels, std::uint32_t nRate,
                     std::uint16_t nBits, std::int32_t nBlockAlign = -1,
                     std::int64_t nByteRate = -1);

// "RIFF", the size (of what follows unless `nStatedSize` is given), "WAVE" and the chunks.
Bytes WaveRiff(const Bytes& chunks, std::int64_t nStatedSize = -1);

// A whole PCM wave of `nFrames` frames of a rising ramp.
Bytes PcmWave(std::uint16_t nChannels, std::uint32_t nRate, std::uint16_t nBits,
              std::size_t nFrames);

Bytes Concat(std::initializer_list<Bytes> parts);
