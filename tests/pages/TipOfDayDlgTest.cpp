#include "pages/TipOfDayDlg.h"

#include <gmock/gmock.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "support/ScriptedMessageBox.h"
#include "support/TempDir.h"
#include "support/TextFile.h"

namespace {

using testing::ElementsAre;
using testing::MatchesRegex;

class TipOfDayDlgTest : public testing::Test {
protected:
    std::unique_ptr<CTipOfDayDlg> Build() {
        return std::make_unique<CTipOfDayDlg>(m_MessageBox, TipsPath(), ProfilePath());
    }
    // The tip that building the dialog shows, the dialog destroyed again.
    std::string TipOfABuild() { return Build()->m_strTip.toStdString(); }

    std::filesystem::path TipsPath() const { return m_Dir / "tips.txt"; }
    QString ProfilePath() const { return QString::fromStdString((m_Dir / "quellio.ini").string()); }
    QVariant Profile(const char* szKey) const {
        return QSettings(ProfilePath(), QSettings::IniFormat)
            .value(QStringLiteral("Tip/") + QString::fromLatin1(szKey));
    }
    void SetProfile(const char* szKey, const QVariant& value) const {
        QSettings(ProfilePath(), QSettings::IniFormat)
            .setValue(QStringLiteral("Tip/") + QString::fromLatin1(szKey), value);
    }

    static QPushButton* Button(CTipOfDayDlg& dlg, const QString& text) {
        for (QPushButton* button : dlg.findChildren<QPushButton*>()) {
            if (button->text() == text) {
                return button;
            }
        }
        ADD_FAILURE() << "no button " << text.toStdString();
        return nullptr;
    }
    static QPushButton* NextTip(CTipOfDayDlg& dlg) {
        return Button(dlg, QStringLiteral("&Next Tip"));
    }
    static QCheckBox* StartUpBox(CTipOfDayDlg& dlg) { return dlg.findChild<QCheckBox*>(); }

    CTempDir m_Dir;
    CScriptedMessageBox m_MessageBox;
};

TEST_F(TipOfDayDlgTest, TipsComeInACycleSkippingCommentsAndEveryBuildMovesOn) {
    WriteTextFile(
        TipsPath(),
        "; Quellio's tips\n  indented\n\ttabbed\n\n\r\ntip one\r\ntip two\n;c\ntip three");
    {
        auto dlg = Build();
        EXPECT_TRUE(dlg->m_bStartup) << "no profile: tips at start-up";
        std::vector<std::string> tips{dlg->m_strTip.toStdString()};
        for (int i = 0; i < 4; ++i) {
            NextTip(*dlg)->click();
            tips.push_back(dlg->findChild<QLabel*>()->text().toStdString());
        }
        EXPECT_THAT(tips,
                    ElementsAre("tip one\n", "tip two\n", "tip three", "tip one\n", "tip two\n"));
    }
    EXPECT_THAT(Profile("TimeStamp").toString().toStdString(),
                MatchesRegex("[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} "
                             "[0-9]{4}"));
    // Each build moves on from where the last one stopped, whether it is shown or not.
    EXPECT_EQ(TipOfABuild(), "tip three");
    EXPECT_EQ(TipOfABuild(), "tip one\n");
    EXPECT_TRUE(m_MessageBox.Boxes().empty());
}

TEST_F(TipOfDayDlgTest, AnotherOrShorterFileStartsAgainAtItsFirstTip) {
    WriteTextFile(TipsPath(), "tip one\ntip two\ntip three\n");
    EXPECT_EQ(TipOfABuild(), "tip one\n");
    EXPECT_EQ(TipOfABuild(), "tip two\n");

    // The file was replaced: its time stamp is not the one the position belongs to.
    SetProfile("TimeStamp", QStringLiteral("Thu Jan  1 00:00:00 1970"));
    EXPECT_EQ(TipOfABuild(), "tip one\n");

    // The file got shorter than the stored position.
    SetProfile("FilePos", 100000);
    EXPECT_EQ(TipOfABuild(), "tip one\n");

    // A position the file cannot take.
    SetProfile("FilePos", -5);
    auto dlg = Build();
    EXPECT_EQ(dlg->m_strTip, QString());
    EXPECT_THAT(m_MessageBox.Texts(), ElementsAre(QStringLiteral("Trouble reading the tips file")));
}

TEST_F(TipOfDayDlgTest, ALongLineComesInPiecesOf999Bytes) {
    const std::string pieces[] = {std::string(999, 'a'), std::string(999, 'b'),
                                  std::string(102, 'c') + "\n"};
    WriteTextFile(TipsPath(), pieces[0] + pieces[1] + pieces[2] + "next\n");
    EXPECT_EQ(TipOfABuild(), pieces[0]);
    EXPECT_EQ(TipOfABuild(), pieces[1]);
    EXPECT_EQ(TipOfABuild(), pieces[2]);
    EXPECT_EQ(TipOfABuild(), "next\n");
}

TEST_F(TipOfDayDlgTest, CloseKeepsTheStartUpChoiceEscapeDoesNot) {
    WriteTextFile(TipsPath(), "tip one\ntip two\n");
    {
        auto dlg = Build();
        StartUpBox(*dlg)->setChecked(false);
        NextTip(*dlg)->click();
        EXPECT_TRUE(StartUpBox(*dlg)->isChecked()) << "shown as built until Close";
        StartUpBox(*dlg)->setChecked(false);
        QTest::keyClick(dlg.get(), Qt::Key_Escape);
        EXPECT_EQ(dlg->result(), QDialog::Rejected);
    }
    EXPECT_FALSE(Profile("StartUp").isValid());

    for (const bool bShow : {false, true}) {
        {
            auto dlg = Build();
            EXPECT_EQ(StartUpBox(*dlg)->isChecked(), !bShow) << "as the last Close left it";
            StartUpBox(*dlg)->setChecked(bShow);
            Button(*dlg, QStringLiteral("&Close"))->click();
            EXPECT_EQ(dlg->result(), QDialog::Accepted);
        }
        EXPECT_EQ(Profile("StartUp").toInt(), bShow ? 0 : 1);
        EXPECT_EQ(Build()->m_bStartup, bShow);
    }
}

TEST_F(TipOfDayDlgTest, NoTipsToShowSaysWhyAndNeverHangs) {
    struct SCase {
        const char* szName;
        void (*make)(const std::filesystem::path& path);
        const char* szTip;
        bool bProfileWritten;
    };
    const SCase cases[] = {
        {"missing", [](const std::filesystem::path&) {},
         "Tips file does not exist in the prescribed directory", false},
        {"folder",
         [](const std::filesystem::path& path) { std::filesystem::create_directory(path); },
         "Tips file does not exist in the prescribed directory", false},
        {"pipe", [](const std::filesystem::path& path) { mkfifo(path.c_str(), 0600); },
         "Tips file does not exist in the prescribed directory", false},
        {"empty", [](const std::filesystem::path& path) { WriteTextFile(path, ""); },
         "The tips file holds no tips", true},
        {"comments only",
         [](const std::filesystem::path& path) { WriteTextFile(path, ";a\n b\n\n\t;c\n"); },
         "The tips file holds no tips", true},
    };
    for (const SCase& c : cases) {
        std::filesystem::remove_all(TipsPath());
        std::filesystem::remove(m_Dir / "quellio.ini");
        c.make(TipsPath());
        {
            auto dlg = Build();
            EXPECT_EQ(dlg->m_strTip.toStdString(), c.szTip) << c.szName;
            EXPECT_FALSE(NextTip(*dlg)->isEnabled()) << c.szName;
        }
        EXPECT_EQ(std::filesystem::exists(m_Dir / "quellio.ini"), c.bProfileWritten) << c.szName;
    }
    EXPECT_TRUE(m_MessageBox.Boxes().empty());
}

}  // namespace
