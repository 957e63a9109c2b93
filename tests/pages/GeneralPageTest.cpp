#include "pages/GeneralPage.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QSlider>
#include <QTest>

#include <memory>
#include <vector>

#include "platform/ModulePath.h"
#include "platform/linux/desktop/AutostartEntry.h"
#include "platform/linux/registry/RegistryHive.h"
#include "store/SettingsStore.h"
#include "support/RefusingAutostart.h"
#include "support/TempDir.h"
#include "support/TextFile.h"

namespace {

// A value no option is ever written as: it shows that nothing was stored.
constexpr DWORD kUnwritten = 0xDEAD;

// The live copies the page keeps current.
struct SLiveCopies {
    bool bOnTop = false;
    bool bAnimateIcon = false;
    bool bSpeakerBeep = false;
    bool bSoundBox = false;
    bool bAppMove = false;
    int nAppSpeed = 0;
};

class GeneralPageTest : public testing::Test {
protected:
    CGeneralPage& Page(IAutostartEntry& autostart) {
        m_pPage = std::make_unique<CGeneralPage>(m_Store, autostart, m_Live);
        return *m_pPage;
    }
    CGeneralPage& Page() { return Page(m_Autostart); }

    QCheckBox* Box(const char* szText) const {
        for (QCheckBox* box : m_pPage->findChildren<QCheckBox*>()) {
            if (box->text() == QString::fromLatin1(szText)) {
                return box;
            }
        }
        ADD_FAILURE() << "no check box " << szText;
        return nullptr;
    }
    QSlider* Slider() const { return m_pPage->findChild<QSlider*>(); }
    DWORD Stored(const COption& option) const {
        return m_Store.ReadRegDword(REGKEY_OPTION, option.szName, kUnwritten);
    }

    CTempDir m_Dir;
    CRegistryHive m_Hive{m_Dir / "registry.reg"};
    CSettingsStore m_Store{m_Hive};
    CAutostartEntry m_Autostart{m_Dir / "autostart" / "QLIO.desktop"};
    SLiveCopies m_Copies;
    std::vector<bool> m_Topmost;
    CLiveOptions m_Live{m_Copies.bOnTop,
                        m_Copies.bAnimateIcon,
                        m_Copies.bSpeakerBeep,
                        m_Copies.bSoundBox,
                        m_Copies.bAppMove,
                        m_Copies.nAppSpeed,
                        [this](bool bTopmost) { m_Topmost.push_back(bTopmost); }};
    std::unique_ptr<CGeneralPage> m_pPage;
};

struct SBoxCase {
    const char* szText;
    QRect rect;
    const COption& option;
    bool SLiveCopies::*pLive;  // the live copy, if the option has one
};

const SBoxCase kBoxes[] = {
    {"Start with windows", {26, 36, 150, 16}, OPT_STARTWIN, nullptr},
    {"Minimize when starts", {26, 56, 150, 16}, OPT_MINSTART, nullptr},
    {"Always on top", {26, 76, 150, 16}, OPT_ONTOP, &SLiveCopies::bOnTop},
    {"Animate tray icon", {26, 130, 150, 16}, OPT_ANIMICON, &SLiveCopies::bAnimateIcon},
    {"Beep from PC speaker", {26, 150, 150, 16}, OPT_SPEAKER, &SLiveCopies::bSpeakerBeep},
    {"Sound from sound box", {26, 170, 150, 16}, OPT_SOUNDBOX, &SLiveCopies::bSoundBox},
    {"Move Table", {26, 214, 150, 16}, OPT_MOVE, &SLiveCopies::bAppMove},
};

TEST_F(GeneralPageTest, ShowsTheStoredOptionsAndStoresNothingByItself) {
    Page();
    for (const SBoxCase& c : kBoxes) {
        ASSERT_NE(Box(c.szText), nullptr);
        EXPECT_FALSE(Box(c.szText)->isChecked()) << c.szText;
        EXPECT_EQ(Box(c.szText)->geometry(), c.rect) << c.szText;
        EXPECT_EQ(Stored(c.option), kUnwritten) << c.szText;
    }
    EXPECT_FALSE(Slider()->isEnabled());
    EXPECT_EQ(Slider()->value(), 20);
    EXPECT_EQ(Slider()->geometry(), QRect(22, 232, 90, 18));
    EXPECT_EQ(Stored(OPT_SPEED), kUnwritten);
    EXPECT_FALSE(std::filesystem::exists(m_Autostart.Path()));

    // Any value but 0 is on.
    m_Store.WriteOption(OPT_SOUNDBOX, 5);
    Page();
    EXPECT_TRUE(Box("Sound from sound box")->isChecked());
    EXPECT_EQ(Stored(OPT_SOUNDBOX), 5U);
}

TEST_F(GeneralPageTest, EachClickStoresItsOptionAndSetsItsLiveCopyAtOnce) {
    m_Store.WriteOption(OPT_SPEED, 25);
    Page();

    for (const bool bChecked : {true, false}) {
        for (const SBoxCase& c : kBoxes) {
            QCheckBox* box = Box(c.szText);
            if (box->isChecked() != bChecked) {
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
            }
            EXPECT_EQ(Stored(c.option), bChecked ? 1U : 0U) << c.szText;
            if (c.pLive != nullptr) {
                EXPECT_EQ(m_Copies.*c.pLive, bChecked) << c.szText;
            }
        }
        EXPECT_EQ(Slider()->isEnabled(), bChecked);
    }
    EXPECT_EQ(m_Topmost, (std::vector<bool>{true, false}));
    EXPECT_EQ(Stored(OPT_SPEED), 25U) << "switching the slide off keeps its speed";
    EXPECT_EQ(m_Copies.nAppSpeed, 0) << "only a move of the slider sets the speed";
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
    ASSERT_TRUE(Slider()->isEnabled());
    // Already at its right end: pressing on stores that end.
    const std::pair<Qt::Key, int> moves[] = {{Qt::Key_Right, 30},  {Qt::Key_Home, 10},
                                             {Qt::Key_Left, 10},   {Qt::Key_Right, 11},
                                             {Qt::Key_PageUp, 15}, {Qt::Key_End, 30}};
    for (const auto& [key, nSpeed] : moves) {
        QTest::keyClick(Slider(), key);
        EXPECT_EQ(Stored(OPT_SPEED), static_cast<DWORD>(nSpeed)) << key;
        EXPECT_EQ(m_Copies.nAppSpeed, nSpeed) << key;
    }
}

TEST_F(GeneralPageTest, StartWithWindowsKeepsTheLogInEntryAndStoresTheBoxWhateverTheWrite) {
    Page();
    QCheckBox* box = Box("Start with windows");
    box->click();
    const std::string strEntry = ReadTextFile(m_Autostart.Path());
    EXPECT_NE(strEntry.find("\nExec=" + *CAutostartEntry::QuoteExec(GetModuleFileName()) + "\n"),
              std::string::npos)
        << strEntry;
    EXPECT_EQ(Stored(OPT_STARTWIN), 1U);

    box->click();
    EXPECT_NE(ReadTextFile(m_Autostart.Path()).find("\nHidden=true\n"), std::string::npos);
    EXPECT_EQ(Stored(OPT_STARTWIN), 0U);

    // Where the entry cannot be written the box and the option still follow the click.
    CRefusingAutostart refusing;
    Page(refusing);
    Box("Start with windows")->click();
    EXPECT_TRUE(Box("Start with windows")->isChecked());
    EXPECT_EQ(Stored(OPT_STARTWIN), 1U);
}

}  // namespace
