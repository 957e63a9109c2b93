#include "platform/qt/AppResources.h"

#include "Resource.h"
#include "platform/linux/desktop/WaveImage.h"

#include <gmock/gmock.h>

namespace {

using testing::UnorderedElementsAre;

class AppIconTest : public testing::TestWithParam<int> {};

TEST_P(AppIconTest, EveryIconComesInTheFourTraySizes) {
    const QIcon icon = CAppResources::LoadIcon(GetParam());
    ASSERT_FALSE(icon.isNull());
    EXPECT_THAT(icon.availableSizes(),
                UnorderedElementsAre(QSize(16, 16), QSize(22, 22), QSize(32, 32), QSize(48, 48)));
}

TEST_P(AppIconTest, LoadingAnIconAgainGivesTheSameIcon) {
    EXPECT_EQ(CAppResources::LoadIcon(GetParam()).cacheKey(),
              CAppResources::LoadIcon(GetParam()).cacheKey());
}

INSTANTIATE_TEST_SUITE_P(Ids, AppIconTest,
                         testing::Values(IDR_MAINFRAME, IDI_TRAY_ON, IDI_TRAY_KILL, IDI_TRAY_OFF));

struct SBitmapCase {
    int nId;
    QSize size;
};

void PrintTo(const SBitmapCase& c, std::ostream* os) {
    *os << "bitmap " << c.nId;
}

class AppBitmapTest : public testing::TestWithParam<SBitmapCase> {};

TEST_P(AppBitmapTest, EveryBitmapHasItsSize) {
    const QPixmap bitmap = CAppResources::LoadBitmap(GetParam().nId);
    ASSERT_FALSE(bitmap.isNull());
    EXPECT_EQ(bitmap.size(), GetParam().size);
}

const QSize kMenuPicture(16, 16);

INSTANTIATE_TEST_SUITE_P(
    Ids, AppBitmapTest,
    testing::Values(
        SBitmapCase{IDB_MENU_SIDE, QSize(16, 252)}, SBitmapCase{IDB_LOGO, QSize(38, 37)},
        SBitmapCase{IDB_MENU_OFF, kMenuPicture}, SBitmapCase{IDB_MENU_ON, kMenuPicture},
        SBitmapCase{IDB_MENU_GENERAL, kMenuPicture}, SBitmapCase{IDB_MENU_HISTORY, kMenuPicture},
        SBitmapCase{IDB_MENU_BLACKLIST, kMenuPicture},
        SBitmapCase{IDB_MENU_WHITELIST, kMenuPicture}, SBitmapCase{IDB_MENU_LOGS, kMenuPicture},
        SBitmapCase{IDB_MENU_ABOUT, kMenuPicture}, SBitmapCase{IDB_MENU_HELP_TOPICS, kMenuPicture},
        SBitmapCase{IDB_MENU_HELP_ONLINE, kMenuPicture}, SBitmapCase{IDB_MENU_TIP, kMenuPicture},
        SBitmapCase{IDB_MENU_EXIT, kMenuPicture}),
    [](const auto& info) { return std::to_string(info.param.nId); });

TEST(AppResourcesTest, TheKillSoundIsAShortEightBitMonoWave) {
    const CAppResources resources;
    const auto bytes = resources.FindResource(RT_WAVE, IDR_WAVE_KILL);
    ASSERT_TRUE(bytes.has_value());
    const auto wave = CWaveImage::Parse(*bytes);
    ASSERT_TRUE(wave.has_value());
    EXPECT_EQ(wave->Channels(), 1U);
    EXPECT_EQ(wave->BitsPerSample(), 8U);
    EXPECT_EQ(wave->SampleRate(), 11025U);
    const double seconds = static_cast<double>(wave->FrameCount()) / wave->SampleRate();
    EXPECT_NEAR(seconds, 0.3, 0.05);
}

TEST(AppResourcesTest, AMissingResourceIsNone) {
    const CAppResources resources;
    EXPECT_FALSE(resources.FindResource(RT_WAVE, 151).has_value());
    EXPECT_FALSE(resources.FindResource("NOTYPE", IDR_WAVE_KILL).has_value());
    EXPECT_TRUE(CAppResources::LoadIcon(130).isNull());
    EXPECT_TRUE(CAppResources::LoadBitmap(IDI_TRAY_ON).isNull());
}

}  // namespace
