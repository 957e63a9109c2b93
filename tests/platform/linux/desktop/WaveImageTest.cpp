#include "platform/linux/desktop/WaveImage.h"

#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const Bytes kFourSamples{10, 20, 30, 40};
const Bytes kData = WaveChunk("data", kFourSamples);

Bytes Fmt(std::uint16_t nFormat, std::uint16_t nChannels, std::uint32_t nRate,
          std::uint16_t nBits) {
    return WaveChunk("fmt ", WaveFormatBody(nFormat, nChannels, nRate, nBits));
}

const Bytes kMonoFmt = Fmt(1, 1, 11025, 8);

// A wave of `chunks`, with the RIFF size stated as given.
Bytes Riff(std::initializer_list<Bytes> chunks, std::int64_t nStatedSize = -1) {
    return WaveRiff(Concat(chunks), nStatedSize);
}

// `image` with the byte at `nAt` replaced.
Bytes Patched(Bytes image, std::size_t nAt, std::uint8_t nByte) {
    image[nAt] = nByte;
    return image;
}

Bytes WithLongFormat() {
    Bytes body = WaveFormatBody(1, 1, 8000, 8);
    body.insert(body.end(), {0, 0});
    return Riff({WaveChunk("fmt ", body), kData});
}

// An odd data chunk at the very end, without its pad byte and with the RIFF size to match.
Bytes WithoutFinalPad() {
    Bytes image = Riff({kMonoFmt, WaveChunk("data", {7, 8, 9})});
    image.pop_back();
    return Patched(image, 4, static_cast<std::uint8_t>(image[4] - 1));
}

Bytes WithShortFormat() {
    Bytes body = WaveFormatBody(1, 1, 11025, 8);
    body.resize(14);
    return Riff({WaveChunk("fmt ", body), kData});
}

struct SGoodCase {
    const char* szName;
    Bytes image;
    unsigned nChannels, nRate, nBits;
    Bytes samples;
};

void PrintTo(const SGoodCase& c, std::ostream* os) {
    *os << c.szName;
}

class WaveImageGoodTest : public testing::TestWithParam<SGoodCase> {};

TEST_P(WaveImageGoodTest, ReadsTheFormatAndWholeFrames) {
    const SGoodCase& c = GetParam();
    const auto wave = CWaveImage::Parse(c.image);
    ASSERT_TRUE(wave.has_value());
    EXPECT_EQ(wave->Channels(), c.nChannels);
    EXPECT_EQ(wave->SampleRate(), c.nRate);
    EXPECT_EQ(wave->BitsPerSample(), c.nBits);
    EXPECT_EQ(Bytes(wave->Samples().begin(), wave->Samples().end()), c.samples);
}

INSTANTIATE_TEST_SUITE_P(
    Images, WaveImageGoodTest,
    testing::Values(
        SGoodCase{"Mono8Bit", Riff({kMonoFmt, kData}), 1, 11025, 8, kFourSamples},
        SGoodCase{"Stereo16Bit", Riff({Fmt(1, 2, 44100, 16), kData}), 2, 44100, 16, kFourSamples},
        SGoodCase{
            "OtherChunksAreSkippedWithTheirPadByte",
            Riff({WaveChunk("LIST", {1, 2, 3}), kMonoFmt, WaveChunk("fact", {0, 0, 0, 0}), kData}),
            1, 11025, 8, kFourSamples},
        SGoodCase{"ALongerFormatChunkIsRead", WithLongFormat(), 1, 8000, 8, kFourSamples},
        SGoodCase{"APartFrameAtTheEndIsLeftOut",
                  Riff({Fmt(1, 2, 22050, 16), WaveChunk("data", {1, 2, 3, 4, 5, 6})}), 2, 22050, 16,
                  Bytes{1, 2, 3, 4}},
        SGoodCase{"BytesAfterTheRiffAreIgnored",
                  Concat({Riff({kMonoFmt, kData}), Bytes{'j', 'u', 'n', 'k'}}), 1, 11025, 8,
                  kFourSamples},
        SGoodCase{"AnOddDataChunkMayEndWithoutPad", WithoutFinalPad(), 1, 11025, 8,
                  Bytes{7, 8, 9}}),
    [](const auto& info) { return std::string(info.param.szName); });

struct SBadCase {
    const char* szName;
    Bytes image;
};

void PrintTo(const SBadCase& c, std::ostream* os) {
    *os << c.szName;
}

class WaveImageBadTest : public testing::TestWithParam<SBadCase> {};

TEST_P(WaveImageBadTest, IsRefused) {
    EXPECT_FALSE(CWaveImage::Parse(GetParam().image).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Images, WaveImageBadTest,
    testing::Values(
        SBadCase{"Empty", {}}, SBadCase{"ShorterThanAHeader", {'R', 'I', 'F', 'F', 4, 0, 0}},
        SBadCase{"NotRiff", Patched(Riff({kMonoFmt, kData}), 0, 'X')},
        SBadCase{"NotWave", Patched(Riff({kMonoFmt, kData}), 8, 'A')},
        SBadCase{"RiffSizeBeyondTheImage", Riff({kMonoFmt, kData}, 1000)},
        SBadCase{"RiffSizeHuge", Riff({kMonoFmt, kData}, 0xFFFFFFFF)},
        SBadCase{"RiffSizeCutsTheDataShort", Riff({kMonoFmt, kData}, 4 + 24 + 8 + 2)},
        SBadCase{"FormatChunkSizeHuge",
                 Riff({WaveChunk("fmt ", WaveFormatBody(1, 1, 11025, 8), 0xFFFFFFF0), kData})},
        SBadCase{"DataChunkSizeHuge",
                 Riff({kMonoFmt, WaveChunk("data", kFourSamples, 0xFFFFFFFF)})},
        SBadCase{"DataChunkSizeOneTooMany", Riff({kMonoFmt, WaveChunk("data", kFourSamples, 5)})},
        SBadCase{"DataBeforeFormat", Riff({kData, kMonoFmt})}, SBadCase{"NoData", Riff({kMonoFmt})},
        SBadCase{"NoFormat", Riff({kData})},
        SBadCase{"TwoFormats", Riff({kMonoFmt, kMonoFmt, kData})},
        SBadCase{"FormatChunkTooShort", WithShortFormat()},
        SBadCase{"FloatSamples", Riff({Fmt(3, 1, 11025, 32), kData})},
        SBadCase{"ExtensibleFormat", Riff({Fmt(0xFFFE, 1, 11025, 8), kData})},
        SBadCase{"NoChannels", Riff({Fmt(1, 0, 11025, 8), kData})},
        SBadCase{"ThreeChannels", Riff({Fmt(1, 3, 11025, 8), kData})},
        SBadCase{"TwentyFourBits", Riff({Fmt(1, 1, 11025, 24), kData})},
        SBadCase{"RateZero", Riff({Fmt(1, 1, 0, 8), kData})},
        SBadCase{"RateAbsurd", Riff({Fmt(1, 1, 50'000'000, 8), kData})},
        SBadCase{"BlockAlignWrong",
                 Riff({WaveChunk("fmt ", WaveFormatBody(1, 2, 11025, 16, 1)), kData})},
        SBadCase{"ByteRateWrong",
                 Riff({WaveChunk("fmt ", WaveFormatBody(1, 1, 11025, 8, -1, 99)), kData})},
        SBadCase{"DataEmpty", Riff({kMonoFmt, WaveChunk("data", {})})},
        SBadCase{"DataLessThanAFrame", Riff({Fmt(1, 2, 11025, 16), WaveChunk("data", {1, 2, 3})})}),
    [](const auto& info) { return std::string(info.param.szName); });

TEST(WaveImageTruncationTest, EveryCutOfAGoodWaveIsRefused) {
    const Bytes image = PcmWave(1, 11025, 8, 64);
    ASSERT_TRUE(CWaveImage::Parse(image).has_value());
    for (std::size_t n = 0; n < image.size(); ++n) {
        EXPECT_FALSE(CWaveImage::Parse(std::span(image).first(n)).has_value()) << "cut at " << n;
    }
}

}  // namespace
