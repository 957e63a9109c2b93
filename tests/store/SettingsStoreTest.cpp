#include "store/SettingsStore.h"

#include <gmock/gmock.h>

#include "engine/UrlList.h"
#include "support/TempStore.h"
#include "support/TextFile.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Strings = std::vector<std::string>;

std::pair<EListLoad, Strings> Loaded(EListLoad eLoad, Strings entries) {
    return {eLoad, std::move(entries)};
}

const std::string kProductKey = "[HKEY_LOCAL_MACHINE\\Software\\hollin\\QLIO";

class SettingsStoreTest : public ::testing::Test, protected STempStore {
protected:
    void WriteStore(const std::string& text) { WriteTextFile(File(), "REGEDIT4\n\n" + text); }
    // Saves `entries` as the list `name`; answers whether the store took it.
    bool Save(const Strings& entries, const char* name = REGVAL_BLACK) {
        CUrlList list;
        for (const auto& entry : entries) {
            list.Add(entry);
        }
        return WriteRegList(m_Store, REGKEY_LIST, name, list);
    }
    // How the list `name` loads into a list that held "before", and what it holds then.
    std::pair<EListLoad, Strings> Load(const char* name = REGVAL_BLACK) {
        CUrlList list;
        list.Add("before");
        const EListLoad eLoad = ReadRegList(m_Store, REGKEY_LIST, name, list);
        return {eLoad, list.Entries()};
    }
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
    EXPECT_THAT(ReadTextFile(File()), testing::Not(HasSubstr("QLIO\\option]")));
}

// Lists keep their order and come back whole from a fresh hive; the stored form is the
// entries each ended by a zero, and a zero more. An empty entry cuts the list at the next
// load; the first run loads nothing, and a failed load leaves the list as it was.
TEST_F(SettingsStoreTest, ListsKeepTheirOrderAndTheirExactByteForm) {
    EXPECT_EQ(Load(), Loaded(EListLoad::NotStored, {"before"}));
    const std::string longUrl = "http://x.example/?" + std::string(70000, 'q');
    const std::string hostile = "http://y.example/<script>\"\\\xff\x01";
    EXPECT_TRUE(Save({"B", "A", "Cc"}));
    EXPECT_TRUE(Save({"A", "", "C"}, REGVAL_WHITE));
    EXPECT_THAT(ReadTextFile(File()), HasSubstr("\"black\"=hex(7):42,00,41,00,43,63,00,00\n"
                                                "\"white\"=hex(7):41,00,00,43,00,00\n"));
    EXPECT_EQ(Load(REGVAL_WHITE), Loaded(EListLoad::Loaded, {"A"}));
    EXPECT_TRUE(Save({}, REGVAL_WHITE));
    EXPECT_THAT(ReadTextFile(File()), HasSubstr("\"white\"=hex(7):00\n"));
    EXPECT_EQ(Load(REGVAL_WHITE), Loaded(EListLoad::Loaded, {}));
    EXPECT_TRUE(Save({longUrl, hostile}));
    CRegistryHive reopened(File());
    CUrlList list;
    EXPECT_EQ(ReadRegList(CSettingsStore(reopened), REGKEY_LIST, REGVAL_BLACK, list),
              EListLoad::Loaded);
    EXPECT_THAT(list.Entries(), ElementsAre(longUrl, hostile));
}

// A value of another type loads nothing and is replaced at the next save; data without its
// last zeros loads what it holds. A value that may have stood on a line that cannot be read
// is unreadable, not missing, also once a write has stored the file anew.
TEST_F(SettingsStoreTest, ListsWrittenByHandLoadWhatTheyHold) {
    WriteStore(kProductKey + "\\list]\n\"black\"=\"http://a/\"\n\"white\"=hex(7):61,00,62\n");
    EXPECT_EQ(Load(), Loaded(EListLoad::NotStored, {"before"}));
    EXPECT_EQ(Load(REGVAL_WHITE), Loaded(EListLoad::Loaded, {"a", "b"}));
    EXPECT_TRUE(Save({"before"}));
    EXPECT_EQ(Load(), Loaded(EListLoad::Loaded, {"before"}));
    WriteStore(kProductKey + "\\list]\n\"black\"=hex(7):\n");
    EXPECT_EQ(Load(), Loaded(EListLoad::Loaded, {}));

    testing::internal::CaptureStderr();
    WriteStore(kProductKey + "\\list]\n\"black\"=hex(7):62,0\"\n\"white\"=hex(7):61,00,00\n");
    EXPECT_EQ(Load(), Loaded(EListLoad::Unreadable, {"before"}));
    EXPECT_TRUE(m_Store.WriteOption(OPT_SPEED, 5));
    EXPECT_EQ(Load(), Loaded(EListLoad::Unreadable, {"before"}));
    EXPECT_EQ(Load(REGVAL_WHITE), Loaded(EListLoad::Loaded, {"a"}));
    EXPECT_THAT(testing::internal::GetCapturedStderr(), HasSubstr("registry.reg:4: this line"));
}

// The hive, with each read of a value able to make it longer first, as another process's
// write would between the question for the longest value and the read.
class CMockRegistry : public IRegistry {
public:
    MOCK_METHOD(LSTATUS, OpenKey, (HKEY, std::string_view, REGSAM, HKEY*), (override));
    MOCK_METHOD(LSTATUS, CreateKey, (HKEY, std::string_view, REGSAM, bool, HKEY*), (override));
    MOCK_METHOD(LSTATUS, QueryValue, (HKEY, std::string_view, DWORD*, std::uint8_t*, DWORD*),
                (override));
    MOCK_METHOD(LSTATUS, SetValue, (HKEY, std::string_view, DWORD, std::span<const std::uint8_t>),
                (override));
    MOCK_METHOD(LSTATUS, QueryMaxValueDataLength, (HKEY, DWORD*), (override));
    MOCK_METHOD(LSTATUS, CloseKey, (HKEY), (override));
};

// A list that grows while it is read is read again, whole; one that never stops growing is
// unreadable rather than taken for missing.
TEST_F(SettingsStoreTest, AListThatGrowsWhileItIsReadIsReadAgain) {
    std::vector<std::uint8_t> bytes{0};
    for (const auto& [nGrowths, eExpected] :
         {std::pair{2, EListLoad::Loaded}, std::pair{100, EListLoad::Unreadable}}) {
        testing::NiceMock<CMockRegistry> registry;
        using testing::Invoke;
        ON_CALL(registry, OpenKey).WillByDefault(Invoke(&m_Hive, &CRegistryHive::OpenKey));
        ON_CALL(registry, CreateKey).WillByDefault(Invoke(&m_Hive, &CRegistryHive::CreateKey));
        ON_CALL(registry, QueryMaxValueDataLength)
            .WillByDefault(Invoke(&m_Hive, &CRegistryHive::QueryMaxValueDataLength));
        ON_CALL(registry, CloseKey).WillByDefault(Invoke(&m_Hive, &CRegistryHive::CloseKey));
        int nLeft = nGrowths;
        ON_CALL(registry, QueryValue)
            .WillByDefault([&](HKEY hKey, std::string_view name, DWORD* pType, std::uint8_t* pData,
                               DWORD* pSize) {
                if (nLeft-- > 0) {
                    bytes.insert(bytes.begin(), {'g', 0});
                    EXPECT_EQ(m_Hive.SetValue(hKey, name, REG_MULTI_SZ, bytes), ERROR_SUCCESS);
                }
                return m_Hive.QueryValue(hKey, name, pType, pData, pSize);
            });
        CUrlList list;
        EXPECT_EQ(ReadRegList(CSettingsStore(registry), REGKEY_LIST, REGVAL_BLACK, list), eExpected)
            << nGrowths;
        const Strings expected = eExpected == EListLoad::Loaded ? Strings{"g", "g"} : Strings{};
        EXPECT_EQ(list.Entries(), expected) << nGrowths;
    }
}

}  // namespace
