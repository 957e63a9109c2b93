#include "store/SettingsStore.h"

#include "engine/UrlList.h"
#include "platform/linux/registry/RegistryHive.h"
#include "support/TempDir.h"
#include "support/TextFile.h"

#include <gmock/gmock.h>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Strings = std::vector<std::string>;

const std::string kProductKey = "[HKEY_LOCAL_MACHINE\\Software\\hollin\\QLIO";

class SettingsStoreTest : public ::testing::Test {
protected:
    void WriteStore(const std::string& text) { WriteTextFile(m_File, "REGEDIT4\n\n" + text); }
    // Saves `entries` as the list `name`; answers whether the store took it.
    bool Save(const Strings& entries, const char* name = REGVAL_BLACK) {
        CUrlList list;
        for (const auto& entry : entries) {
            list.Add(entry);
        }
        return WriteRegList(m_Store, REGKEY_LIST, name, list);
    }
    // The list `name` as loaded into a list that held "before".
    Strings Load(const char* name = REGVAL_BLACK, bool* pLoaded = nullptr) {
        CUrlList list;
        list.Add("before");
        const bool bLoaded = ReadRegList(m_Store, REGKEY_LIST, name, list);
        if (pLoaded != nullptr) {
            *pLoaded = bLoaded;
        }
        return list.Entries();
    }

    CTempDir m_Dir;
    std::filesystem::path m_File = m_Dir / "Quellio" / "registry.reg";
    CRegistryHive m_Hive{m_File};
    CSettingsStore m_Store{m_Hive};
};

// A value written by hand reads as the store's rules say (a stored 0 is no missing value);
// keys in another letter case are the same keys, and a write adds no second one.
TEST_F(SettingsStoreTest, HandWrittenValuesReadAsTheRulesSay) {
    const std::pair<const char*, DWORD> cases[] = {{"\"speed\"=dword:00000000", 0},
                                                   {"\"speed\"=dword:0000001e", 30},
                                                   {"\"SPEED\"=dword:0000001e", 30},
                                                   {"\"speed\"=hex(b):1e,00,00,00,00,00,00,00", 20},
                                                   {"\"speed\"=hex:1e,00,00,00,00", 20},
                                                   {"\"speed\"=hex:1e", 30},
                                                   {"\"speed\"=\"ab\"", 0x6261},
                                                   {"\"speed\"=hex:01,02,03,04", 0x04030201U},
                                                   {"\"speed\"=hex:", 0},
                                                   {"\"bmove\"=dword:00000001", 20}};
    for (const auto& [line, nExpected] : cases) {
        WriteStore(kProductKey + "\\option]\n" + line + "\n");
        EXPECT_EQ(m_Store.ReadOption(OPT_SPEED), nExpected) << line;
    }
    WriteStore("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Hollin\\qlio\\OPTION]\n\"bontop\"=dword:00000005\n");
    EXPECT_EQ(m_Store.ReadOption(OPT_ONTOP), 5U);
    EXPECT_TRUE(m_Store.WriteOption(OPT_MOVE, 1));
    EXPECT_EQ(m_Store.ReadOption(OPT_ONTOP), 5U);
    EXPECT_EQ(m_Store.ReadOption(OPT_MOVE), 1U);
    EXPECT_THAT(ReadTextFile(m_File), testing::Not(HasSubstr("QLIO\\option]")));
}

// Lists keep their order and come back whole from a fresh hive; the stored form is the
// entries each ended by a zero, and a zero more. An empty entry cuts the list at the next
// load; the first run loads nothing, and a failed load leaves the list as it was.
TEST_F(SettingsStoreTest, ListsKeepTheirOrderAndTheirExactByteForm) {
    bool bLoaded = true;
    EXPECT_THAT(Load(REGVAL_BLACK, &bLoaded), ElementsAre("before"));
    EXPECT_FALSE(bLoaded);
    const std::string longUrl = "http://x.example/?" + std::string(70000, 'q');
    const std::string hostile = "http://y.example/<script>\"\\\xff\x01";
    EXPECT_TRUE(Save({"B", "A", "Cc"}));
    EXPECT_TRUE(Save({"A", "", "C"}, REGVAL_WHITE));
    EXPECT_THAT(ReadTextFile(m_File), HasSubstr("\"black\"=hex(7):42,00,41,00,43,63,00,00\n"
                                                "\"white\"=hex(7):41,00,00,43,00,00\n"));
    EXPECT_THAT(Load(REGVAL_WHITE), ElementsAre("A"));
    EXPECT_TRUE(Save({}, REGVAL_WHITE));
    EXPECT_THAT(ReadTextFile(m_File), HasSubstr("\"white\"=hex(7):00\n"));
    EXPECT_THAT(Load(REGVAL_WHITE, &bLoaded), ElementsAre());
    EXPECT_TRUE(bLoaded);
    EXPECT_TRUE(Save({longUrl, hostile}));
    CRegistryHive reopened(m_File);
    CUrlList list;
    EXPECT_TRUE(ReadRegList(CSettingsStore(reopened), REGKEY_LIST, REGVAL_BLACK, list));
    EXPECT_THAT(list.Entries(), ElementsAre(longUrl, hostile));
}

// A value of another type loads nothing and is replaced at the next save; data without its
// last zeros loads what it holds.
TEST_F(SettingsStoreTest, ListsWrittenByHandLoadWhatTheyHold) {
    WriteStore(kProductKey + "\\list]\n\"black\"=\"http://a/\"\n\"white\"=hex(7):61,00,62\n");
    bool bLoaded = true;
    EXPECT_THAT(Load(REGVAL_BLACK, &bLoaded), ElementsAre("before"));
    EXPECT_FALSE(bLoaded);
    EXPECT_THAT(Load(REGVAL_WHITE), ElementsAre("a", "b"));
    EXPECT_TRUE(Save({"before"}));
    EXPECT_THAT(Load(), ElementsAre("before"));
    WriteStore(kProductKey + "\\list]\n\"black\"=hex(7):\n");
    EXPECT_THAT(Load(REGVAL_BLACK, &bLoaded), ElementsAre());
    EXPECT_TRUE(bLoaded);
}

}  // namespace
