#include "platform/linux/desktop/WaveImage.h"

#include <gtest/gtest.h>

#include "support/WaveBuilder.h"

namespace {

const Bytes kFourSamples{10, 20, 30, 40};
const Bytes kData = WaveChunk("data", kFourSamples);

Bytes Fmt(std::uint16_t nFormat, std::uint16_t nChannels, std::uint32_t nRate, std::uint16_t nBits,
          std::int32_t nBlockAlign = -1, std::int64_t nByteRate = -1) {
    return WaveChunk("fmt ",
                     WaveFormatBody(nFormat, nChannels, nRate, nBits, nBlockAlign, nByteRate));
}

const Bytes kMonoFmt = Fmt(1, 1, 11025, 8);

Bytes Riff(std::initializer_list<Bytes> chunks, std::int64_t nStatedSize = -1) {
    return WaveRiff(Concat(chunks), nStatedSize);
}

// `image` with the byte at `nAt` replaced.
Bytes Patched(Bytes image, std::size_t nAt, std::uint8_t nByte) {
    image[nAt] = nByte;
    return image;
}

// A format chunk of `nSize` bytes: cut short, or with extra bytes that are to be skipped.
Bytes FmtOfSize(std::size_t nSize) {
    Bytes body = WaveFormatBody(1, 1, 8000, 8);
    body.resize(nSize);
    return WaveChunk("fmt ", body);
}

TEST(WaveImage, ReadsTheFormatAndWholeFrames) {
    // An odd data chunk at the very end, without its pad byte and with the RIFF size to match.
    Bytes unpadded = Riff({kMonoFmt, WaveChunk("data", {7, 8, 9})});
    unpadded.pop_back();
    unpadded[4] = static_cast<std::uint8_t>(unpadded[4] - 1);
    const struct {
        const char* name;
        Bytes image;
        unsigned nChannels, nRate, nBits;
        Bytes samples;
    } cases[] = {
        {"mono 8 bit", Riff({kMonoFmt, kData}), 1, 11025, 8, kFourSamples},
        {"stereo 16 bit", Riff({Fmt(1, 2, 44100, 16), kData}), 2, 44100, 16, kFourSamples},
        {"other chunks skipped with their pad",
         Riff({WaveChunk("LIST", {1, 2, 3}), kMonoFmt, WaveChunk("fact", {0, 0, 0, 0}), kData}), 1,
         11025, 8, kFourSamples},
        {"longer format chunk", Riff({FmtOfSize(18), kData}), 1, 8000, 8, kFourSamples},
        {"part frame at the end left out",
         Riff({Fmt(1, 2, 22050, 16), WaveChunk("data", {1, 2, 3, 4, 5, 6})}), 2, 22050, 16,
         Bytes{1, 2, 3, 4}},
        {"bytes after the RIFF", Concat({Riff({kMonoFmt, kData}), Bytes{'j', 'u', 'n', 'k'}}), 1,
         11025, 8, kFourSamples},
        {"odd data chunk without pad at the end", unpadded, 1, 11025, 8, Bytes{7, 8, 9}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto wave = CWaveImage::Parse(c.image);
        ASSERT_TRUE(wave.has_value());
        EXPECT_EQ(wave->Channels(), c.nChannels);
        EXPECT_EQ(wave->SampleRate(), c.nRate);
        EXPECT_EQ(wave->BitsPerSample(), c.nBits);
        EXPECT_EQ(Bytes(wave->Samples().begin(), wave->Samples().end()), c.samples);
    }
}

TEST(WaveImage, RefusesWhatIsNoPlayablePcmWave) {
    const Bytes good = Riff({kMonoFmt, kData});
    const std::pair<const char*, Bytes> cases[] = {
        {"not RIFF", Patched(good, 0, 'X')},
        {"not WAVE", Patched(good, 8, 'A')},
        {"RIFF size beyond the image", Riff({kMonoFmt, kData}, 1000)},
        {"RIFF size cuts the data short", Riff({kMonoFmt, kData}, 4 + 24 + 8 + 2)},
        {"data chunk size one too many", Riff({kMonoFmt, WaveChunk("data", kFourSamples, 5)})},
        {"data before format", Riff({kData, kMonoFmt})},
        {"no data", Riff({kMonoFmt})},
        {"two formats", Riff({kMonoFmt, kMonoFmt, kData})},
        {"format chunk too short", Riff({FmtOfSize(14), kData})},
        {"float samples", Riff({Fmt(3, 1, 11025, 32), kData})},
        {"extensible format", Riff({Fmt(0xFFFE, 1, 11025, 8), kData})},
        {"no channels", Riff({Fmt(1, 0, 11025, 8), kData})},
        {"three channels", Riff({Fmt(1, 3, 11025, 8), kData})},
        {"24 bits", Riff({Fmt(1, 1, 11025, 24), kData})},
        {"rate zero", Riff({Fmt(1, 1, 0, 8), kData})},
        {"rate absurd", Riff({Fmt(1, 1, 50'000'000, 8), kData})},
        {"block align wrong", Riff({Fmt(1, 2, 11025, 16, 1), kData})},
        {"byte rate wrong", Riff({Fmt(1, 1, 11025, 8, -1, 99), kData})},
        {"data less than a frame", Riff({Fmt(1, 2, 11025, 16), WaveChunk("data", {1, 2, 3})})},
    };
    for (const auto& [name, image] : cases) {
        EXPECT_FALSE(CWaveImage::Parse(image).has_value()) << name;
    }
    // Every cut of a good wave, from nothing on.
    const Bytes image = PcmWave(1, 11025, 8, 64);
    ASSERT_TRUE(CWaveImage::Parse(image).has_value());
    for (std::size_t n = 0; n < image.size(); ++n) {
        EXPECT_FALSE(CWaveImage::Parse(std::span(image).first(n)).has_value()) << "cut at " << n;
    }
}

}  // namespace
