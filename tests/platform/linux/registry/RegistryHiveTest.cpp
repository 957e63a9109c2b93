#include "platform/linux/registry/RegistryHive.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/registry/RegValue.h"
#include "store/Options.h"
#include "store/SettingsStore.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

constexpr uid_t NOBODY = 65534;
constexpr const char* OPTION_KEY = "Software\\hollin\\QLIO\\option";

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes in place, as an editor that does not replace the file would.
void WriteFile(const fs::path& path, std::string_view text) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::vector<fs::path> FilesStartingWith(const fs::path& folder, std::string_view prefix) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with(prefix)) {
            files.push_back(entry.path());
        }
    }
    return files;
}

struct stat Stat(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
}

LSTATUS SetDword(IRegistry& registry, HKEY hKey, std::string_view name, DWORD value) {
    std::array<std::uint8_t, 4> bytes{};
    std::memcpy(bytes.data(), &value, sizeof value);
    return registry.SetValue(hKey, name, REG_DWORD, bytes);
}

// The value's type and data, or nothing when it cannot be read.
std::optional<CRegValue> Query(IRegistry& registry, HKEY hKey, std::string_view name) {
    CRegValue value;
    DWORD size = 0;
    if (registry.QueryValue(hKey, name, &value.dwType, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.data.resize(size);
    if (registry.QueryValue(hKey, name, nullptr, value.data.data(), &size) != ERROR_SUCCESS ||
        size != value.data.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<DWORD> QueryDword(IRegistry& registry, HKEY hKey, std::string_view name) {
    const std::optional<CRegValue> value = Query(registry, hKey, name);
    if (!value || value->dwType != REG_DWORD || value->data.size() != sizeof(DWORD)) {
        return std::nullopt;
    }
    DWORD number = 0;
    std::memcpy(&number, value->data.data(), sizeof number);
    return number;
}

// Opens `path` below HKLM with `rights`, creating it where missing.
HKEY Create(IRegistry& registry, std::string_view path, REGSAM rights = KEY_ALL_ACCESS) {
    HKEY hKey = HKEY_NONE;
    EXPECT_EQ(registry.CreateKey(HKEY_LOCAL_MACHINE, path, rights, false, &hKey), ERROR_SUCCESS)
        << path;
    return hKey;
}

// Writer `id` stores `count` numbered values below `path`; false at the first failure.
bool WriteMany(IRegistry& registry, std::string_view path, int id, int count) {
    for (int i = 0; i < count; ++i) {
        HKEY hKey = HKEY_NONE;
        if (registry.CreateKey(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS, false, &hKey) !=
                ERROR_SUCCESS ||
            SetDword(registry, hKey, std::to_string(id) + "-" + std::to_string(i), id * 1000 + i) !=
                ERROR_SUCCESS ||
            registry.CloseKey(hKey) != ERROR_SUCCESS) {
            return false;
        }
    }
    return true;
}

void ExpectWrittenByMany(IRegistry& registry, std::string_view path, int writers, int count) {
    HKEY hKey = HKEY_NONE;
    ASSERT_EQ(registry.OpenKey(HKEY_LOCAL_MACHINE, path, KEY_READ, &hKey), ERROR_SUCCESS);
    for (int id = 0; id < writers; ++id) {
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(QueryDword(registry, hKey, std::to_string(id) + "-" + std::to_string(i)),
                      static_cast<DWORD>(id * 1000 + i));
        }
    }
}

class CRegistryHiveTest : public testing::Test {
protected:
    fs::path Folder() const { return m_dir / "config" / "Quellio"; }
    fs::path File() const { return Folder() / "registry.reg"; }

    CTempDir m_dir;
};

// ---------------------------------------------------------------------------------------
// Values come back exactly, from the same object and from a fresh one.

struct CValueCase {
    const char* szName;
    std::string name;
    DWORD dwType;
    std::string data;
};

// Test names say enough; the default print of a case is its raw bytes.
void PrintTo(const CValueCase& c, std::ostream* os) {
    *os << c.szName;
}

class CRegistryHiveValueTest : public CRegistryHiveTest,
                               public testing::WithParamInterface<CValueCase> {};

TEST_P(CRegistryHiveValueTest, ComesBackExactly) {
    const CValueCase& c = GetParam();
    CRegistryHive hive(File());
    const HKEY hKey = Create(hive, "Software\\values");
    ASSERT_EQ(hive.SetValue(hKey, c.name, c.dwType, Bytes(c.data)), ERROR_SUCCESS);
    CRegistryHive fresh(File());
    for (CRegistryHive* pHive : {&hive, &fresh}) {
        HKEY hRead = HKEY_NONE;
        ASSERT_EQ(pHive->OpenKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Values", KEY_READ, &hRead),
                  ERROR_SUCCESS);
        const std::optional<CRegValue> value = Query(*pHive, hRead, c.name);
        ASSERT_TRUE(value) << ReadFile(File());
        EXPECT_EQ(value->dwType, c.dwType);
        EXPECT_EQ(value->data, Bytes(c.data));
    }
}

std::string Pattern(std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>(i * 131 + (i >> 9));
    }
    return data;
}

INSTANTIATE_TEST_SUITE_P(
    Types, CRegistryHiveValueTest,
    testing::Values(CValueCase{"Dword", "speed", REG_DWORD, "\x14\0\0\0"s},
                    CValueCase{"ShortDword", "short", REG_DWORD, "\x07"},
                    CValueCase{"StringWithoutTerminator", "raw", REG_SZ, "abc"},
                    CValueCase{"MultiString", "black", REG_MULTI_SZ, "http://a/\0http://b/\0\0"s},
                    CValueCase{"UnnamedValue", "", REG_SZ, "default\0"s},
                    CValueCase{"NameOfRawBytes", "\x01\x7f\xfe\xff\t ;[\"\\", REG_BINARY, "\1"},
                    CValueCase{"LargeValue", "large", REG_BINARY, Pattern(1 << 20)}),
    [](const auto& info) { return std::string(info.param.szName); });

// ---------------------------------------------------------------------------------------

TEST_F(CRegistryHiveTest, ReadsMakeNothingAndTheFirstWriteMakesAPrivateFolder) {
    CRegistryHive hive(File());
    HKEY hKey = HKEY_NONE;
    EXPECT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software", KEY_ALL_ACCESS, &hKey), ERROR_SUCCESS);
    EXPECT_EQ(hive.OpenKey(HKEY_CURRENT_USER, "", KEY_READ, &hKey), ERROR_SUCCESS);
    EXPECT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software\\hollin", KEY_READ, &hKey),
              ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(fs::exists(m_dir / "config"));

    const CSettingsStore store(hive);
    EXPECT_EQ(store.ReadOption(OPT_SPEED), 20U);
    EXPECT_EQ(ReadFile(File()),
              "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\hollin\\QLIO\\option]\n\n");
    EXPECT_EQ(Stat(Folder()).st_mode & 07777, 0700U);
    EXPECT_EQ(Stat(m_dir / "config").st_mode & 07777, 0700U);
    EXPECT_EQ(Stat(File()).st_mode & 07777, 0600U);

    EXPECT_TRUE(store.WriteOption(OPT_SPEED, 25));
    EXPECT_NE(ReadFile(File()).find("\"speed\"=dword:00000019\n"), std::string::npos);
    CRegistryHive other(File());
    EXPECT_EQ(CSettingsStore(other).ReadOption(OPT_SPEED), 25U);

    // Opening existing keys and writing what is already there leave the file alone.
    const ino_t inode = Stat(File()).st_ino;
    EXPECT_EQ(store.ReadOption(OPT_SPEED), 25U);
    EXPECT_TRUE(store.WriteOption(OPT_SPEED, 25));
    EXPECT_EQ(Stat(File()).st_ino, inode);

    // A replaced file keeps the permissions its owner gave it.
    ASSERT_EQ(::chmod(File().c_str(), 0640), 0);
    EXPECT_TRUE(store.WriteOption(OPT_SPEED, 26));
    EXPECT_EQ(Stat(File()).st_mode & 07777, 0640U);
}

TEST_F(CRegistryHiveTest, NamesIgnoreLetterCaseAndKeepTheirFirstSpelling) {
    CRegistryHive hive(File());
    const HKEY hFirst = Create(hive, "Software\\Hollin\\Qlio");
    ASSERT_EQ(SetDword(hive, hFirst, "Speed", 1), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(hive, Create(hive, "SOFTWARE\\hollin\\QLIO"), "SPEED", 2), ERROR_SUCCESS);
    EXPECT_EQ(QueryDword(hive, hFirst, "speed"), 2U);
    EXPECT_NE(ReadFile(File()).find(
                  "[HKEY_LOCAL_MACHINE\\Software\\Hollin\\Qlio]\n\"Speed\"=dword:00000002\n"),
              std::string::npos);

    // Only ASCII letters fold: É and é are two names.
    ASSERT_EQ(SetDword(hive, hFirst, "\xc3\x89", 3), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(hive, hFirst, "\xc3\xa9", 4), ERROR_SUCCESS);
    EXPECT_EQ(QueryDword(hive, hFirst, "\xc3\x89"), 3U);
    EXPECT_EQ(QueryDword(hive, hFirst, "\xc3\xa9"), 4U);
}

TEST_F(CRegistryHiveTest, QueryValueReportsLengthsAndLeavesShortBuffersAlone) {
    CRegistryHive hive(File());
    const HKEY hKey = Create(hive, "Software\\q");
    const std::vector<std::uint8_t> data{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    ASSERT_EQ(hive.SetValue(hKey, "v", REG_BINARY, data), ERROR_SUCCESS);
    ASSERT_EQ(hive.SetValue(hKey, "empty", REG_NONE, {}), ERROR_SUCCESS);

    std::array<std::uint8_t, 16> buffer{};
    buffer.fill(0xAA);
    DWORD type = 0;
    DWORD size = 9;
    EXPECT_EQ(hive.QueryValue(hKey, "v", &type, buffer.data(), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 10U);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](auto b) { return b == 0xAA; }));

    size = 10;
    EXPECT_EQ(hive.QueryValue(hKey, "V", nullptr, buffer.data(), &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 10U);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), buffer.begin()));
    EXPECT_EQ(buffer[10], 0xAA);
    type = 0;
    EXPECT_EQ(hive.QueryValue(hKey, "v", &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(hive.QueryValue(hKey, "v", &type, buffer.data(), nullptr), ERROR_INVALID_PARAMETER);

    size = 5;
    EXPECT_EQ(hive.QueryValue(hKey, "empty", &type, buffer.data(), &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 0U);
    EXPECT_EQ(type, REG_NONE);
    EXPECT_EQ(hive.QueryValue(hKey, "missing", &type, buffer.data(), &size), ERROR_FILE_NOT_FOUND);

    DWORD longest = 99;
    EXPECT_EQ(hive.QueryMaxValueDataLength(hKey, &longest), ERROR_SUCCESS);
    EXPECT_EQ(longest, 10U);
    EXPECT_EQ(hive.QueryMaxValueDataLength(Create(hive, "Software\\q\\bare"), &longest),
              ERROR_SUCCESS);
    EXPECT_EQ(longest, 0U);
    EXPECT_EQ(hive.QueryMaxValueDataLength(hKey, nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(CRegistryHiveTest, RightsAreCheckedOnEveryCall) {
    CRegistryHive hive(File());
    ASSERT_EQ(SetDword(hive, Create(hive, "Software\\r"), "v", 1), ERROR_SUCCESS);
    Create(hive, "Software\\r\\existing");

    const HKEY hRead = Create(hive, "Software\\r", KEY_READ);
    EXPECT_EQ(SetDword(hive, hRead, "v", 2), ERROR_ACCESS_DENIED);
    HKEY hSub = HKEY_NONE;
    EXPECT_EQ(hive.CreateKey(hRead, "new", KEY_READ, false, &hSub), ERROR_ACCESS_DENIED);
    EXPECT_EQ(hive.CreateKey(hRead, "EXISTING", KEY_READ, false, &hSub), ERROR_SUCCESS);

    const HKEY hSet = Create(hive, "Software\\r", KEY_SET_VALUE);
    DWORD size = 0;
    EXPECT_EQ(hive.QueryValue(hSet, "v", nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
    EXPECT_EQ(hive.QueryMaxValueDataLength(hSet, &size), ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetDword(hive, hSet, "v", 3), ERROR_SUCCESS);
    EXPECT_EQ(QueryDword(hive, hRead, "v"), 3U);
    EXPECT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software\\r\\new", KEY_READ, &hSub),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(CRegistryHiveTest, ClosedAndUnknownHandlesAreRefused) {
    CRegistryHive hive(File());
    const HKEY hClosed = Create(hive, "Software\\h");
    ASSERT_EQ(hive.CloseKey(hClosed), ERROR_SUCCESS);
    constexpr HKEY HKEY_PERFORMANCE_DATA = 0x80000004U;
    for (const HKEY hBad : {hClosed, HKEY_NONE, HKEY{12345}, HKEY_PERFORMANCE_DATA}) {
        SCOPED_TRACE(hBad);
        HKEY hKey = HKEY_NONE;
        DWORD size = 0;
        EXPECT_EQ(hive.OpenKey(hBad, "", KEY_READ, &hKey), ERROR_INVALID_HANDLE);
        EXPECT_EQ(hive.CreateKey(hBad, "x", KEY_READ, false, &hKey), ERROR_INVALID_HANDLE);
        EXPECT_EQ(hive.QueryValue(hBad, "v", nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
        EXPECT_EQ(SetDword(hive, hBad, "v", 1), ERROR_INVALID_HANDLE);
        EXPECT_EQ(hive.QueryMaxValueDataLength(hBad, &size), ERROR_INVALID_HANDLE);
        EXPECT_EQ(hive.CloseKey(hBad), ERROR_INVALID_HANDLE);
        EXPECT_EQ(hKey, HKEY_NONE);
    }
    // Roots need no closing and stay usable.
    EXPECT_EQ(hive.CloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_NE(Create(hive, "Software\\h", KEY_READ), hClosed);
}

TEST_F(CRegistryHiveTest, MalformedNamesAndPathsAreRefused) {
    CRegistryHive hive(File());
    HKEY hKey = HKEY_NONE;
    for (const std::string& path : {"a\\\\b"s, "\\a"s, "a\\"s, "\\"s, "a\nb"s, "a\rb"s, "a\0b"s}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, path, KEY_READ, &hKey), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(hive.CreateKey(HKEY_LOCAL_MACHINE, path, KEY_READ, false, &hKey),
                  ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software", KEY_READ, nullptr),
              ERROR_INVALID_PARAMETER);
    const HKEY hSoftware = Create(hive, "Software");
    EXPECT_EQ(SetDword(hive, hSoftware, "a\nb", 1), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SetDword(hive, hSoftware, "a\0b"s, 1), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(fs::exists(File()));

    std::string deepest = "Software";
    for (std::size_t level = 1; level < CRegTree::MAX_KEY_DEPTH; ++level) {
        deepest += "\\k";
    }
    const HKEY hDeepest = Create(hive, deepest);
    EXPECT_EQ(hive.CreateKey(hDeepest, "deeper", KEY_READ, false, &hKey), ERROR_INVALID_PARAMETER);
    CRegistryHive fresh(File());
    EXPECT_EQ(fresh.OpenKey(HKEY_LOCAL_MACHINE, deepest, KEY_READ, &hKey), ERROR_SUCCESS);
}

TEST_F(CRegistryHiveTest, ChangesMadeBehindItsBackAreSeen) {
    // Written by hand, and not rewritten by reading.
    const std::string text =
        "\xEF\xBB\xBFREGEDIT4\r\n; by hand\r\n[hkey_local_machine\\SOFTWARE\\c]\r\n"
        "\"V\"=dword:1\r\n";
    WriteFile(File(), text);
    CRegistryHive hive(File());
    HKEY hKey = HKEY_NONE;
    ASSERT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software\\c", KEY_ALL_ACCESS, &hKey),
              ERROR_SUCCESS);
    EXPECT_EQ(QueryDword(hive, hKey, "v"), 1U);
    EXPECT_EQ(ReadFile(File()), text);

    // Same inode and size, and a time that differs only in its nanoseconds.
    const struct stat st = Stat(File());
    std::string changed = text;
    changed[changed.find("dword:1") + 6] = '2';
    WriteFile(File(), changed);
    std::array<timespec, 2> times{st.st_atim, st.st_mtim};
    times[1].tv_nsec += times[1].tv_nsec < 999999999 ? 1 : -1;
    ASSERT_EQ(::utimensat(AT_FDCWD, File().c_str(), times.data(), 0), 0);
    EXPECT_EQ(QueryDword(hive, hKey, "v"), 2U);

    // A file without the key leaves the handle pointing at nothing.
    WriteFile(File(), "REGEDIT4\n");
    DWORD size = 0;
    EXPECT_EQ(hive.QueryValue(hKey, "v", nullptr, nullptr, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(SetDword(hive, hKey, "v", 3), ERROR_KEY_DELETED);
    EXPECT_EQ(hive.CreateKey(hKey, "sub", KEY_READ, false, &hKey), ERROR_KEY_DELETED);
    EXPECT_EQ(ReadFile(File()), "REGEDIT4\n");
}

TEST_F(CRegistryHiveTest, BadLinesAreLeftOutReportedOnceAndTheFileKeptAside) {
    const std::string first =
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\hollin\\QLIO\\option]\n"
        "\"speed\"=dword:0000001e\n\"bmove\"=this is not a value\n"
        "[HKEY_LOCAL_MACHINE\\Software\\hollin\\QLIO\\list]\n\"black\"=hex(7):61,00,00\n";
    WriteFile(File(), first);
    CRegistryHive hive(File());
    const CSettingsStore store(hive);
    testing::internal::CaptureStderr();
    EXPECT_EQ(store.ReadOption(OPT_SPEED), 30U);
    EXPECT_EQ(store.ReadOption(OPT_MOVE), 0U);
    EXPECT_EQ(CSettingsStore(hive).ReadOption(OPT_SPEED), 30U);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              File().string() + ":4: this line cannot be read and is left out\n");
    EXPECT_EQ(ReadFile(File()), first);
    EXPECT_TRUE(FilesStartingWith(Folder(), "registry.reg.corrupt-").empty());

    EXPECT_TRUE(store.WriteOption(OPT_MOVE, 1));
    std::vector<fs::path> copies = FilesStartingWith(Folder(), "registry.reg.corrupt-");
    ASSERT_EQ(copies.size(), 1U);
    EXPECT_TRUE(std::regex_match(copies[0].filename().string(),
                                 std::regex(R"(registry\.reg\.corrupt-\d{8}-\d{6}(-\d+)?)")));
    EXPECT_EQ(ReadFile(copies[0]), first);
    EXPECT_EQ(store.ReadOption(OPT_MOVE), 1U);
    EXPECT_EQ(store.ReadOption(OPT_SPEED), 30U);
    HKEY hList = HKEY_NONE;
    ASSERT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software\\hollin\\QLIO\\list", KEY_READ, &hList),
              ERROR_SUCCESS);
    EXPECT_EQ(Query(hive, hList, "black"), (CRegValue{REG_MULTI_SZ, Bytes("a\0\0"s)}));

    // Not a registry file at all, and the names this second and the next two are taken
    // already: read as empty, and kept beside the first copy.
    const std::string second = "\0\x01 not a registry at all"s;
    WriteFile(File(), second);
    std::set<fs::path> decoys;
    for (int ahead = 0; ahead < 3; ++ahead) {
        const std::time_t when = std::time(nullptr) + ahead;
        std::tm local{};
        ::localtime_r(&when, &local);
        std::array<char, 32> stamp{};
        std::strftime(stamp.data(), stamp.size(), "%Y%m%d-%H%M%S", &local);
        const fs::path decoy = Folder() / ("registry.reg.corrupt-"s + stamp.data());
        if (!fs::exists(decoy)) {
            WriteFile(decoy, "decoy");
            decoys.insert(decoy);
        }
    }
    EXPECT_TRUE(store.WriteOption(OPT_MOVE, 0));
    std::multiset<std::string> contents;
    for (const fs::path& copy : FilesStartingWith(Folder(), "registry.reg.corrupt-")) {
        contents.insert(ReadFile(copy));
    }
    EXPECT_EQ(contents.size(), 2 + decoys.size());
    EXPECT_EQ(contents.count("decoy"), decoys.size());
    EXPECT_EQ(contents.count(first), 1U);
    EXPECT_EQ(contents.count(second), 1U);
    EXPECT_EQ(store.ReadOption(OPT_MOVE), 0U);
    EXPECT_EQ(store.ReadOption(OPT_SPEED), 20U);
}

TEST_F(CRegistryHiveTest, StaleTemporariesAreRemovedByTheNextWrite) {
    WriteFile(Folder() / "registry.reg.tmp-Ab12Cd", "half a file");
    WriteFile(Folder() / "other.reg.tmp-Ab12Cd", "not ours");
    WriteFile(Folder() / "registry.reg.tmpfile", "not ours either");
    CRegistryHive hive(File());
    const HKEY hKey = Create(hive, "Software");
    EXPECT_EQ(FilesStartingWith(Folder(), "registry.reg.tmp-").size(), 1U);  // reads leave them
    ASSERT_EQ(SetDword(hive, hKey, "v", 1), ERROR_SUCCESS);
    EXPECT_TRUE(FilesStartingWith(Folder(), "registry.reg.tmp-").empty());
    EXPECT_TRUE(fs::exists(Folder() / "other.reg.tmp-Ab12Cd"));
    EXPECT_TRUE(fs::exists(Folder() / "registry.reg.tmpfile"));
}

TEST_F(CRegistryHiveTest, AWriteTooLargeForTheFileFailsAndKeepsTheFile) {
    CRegistryHive hive(File());
    const HKEY hKey = Create(hive, "Software\\big");
    ASSERT_EQ(SetDword(hive, hKey, "v", 1), ERROR_SUCCESS);
    const std::string text = ReadFile(File());
    // Each byte takes three characters in the file.
    const std::vector<std::uint8_t> huge(CHiveFile::MAX_FILE_SIZE / 3 + 1);
    EXPECT_EQ(hive.SetValue(hKey, "huge", REG_BINARY, huge), ERROR_OUTOFMEMORY);
    EXPECT_EQ(ReadFile(File()), text);
    EXPECT_EQ(QueryDword(hive, hKey, "v"), 1U);
    EXPECT_FALSE(Query(hive, hKey, "huge"));
    EXPECT_TRUE(FilesStartingWith(Folder(), "registry.reg.tmp-").empty());
}

// ---------------------------------------------------------------------------------------
// Places that cannot be written: reads work, opens asking to write are refused.

TEST_F(CRegistryHiveTest, PathsThatCannotHoldTheFileAreReadOnly) {
    WriteFile(m_dir / "plain", "a regular file");
    ASSERT_EQ(::mkfifo((m_dir / "fifo").c_str(), 0600), 0);
    for (const fs::path& path :
         {m_dir / "plain" / "registry.reg", m_dir / "plain" / "sub" / "registry.reg",
          m_dir / "fifo", fs::path()}) {
        SCOPED_TRACE(path);
        CRegistryHive hive(path);
        HKEY hKey = HKEY_NONE;
        EXPECT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software", KEY_READ, &hKey), ERROR_SUCCESS);
        EXPECT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software", KEY_SET_VALUE, &hKey),
                  ERROR_ACCESS_DENIED);
        EXPECT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software", KEY_CREATE_SUB_KEY, &hKey),
                  ERROR_ACCESS_DENIED);
        EXPECT_EQ(hive.CreateKey(HKEY_LOCAL_MACHINE, "Software\\x", KEY_READ, false, &hKey),
                  ERROR_ACCESS_DENIED);
        EXPECT_EQ(SetDword(hive, HKEY_LOCAL_MACHINE, "v", 1), ERROR_ACCESS_DENIED);
        const CSettingsStore store(hive);
        EXPECT_EQ(store.ReadOption(OPT_SPEED), 20U);
        EXPECT_FALSE(store.WriteOption(OPT_SPEED, 25));
    }
    EXPECT_EQ(ReadFile(m_dir / "plain"), "a regular file");
    EXPECT_TRUE(fs::is_fifo(m_dir / "fifo"));
}

// Gives a path to the unprivileged child of RunUnprivileged, when there is one.
void HandToNobody(const fs::path& path) {
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(path.c_str(), NOBODY, NOBODY), 0) << path;
    }
}

class CRegistryHiveUnwritableTest : public CRegistryHiveTest,
                                    public testing::WithParamInterface<bool> {};

// The parameter: the folder is made read-only, else the file.
TEST_P(CRegistryHiveUnwritableTest, ReadsWorkAndWritesAreRefused) {
    const std::string text =
        "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\hollin\\QLIO\\option]\n"
        "\"speed\"=dword:0000001e\n\n";
    WriteFile(File(), text);
    // The temporary folder is private to its creator; let the child in.
    fs::permissions(m_dir.Path(), fs::perms(0755));
    fs::permissions(m_dir / "config", fs::perms(0755));
    HandToNobody(Folder());
    HandToNobody(File());
    const fs::path target = GetParam() ? Folder() : File();
    const mode_t writable = GetParam() ? 0755 : 0644;
    const mode_t readOnly = GetParam() ? 0555 : 0444;
    const fs::path file = File();

    const int failedStep = RunUnprivileged([&] {
        if (::chmod(target.c_str(), readOnly) != 0) {
            return 1;
        }
        CRegistryHive hive(file);
        HKEY hKey = HKEY_NONE;
        HKEY hDenied = HKEY_NONE;
        if (hive.OpenKey(HKEY_LOCAL_MACHINE, OPTION_KEY, KEY_READ, &hKey) != ERROR_SUCCESS ||
            QueryDword(hive, hKey, "speed") != 30U) {
            return 2;
        }
        if (hive.OpenKey(HKEY_LOCAL_MACHINE, OPTION_KEY, KEY_SET_VALUE, &hDenied) !=
                ERROR_ACCESS_DENIED ||
            hive.CreateKey(HKEY_LOCAL_MACHINE, OPTION_KEY, KEY_CREATE_SUB_KEY, false, &hDenied) !=
                ERROR_ACCESS_DENIED ||
            hive.CreateKey(HKEY_LOCAL_MACHINE, "Software\\new", KEY_READ, false, &hDenied) !=
                ERROR_ACCESS_DENIED) {
            return 3;
        }
        // A handle opened while writing was possible fails once it is not.
        HKEY hWrite = HKEY_NONE;
        if (::chmod(target.c_str(), writable) != 0 ||
            hive.OpenKey(HKEY_LOCAL_MACHINE, OPTION_KEY, KEY_ALL_ACCESS, &hWrite) !=
                ERROR_SUCCESS ||
            ::chmod(target.c_str(), readOnly) != 0) {
            return 5;
        }
        if (SetDword(hive, hWrite, "speed", 25) != ERROR_ACCESS_DENIED ||
            QueryDword(hive, hWrite, "speed") != 30U) {
            return 6;
        }
        return 0;
    });
    EXPECT_EQ(failedStep, 0);
    EXPECT_EQ(ReadFile(File()), text);
    EXPECT_EQ(FilesStartingWith(Folder(), "").size(), 1U);
}

INSTANTIATE_TEST_SUITE_P(Places, CRegistryHiveUnwritableTest, testing::Bool(),
                         [](const auto& info) {
                             return info.param ? "ReadOnlyFolder"s : "ReadOnlyFile"s;
                         });

// ---------------------------------------------------------------------------------------
// Several writers at once, and writers that die.

TEST_F(CRegistryHiveTest, TwoThreadsShareOneHive) {
    CRegistryHive hive(File());
    std::array<bool, 2> succeeded{};
    std::thread first([&] { succeeded[0] = WriteMany(hive, "Software\\threads", 0, 25); });
    std::thread second([&] { succeeded[1] = WriteMany(hive, "Software\\threads", 1, 25); });
    first.join();
    second.join();
    EXPECT_TRUE(succeeded[0] && succeeded[1]);
    ExpectWrittenByMany(hive, "Software\\threads", 2, 25);
}

TEST_F(CRegistryHiveTest, ConcurrentWritersInTwoProcessesLoseNothing) {
    std::array<pid_t, 2> children{};
    for (int child = 0; child < 2; ++child) {
        children[child] = ::fork();
        ASSERT_GE(children[child], 0);
        if (children[child] == 0) {
            CRegistryHive hive(File());
            ::_exit(WriteMany(hive, "Software\\shared", child, 30) ? 0 : 1);
        }
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    CRegistryHive hive(File());
    ExpectWrittenByMany(hive, "Software\\shared", 2, 30);
}

// Generation `n` of the value the killed writer stores: `n` in its first four bytes and
// every other byte following from it, so a mix of two generations shows.
std::vector<std::uint8_t> Generation(std::uint32_t n) {
    std::vector<std::uint8_t> data(std::size_t{64} * 1024);
    std::memcpy(data.data(), &n, sizeof n);
    for (std::size_t i = sizeof n; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(std::size_t{n} * 131 + i * 7 + (i >> 8));
    }
    return data;
}

TEST_F(CRegistryHiveTest, AWriterKilledAtAnyMomentLeavesTheOldOrTheNewFile) {
    {
        CRegistryHive hive(File());
        ASSERT_EQ(hive.SetValue(Create(hive, "Software\\crash"), "gen", REG_BINARY, Generation(0)),
                  ERROR_SUCCESS);
    }
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delay(0, 20000);
    std::uint32_t stored = 0;
    int killedMidWrite = 0;
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::array<int, 2> pipe{};
        ASSERT_EQ(::pipe(pipe.data()), 0);
        const pid_t writer = ::fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            // Writes generation after generation, telling each one once it is stored.
            ::close(pipe[0]);
            CRegistryHive hive(File());
            const HKEY hKey = Create(hive, "Software\\crash");
            for (std::uint32_t n = stored + 1;; ++n) {
                if (hive.SetValue(hKey, "gen", REG_BINARY, Generation(n)) != ERROR_SUCCESS ||
                    ::write(pipe[1], &n, sizeof n) != sizeof n) {
                    ::_exit(2);
                }
            }
        }
        ::close(pipe[1]);
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        ::kill(writer, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(writer, &status, 0), writer);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << status;
        std::uint32_t acknowledged = stored;
        for (std::uint32_t n = 0; ::read(pipe[0], &n, sizeof n) == sizeof n;) {
            acknowledged = n;
        }
        ::close(pipe[0]);
        killedMidWrite += FilesStartingWith(Folder(), "registry.reg.tmp-").empty() ? 0 : 1;

        CRegistryHive reader(File());
        HKEY hKey = HKEY_NONE;
        ASSERT_EQ(reader.OpenKey(HKEY_LOCAL_MACHINE, "Software\\crash", KEY_READ, &hKey),
                  ERROR_SUCCESS)
            << "the file no longer parses";
        const std::optional<CRegValue> value = Query(reader, hKey, "gen");
        ASSERT_TRUE(value);
        ASSERT_GE(value->data.size(), sizeof stored);
        std::memcpy(&stored, value->data.data(), sizeof stored);
        ASSERT_TRUE(stored == acknowledged || stored == acknowledged + 1)
            << "stored " << stored << ", acknowledged " << acknowledged;
        ASSERT_EQ(value->data, Generation(stored));
    }
    EXPECT_TRUE(FilesStartingWith(Folder(), "registry.reg.corrupt-").empty());
    RecordProperty("rounds_killed_mid_write", killedMidWrite);
}

// ---------------------------------------------------------------------------------------

// Sets an environment variable (null: unsets it) until the end of the scope.
class CEnvironmentVariable {
public:
    CEnvironmentVariable(const char* szName, const char* szValue) : m_szName(szName) {
        const char* szOld = std::getenv(szName);
        m_old = szOld != nullptr ? std::optional<std::string>(szOld) : std::nullopt;
        Set(szValue);
    }
    ~CEnvironmentVariable() { Set(m_old ? m_old->c_str() : nullptr); }
    CEnvironmentVariable(const CEnvironmentVariable&) = delete;
    CEnvironmentVariable& operator=(const CEnvironmentVariable&) = delete;

    void Set(const char* szValue) {
        szValue != nullptr ? ::setenv(m_szName, szValue, 1) : ::unsetenv(m_szName);
    }

private:
    const char* m_szName;
    std::optional<std::string> m_old;
};

TEST(CRegistryHiveDefaultPathTest, FollowsXdgConfigHomeThenHome) {
    CEnvironmentVariable home("HOME", "/home/someone");
    CEnvironmentVariable configHome("XDG_CONFIG_HOME", "/elsewhere/conf");
    EXPECT_EQ(CRegistryHive::DefaultPath(), "/elsewhere/conf/Quellio/registry.reg");
    for (const char* ignored : {"relative/conf", "", static_cast<const char*>(nullptr)}) {
        configHome.Set(ignored);
        EXPECT_EQ(CRegistryHive::DefaultPath(), "/home/someone/.config/Quellio/registry.reg");
    }
    home.Set(nullptr);
    const passwd* pEntry = ::getpwuid(::getuid());
    ASSERT_NE(pEntry, nullptr);
    EXPECT_EQ(CRegistryHive::DefaultPath(),
              fs::path(pEntry->pw_dir) / ".config" / "Quellio" / "registry.reg");
}

}  // namespace
