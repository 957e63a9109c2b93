#include "engine/UrlList.h"

#include <algorithm>
#include <cstring>
#include <random>

#include <gtest/gtest.h>

namespace {

// Whatever the history of additions and removals, the list holds its entries in insertion
// order, duplicates and all, and answers membership as a walk of them with the C string
// comparison would: whole addresses, byte for byte, letter case significant, nothing from a
// zero byte on.
TEST(UrlList, KeepsItsEntriesInOrderAndMatchesWholeAddressesByteForByte) {
    using namespace std::string_literals;
    const std::vector<std::string> pool = {
        "",          "a",        "A",        " a",       "a/",  "ab", "a\0b"s, "http://x/?q=1",
        "http://x/", "http://x", "\xc3\xa9", "\xc3\x89", "\xff"};
    std::mt19937 random(20261206);
    std::vector<std::string> model;
    CUrlList list;
    for (int step = 0; step < 5000; ++step) {
        const std::string& url = pool[random() % pool.size()];
        const auto nAction = random() % 50;
        if (nAction < 25) {
            list.Add(url);
            model.push_back(url);
        } else if (nAction < 49 && !model.empty()) {
            const std::size_t nAt = random() % model.size();
            list.RemoveAt(nAt);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(nAt));
        } else if (nAction == 49) {
            list.RemoveAll();
            model.clear();
        }
        ASSERT_EQ(list.Entries(), model) << "step " << step;
        for (const std::string& probe : pool) {
            const bool bFound = std::ranges::any_of(model, [&](const std::string& entry) {
                return std::strcmp(entry.c_str(), probe.c_str()) == 0;
            });
            ASSERT_EQ(IsInList(probe, list), bFound ? 1 : 0) << "step " << step;
        }
    }
    EXPECT_THROW(list.RemoveAt(list.GetCount()), std::out_of_range);
}

}  // namespace
