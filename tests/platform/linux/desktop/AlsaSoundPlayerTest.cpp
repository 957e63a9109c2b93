#include "platform/linux/desktop/AlsaSoundPlayer.h"

#include "support/TempDir.h"
#include "support/WaitUntil.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

namespace {

using namespace std::chrono_literals;

// ALSA's "null" device takes samples as fast as they come and plays nothing: a real PCM
// without a sound card.
constexpr const char* kNullDevice = "null";
constexpr std::size_t kFrames = 3308;

TEST(AlsaSoundPlayerTest, ASoundIsHandedToTheDeviceWholeAndThenEnds) {
    CAlsaSoundPlayer player(kNullDevice);
    ASSERT_TRUE(player.PlayWave(PcmWave(1, 11025, 8, kFrames), false));
    EXPECT_TRUE(WaitUntil([&] { return !player.IsPlaying(); }));
    EXPECT_EQ(player.FramesWritten(), kFrames);
}

TEST(AlsaSoundPlayerTest, ALoopingSoundRepeatsUntilStopped) {
    CAlsaSoundPlayer player(kNullDevice);
    ASSERT_TRUE(player.PlayWave(PcmWave(2, 44100, 16, 500), true));
    EXPECT_TRUE(WaitUntil([&] { return player.FramesWritten() >= 3 * 500; }));
    EXPECT_TRUE(player.IsPlaying());
    player.Stop();
    EXPECT_FALSE(player.IsPlaying());
}

TEST(AlsaSoundPlayerTest, ANewSoundCutsOffTheOneStillPlaying) {
    CAlsaSoundPlayer player(kNullDevice);
    ASSERT_TRUE(player.PlayWave(PcmWave(1, 8000, 8, 400), true));
    ASSERT_TRUE(WaitUntil([&] { return player.FramesWritten() >= 400; }));
    // Were the loop not cut off, the player would never fall idle.
    ASSERT_TRUE(player.PlayWave(PcmWave(1, 8000, 8, 100), false));
    EXPECT_TRUE(WaitUntil([&] { return !player.IsPlaying(); }));
}

TEST(AlsaSoundPlayerTest, AnImageThatIsNoPlayableWaveIsRefused) {
    CAlsaSoundPlayer player(kNullDevice);
    EXPECT_FALSE(player.PlayWave(Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0}, false));
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(player.FramesWritten(), 0U);
}

TEST(AlsaSoundPlayerTest, AMissingDeviceIsSilentAndPrintsNothing) {
    CTempDir dir;
    const auto errPath = dir / "stderr";
    const int saved = dup(STDERR_FILENO);
    const int file = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(file, 0);
    dup2(file, STDERR_FILENO);
    close(file);
    {
        CAlsaSoundPlayer player("quellio_no_such_device");
        EXPECT_TRUE(player.PlayWave(PcmWave(1, 11025, 8, kFrames), false));
        EXPECT_TRUE(WaitUntil([&] { return !player.IsPlaying(); }));
        EXPECT_EQ(player.FramesWritten(), 0U);
    }
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::ifstream in(errPath);
    const std::string printed{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(printed, "");
}

TEST(AlsaSoundPlayerTest, StoppingWhenNothingPlaysIsHarmless) {
    CAlsaSoundPlayer player(kNullDevice);
    player.Stop();
    EXPECT_FALSE(player.IsPlaying());
}

}  // namespace
