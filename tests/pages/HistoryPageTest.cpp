#include "pages/HistoryPage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "cleaner/CleaningThreads.h"
#include "platform/linux/registry/RegistryHive.h"
#include "store/SettingsStore.h"
#include "support/RecordingCleaner.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempDir.h"

using ::testing::ElementsAre;

namespace {

// The five kinds in the page's order, with their options.
const COption* const kKinds[] = {&OPT_KILLHISTORY, &OPT_KILLCACHE, &OPT_KILLCOOKIES,
                                 &OPT_KILLFAVORITES, &OPT_KILLRECENT};
const char* const kKindTexts[] = {"History", "Cache (Temporary Internet files)", "Cookies",
                                  "Favorites", "Recent"};

class HistoryPageTest : public testing::Test {
protected:
    CHistoryPage& Open(DWORD nAppCleanTime = CLEAN_TIME_RUNNING) {
        m_pPage = std::make_unique<CHistoryPage>(
            CCleaningServices{m_Cleaner, m_Store, m_MessageBox, m_Threads}, nAppCleanTime);
        return *m_pPage;
    }
    template <typename T>
    T* Control(const char* szText) const {
        for (T* control : m_pPage->findChildren<T*>()) {
            if (control->text() == QString::fromLatin1(szText)) {
                return control;
            }
        }
        ADD_FAILURE() << "no control " << szText;
        return nullptr;
    }
    QCheckBox* Box(const char* szText) const { return Control<QCheckBox>(szText); }
    QPushButton* CleanNow() const { return Control<QPushButton>("Clean Now"); }
    QComboBox* CleanTime() const { return m_pPage->findChild<QComboBox*>(); }
    DWORD Stored(const COption& option) const {
        return m_Store.ReadRegDword(REGKEY_OPTION, option.szName, 99);
    }

    // The five boxes' states as "checked/enabled" pairs, in the page's order.
    std::vector<std::string> Boxes() const {
        std::vector<std::string> states;
        for (const char* szText : kKindTexts) {
            const QCheckBox* box = Box(szText);
            states.push_back(std::string(box->isChecked() ? "on" : "off") +
                             (box->isEnabled() ? "" : " grey"));
        }
        return states;
    }

    CTempDir m_Dir;
    CRegistryHive m_Hive{m_Dir / "registry.reg"};
    CSettingsStore m_Store{m_Hive};
    CRecordingCleaner m_Cleaner;
    CScriptedMessageBox m_MessageBox;
    CCleaningThreads m_Threads;
    std::unique_ptr<CHistoryPage> m_pPage;
};

TEST_F(HistoryPageTest, FirstStartChoosesNothing) {
    CHistoryPage& page = Open(CLEAN_TIME_STARTING);
    EXPECT_THAT(Boxes(), ElementsAre("off", "off", "off", "off", "off"));
    EXPECT_FALSE(Box("Select All Above")->isChecked());
    EXPECT_FALSE(CleanNow()->isEnabled());
    EXPECT_EQ(page.CountCleanChoices(), 0);
    EXPECT_EQ(CleanTime()->currentText(), QStringLiteral("running"));
    std::vector<std::string> items;
    for (int i = 0; i < CleanTime()->count(); ++i) {
        items.push_back(CleanTime()->itemText(i).toStdString());
    }
    EXPECT_THAT(items, ElementsAre("closing", "running", "starting"));
    EXPECT_TRUE(m_Cleaner.Calls().empty());
    EXPECT_EQ(Stored(OPT_KILLCOOKIES), 99U);  // nothing written
}

TEST_F(HistoryPageTest, OpensWithTheStoredChoicesAndCleanTime) {
    const struct {
        DWORD nStored;
        const char* szShown;
    } cleanTimes[] = {
        {1, "starting"}, {2, "running"}, {3, "closing"}, {0, "running"}, {7, "running"}};
    for (const auto& cleanTime : cleanTimes) {
        m_Store.WriteOption(OPT_CLEANTIME, cleanTime.nStored);
        m_Store.WriteOption(OPT_KILLCACHE, 1);
        m_Store.WriteOption(OPT_KILLRECENT, 5);  // any value but 0 is on
        CHistoryPage& page = Open();
        EXPECT_EQ(CleanTime()->currentText(), QString::fromLatin1(cleanTime.szShown));
        EXPECT_THAT(Boxes(), ElementsAre("off", "on", "off", "off", "on"));
        EXPECT_TRUE(CleanNow()->isEnabled());
        EXPECT_EQ(page.CountCleanChoices(), 2);
    }
}

TEST_F(HistoryPageTest, EachBoxStoresItsStateAndEnablesCleanNow) {
    Open();
    for (std::size_t i = 0; i < std::size(kKinds); ++i) {
        Box(kKindTexts[i])->click();
        EXPECT_EQ(Stored(*kKinds[i]), 1U) << kKindTexts[i];
        EXPECT_TRUE(CleanNow()->isEnabled());
    }
    for (std::size_t i = 0; i < std::size(kKinds); ++i) {
        EXPECT_TRUE(CleanNow()->isEnabled());
        Box(kKindTexts[i])->click();
        EXPECT_EQ(Stored(*kKinds[i]), 0U) << kKindTexts[i];
    }
    EXPECT_FALSE(CleanNow()->isEnabled());
}

// Checking greys out and stores all five; unchecking clears them all, also the choices
// made before.
TEST_F(HistoryPageTest, SelectAllAboveChoosesAllAndUncheckingClearsAll) {
    Open();
    Box("Cookies")->click();
    Box("Select All Above")->click();
    EXPECT_THAT(Boxes(), ElementsAre("on grey", "on grey", "on grey", "on grey", "on grey"));
    for (const COption* option : kKinds) {
        EXPECT_EQ(Stored(*option), 1U) << option->szName;
    }
    EXPECT_EQ(Stored(OPT_SELECTALL), 1U);
    EXPECT_TRUE(CleanNow()->isEnabled());

    Box("Select All Above")->click();
    EXPECT_THAT(Boxes(), ElementsAre("off", "off", "off", "off", "off"));
    for (const COption* option : kKinds) {
        EXPECT_EQ(Stored(*option), 0U) << option->szName;
    }
    EXPECT_EQ(Stored(OPT_SELECTALL), 0U);
    EXPECT_FALSE(CleanNow()->isEnabled());
}

TEST_F(HistoryPageTest, StoredSelectAllOpensWithAllChosenAndGreyedOut) {
    m_Store.WriteOption(OPT_SELECTALL, 1);
    m_Store.WriteOption(OPT_KILLFAVORITES, 1);
    Open();
    EXPECT_TRUE(Box("Select All Above")->isChecked());
    EXPECT_THAT(Boxes(), ElementsAre("on grey", "on grey", "on grey", "on grey", "on grey"));
    EXPECT_TRUE(CleanNow()->isEnabled());
    EXPECT_EQ(Stored(OPT_KILLHISTORY), 1U);
}

// The clean time is stored when the combo box loses the focus, and only for one of its
// three texts exactly.
TEST_F(HistoryPageTest, CleanTimeIsStoredOnLeavingTheComboForAnExactText) {
    CHistoryPage& page = Open();
    page.show();
    page.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
    QComboBox* combo = CleanTime();
    auto leaveCombo = [&] {
        Box("History")->setFocus();
        ASSERT_FALSE(combo->hasFocus());
    };

    combo->setFocus();
    combo->setCurrentIndex(combo->findText(QStringLiteral("closing")));
    EXPECT_EQ(Stored(OPT_CLEANTIME), 99U);  // not on the choice itself
    leaveCombo();
    EXPECT_EQ(Stored(OPT_CLEANTIME), 3U);

    const struct {
        const char* szTyped;
        DWORD nStored;
    } typed[] = {{"Starting", 3}, {"starting", 1}, {"runnin", 1},
                 {"running ", 1}, {"", 1},         {"running", 2}};
    for (const auto& text : typed) {
        combo->setFocus();
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), QString::fromLatin1(text.szTyped));
        if (text.szTyped[0] == '\0') {
            QTest::keyClick(combo->lineEdit(), Qt::Key_Delete);
        }
        leaveCombo();
        EXPECT_EQ(combo->currentText(), QString::fromLatin1(text.szTyped));
        EXPECT_EQ(Stored(OPT_CLEANTIME), text.nStored) << '"' << text.szTyped << '"';
    }
    EXPECT_EQ(combo->count(), 3);  // typed texts are not added to the list
}

// With the program's clean time "starting", creating the page runs a pass when a kind is
// chosen; "Clean Now" runs one whatever the clean time.
TEST_F(HistoryPageTest, StartupPassAndCleanNowRunThePass) {
    Open(CLEAN_TIME_STARTING);  // nothing chosen: no pass
    EXPECT_TRUE(m_MessageBox.Boxes().empty());

    m_Store.WriteOption(OPT_KILLCOOKIES, 1);
    Open(CLEAN_TIME_CLOSING);
    Open(CLEAN_TIME_RUNNING);
    EXPECT_TRUE(m_MessageBox.Boxes().empty());
    Open(CLEAN_TIME_STARTING);
    EXPECT_THAT(m_Cleaner.Calls(), ElementsAre("CleanCookies"));
    EXPECT_THAT(m_MessageBox.Texts(), ElementsAre(QStringLiteral("Clean Completely!")));

    CleanNow()->click();
    EXPECT_THAT(m_Cleaner.Calls(), ElementsAre("CleanCookies", "CleanCookies"));
    EXPECT_EQ(m_MessageBox.Boxes().size(), 2U);
}

}  // namespace
