#include "engine/WaveSound.h"

#include <gmock/gmock.h>

#include "support/FakeResourceLookup.h"
#include "support/RecordingSoundPlayer.h"

namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using Call = CRecordingSoundPlayer;

const std::vector<std::uint8_t> kImage{'R', 'I', 'F', 'F', 1, 2, 3};

// Each play stops the last sound first; only a wave resource binds, and a failed load, an
// unload or the end of the sound leave nothing bound and stop it.
TEST(WaveSound, PlaysTheBoundWaveResourceUnchangedAfterStoppingTheLastOne) {
    CRecordingSoundPlayer player;
    CFakeResourceLookup resources;
    resources.Add("WAVE", 150, kImage);
    resources.Add("ICON", 151, kImage);
    {
        CWaveSound sound(player);
        EXPECT_FALSE(sound.Play()) << "nothing bound";
        EXPECT_THAT(player.m_Calls, IsEmpty());
        ASSERT_TRUE(sound.LoadFromResource(150, resources));
        player.m_Calls.clear();
        EXPECT_TRUE(sound.Play());
        EXPECT_TRUE(sound.Play(true));
        player.m_bPlayResult = false;
        EXPECT_FALSE(sound.Play());
        EXPECT_THAT(player.m_Calls, ElementsAre(Call::Stopped(), Call::Played(kImage, false),
                                                Call::Stopped(), Call::Played(kImage, true),
                                                Call::Stopped(), Call::Played(kImage, false)));
        for (const bool bUnload : {false, true}) {
            ASSERT_TRUE(sound.LoadFromResource(150, resources));
            player.m_Calls.clear();
            EXPECT_TRUE(bUnload ? sound.Unload() : !sound.LoadFromResource(151, resources));
            EXPECT_FALSE(sound.Play());
            EXPECT_THAT(player.m_Calls, ElementsAre(Call::Stopped()));
        }
        ASSERT_TRUE(sound.LoadFromResource(150, resources));
        player.m_Calls.clear();
    }
    EXPECT_THAT(player.m_Calls, ElementsAre(Call::Stopped())) << "the sound goes with it";
}

}  // namespace
