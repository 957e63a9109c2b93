#include "pages/HistoryPage.h"

#include <memory>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cleaner/CleaningThreads.h"
#include "support/ChildWithText.h"
#include "support/RecordingCleaner.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempStore.h"

using ::testing::ElementsAre;

namespace {

// The five kinds in the page's order, with their options.
const std::pair<const char*, const COption*> kKinds[] = {
    {"History", &OPT_KILLHISTORY}, {"Cache (Temporary Internet files)", &OPT_KILLCACHE},
    {"Cookies", &OPT_KILLCOOKIES}, {"Favorites", &OPT_KILLFAVORITES},
    {"Recent", &OPT_KILLRECENT},
};

class HistoryPageTest : public testing::Test, protected STempStore {
protected:
    CHistoryPage& Open() {
        m_pPage = std::make_unique<CHistoryPage>(
            CCleaningServices{m_Cleaner, m_Store, m_MessageBox, m_Threads}, CLEAN_TIME_RUNNING);
        return *m_pPage;
    }
    QCheckBox* Box(const char* szText) const {
        return ChildWithText<QCheckBox>(*m_pPage, QString::fromLatin1(szText));
    }
    bool CanCleanNow() const { return m_pPage->findChild<QPushButton*>()->isEnabled(); }
    QComboBox* CleanTime() const { return m_pPage->findChild<QComboBox*>(); }
    DWORD Stored(const COption& option) const {
        return m_Store.ReadRegDword(REGKEY_OPTION, option.szName, 99);
    }
    // The five boxes as "on" or "off", with " grey" when disabled, and what each stores.
    std::vector<std::string> Boxes() const {
        std::vector<std::string> states;
        for (const auto& [szText, pOption] : kKinds) {
            const QCheckBox* box = Box(szText);
            states.push_back(std::string(box->isChecked() ? "on" : "off") +
                             (box->isEnabled() ? "" : " grey") + " " +
                             std::to_string(Stored(*pOption)));
        }
        return states;
    }

    CRecordingCleaner m_Cleaner;
    CScriptedMessageBox m_MessageBox;
    CCleaningThreads m_Threads;
    std::unique_ptr<CHistoryPage> m_pPage;
};

// The page shows the stored choices (any value but 0 is on) and clean time, writing
// nothing; the clean time's list is sorted.
TEST_F(HistoryPageTest, OpensWithTheStoredChoicesAndCleanTime) {
    Open();
    EXPECT_THAT(Boxes(), ElementsAre("off 99", "off 99", "off 99", "off 99", "off 99"));
    EXPECT_FALSE(CanCleanNow());
    EXPECT_EQ(CleanTime()->itemText(0), QStringLiteral("closing"));
    EXPECT_EQ(CleanTime()->itemText(2), QStringLiteral("starting"));

    m_Store.WriteOption(OPT_KILLCACHE, 1);
    m_Store.WriteOption(OPT_KILLRECENT, 5);
    const std::pair<DWORD, const char*> cleanTimes[] = {
        {1, "starting"}, {2, "running"}, {3, "closing"}, {0, "running"}, {7, "running"}};
    for (const auto& [nStored, szShown] : cleanTimes) {
        m_Store.WriteOption(OPT_CLEANTIME, nStored);
        EXPECT_EQ(Open().CountCleanChoices(), 2);
        EXPECT_EQ(CleanTime()->currentText(), QString::fromLatin1(szShown));
        EXPECT_THAT(Boxes(), ElementsAre("off 99", "on 1", "off 99", "off 99", "on 5"));
        EXPECT_TRUE(CanCleanNow());
    }
    m_Store.WriteOption(OPT_SELECTALL, 1);
    Open();
    EXPECT_TRUE(Box("Select All Above")->isChecked());
    EXPECT_THAT(Boxes(),
                ElementsAre("on grey 1", "on grey 1", "on grey 1", "on grey 1", "on grey 1"));
}

// Each box stores its state; "Select All Above" chooses and greys out all five, and
// unchecking it clears them all, also the choices made before. "Clean Now" runs a pass.
TEST_F(HistoryPageTest, ChoicesAreStoredAsTheyAreMade) {
    Open();
    for (const DWORD nStored : {1U, 0U}) {
        for (const auto& [szText, pOption] : kKinds) {
            EXPECT_EQ(CanCleanNow(), nStored == 0 || pOption != kKinds[0].second) << szText;
            Box(szText)->click();
            EXPECT_EQ(Stored(*pOption), nStored) << szText;
        }
    }
    EXPECT_FALSE(CanCleanNow());

    Box("Cookies")->click();
    Box("Select All Above")->click();
    EXPECT_THAT(Boxes(),
                ElementsAre("on grey 1", "on grey 1", "on grey 1", "on grey 1", "on grey 1"));
    EXPECT_EQ(Stored(OPT_SELECTALL), 1U);
    Box("Select All Above")->click();
    EXPECT_THAT(Boxes(), ElementsAre("off 0", "off 0", "off 0", "off 0", "off 0"));
    EXPECT_EQ(Stored(OPT_SELECTALL), 0U);
    EXPECT_FALSE(CanCleanNow());

    Box("Cookies")->click();
    m_pPage->findChild<QPushButton*>()->click();
    EXPECT_THAT(m_Cleaner.Calls(), ElementsAre("CleanCookies"));
    EXPECT_THAT(m_MessageBox.Texts(), ElementsAre(QStringLiteral("Clean Completely!")));
}

// The clean time is stored when the combo box loses the focus, and only for one of its
// three texts exactly; typed texts are not added to the list.
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

    const std::pair<const char*, DWORD> typed[] = {
        {"Starting", 3}, {"starting", 1}, {"runnin", 1}, {"running ", 1}, {"", 1}, {"running", 2}};
    for (const auto& [szTyped, nStored] : typed) {
        combo->setFocus();
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), QString::fromLatin1(szTyped));
        if (szTyped[0] == '\0') {
            QTest::keyClick(combo->lineEdit(), Qt::Key_Delete);
        }
        leaveCombo();
        EXPECT_EQ(combo->currentText(), QString::fromLatin1(szTyped));
        EXPECT_EQ(Stored(OPT_CLEANTIME), nStored) << '"' << szTyped << '"';
    }
    EXPECT_EQ(combo->count(), 3);
}

}  // namespace
