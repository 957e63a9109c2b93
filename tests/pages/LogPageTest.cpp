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

TEST_F(LogPageTest, ListHasUrlAndTimeColumnsAndKeepsItsOrder) {
    const QAbstractItemModel* header = List()->header()->model();
    EXPECT_EQ(header->headerData(0, Qt::Horizontal).toString(), QStringLiteral("URL"));
    EXPECT_EQ(header->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Time"));
    EXPECT_EQ(List()->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_FALSE(List()->isSortingEnabled());
}

// Times are shown without leading zeros.
TEST_F(LogPageTest, RowsFollowInArrivalOrderEachWithItsTime) {
    const struct {
        const char* szUrl;
        int nHour, nMinute, nSecond;
        const char* szShown;
    } rows[] = {{"http://a.example/", 9, 5, 7, "9/5/7"},
                {"http://b.example/", 0, 0, 0, "0/0/0"},
                {"http://a.example/", 21, 30, 0, "21/30/0"},
                {"http://c.example/", 23, 59, 59, "23/59/59"}};
    for (const auto& row : rows) {
        m_Clock.Set(row.nHour, row.nMinute, row.nSecond);
        ASSERT_EQ(m_Page.OnAddLog(row.szUrl), 1);
    }
    ASSERT_EQ(m_Page.GetRowCount(), 4);
    for (int nRow = 0; nRow < 4; ++nRow) {
        EXPECT_EQ(Cell(nRow, 0), QString::fromLatin1(rows[nRow].szUrl));
        EXPECT_EQ(Cell(nRow, 1), QString::fromLatin1(rows[nRow].szShown));
    }
}

TEST_F(LogPageTest, EmptyRecordAddsNoRow) {
    EXPECT_EQ(m_Page.OnAddLog(""), 0);
    EXPECT_EQ(m_Page.GetRowCount(), 0);
    AddRows({"http://a.example/"});
    EXPECT_EQ(m_Page.OnAddLog(""), 0);
    EXPECT_EQ(m_Page.GetRowCount(), 1);
}

TEST_F(LogPageTest, ClearAllAsksAndEmptiesTheLogOnlyOnYes) {
    AddRows({"http://a.example/", "http://b.example/"});
    m_MessageBox.Answer(false);
    Button(QStringLiteral("Clear All"))->click();
    ASSERT_EQ(m_Page.GetRowCount(), 2);
    EXPECT_EQ(Cell(1, 0), QStringLiteral("http://b.example/"));

    m_MessageBox.Answer(true);
    Button(QStringLiteral("Clear All"))->click();
    EXPECT_EQ(m_Page.GetRowCount(), 0);
    ASSERT_EQ(m_MessageBox.Boxes().size(), 2U);
    for (const auto& box : m_MessageBox.Boxes()) {
        EXPECT_EQ(box.kind, Kind::Question);
        EXPECT_EQ(box.strText, QStringLiteral("Really clear all Logs?"));
        EXPECT_EQ(box.pOwner, &m_Page);
    }
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

// A listed address is not added twice, and a blacklisted one goes on the whitelist too.
TEST_F(LogPageTest, ListedAddressesAreAddedOnce) {
    g_WhiteList.Add("http://a.example/");
    g_BlackList.Add("http://b.example/");
    AddRows({"http://a.example/", "http://b.example/"});
    for (const int nRow : {0, 1}) {
        List()->clearSelection();
        Select({nRow});
        Button(QStringLiteral("Add to whitelist"))->click();
    }
    EXPECT_TRUE(m_MessageBox.Boxes().empty());
    EXPECT_EQ(g_WhiteList.Entries(),
              (std::vector<std::string>{"http://a.example/", "http://b.example/"}));
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
