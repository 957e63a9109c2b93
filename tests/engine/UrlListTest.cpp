#include "engine/UrlList.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>

using ::testing::ElementsAre;

namespace {

struct MatchCase {
    const char* entry;
    std::string address;
    int expected;
};

void PrintTo(const MatchCase& c, std::ostream* os) {
    *os << '"' << c.entry << "\" vs \"" << c.address.c_str() << '"';
}

class IsInListMatching : public ::testing::TestWithParam<MatchCase> {};

TEST_P(IsInListMatching, ComparesWholeStringsByteForByte) {
    CUrlList list;
    list.Add("unrelated");
    list.Add(GetParam().entry);
    EXPECT_EQ(IsInList(GetParam().address, list), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IsInListMatching,
    ::testing::Values(MatchCase{"http://a.example/", "http://a.example/", 1},
                      MatchCase{"http://a.example/", "http://a.example", 0},
                      MatchCase{"http://a.example", "http://a.example/", 0},
                      MatchCase{"http://a.example/x", "http://a.example/X", 0},
                      MatchCase{"http://A.example/", "http://a.example/", 0},
                      MatchCase{"http://a.example/?q=1", "http://a.example/", 0},
                      MatchCase{"http://a.example/", "http://a.example/?q=1", 0},
                      MatchCase{"http://a.example/", " http://a.example/", 0}, MatchCase{"", "", 1},
                      MatchCase{"", "x", 0},
                      // Bytes from a zero byte on take no part, as in a C string comparison.
                      MatchCase{"http://a.example/", std::string("http://a.example/\0evil", 22), 1},
                      MatchCase{"\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9", 1},
                      MatchCase{"\xc3\xa9t\xc3\xa9", "\xc3\x89t\xc3\xa9", 0}));

TEST(UrlList, EmptyListHoldsNothingNotEvenTheEmptyAddress) {
    const CUrlList list;
    EXPECT_EQ(IsInList("", list), 0);
    EXPECT_EQ(IsInList("http://a.example/", list), 0);
}

TEST(UrlList, KeepsInsertionOrderDuplicatesAndRemovesByIndex) {
    CUrlList list;
    for (const char* url : {"B", "a", "C", "a"}) {
        list.Add(url);
    }
    EXPECT_THAT(list.Entries(), ElementsAre("B", "a", "C", "a"));

    list.RemoveAt(1);
    EXPECT_THAT(list.Entries(), ElementsAre("B", "C", "a"));
    EXPECT_EQ(IsInList("a", list), 1) << "the duplicate is still there";
    list.RemoveAt(2);
    EXPECT_EQ(IsInList("a", list), 0);
    EXPECT_THROW(list.RemoveAt(2), std::out_of_range);

    list.RemoveAll();
    EXPECT_EQ(list.GetCount(), 0U);
    EXPECT_EQ(IsInList("B", list), 0);
}

// The index must answer exactly as a walk of the entries with a C string comparison does,
// whatever the history of additions and removals.
TEST(UrlList, IndexAgreesWithAWalkOfTheEntries) {
    std::mt19937 random(20261206);
    const std::vector<std::string> pool = {
        "", "a", "A", "a/", "ab", std::string("a\0b", 3), "http://x/", "http://x", "\xff"};
    auto walk = [](const CUrlList& list, const std::string& url) {
        for (const std::string& entry : list.Entries()) {
            if (std::strcmp(entry.c_str(), url.c_str()) == 0)
                return 1;
        }
        return 0;
    };
    CUrlList list;
    for (int step = 0; step < 5000; ++step) {
        const std::string& url = pool[random() % pool.size()];
        switch (random() % 4) {
            case 0:
            case 1:
                list.Add(url);
                break;
            case 2:
                if (list.GetCount() > 0)
                    list.RemoveAt(random() % list.GetCount());
                break;
            default:
                if (random() % 50 == 0)
                    list.RemoveAll();
        }
        for (const std::string& probe : pool) {
            ASSERT_EQ(IsInList(probe, list), walk(list, probe)) << "step " << step;
        }
    }
}

}  // namespace
