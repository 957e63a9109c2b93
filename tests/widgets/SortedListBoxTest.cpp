#include "widgets/SortedListBox.h"

#include <algorithm>

#include <gmock/gmock.h>

#include "support/Rows.h"

namespace {

using ::testing::ElementsAre;
using Strings = std::vector<std::string>;

// Rows follow the case-blind order whatever order they came in, where Qt's own order would
// put capitals first and folding to capitals would put "_" after "Z".
TEST(SortedListBox, RowsFollowTheCaseBlindOrderWhateverTheArrivalOrder) {
    const Strings orders[] = {{"a", "B", "C"},
                              {"HTTP://ADS.EXAMPLE/", "http://Ads.example/", "http://ads.example/"},
                              {"http://a.example/", "HTTP://A.EXAMPLE/P", "http://a.example/pop"},
                              {"http://x.example/_", "http://x.example/a", "http://x.example/Z"}};
    for (const Strings& shown : orders) {
        Strings added = shown;
        std::sort(added.begin(), added.end());
        do {
            CSortedListBox listBox;
            for (const std::string& row : added) {
                listBox.AddString(row);
            }
            EXPECT_EQ(Rows(listBox), shown) << "added as " << testing::PrintToString(added);
        } while (std::next_permutation(added.begin(), added.end()));
    }
}

TEST(SortedListBox, FindsTheFirstRowThatBeginsWithThePrefixCaseBlind) {
    CSortedListBox listBox;
    EXPECT_EQ(listBox.FindString(""), -1);
    for (const char* row : {"http://b.example/", "http://Ads.example/pop", "http://ads.example/"}) {
        listBox.AddString(row);
    }
    const std::pair<const char*, int> cases[] = {
        {"HTTP://B.EXAMPLE/", 2},      {"http://ADS.example/", 0},
        {"http://ads.example/p", 1},   {"", 0},
        {"http://b.example/more", -1}, {"b.example", -1}};
    for (const auto& [prefix, nRow] : cases) {
        EXPECT_EQ(listBox.FindString(prefix), nRow) << prefix;
    }
}

// The shown text may not hold the bytes (not UTF-8); the row still answers them. Adding
// chooses no row, and a removed row's neighbour is not chosen in its place.
TEST(SortedListBox, RowsKeepTheirBytesAndTheSelectionIsOneRowOrNone) {
    const std::string markup = R"(http://x.example/<b>bold</b>&amp;)";
    const std::string notUtf8 = "http://x.example/\xFF\xFE";
    const std::string longUrl = "http://long.example/?" + std::string(100000, 'q');
    CSortedListBox listBox;
    for (const std::string& url : {markup, notUtf8, longUrl}) {
        listBox.AddString(url);
    }
    EXPECT_THAT(Rows(listBox), ElementsAre(longUrl, markup, notUtf8));
    EXPECT_EQ(listBox.item(1)->text(), QString::fromStdString(markup));
    EXPECT_EQ(listBox.GetCurSel(), -1);
    listBox.setCurrentRow(1);
    EXPECT_EQ(listBox.GetCurSel(), 1);
    listBox.DeleteString(1);
    EXPECT_THAT(Rows(listBox), ElementsAre(longUrl, notUtf8));
    EXPECT_EQ(listBox.GetCurSel(), -1);
    listBox.setCurrentRow(0);
    listBox.ResetContent();
    listBox.AddString("a");
    EXPECT_EQ(listBox.GetCurSel(), -1);
}

}  // namespace
