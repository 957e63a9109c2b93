#include "pages/GeneralPage.h"

#include <memory>
#include <vector>

#include <QCheckBox>
#include <QSlider>
#include <QTest>
#include <gmock/gmock.h>

#include "platform/ModulePath.h"
#include "support/MockAutostart.h"
#include "support/TempStore.h"

namespace {

// A value no option is ever written as: it shows that nothing was stored.
constexpr DWORD kUnwritten = 0xDEAD;

// The boxes in the page's order, each with its option and the index of its live copy in
// GeneralPageTest::m_bLive, if it has one.
const std::tuple<const char*, const COption&, int> kBoxes[] = {
    {"Start with windows", OPT_STARTWIN, -1},
    {"Minimize when starts", OPT_MINSTART, -1},
    {"Always on top", OPT_ONTOP, 0},
    {"Animate tray icon", OPT_ANIMICON, 1},
    {"Beep from PC speaker", OPT_SPEAKER, 2},
    {"Sound from sound box", OPT_SOUNDBOX, 3},
    {"Move Table", OPT_MOVE, 4}};

class GeneralPageTest : public testing::Test, protected STempStore {
protected:
    void Page() { m_pPage = std::make_unique<CGeneralPage>(m_Store, m_Autostart, m_Live); }
    QCheckBox* Box(std::size_t nBox) const {
        return m_pPage->findChildren<QCheckBox*>().at(static_cast<qsizetype>(nBox));
    }
    QSlider* Slider() const { return m_pPage->findChild<QSlider*>(); }
    DWORD Stored(const COption& option) const {
        return m_Store.ReadRegDword(REGKEY_OPTION, option.szName, kUnwritten);
    }

    testing::NiceMock<CMockAutostart> m_Autostart;
    bool m_bLive[5] = {};
    int m_nSpeed = 0;
    std::vector<bool> m_Topmost;
    std::function<void(bool)> m_SetTopmost = [this](bool bTop) { m_Topmost.push_back(bTop); };
    CLiveOptions m_Live{m_bLive[0], m_bLive[1], m_bLive[2],  m_bLive[3],
                        m_bLive[4], m_nSpeed,   m_SetTopmost};
    std::unique_ptr<CGeneralPage> m_pPage;
};

// Building the page stores nothing; each click stores its option and sets its live copy at
// once, and the next page shows what was stored (any value but 0 is on).
TEST_F(GeneralPageTest, ShowsTheStoredOptionsAndStoresEachClickAtOnce) {
    Page();
    for (const bool bChecked : {true, false}) {
        for (std::size_t n = 0; n < std::size(kBoxes); ++n) {
            const auto& [szText, option, nLive] = kBoxes[n];
            EXPECT_NE(Box(n)->isChecked(), bChecked) << szText;
            EXPECT_EQ(Stored(option), bChecked ? kUnwritten : 1U) << szText;
            QTest::mouseClick(Box(n), Qt::LeftButton, {}, QPoint(5, 8));
            EXPECT_EQ(Stored(option), bChecked ? 1U : 0U) << szText;
            EXPECT_TRUE(nLive < 0 || m_bLive[nLive] == bChecked) << szText;
        }
        EXPECT_EQ(Slider()->isEnabled(), bChecked);
        Page();
    }
    EXPECT_EQ(m_Topmost, (std::vector<bool>{true, false}));
    EXPECT_EQ(m_nSpeed, 0) << "only a move of the slider sets the speed";
    m_Store.WriteOption(OPT_SOUNDBOX, 5);
    Page();
    EXPECT_TRUE(Box(5)->isChecked());
}

TEST_F(GeneralPageTest, SliderShowsTheStoredSpeedInRangeAndStoresEveryMove) {
    const std::pair<DWORD, int> shown[] = {{0, 20},  {5, 10},  {10, 10},        {17, 17},
                                           {30, 30}, {31, 30}, {0xFFFFFFFF, 30}};
    for (const auto& [dwStored, nShown] : shown) {
        m_Store.WriteOption(OPT_SPEED, dwStored);
        Page();
        EXPECT_EQ(Slider()->value(), nShown) << dwStored;
        EXPECT_EQ(Stored(OPT_SPEED), dwStored) << "showing it stores nothing";
    }
    m_Store.WriteOption(OPT_MOVE, 1);
    m_Store.WriteOption(OPT_SPEED, 50);
    Page();
    // Already at its right end: pressing on stores that end.
    const std::pair<Qt::Key, int> moves[] = {{Qt::Key_Right, 30},  {Qt::Key_Home, 10},
                                             {Qt::Key_Left, 10},   {Qt::Key_Right, 11},
                                             {Qt::Key_PageUp, 15}, {Qt::Key_End, 30}};
    for (const auto& [key, nSpeed] : moves) {
        QTest::keyClick(Slider(), key);
        EXPECT_EQ(Stored(OPT_SPEED), static_cast<DWORD>(nSpeed)) << key;
        EXPECT_EQ(m_nSpeed, nSpeed) << key;
    }
}

// The log-in entry starts this program or is emptied; where it cannot be written the box
// and the option still follow the click.
TEST_F(GeneralPageTest, StartWithWindowsWritesTheLogInEntryAndStoresTheBoxWhateverTheWrite) {
    Page();
    EXPECT_CALL(m_Autostart, Set(GetModuleFileName())).WillOnce(testing::Return(false));
    Box(0)->click();
    EXPECT_TRUE(Box(0)->isChecked());
    EXPECT_EQ(Stored(OPT_STARTWIN), 1U);
    EXPECT_CALL(m_Autostart, SetEmpty()).WillOnce(testing::Return(true));
    Box(0)->click();
    EXPECT_EQ(Stored(OPT_STARTWIN), 0U);
}

}  // namespace
