// What only the white list page does: it catches up with entries the Logs page added, and
// it paints its red note.
#include "pages/WhiteListPage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <string>
#include <vector>

#include "engine/UrlList.h"
#include "pages/LogPage.h"
#include "support/FakeBrowserWindows.h"
#include "support/FakeClock.h"
#include "support/ScriptedMessageBox.h"
#include "widgets/SortedListBox.h"

using ::testing::ElementsAre;

namespace {

class WhiteListPageTest : public testing::Test {
protected:
    WhiteListPageTest() {
        g_WhiteList.RemoveAll();
        g_BlackList.RemoveAll();
    }
    ~WhiteListPageTest() override {
        g_WhiteList.RemoveAll();
        g_BlackList.RemoveAll();
    }

    std::vector<std::string> Rows() const {
        const auto* urls = m_Page.findChild<CSortedListBox*>(QStringLiteral("urls"));
        std::vector<std::string> rows;
        for (int i = 0; i < urls->GetCount(); ++i) {
            rows.push_back(urls->GetText(i));
        }
        return rows;
    }

    void Type(const char* url) {
        m_Page.findChild<QLineEdit*>(QStringLiteral("url"))->setText(QString::fromLatin1(url));
        m_Page.findChild<QPushButton*>(QStringLiteral("addUrl"))->click();
    }

    // A kill of `url` logged, then moved to the white list from the Logs page.
    void AddFromLog(const char* url) {
        ASSERT_EQ(m_LogPage.OnAddLog(url), 1);
        auto* log = m_LogPage.findChild<QTreeWidget*>();
        log->clearSelection();
        log->topLevelItem(m_LogPage.GetRowCount() - 1)->setSelected(true);
        for (QPushButton* button : m_LogPage.findChildren<QPushButton*>()) {
            if (button->text() == QStringLiteral("Add to whitelist")) {
                button->click();
            }
        }
    }

    CFakeBrowserWindows m_Browsers;
    CScriptedMessageBox m_MessageBox;
    CFakeClock m_Clock;
    CLogPage m_LogPage{m_MessageBox, m_Clock};
    CWhiteListPage m_Page{m_Browsers, m_MessageBox};
};

TEST_F(WhiteListPageTest, EntriesAddedFromTheLogShowUpSortedWhenThePageIsShownOrHidden) {
    Type("http://m.example/");
    AddFromLog("http://z.example/");
    AddFromLog("http://A.example/");
    ASSERT_THAT(g_WhiteList.Entries(),
                ElementsAre("http://m.example/", "http://z.example/", "http://A.example/"));
    EXPECT_THAT(Rows(), ElementsAre("http://m.example/")) << "not before the page shows";

    m_Page.show();
    EXPECT_THAT(Rows(), ElementsAre("http://A.example/", "http://m.example/", "http://z.example/"));

    AddFromLog("http://b.example/");
    m_Page.hide();
    EXPECT_THAT(Rows(), ElementsAre("http://A.example/", "http://b.example/", "http://m.example/",
                                    "http://z.example/"));
    EXPECT_TRUE(m_MessageBox.Boxes().empty());
}

TEST_F(WhiteListPageTest, RedNoteIsPaintedInTheTopBandWhateverTheListHolds) {
    for (int i = 0; i < 50; ++i) {
        g_WhiteList.Add("http://w" + std::to_string(i) + ".example/");
    }
    m_Page.show();
    const QImage image = m_Page.grab().toImage();
    ASSERT_FALSE(image.isNull());
    const double scale = image.devicePixelRatio();
    int nRed = 0;
    int nRedElsewhere = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            // Letters are smoothed at their edges: red well above the other two.
            const QColor color = image.pixelColor(x, y);
            if (color.red() < 160 || color.green() > 90 || color.blue() > 90) {
                continue;
            }
            const bool bInBand = x >= 14 * scale && y < 14 * scale;
            ++(bInBand ? nRed : nRedElsewhere);
        }
    }
    EXPECT_GT(nRed, 20) << "the note's letters in red";
    EXPECT_EQ(nRedElsewhere, 0);
}

}  // namespace
