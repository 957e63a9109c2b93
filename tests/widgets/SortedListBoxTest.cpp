#include "widgets/SortedListBox.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

std::vector<std::string> Rows(const CSortedListBox& listBox) {
    std::vector<std::string> rows;
    for (int i = 0; i < listBox.GetCount(); ++i) {
        rows.push_back(listBox.GetText(i));
    }
    return rows;
}

struct COrderCase {
    const char* szName;
    std::vector<std::string> added;
    std::vector<std::string> shown;
};

void PrintTo(const COrderCase& c, std::ostream* os) {
    *os << c.szName;
}

class SortedListBoxOrderTest : public testing::TestWithParam<COrderCase> {};

// Every arrival order of the same rows gives the same rows.
TEST_P(SortedListBoxOrderTest, RowsFollowTheCaseBlindOrderWhateverTheArrivalOrder) {
    std::vector<std::string> added = GetParam().added;
    std::sort(added.begin(), added.end());
    do {
        CSortedListBox listBox;
        for (const std::string& row : added) {
            listBox.AddString(row);
        }
        EXPECT_THAT(Rows(listBox), ElementsAreArray(GetParam().shown))
            << "added as " << testing::PrintToString(added);
    } while (std::next_permutation(added.begin(), added.end()));
}

INSTANTIATE_TEST_SUITE_P(
    Orders, SortedListBoxOrderTest,
    testing::Values(
        // Qt's own order would put the capitals first: B, C, a.
        COrderCase{"CapitalsAmongSmallLetters", {"B", "a", "C"}, {"a", "B", "C"}},
        COrderCase{"EqualButForCase",
                   {"http://ads.example/", "HTTP://ADS.EXAMPLE/", "http://Ads.example/"},
                   {"HTTP://ADS.EXAMPLE/", "http://Ads.example/", "http://ads.example/"}},
        COrderCase{"PrefixOfALongerRow",
                   {"http://a.example/pop", "http://a.example/", "HTTP://A.EXAMPLE/P"},
                   {"http://a.example/", "HTTP://A.EXAMPLE/P", "http://a.example/pop"}},
        // Folding to capitals instead would put the underscore after Z.
        COrderCase{"PunctuationAroundLetters",
                   {"http://x.example/_", "http://x.example/Z", "http://x.example/a"},
                   {"http://x.example/_", "http://x.example/a", "http://x.example/Z"}}),
    [](const testing::TestParamInfo<COrderCase>& info) { return info.param.szName; });

struct CFindCase {
    const char* szName;
    std::string prefix;
    int nRow;
};

void PrintTo(const CFindCase& c, std::ostream* os) {
    *os << c.szName;
}

class SortedListBoxFindTest : public testing::TestWithParam<CFindCase> {};

TEST_P(SortedListBoxFindTest, FindsTheFirstRowThatBeginsWithThePrefixCaseBlind) {
    CSortedListBox listBox;
    for (const char* row : {"http://b.example/", "http://Ads.example/pop", "http://ads.example/"}) {
        listBox.AddString(row);
    }
    ASSERT_THAT(Rows(listBox),
                ElementsAre("http://ads.example/", "http://Ads.example/pop", "http://b.example/"));
    EXPECT_EQ(listBox.FindString(GetParam().prefix), GetParam().nRow);
}

INSTANTIATE_TEST_SUITE_P(
    Prefixes, SortedListBoxFindTest,
    testing::Values(CFindCase{"OtherCase", "HTTP://B.EXAMPLE/", 2},
                    CFindCase{"FirstOfSeveralFromTheTop", "http://ADS.example/", 0},
                    CFindCase{"OnlyTheLongerRow", "http://ads.example/p", 1},
                    CFindCase{"Empty", "", 0},
                    CFindCase{"LongerThanEveryRow", "http://b.example/more", -1},
                    CFindCase{"InsideARowButNotItsStart", "b.example", -1}),
    [](const testing::TestParamInfo<CFindCase>& info) { return info.param.szName; });

// The shown text may not hold the bytes (not UTF-8); the row still answers them.
TEST(SortedListBoxTest, RowsKeepTheirBytesAndShowThemAsPlainText) {
    const std::string markup = R"(http://x.example/<b>bold</b>&amp;)";
    const std::string notUtf8 = "http://x.example/\xFF\xFE";
    const std::string longUrl = "http://long.example/?" + std::string(100000, 'q');
    CSortedListBox listBox;
    for (const std::string& url : {markup, notUtf8, longUrl}) {
        listBox.AddString(url);
    }
    EXPECT_THAT(Rows(listBox), ElementsAre(longUrl, markup, notUtf8));
    EXPECT_EQ(listBox.item(1)->text(), QString::fromStdString(markup));
}

TEST(SortedListBoxTest, SelectionIsOneRowOrNoneAndAnEmptyBoxFindsNothing) {
    CSortedListBox listBox;
    EXPECT_EQ(listBox.FindString(""), -1);
    for (const char* row : {"c", "a", "b"}) {
        listBox.AddString(row);
    }
    EXPECT_EQ(listBox.GetCurSel(), -1) << "adding selects nothing";
    listBox.setCurrentRow(1);
    EXPECT_EQ(listBox.GetCurSel(), 1);

    listBox.DeleteString(1);
    EXPECT_THAT(Rows(listBox), ElementsAre("a", "c"));
    EXPECT_EQ(listBox.GetCurSel(), -1) << "the neighbour is not chosen in its place";

    listBox.setCurrentRow(0);
    listBox.ResetContent();
    listBox.AddString("a");
    EXPECT_EQ(listBox.GetCurSel(), -1) << "emptying loses the selection";
}

}  // namespace
