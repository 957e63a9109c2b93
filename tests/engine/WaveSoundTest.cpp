#include "engine/WaveSound.h"

#include "support/FakeResourceLookup.h"
#include "support/RecordingSoundPlayer.h"

#include <gmock/gmock.h>

namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using Call = CRecordingSoundPlayer;

const std::vector<std::uint8_t> kImage{'R', 'I', 'F', 'F', 1, 2, 3};
const std::vector<std::uint8_t> kOtherImage{'R', 'I', 'F', 'F', 9};

class WaveSoundTest : public testing::Test {
protected:
    WaveSoundTest() {
        m_Resources.Add("WAVE", 150, kImage);
        m_Resources.Add("WAVE", 151, kOtherImage);
        m_Resources.Add("ICON", 152, kOtherImage);
    }

    CRecordingSoundPlayer m_Player;
    CFakeResourceLookup m_Resources;
};

TEST_F(WaveSoundTest, WithNothingBoundPlayAnswersFalseAndTouchesNoDevice) {
    CWaveSound sound(m_Player);
    EXPECT_FALSE(sound.Play());
    EXPECT_THAT(m_Player.m_Calls, IsEmpty());
}

TEST_F(WaveSoundTest, PlayStopsTheOldSoundThenPlaysTheBoundImageUnchanged) {
    CWaveSound sound(m_Player);
    ASSERT_TRUE(sound.LoadFromResource(150, m_Resources));
    m_Player.m_Calls.clear();

    EXPECT_TRUE(sound.Play());
    EXPECT_TRUE(sound.Play(true));
    EXPECT_THAT(m_Player.m_Calls, ElementsAre(Call::Stopped(), Call::Played(kImage, false),
                                              Call::Stopped(), Call::Played(kImage, true)));
}

TEST_F(WaveSoundTest, PlayAnswersWhatThePlayerAnswers) {
    CWaveSound sound(m_Player);
    ASSERT_TRUE(sound.LoadFromResource(150, m_Resources));
    m_Player.m_bPlayResult = false;
    EXPECT_FALSE(sound.Play());
}

TEST_F(WaveSoundTest, OnlyAWaveResourceOfThatIdBinds) {
    CWaveSound sound(m_Player);
    EXPECT_FALSE(sound.LoadFromResource(152, m_Resources));  // an icon, not a wave
    EXPECT_FALSE(sound.LoadFromResource(999, m_Resources));
    EXPECT_FALSE(sound.IsLoaded());
    EXPECT_FALSE(sound.Play());
}

TEST_F(WaveSoundTest, AFailedLoadLeavesNothingBound) {
    CWaveSound sound(m_Player);
    ASSERT_TRUE(sound.LoadFromResource(150, m_Resources));
    EXPECT_FALSE(sound.LoadFromResource(999, m_Resources));
    m_Player.m_Calls.clear();
    EXPECT_FALSE(sound.Play());
    EXPECT_THAT(m_Player.m_Calls, IsEmpty());
}

TEST_F(WaveSoundTest, LoadingAgainReplacesTheSound) {
    CWaveSound sound(m_Player);
    ASSERT_TRUE(sound.LoadFromResource(150, m_Resources));
    ASSERT_TRUE(sound.LoadFromResource(151, m_Resources));
    m_Player.m_Calls.clear();
    sound.Play();
    EXPECT_THAT(m_Player.m_Calls, ElementsAre(Call::Stopped(), Call::Played(kOtherImage, false)));
}

TEST_F(WaveSoundTest, UnloadStopsAndForgetsTheSound) {
    CWaveSound sound(m_Player);
    ASSERT_TRUE(sound.LoadFromResource(150, m_Resources));
    m_Player.m_Calls.clear();
    EXPECT_TRUE(sound.Unload());
    EXPECT_FALSE(sound.Play());
    EXPECT_THAT(m_Player.m_Calls, ElementsAre(Call::Stopped()));
}

TEST_F(WaveSoundTest, DestructionStopsTheSound) {
    {
        CWaveSound sound(m_Player);
        ASSERT_TRUE(sound.LoadFromResource(150, m_Resources));
        sound.Play(true);
        m_Player.m_Calls.clear();
    }
    EXPECT_THAT(m_Player.m_Calls, ElementsAre(Call::Stopped()));
}

}  // namespace
