#include "platform/qt/AppResources.h"

#include <gmock/gmock.h>

#include "Resource.h"
#include "platform/linux/desktop/WaveImage.h"

namespace {

using testing::UnorderedElementsAre;

// Each icon comes in the four tray sizes, and asking again gives the same icon.
TEST(AppResources, IconsAndBitmapsComeInTheirSizes) {
    for (const int nId : {IDR_MAINFRAME, IDI_TRAY_ON, IDI_TRAY_KILL, IDI_TRAY_OFF}) {
        const QIcon icon = CAppResources::LoadIcon(nId);
        EXPECT_THAT(icon.availableSizes(), UnorderedElementsAre(QSize(16, 16), QSize(22, 22),
                                                                QSize(32, 32), QSize(48, 48)))
            << nId;
        EXPECT_EQ(CAppResources::LoadIcon(nId).cacheKey(), icon.cacheKey());
    }
    const std::pair<int, QSize> bitmaps[] = {{IDB_MENU_SIDE, {16, 252}}, {IDB_LOGO, {38, 37}}};
    for (const auto& [nId, size] : bitmaps) {
        EXPECT_EQ(CAppResources::LoadBitmap(nId).size(), size) << nId;
    }
    for (const int nId :
         {IDB_MENU_OFF, IDB_MENU_ON, IDB_MENU_GENERAL, IDB_MENU_HISTORY, IDB_MENU_BLACKLIST,
          IDB_MENU_WHITELIST, IDB_MENU_LOGS, IDB_MENU_ABOUT, IDB_MENU_HELP_TOPICS,
          IDB_MENU_HELP_ONLINE, IDB_MENU_TIP, IDB_MENU_EXIT}) {
        EXPECT_EQ(CAppResources::LoadBitmap(nId).size(), QSize(16, 16)) << nId;
    }
    EXPECT_TRUE(CAppResources::LoadIcon(130).isNull());
    EXPECT_TRUE(CAppResources::LoadBitmap(IDI_TRAY_ON).isNull());
}

TEST(AppResources, TheKillSoundIsAShortEightBitMonoWave) {
    const CAppResources resources;
    EXPECT_FALSE(resources.FindResource(RT_WAVE, 151).has_value());
    EXPECT_FALSE(resources.FindResource("NOTYPE", IDR_WAVE_KILL).has_value());
    const auto wave = CWaveImage::Parse(resources.FindResource(RT_WAVE, IDR_WAVE_KILL).value());
    ASSERT_TRUE(wave.has_value());
    EXPECT_EQ(wave->Channels(), 1U);
    EXPECT_EQ(wave->BitsPerSample(), 8U);
    EXPECT_EQ(wave->SampleRate(), 11025U);
    EXPECT_NEAR(static_cast<double>(wave->FrameCount()) / wave->SampleRate(), 0.3, 0.05);
}

}  // namespace
