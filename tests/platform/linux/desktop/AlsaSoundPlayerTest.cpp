#include "platform/linux/desktop/AlsaSoundPlayer.h"

#include <gtest/gtest.h>

#include "support/WaitUntil.h"
#include "support/WaveBuilder.h"

namespace {

// A real PCM without a sound card.
constexpr const char* kNullDevice = "null";
constexpr std::size_t kFrames = 3308;

// A Stop, also with nothing playing, never holds up the sound that follows it.
TEST(AlsaSoundPlayer, ASoundIsHandedToTheDeviceWholeAndThenEnds) {
    CAlsaSoundPlayer player(kNullDevice);
    const Bytes sound = PcmWave(1, 11025, 8, kFrames);
    for (std::uint64_t nPlayed = 1; nPlayed <= 50; ++nPlayed) {
        player.Stop();
        ASSERT_TRUE(player.PlayWave(sound, false));
        ASSERT_TRUE(WaitUntil([&] { return !player.IsPlaying(); })) << nPlayed;
        ASSERT_EQ(player.FramesWritten(), nPlayed * kFrames);
    }
}

// Were the loop not cut off by the new sound, the player would never fall idle.
TEST(AlsaSoundPlayer, ALoopingSoundRepeatsUntilStoppedOrCutOff) {
    CAlsaSoundPlayer player(kNullDevice);
    ASSERT_TRUE(player.PlayWave(PcmWave(2, 44100, 16, 500), true));
    EXPECT_TRUE(WaitUntil([&] { return player.FramesWritten() >= 3 * 500; }));
    EXPECT_TRUE(player.IsPlaying());
    player.Stop();
    EXPECT_FALSE(player.IsPlaying());

    ASSERT_TRUE(player.PlayWave(PcmWave(1, 8000, 8, 400), true));
    ASSERT_TRUE(WaitUntil([&] { return player.FramesWritten() >= 3 * 500 + 400; }));
    ASSERT_TRUE(player.PlayWave(PcmWave(1, 8000, 8, 100), false));
    EXPECT_TRUE(WaitUntil([&] { return !player.IsPlaying(); }));
}

// ALSA's error printer must not write to the terminal.
TEST(AlsaSoundPlayer, BadImagesAreRefusedAndAMissingDeviceIsSilent) {
    testing::internal::CaptureStderr();
    {
        CAlsaSoundPlayer player("quellio_no_such_device");
        EXPECT_FALSE(player.PlayWave(Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0}, false));
        EXPECT_FALSE(player.IsPlaying());
        EXPECT_TRUE(player.PlayWave(PcmWave(1, 11025, 8, kFrames), false));
        EXPECT_TRUE(WaitUntil([&] { return !player.IsPlaying(); }));
        EXPECT_EQ(player.FramesWritten(), 0U);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
