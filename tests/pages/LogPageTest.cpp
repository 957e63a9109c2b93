#include "pages/LogPage.h"

#include <QTreeWidget>
#include <gmock/gmock.h>

#include "engine/UrlList.h"
#include "support/EmptyLists.h"
#include "support/FakeClock.h"
#include "support/ScriptedMessageBox.h"

namespace {

using ::testing::ElementsAre;
using Strings = std::vector<std::string>;

class LogPageTest : public testing::Test {
protected:
    QTreeWidget& List() const { return *m_Page.findChild<QTreeWidget*>(); }
    QString Cell(int nRow, int nColumn) const { return List().topLevelItem(nRow)->text(nColumn); }
    // Selects the rows `rows` only and presses "Add to whitelist".
    void AddToWhiteList(std::initializer_list<int> rows) {
        List().clearSelection();
        for (const int nRow : rows) {
            List().topLevelItem(nRow)->setSelected(true);
        }
        m_Page.OnAddToWhiteList();
    }

    CEmptyLists m_Lists;
    CScriptedMessageBox m_MessageBox;
    CFakeClock m_Clock;
    CLogPage m_Page{m_MessageBox, m_Clock};
};

// Rows come in arrival order, each with the time of day without leading zeros; an empty
// address adds none. "Clear All" empties the log on Yes only.
TEST_F(LogPageTest, RowsFollowInArrivalOrderWithTheirTimeUntilClearedOnYes) {
    const struct {
        const char* szUrl;
        int nHour, nMinute, nSecond;
        const char* szShown;
    } rows[] = {{"http://a.example/", 9, 5, 7, "9/5/7"},
                {"http://b.example/", 0, 0, 0, "0/0/0"},
                {"http://a.example/", 21, 30, 0, "21/30/0"},
                {"http://c.example/", 23, 59, 59, "23/59/59"}};
    EXPECT_EQ(m_Page.OnAddLog(""), 0);
    for (const auto& row : rows) {
        m_Clock.Set(row.nHour, row.nMinute, row.nSecond);
        ASSERT_EQ(m_Page.OnAddLog(row.szUrl), 1);
    }
    EXPECT_EQ(m_Page.OnAddLog(""), 0);
    ASSERT_EQ(m_Page.GetRowCount(), 4);
    for (int nRow = 0; nRow < 4; ++nRow) {
        EXPECT_EQ(Cell(nRow, 0), QString::fromLatin1(rows[nRow].szUrl));
        EXPECT_EQ(Cell(nRow, 1), QString::fromLatin1(rows[nRow].szShown));
    }

    m_MessageBox.Answer(false);
    m_Page.OnClearAll();
    EXPECT_EQ(m_Page.GetRowCount(), 4);
    m_MessageBox.Answer(true);
    m_Page.OnClearAll();
    EXPECT_EQ(m_Page.GetRowCount(), 0);
    ASSERT_EQ(m_MessageBox.Boxes().size(), 2U);
    for (const auto& box : m_MessageBox.Boxes()) {
        EXPECT_EQ(box.kind, CScriptedMessageBox::Kind::Question);
        EXPECT_EQ(box.strText, QStringLiteral("Really clear all Logs?"));
        EXPECT_EQ(box.pOwner, &m_Page);
    }
}

// The topmost selected row goes on the white list, unless it is there already (a black
// listed address goes there too); without a selection the page refuses. Addresses are
// shown and added whole and as plain text, whatever they hold.
TEST_F(LogPageTest, AddToWhitelistTakesTheTopmostSelectedRowOnceAsItCame) {
    m_Page.OnAddToWhiteList();  // an empty log
    g_WhiteList.Add("http://a.example/");
    g_BlackList.Add("http://b.example/");
    const Strings urls = {"http://a.example/", "http://b.example/",
                          "http://long.example/?" + std::string(100000, 'q'),
                          R"(http://x.example/<b>bold</b>&amp;<img src="y">)",
                          "http://x.example/\xFF\xFE%"};
    for (const std::string& url : urls) {
        ASSERT_EQ(m_Page.OnAddLog(url), 1);
        const int nRow = m_Page.GetRowCount() - 1;
        EXPECT_EQ(Cell(nRow, 0), QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size())));
    }
    AddToWhiteList({});
    AddToWhiteList({0});
    AddToWhiteList({3, 1});
    for (const int nRow : {2, 3, 4}) {
        AddToWhiteList({nRow});
    }
    EXPECT_EQ(g_WhiteList.Entries(), urls);
    EXPECT_EQ(g_BlackList.GetCount(), 1U);
    EXPECT_EQ(m_Page.GetRowCount(), 5);
    EXPECT_THAT(m_MessageBox.Texts(),
                ElementsAre(QStringLiteral("Please choose a existent URL in Logs. "),
                            QStringLiteral("Please choose a existent URL in Logs. ")));
    EXPECT_EQ(m_MessageBox.Boxes().back().pOwner, &m_Page);
}

}  // namespace
