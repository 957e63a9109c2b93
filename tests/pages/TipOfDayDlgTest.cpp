#include "pages/TipOfDayDlg.h"

#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <gmock/gmock.h>

#include "support/ScriptedMessageBox.h"
#include "support/TempDir.h"
#include "support/TextFile.h"

namespace {

using testing::ElementsAre;

class TipOfDayDlgTest : public testing::Test {
protected:
    std::unique_ptr<CTipOfDayDlg> Build() {
        return std::make_unique<CTipOfDayDlg>(m_MessageBox, m_Dir / "tips.txt", ProfilePath());
    }
    // The tip that building the dialog shows, the dialog destroyed again.
    std::string TipOfABuild() { return Build()->m_strTip.toStdString(); }

    QString ProfilePath() const { return QString::fromStdString((m_Dir / "quellio.ini").string()); }
    QSettings Profile() const { return {ProfilePath(), QSettings::IniFormat}; }

    static QPushButton* NextTip(CTipOfDayDlg& dlg) { return dlg.findChildren<QPushButton*>()[0]; }
    static QPushButton* Close(CTipOfDayDlg& dlg) { return dlg.findChildren<QPushButton*>()[1]; }

    CTempDir m_Dir;
    CScriptedMessageBox m_MessageBox;
};

// Comments, indented and empty lines are skipped, CR LF counts as LF, a long line comes in
// pieces of 999 bytes, and each build moves on from where the last one stopped.
TEST_F(TipOfDayDlgTest, TipsComeInACycleSkippingCommentsAndEveryBuildMovesOn) {
    const std::string a999(999, 'a');
    WriteTextFile(m_Dir / "tips.txt",
                  "; tips\n  indented\n\ttabbed\n\n\r\ntip one\r\n" + a999 + "bb\n;c\ntip three");
    {
        auto dlg = Build();
        EXPECT_TRUE(dlg->m_bStartup) << "no profile: tips at start-up";
        std::vector<std::string> tips{dlg->m_strTip.toStdString()};
        for (int i = 0; i < 4; ++i) {
            NextTip(*dlg)->click();
            tips.push_back(dlg->findChild<QLabel*>()->text().toStdString());
        }
        EXPECT_THAT(tips, ElementsAre("tip one\n", a999, "bb\n", "tip three", "tip one\n"));
    }
    EXPECT_THAT(Profile().value(QStringLiteral("Tip/TimeStamp")).toString().toStdString(),
                testing::MatchesRegex("[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] "
                                      "[0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}"));
    EXPECT_EQ(TipOfABuild(), a999);
    EXPECT_EQ(TipOfABuild(), "bb\n");

    // Another file (its time stamp is not the stored one), or one shorter than the stored
    // position, starts again at its first tip; a position no file can take is trouble.
    Profile().setValue(QStringLiteral("Tip/TimeStamp"), QStringLiteral("Thu Jan  1 00:00:00 1970"));
    EXPECT_EQ(TipOfABuild(), "tip one\n");
    Profile().setValue(QStringLiteral("Tip/FilePos"), 100000);
    EXPECT_EQ(TipOfABuild(), "tip one\n");
    EXPECT_TRUE(m_MessageBox.Boxes().empty());
    Profile().setValue(QStringLiteral("Tip/FilePos"), -5);
    EXPECT_EQ(TipOfABuild(), "");
    EXPECT_THAT(m_MessageBox.Texts(), ElementsAre(QStringLiteral("Trouble reading the tips file")));
}

TEST_F(TipOfDayDlgTest, CloseKeepsTheStartUpChoiceEscapeDoesNot) {
    WriteTextFile(m_Dir / "tips.txt", "tip one\ntip two\n");
    {
        auto dlg = Build();
        dlg->findChild<QCheckBox*>()->setChecked(false);
        NextTip(*dlg)->click();
        EXPECT_TRUE(dlg->findChild<QCheckBox*>()->isChecked()) << "shown as built until Close";
        dlg->findChild<QCheckBox*>()->setChecked(false);
        QTest::keyClick(dlg.get(), Qt::Key_Escape);
    }
    EXPECT_FALSE(Profile().contains(QStringLiteral("Tip/StartUp")));

    for (const bool bShow : {false, true}) {
        {
            auto dlg = Build();
            EXPECT_EQ(dlg->findChild<QCheckBox*>()->isChecked(), !bShow) << "as last closed";
            dlg->findChild<QCheckBox*>()->setChecked(bShow);
            Close(*dlg)->click();
        }
        EXPECT_EQ(Profile().value(QStringLiteral("Tip/StartUp")).toInt(), bShow ? 0 : 1);
    }
}

// No regular file, or a file without tips: the tip says why, "Next Tip" is off, nothing
// hangs (a pipe is not waited on), and only a file that is there gets a profile.
TEST_F(TipOfDayDlgTest, NoTipsToShowSaysWhyAndNeverHangs) {
    const auto tips = m_Dir / "tips.txt";
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[] {}, "Tips file does not exist in the prescribed directory"},
        {[&] { mkfifo(tips.c_str(), 0600); },
         "Tips file does not exist in the prescribed directory"},
        {[&] { WriteTextFile(tips, ""); }, "The tips file holds no tips"},
        {[&] { WriteTextFile(tips, ";a\n b\n\n\t;c\n"); }, "The tips file holds no tips"},
    };
    for (const auto& [make, szTip] : cases) {
        std::filesystem::remove(tips);
        std::filesystem::remove(m_Dir / "quellio.ini");
        make();
        {
            auto dlg = Build();
            EXPECT_EQ(dlg->m_strTip.toStdString(), szTip);
            EXPECT_FALSE(NextTip(*dlg)->isEnabled()) << szTip;
        }
        EXPECT_EQ(std::filesystem::exists(m_Dir / "quellio.ini"),
                  std::filesystem::is_regular_file(tips))
            << szTip;
    }
    EXPECT_TRUE(m_MessageBox.Boxes().empty());
}

}  // namespace
