#include "platform/linux/WaveImage.h"

#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

const Bytes kFourSamples{10, 20, 30, 40};

Bytes Fmt(std::uint16_t nFormat, std::uint16_t nChannels, std::uint32_t nRate,
          std::uint16_t nBits) {
    return WaveChunk("fmt ", WaveFormatBody(nFormat, nChannels, nRate, nBits));
}

const Bytes kMonoFmt = Fmt(1, 1, 11025, 8);
const Bytes kData = WaveChunk("data", kFourSamples);

struct SWaveCase {
    std::string strName;
    std::function<Bytes()> make;
    bool bAccepted;
    unsigned nChannels = 0;
    unsigned nRate = 0;
    unsigned nBits = 0;
    Bytes samples = {};
};

void PrintTo(const SWaveCase& c, std::ostream* os) {
    *os << c.strName;
}

class WaveImageTest : public testing::TestWithParam<SWaveCase> {};

TEST_P(WaveImageTest, ReadsOnlyWholeConsistentPcmWaves) {
    const SWaveCase& c = GetParam();
    const Bytes image = c.make();
    const auto wave = CWaveImage::Parse(image);
    ASSERT_EQ(wave.has_value(), c.bAccepted);
    if (!wave) {
        return;
    }
    EXPECT_EQ(wave->Channels(), c.nChannels);
    EXPECT_EQ(wave->SampleRate(), c.nRate);
    EXPECT_EQ(wave->BitsPerSample(), c.nBits);
    EXPECT_EQ(Bytes(wave->Samples().begin(), wave->Samples().end()), c.samples);
}

const SWaveCase kCases[] = {
    // Accepted.
    {"Mono8Bit",
     [] {
         return WaveRiff(Concat({kMonoFmt, kData}));
     },
     true, 1, 11025, 8, kFourSamples},
    {"Stereo16Bit",
     [] {
         return WaveRiff(Concat({Fmt(1, 2, 44100, 16), kData}));
     },
     true, 2, 44100, 16, kFourSamples},
    {"OtherChunksAreSkippedWithTheirPadByte",
     [] {
         return WaveRiff(Concat(
             {WaveChunk("LIST", {1, 2, 3}), kMonoFmt, WaveChunk("fact", {0, 0, 0, 0}), kData}));
     },
     true, 1, 11025, 8, kFourSamples},
    {"ALongerFormatChunkIsRead",
     [] {
         Bytes body = WaveFormatBody(1, 1, 8000, 8);
         body.insert(body.end(), {0, 0});
         return WaveRiff(Concat({WaveChunk("fmt ", body), kData}));
     },
     true, 1, 8000, 8, kFourSamples},
    {"APartFrameAtTheEndIsLeftOut",
     [] {
         return WaveRiff(Concat({Fmt(1, 2, 22050, 16), WaveChunk("data", {1, 2, 3, 4, 5, 6})}));
     },
     true, 2, 22050, 16, Bytes{1, 2, 3, 4}},
    {"BytesAfterTheRiffAreIgnored",
     [] {
         return Concat({WaveRiff(Concat({kMonoFmt, kData})), Bytes{'j', 'u', 'n', 'k'}});
     },
     true, 1, 11025, 8, kFourSamples},
    {"AnOddDataChunkMayEndWithoutPad",
     [] {
         Bytes image = WaveRiff(Concat({kMonoFmt, WaveChunk("data", {7, 8, 9})}));
         image.pop_back();  // the pad byte
         image[4] = static_cast<std::uint8_t>(image[4] - 1);
         return image;
     },
     true, 1, 11025, 8, Bytes{7, 8, 9}},

    // Refused.
    {"Empty", [] { return Bytes{}; }, false},
    {"ShorterThanAHeader", [] { return Bytes{'R', 'I', 'F', 'F', 4, 0, 0}; }, false},
    {"NotRiff",
     [] {
         Bytes image = WaveRiff(Concat({kMonoFmt, kData}));
         image[0] = 'X';
         return image;
     },
     false},
    {"NotWave",
     [] {
         Bytes image = WaveRiff(Concat({kMonoFmt, kData}));
         image[8] = 'A';
         return image;
     },
     false},
    {"RiffSizeBeyondTheImage",
     [] {
         return WaveRiff(Concat({kMonoFmt, kData}), 1000);
     },
     false},
    {"RiffSizeHuge",
     [] {
         return WaveRiff(Concat({kMonoFmt, kData}), 0xFFFFFFFF);
     },
     false},
    {"RiffSizeCutsTheDataShort",
     [] {
         return WaveRiff(Concat({kMonoFmt, kData}), 4 + 24 + 8 + 2);
     },
     false},
    {"FormatChunkSizeHuge",
     [] {
         return WaveRiff(
             Concat({WaveChunk("fmt ", WaveFormatBody(1, 1, 11025, 8), 0xFFFFFFF0), kData}));
     },
     false},
    {"DataChunkSizeHuge",
     [] {
         return WaveRiff(Concat({kMonoFmt, WaveChunk("data", kFourSamples, 0xFFFFFFFF)}));
     },
     false},
    {"DataChunkSizeOneTooMany",
     [] {
         return WaveRiff(Concat({kMonoFmt, WaveChunk("data", kFourSamples, 5)}));
     },
     false},
    {"DataBeforeFormat",
     [] {
         return WaveRiff(Concat({kData, kMonoFmt}));
     },
     false},
    {"NoData", [] { return WaveRiff(kMonoFmt); }, false},
    {"NoFormat", [] { return WaveRiff(kData); }, false},
    {"TwoFormats",
     [] {
         return WaveRiff(Concat({kMonoFmt, kMonoFmt, kData}));
     },
     false},
    {"FormatChunkTooShort",
     [] {
         Bytes body = WaveFormatBody(1, 1, 11025, 8);
         body.resize(14);
         return WaveRiff(Concat({WaveChunk("fmt ", body), kData}));
     },
     false},
    {"FloatSamples",
     [] {
         return WaveRiff(Concat({Fmt(3, 1, 11025, 32), kData}));
     },
     false},
    {"ExtensibleFormat",
     [] {
         return WaveRiff(Concat({Fmt(0xFFFE, 1, 11025, 8), kData}));
     },
     false},
    {"NoChannels",
     [] {
         return WaveRiff(Concat({Fmt(1, 0, 11025, 8), kData}));
     },
     false},
    {"ThreeChannels",
     [] {
         return WaveRiff(Concat({Fmt(1, 3, 11025, 8), kData}));
     },
     false},
    {"TwentyFourBits",
     [] {
         return WaveRiff(Concat({Fmt(1, 1, 11025, 24), kData}));
     },
     false},
    {"RateZero",
     [] {
         return WaveRiff(Concat({Fmt(1, 1, 0, 8), kData}));
     },
     false},
    {"RateAbsurd",
     [] {
         return WaveRiff(Concat({Fmt(1, 1, 50'000'000, 8), kData}));
     },
     false},
    {"BlockAlignWrong",
     [] {
         return WaveRiff(Concat({WaveChunk("fmt ", WaveFormatBody(1, 2, 11025, 16, 1)), kData}));
     },
     false},
    {"ByteRateWrong",
     [] {
         return WaveRiff(
             Concat({WaveChunk("fmt ", WaveFormatBody(1, 1, 11025, 8, -1, 99)), kData}));
     },
     false},
    {"DataEmpty",
     [] {
         return WaveRiff(Concat({kMonoFmt, WaveChunk("data", {})}));
     },
     false},
    {"DataLessThanAFrame",
     [] {
         return WaveRiff(Concat({Fmt(1, 2, 11025, 16), WaveChunk("data", {1, 2, 3})}));
     },
     false},
};

INSTANTIATE_TEST_SUITE_P(Images, WaveImageTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.strName; });

TEST(WaveImageTruncationTest, EveryCutOfAGoodWaveIsRefused) {
    const Bytes image = PcmWave(1, 11025, 8, 64);
    ASSERT_TRUE(CWaveImage::Parse(image).has_value());
    for (std::size_t n = 0; n < image.size(); ++n) {
        EXPECT_FALSE(CWaveImage::Parse(std::span(image).first(n)).has_value()) << "cut at " << n;
    }
}

}  // namespace
