#include "store/SettingsStore.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "engine/UrlList.h"
#include "platform/linux/registry/RegistryHive.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

const char* const kProductKey = "[HKEY_LOCAL_MACHINE\\Software\\hollin\\QLIO";

class SettingsStoreTest : public ::testing::Test {
protected:
    void WriteFile(const std::string& text) {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }
    std::string ReadFile() const {
        std::ostringstream text;
        text << std::ifstream(file, std::ios::binary).rdbuf();
        return text.str();
    }
    // The raw data and type of a value, read past the store.
    std::vector<std::uint8_t> RawValue(const char* subKey, const char* name, DWORD* type) {
        HKEY hKey = HKEY_NONE;
        std::string path = std::string("Software\\hollin\\QLIO\\") + subKey;
        EXPECT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, path, KEY_READ, &hKey), ERROR_SUCCESS);
        std::vector<std::uint8_t> data(1 << 16);
        DWORD size = static_cast<DWORD>(data.size());
        EXPECT_EQ(hive.QueryValue(hKey, name, type, data.data(), &size), ERROR_SUCCESS);
        hive.CloseKey(hKey);
        data.resize(size);
        return data;
    }

    CTempDir dir;
    std::filesystem::path file = dir / "Quellio" / "registry.reg";
    CRegistryHive hive{file};
    CSettingsStore store{hive};
};

TEST_F(SettingsStoreTest, FirstReadGivesDefaultAndCreatesTheEmptyOptionKey) {
    EXPECT_EQ(store.ReadOption(OPT_SPEED), 20U);
    const std::string text = ReadFile();
    EXPECT_THAT(text, HasSubstr(std::string(kProductKey) + "\\option]"));
    EXPECT_THAT(text, Not(HasSubstr("\"speed\"")));
}

TEST_F(SettingsStoreTest, WrittenOptionsReadBackAsDwords) {
    EXPECT_TRUE(store.WriteOption(OPT_SPEED, 0));
    EXPECT_TRUE(store.WriteOption(OPT_CLEANTIME, CLEAN_TIME_CLOSING));
    EXPECT_EQ(store.ReadOption(OPT_SPEED), 0U) << "a stored 0 is a value, not a missing one";
    EXPECT_EQ(store.ReadOption(OPT_CLEANTIME), 3U);
    EXPECT_THAT(ReadFile(), HasSubstr("\"speed\"=dword:00000000"));
}

struct HandWritten {
    const char* name;
    const char* line;  // the value line in the option key
    DWORD expected;    // "speed", default 20
};

void PrintTo(const HandWritten& c, std::ostream* os) {
    *os << c.name;
}

class HandWrittenSpeed : public SettingsStoreTest,
                         public ::testing::WithParamInterface<HandWritten> {};

TEST_P(HandWrittenSpeed, ReadsAsTheStoreRulesSay) {
    WriteFile(std::string("REGEDIT4\n\n") + kProductKey + "\\option]\n" + GetParam().line + "\n");
    EXPECT_EQ(store.ReadOption(OPT_SPEED), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, HandWrittenSpeed,
    ::testing::Values(HandWritten{"Dword", "\"speed\"=dword:0000001e", 30},
                      HandWritten{"NameInOtherCase", "\"SPEED\"=dword:0000001e", 30},
                      HandWritten{"EightBytesIsDefault", "\"speed\"=hex(b):1e,00,00,00,00,00,00,00",
                                  20},
                      HandWritten{"FiveBytesIsDefault", "\"speed\"=hex:1e,00,00,00,00", 20},
                      HandWritten{"OneByteIsLowByte", "\"speed\"=hex:1e", 30},
                      HandWritten{"ThreeByteStringIsRawBytes", "\"speed\"=\"ab\"", 0x6261},
                      HandWritten{"BinaryOfFourBytes", "\"speed\"=hex:01,02,03,04", 0x04030201U},
                      HandWritten{"EmptyDataIsZero", "\"speed\"=hex:", 0},
                      HandWritten{"OtherValueOnly", "\"bmove\"=dword:00000001", 20}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsStoreTest, KeysInOtherLetterCaseAreTheSameKeys) {
    WriteFile(
        "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Hollin\\qlio\\OPTION]\n"
        "\"bontop\"=dword:00000005\n");
    EXPECT_EQ(store.ReadOption(OPT_ONTOP), 5U) << "any value but 0 is on";
    EXPECT_TRUE(store.WriteOption(OPT_MOVE, 1));
    EXPECT_EQ(store.ReadOption(OPT_ONTOP), 5U);
    EXPECT_EQ(store.ReadOption(OPT_MOVE), 1U);
    EXPECT_THAT(ReadFile(), Not(HasSubstr("QLIO\\option]"))) << "no second key in other case";
}

TEST_F(SettingsStoreTest, ReadOnlyStoreKeepsItsValuesAndClaimsNoWrite) {
    const std::string text = std::string("REGEDIT4\n\n") + kProductKey +
                             "\\list]\n\"black\"=hex(7):61,00,00\n\n" + kProductKey +
                             "\\option]\n\"speed\"=dword:0000001e\n\n" + kProductKey +
                             "\\wizard]\n\"first\"=dword:00000001\n\n";
    WriteFile(text);
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(file.parent_path().c_str(), 0755), 0);
    testing::internal::CaptureStderr();
    const int failedStep = RunUnprivileged([&] {
        CRegistryHive readOnly(file);
        CSettingsStore readOnlyStore(readOnly);
        CUrlList list;
        if (readOnlyStore.ReadOption(OPT_SPEED) != 30 ||
            readOnlyStore.ReadRegDword(REGKEY_FIRST, REGVAL_FIRST, 0) != 1 ||
            !ReadRegList(readOnlyStore, REGKEY_LIST, REGVAL_BLACK, list) ||
            list.Entries() != std::vector<std::string>{"a"}) {
            return 1;
        }
        list.Add("b");
        if (readOnlyStore.WriteOption(OPT_SPEED, 25) ||
            readOnlyStore.WriteRegDword(REGKEY_FIRST, REGVAL_FIRST, 1) ||
            WriteRegList(readOnlyStore, REGKEY_LIST, REGVAL_BLACK, list)) {
            return 2;
        }
        // A subkey that is not there reads as the defaults, and is not made.
        return readOnlyStore.ReadRegDword("missing", "x", 7) == 7 ? 0 : 3;
    });
    EXPECT_EQ(failedStep, 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(ReadFile(), text);
}

class StoredListTest : public SettingsStoreTest {
protected:
    bool Save(const std::vector<std::string>& entries, const char* name = REGVAL_BLACK) {
        CUrlList list;
        for (const auto& entry : entries)
            list.Add(entry);
        return WriteRegList(store, REGKEY_LIST, name, list);
    }
    std::vector<std::string> Load(bool* ok = nullptr, const char* name = REGVAL_BLACK) {
        CUrlList list;
        const bool loaded = ReadRegList(store, REGKEY_LIST, name, list);
        if (ok)
            *ok = loaded;
        return list.Entries();
    }
    std::vector<std::uint8_t> Stored(const char* name = REGVAL_BLACK) {
        DWORD type = REG_NONE;
        auto data = RawValue(REGKEY_LIST, name, &type);
        EXPECT_EQ(type, REG_MULTI_SZ);
        return data;
    }
};

TEST_F(StoredListTest, FirstRunLoadsNothingAndAnEmptyListIsOneZeroByte) {
    bool ok = true;
    EXPECT_THAT(Load(&ok), IsEmpty());
    EXPECT_FALSE(ok);
    EXPECT_TRUE(Save({}));
    EXPECT_THAT(Stored(), ElementsAre(0));
    EXPECT_THAT(Load(&ok), IsEmpty());
    EXPECT_TRUE(ok);
}

TEST_F(StoredListTest, KeepsInsertionOrderAndTheExactByteForm) {
    EXPECT_TRUE(Save({"B", "A", "Cc"}));
    EXPECT_THAT(Stored(), ElementsAre('B', 0, 'A', 0, 'C', 'c', 0, 0));
    EXPECT_THAT(Load(), ElementsAre("B", "A", "Cc"));
}

TEST_F(StoredListTest, AnEmptyEntryCutsTheListAtTheNextLoad) {
    EXPECT_TRUE(Save({"A", "", "C"}));
    EXPECT_THAT(Stored(), ElementsAre('A', 0, 0, 'C', 0, 0));
    EXPECT_THAT(Load(), ElementsAre("A"));
}

TEST_F(StoredListTest, ListsSurviveAFreshHiveOnTheSameFile) {
    const std::string longUrl = "http://x.example/?" + std::string(70000, 'q');
    const std::string hostile = "http://y.example/<script>\"\\\xff\x01";
    EXPECT_TRUE(Save({longUrl, hostile}, REGVAL_WHITE));
    CRegistryHive reopened(file);
    CSettingsStore reopenedStore(reopened);
    CUrlList list;
    EXPECT_TRUE(ReadRegList(reopenedStore, REGKEY_LIST, REGVAL_WHITE, list));
    EXPECT_THAT(list.Entries(), ElementsAre(longUrl, hostile));
}

TEST_F(StoredListTest, ValueOfAnotherTypeLoadsNothingAndIsReplacedAtTheNextSave) {
    WriteFile(std::string("REGEDIT4\n\n") + kProductKey + "\\list]\n\"black\"=\"http://a/\"\n");
    CUrlList list;
    list.Add("before");
    EXPECT_FALSE(ReadRegList(store, REGKEY_LIST, REGVAL_BLACK, list));
    EXPECT_THAT(list.Entries(), ElementsAre("before")) << "a failed load leaves the list as it was";

    EXPECT_TRUE(WriteRegList(store, REGKEY_LIST, REGVAL_BLACK, list));
    EXPECT_THAT(Load(), ElementsAre("before"));
}

TEST_F(StoredListTest, DataWithoutFinalTerminatorsLoadsWhatItHolds) {
    WriteFile(std::string("REGEDIT4\n\n") + kProductKey +
              "\\list]\n\"black\"=hex(7):61,00,62\n\"white\"=hex(7):\n");
    EXPECT_THAT(Load(), ElementsAre("a", "b"));
    bool ok = false;
    EXPECT_THAT(Load(&ok, REGVAL_WHITE), IsEmpty());
    EXPECT_TRUE(ok);
}

}  // namespace
