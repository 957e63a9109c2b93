#include "engine/UrlList.h"

#include <gmock/gmock.h>

#include <cstring>
#include <random>

namespace {

using ::testing::ElementsAre;

TEST(UrlList, MatchesWholeAddressesByteForByteUpToAZeroByte) {
    const struct {
        const char* entry;
        std::string address;
        int nExpected;
    } cases[] = {{"http://a.example/", "http://a.example/", 1},
                 {"http://a.example/", "http://a.example", 0},
                 {"http://a.example", "http://a.example/", 0},
                 {"http://a.example/x", "http://a.example/X", 0},
                 {"http://a.example/?q=1", "http://a.example/", 0},
                 {"http://a.example/", "http://a.example/?q=1", 0},
                 {"http://a.example/", " http://a.example/", 0},
                 {"", "", 1},
                 {"", "x", 0},
                 {"http://a.example/", std::string("http://a.example/\0evil", 22), 1},
                 {"\xc3\xa9t\xc3\xa9", "\xc3\x89t\xc3\xa9", 0}};
    for (const auto& c : cases) {
        CUrlList list;
        EXPECT_EQ(IsInList(c.address, list), 0) << "an empty list holds nothing";
        list.Add("unrelated");
        list.Add(c.entry);
        EXPECT_EQ(IsInList(c.address, list), c.nExpected) << c.entry << " / " << c.address;
    }
}

TEST(UrlList, KeepsInsertionOrderAndDuplicatesAndRemovesByIndex) {
    CUrlList list;
    for (const char* url : {"B", "a", "C", "a"}) {
        list.Add(url);
    }
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

// The index answers as a walk of the entries with a C string comparison would, whatever
// the history of additions and removals.
TEST(UrlList, IndexAgreesWithAWalkOfTheEntries) {
    std::mt19937 random(20261206);
    const std::vector<std::string> pool = {
        "", "a", "A", "a/", "ab", std::string("a\0b", 3), "http://x/", "http://x", "\xff"};
    const auto walk = [](const CUrlList& list, const std::string& url) {
        return static_cast<int>(std::ranges::any_of(list.Entries(), [&](const std::string& entry) {
            return std::strcmp(entry.c_str(), url.c_str()) == 0;
        }));
    };
    CUrlList list;
    for (int step = 0; step < 5000; ++step) {
        const std::string& url = pool[random() % pool.size()];
        const auto nAction = random() % 50;
        if (nAction < 25) {
            list.Add(url);
        } else if (nAction < 49 && list.GetCount() > 0) {
            list.RemoveAt(random() % list.GetCount());
        } else if (nAction == 49) {
            list.RemoveAll();
        }
        for (const std::string& probe : pool) {
            ASSERT_EQ(IsInList(probe, list), walk(list, probe)) << "step " << step;
        }
    }
}

}  // namespace
