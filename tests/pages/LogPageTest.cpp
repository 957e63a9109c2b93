#include "pages/LogPage.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

#include <initializer_list>
#include <string>

#include "engine/UrlList.h"
#include "support/FakeClock.h"
#include "support/ScriptedMessageBox.h"

namespace {

using Kind = CScriptedMessageBox::Kind;

class LogPageTest : public testing::Test {
protected:
    void SetUp() override {
        g_WhiteList.RemoveAll();
        g_BlackList.RemoveAll();
    }
    void TearDown() override {
        g_WhiteList.RemoveAll();
        g_BlackList.RemoveAll();
    }

    QTreeWidget* List() const { return m_Page.findChild<QTreeWidget*>(); }
    QPushButton* Button(const QString& text) const {
        for (QPushButton* button : m_Page.findChildren<QPushButton*>()) {
            if (button->text() == text) {
                return button;
            }
        }
        ADD_FAILURE() << "no button " << text.toStdString();
        return nullptr;
    }
    QString Cell(int nRow, int nColumn) const {
        return List()->model()->index(nRow, nColumn).data(Qt::DisplayRole).toString();
    }
    void Select(std::initializer_list<int> rows) const {
        for (const int nRow : rows) {
            List()->topLevelItem(nRow)->setSelected(true);
        }
    }
    void AddRows(std::initializer_list<const char*> urls) {
        for (const char* url : urls) {
            ASSERT_EQ(m_Page.OnAddLog(url), 1);
        }
    }

    CScriptedMessageBox m_MessageBox;
    CFakeClock m_Clock;
    CLogPage m_Page{m_MessageBox, m_Clock};
};

TEST_F(LogPageTest, ListAndButtonsSitAtTheirPlaces) {
    EXPECT_EQ(m_Page.size(), QSize(334, 266));
    EXPECT_EQ(List()->geometry(), QRect(12, 10, 306, 220));
    EXPECT_EQ(Button(QStringLiteral("Add to whitelist"))->geometry(), QRect(156, 236, 100, 20));
    EXPECT_EQ(Button(QStringLiteral("Clear All"))->geometry(), QRect(262, 236, 56, 20));

    const QAbstractItemModel* header = List()->header()->model();
    EXPECT_EQ(header->headerData(0, Qt::Horizontal).toString(), QStringLiteral("URL"));
    EXPECT_EQ(header->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Time"));
    EXPECT_EQ(List()->columnWidth(0), 250);
    EXPECT_EQ(List()->columnWidth(1), 80);
    EXPECT_EQ(List()->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_FALSE(List()->isSortingEnabled());
}

struct CTimeCase {
    int nHour, nMinute, nSecond;
    const char* szShown;
};

class LogPageTimeTest : public LogPageTest, public testing::WithParamInterface<CTimeCase> {};

TEST_P(LogPageTimeTest, TimeHasNoLeadingZeros) {
    m_Clock.Set(GetParam().nHour, GetParam().nMinute, GetParam().nSecond);
    ASSERT_EQ(m_Page.OnAddLog("http://ads.example/pop"), 1);
    EXPECT_EQ(Cell(0, 0), QStringLiteral("http://ads.example/pop"));
    EXPECT_EQ(Cell(0, 1), QString::fromLatin1(GetParam().szShown));
}

INSTANTIATE_TEST_SUITE_P(Times, LogPageTimeTest,
                         testing::Values(CTimeCase{9, 5, 7, "9/5/7"},
                                         CTimeCase{21, 30, 0, "21/30/0"},
                                         CTimeCase{0, 0, 0, "0/0/0"}, CTimeCase{14, 3, 9, "14/3/9"},
                                         CTimeCase{23, 59, 59, "23/59/59"}));

TEST_F(LogPageTest, RowsFollowInArrivalOrderEachWithItsTime) {
    m_Clock.Set(10, 0, 1);
    ASSERT_EQ(m_Page.OnAddLog("http://a.example/"), 1);
    m_Clock.Set(10, 0, 2);
    ASSERT_EQ(m_Page.OnAddLog("http://b.example/"), 1);
    m_Clock.Set(10, 1, 0);
    ASSERT_EQ(m_Page.OnAddLog("http://a.example/"), 1);

    ASSERT_EQ(m_Page.GetRowCount(), 3);
    EXPECT_EQ(Cell(0, 0), QStringLiteral("http://a.example/"));
    EXPECT_EQ(Cell(1, 0), QStringLiteral("http://b.example/"));
    EXPECT_EQ(Cell(2, 0), QStringLiteral("http://a.example/"));
    EXPECT_EQ(Cell(0, 1), QStringLiteral("10/0/1"));
    EXPECT_EQ(Cell(1, 1), QStringLiteral("10/0/2"));
    EXPECT_EQ(Cell(2, 1), QStringLiteral("10/1/0"));
}

TEST_F(LogPageTest, EmptyRecordAddsNoRow) {
    EXPECT_EQ(m_Page.OnAddLog(""), 0);
    EXPECT_EQ(m_Page.GetRowCount(), 0);
    AddRows({"http://a.example/"});
    EXPECT_EQ(m_Page.OnAddLog(""), 0);
    EXPECT_EQ(m_Page.GetRowCount(), 1);
}

TEST_F(LogPageTest, ClearAllAnsweredYesEmptiesTheLog) {
    AddRows({"http://a.example/", "http://b.example/"});
    m_MessageBox.Answer(true);
    Button(QStringLiteral("Clear All"))->click();

    ASSERT_EQ(m_MessageBox.Boxes().size(), 1U);
    EXPECT_EQ(m_MessageBox.Boxes()[0].kind, Kind::Question);
    EXPECT_EQ(m_MessageBox.Boxes()[0].strText, QStringLiteral("Really clear all Logs?"));
    EXPECT_EQ(m_MessageBox.Boxes()[0].pOwner, &m_Page);
    EXPECT_EQ(m_Page.GetRowCount(), 0);
}

TEST_F(LogPageTest, ClearAllAnsweredNoKeepsEveryRow) {
    AddRows({"http://a.example/", "http://b.example/"});
    m_MessageBox.Answer(false);
    Button(QStringLiteral("Clear All"))->click();

    EXPECT_EQ(m_MessageBox.Texts(), std::vector<QString>{QStringLiteral("Really clear all Logs?")});
    ASSERT_EQ(m_Page.GetRowCount(), 2);
    EXPECT_EQ(Cell(1, 0), QStringLiteral("http://b.example/"));
}

TEST_F(LogPageTest, AddToWhitelistWithoutSelectionIsRefused) {
    const QString refusal = QStringLiteral("Please choose a existent URL in Logs. ");
    Button(QStringLiteral("Add to whitelist"))->click();  // empty log
    AddRows({"http://a.example/"});
    Button(QStringLiteral("Add to whitelist"))->click();  // a row, none selected

    ASSERT_EQ(m_MessageBox.Boxes().size(), 2U);
    for (const auto& box : m_MessageBox.Boxes()) {
        EXPECT_EQ(box.kind, Kind::Message);
        EXPECT_EQ(box.strText, refusal);
        EXPECT_EQ(box.pOwner, &m_Page);
    }
    EXPECT_EQ(g_WhiteList.GetCount(), 0U);
}

TEST_F(LogPageTest, AddToWhitelistTakesTheTopmostSelectedRowOnly) {
    AddRows({"http://a.example/", "http://b.example/", "http://c.example/"});
    Select({2, 1});
    Button(QStringLiteral("Add to whitelist"))->click();

    EXPECT_TRUE(m_MessageBox.Boxes().empty());
    EXPECT_EQ(g_WhiteList.Entries(), std::vector<std::string>{"http://b.example/"});
    EXPECT_EQ(m_Page.GetRowCount(), 3);
}

TEST_F(LogPageTest, AddressAlreadyWhitelistedIsNotAddedTwice) {
    g_WhiteList.Add("http://a.example/");
    AddRows({"http://a.example/"});
    Select({0});
    Button(QStringLiteral("Add to whitelist"))->click();

    EXPECT_TRUE(m_MessageBox.Boxes().empty());
    EXPECT_EQ(g_WhiteList.GetCount(), 1U);
}

TEST_F(LogPageTest, BlackListedAddressGoesOnTheWhiteListToo) {
    g_BlackList.Add("http://a.example/");
    AddRows({"http://a.example/"});
    Select({0});
    Button(QStringLiteral("Add to whitelist"))->click();

    EXPECT_EQ(g_WhiteList.Entries(), std::vector<std::string>{"http://a.example/"});
    EXPECT_EQ(g_BlackList.GetCount(), 1U);
}

// Addresses are shown and added whole and as plain text, whatever they hold.
TEST_F(LogPageTest, UnusualAddressesAreShownAndAddedAsTheyCame) {
    const std::string longUrl = "http://long.example/?" + std::string(100000, 'q');
    const std::string markup = R"(http://x.example/<b>bold</b>&amp;<img src="y">)";
    const std::string notUtf8 = "http://x.example/\xFF\xFE%";
    for (const std::string& url : {longUrl, markup, notUtf8}) {
        SCOPED_TRACE(url.substr(0, 40));
        g_WhiteList.RemoveAll();
        List()->clear();
        ASSERT_EQ(m_Page.OnAddLog(url), 1);
        EXPECT_EQ(Cell(0, 0), QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size())));
        Select({0});
        Button(QStringLiteral("Add to whitelist"))->click();
        EXPECT_EQ(g_WhiteList.Entries(), std::vector<std::string>{url});
    }
}

}  // namespace
