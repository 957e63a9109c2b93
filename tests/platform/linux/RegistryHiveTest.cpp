#include "platform/linux/RegistryHive.h"

#include <fcntl.h>
#include <grp.h>
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
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <ostream>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/RegValue.h"
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

ino_t InodeOf(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
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

// Gives a path to the unprivileged child of RunUnprivileged, when there is one.
void HandToNobody(const fs::path& path) {
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(path.c_str(), NOBODY, NOBODY), 0) << path;
    }
}

// Sets environment variables for one test and restores them after.
class CEnvironment {
public:
    ~CEnvironment() {
        for (const auto& [name, value] : m_saved) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }
    void Set(const std::string& name, const char* value) {
        if (m_saved.find(name) == m_saved.end()) {
            const char* old = std::getenv(name.c_str());
            m_saved.emplace(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        }
        if (value != nullptr) {
            ::setenv(name.c_str(), value, 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }

private:
    std::map<std::string, std::optional<std::string>> m_saved;
};

class CRegistryHiveTest : public testing::Test {
protected:
    fs::path Folder() const { return m_dir / "config" / "Quellio"; }
    fs::path File() const { return Folder() / "registry.reg"; }

    // Opens `path` below HKLM with every right, creating it where missing.
    static HKEY Create(IRegistry& registry, std::string_view path) {
        HKEY hKey = HKEY_NONE;
        EXPECT_EQ(registry.CreateKey(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS, false, &hKey),
                  ERROR_SUCCESS)
            << path;
        return hKey;
    }

    CTempDir m_dir;
};

// ---------------------------------------------------------------------------------------
// Values of every kind come back exactly, from the same object and from a fresh one.

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
    {
        CRegistryHive hive(File());
        const HKEY hKey = Create(hive, "Software\\values");
        ASSERT_EQ(hive.SetValue(hKey, c.name, c.dwType, Bytes(c.data)), ERROR_SUCCESS);
        const std::optional<CRegValue> value = Query(hive, hKey, c.name);
        ASSERT_TRUE(value);
        EXPECT_EQ(value->dwType, c.dwType);
        EXPECT_EQ(value->data, Bytes(c.data));
    }
    CRegistryHive fresh(File());
    HKEY hKey = HKEY_NONE;
    ASSERT_EQ(fresh.OpenKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Values", KEY_READ, &hKey),
              ERROR_SUCCESS);
    const std::optional<CRegValue> value = Query(fresh, hKey, c.name);
    ASSERT_TRUE(value) << ReadFile(File());
    EXPECT_EQ(value->dwType, c.dwType);
    EXPECT_EQ(value->data, Bytes(c.data));
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
                    CValueCase{"String", "text", REG_SZ, "C:\\Program Files\\\"Q\"\0"s},
                    CValueCase{"EmptyString", "empty", REG_SZ, "\0"s},
                    CValueCase{"StringWithoutTerminator", "raw", REG_SZ, "abc"},
                    CValueCase{"StringWithLineBreaks", "lines", REG_SZ, "a\r\nb\n\0"s},
                    CValueCase{"StringWithInnerZero", "inner", REG_SZ, "a\0b\0"s},
                    CValueCase{"ExpandString", "path", REG_EXPAND_SZ, "%HOME%\0"s},
                    CValueCase{"MultiString", "black", REG_MULTI_SZ, "http://a/\0http://b/\0\0"s},
                    CValueCase{"EmptyMultiString", "white", REG_MULTI_SZ, "\0"s},
                    CValueCase{"Binary", "bin", REG_BINARY, "\0\x01\xfe\xff"s},
                    CValueCase{"EmptyBinary", "nothing", REG_BINARY, ""},
                    CValueCase{"None", "none", REG_NONE, ""},
                    CValueCase{"Qword", "q", REG_QWORD, "\1\2\3\4\5\6\7\x08"s},
                    CValueCase{"BigEndianDword", "be", REG_DWORD_BIG_ENDIAN, "\0\0\0\1"s},
                    CValueCase{"LargestType", "odd", 0xFFFFFFFF, "x"},
                    CValueCase{"UnnamedValue", "", REG_SZ, "default\0"s},
                    CValueCase{"NameOfAnAt", "@", REG_DWORD, "\2\0\0\0"s},
                    CValueCase{"NameWithQuotesAndBackslashes", "a\\\"b\"\\", REG_DWORD,
                               "\1\0\0\0"s},
                    CValueCase{"NameOfRawBytes", "\x01\x7f\xfe\xff\t ;[", REG_BINARY, "\1"},
                    CValueCase{"LargeValue", "large", REG_BINARY, Pattern(1 << 20)}),
    [](const auto& info) { return std::string(info.param.szName); });

// ---------------------------------------------------------------------------------------

TEST_F(CRegistryHiveTest, EmptyStoreHasTheRootsAndSoftwareAndReadsMakeNothing) {
    CRegistryHive hive(File());
    HKEY hKey = HKEY_NONE;
    EXPECT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software", KEY_ALL_ACCESS, &hKey), ERROR_SUCCESS);
    EXPECT_EQ(hive.OpenKey(HKEY_CURRENT_USER, "", KEY_READ, &hKey), ERROR_SUCCESS);
    EXPECT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software\\hollin", KEY_READ, &hKey),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(hive.QueryValue(HKEY_LOCAL_MACHINE, "x", nullptr, nullptr, nullptr),
              ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(fs::exists(m_dir / "config"));
}

TEST_F(CRegistryHiveTest, FirstWriteMakesAPrivateFolderAndLaterNoOpsWriteNothing) {
    CRegistryHive hive(File());
    const CSettingsStore store(hive);
    EXPECT_EQ(store.ReadOption(OPT_SPEED), 20U);
    EXPECT_EQ(ReadFile(File()),
              "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\hollin\\QLIO\\option]\n\n");
    struct stat st {};
    ASSERT_EQ(::stat(Folder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700U);
    ASSERT_EQ(::stat((m_dir / "config").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700U);
    ASSERT_EQ(::stat(File().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600U);

    EXPECT_TRUE(store.WriteOption(OPT_SPEED, 25));
    EXPECT_NE(ReadFile(File()).find("\"speed\"=dword:00000019\n"), std::string::npos);
    CRegistryHive other(File());
    EXPECT_EQ(CSettingsStore(other).ReadOption(OPT_SPEED), 25U);

    // Opening existing keys and writing what is already there leave the file alone.
    const ino_t inode = InodeOf(File());
    EXPECT_EQ(store.ReadOption(OPT_SPEED), 25U);
    EXPECT_TRUE(store.WriteOption(OPT_SPEED, 25));
    EXPECT_EQ(InodeOf(File()), inode);

    // A replaced file keeps the permissions its owner gave it.
    ASSERT_EQ(::chmod(File().c_str(), 0640), 0);
    EXPECT_TRUE(store.WriteOption(OPT_SPEED, 26));
    ASSERT_EQ(::stat(File().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640U);
}

TEST_F(CRegistryHiveTest, ReadsAHandWrittenFileWithoutRewritingIt) {
    const std::string text =
        "\xEF\xBB\xBFREGEDIT4\r\n; by hand\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\hollin\\QLIO\\Option]\r\n"
        "\"Speed\"=dword:1e\r\n\"bOnTop\"=dword:00000005\r\n\"bmove\"=hex:01,00\r\n"
        "[hkey_local_machine\\software\\hollin\\qlio\\list]\r\n"
        "\"black\"=hex(7):61,00,\\\r\n  62,00,00\r\n";
    WriteFile(File(), text);
    CRegistryHive hive(File());
    const CSettingsStore store(hive);
    EXPECT_EQ(store.ReadOption(OPT_SPEED), 30U);
    EXPECT_EQ(store.ReadOption(OPT_ONTOP), 5U);
    EXPECT_EQ(store.ReadOption(OPT_MOVE), 1U);  // two bytes of another type: the low bytes
    const HKEY hList = store.OpenStoreKey(REGKEY_LIST);
    const std::optional<CRegValue> black = Query(hive, hList, "BLACK");
    ASSERT_TRUE(black);
    EXPECT_EQ(black->dwType, REG_MULTI_SZ);
    EXPECT_EQ(black->data, Bytes("a\0b\0\0"s));
    EXPECT_EQ(ReadFile(File()), text);
}

TEST_F(CRegistryHiveTest, NamesIgnoreLetterCaseAndKeepTheirFirstSpelling) {
    CRegistryHive hive(File());
    const HKEY hFirst = Create(hive, "Software\\Hollin\\Qlio");
    ASSERT_EQ(SetDword(hive, hFirst, "Speed", 1), ERROR_SUCCESS);
    HKEY hSecond = HKEY_NONE;
    ASSERT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\hollin\\QLIO", KEY_ALL_ACCESS, &hSecond),
              ERROR_SUCCESS);
    ASSERT_EQ(SetDword(hive, hSecond, "SPEED", 2), ERROR_SUCCESS);
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
    EXPECT_EQ(hive.QueryValue(hKey, "v", nullptr, buffer.data(), &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 10U);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), buffer.begin()));
    EXPECT_EQ(buffer[10], 0xAA);

    size = 0;
    EXPECT_EQ(hive.QueryValue(hKey, "V", nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 10U);
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
    const HKEY hAll = Create(hive, "Software\\r");
    ASSERT_EQ(SetDword(hive, hAll, "v", 1), ERROR_SUCCESS);
    Create(hive, "Software\\r\\existing");

    HKEY hRead = HKEY_NONE;
    ASSERT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software\\r", KEY_READ, &hRead), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(hive, hRead, "v", 2), ERROR_ACCESS_DENIED);
    HKEY hSub = HKEY_NONE;
    EXPECT_EQ(hive.CreateKey(hRead, "new", KEY_READ, false, &hSub), ERROR_ACCESS_DENIED);
    EXPECT_EQ(hive.CreateKey(hRead, "EXISTING", KEY_READ, false, &hSub), ERROR_SUCCESS);

    HKEY hSet = HKEY_NONE;
    ASSERT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software\\r", KEY_SET_VALUE, &hSet), ERROR_SUCCESS);
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
    HKEY hAgain = HKEY_NONE;
    EXPECT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software\\h", KEY_READ, &hAgain), ERROR_SUCCESS);
    EXPECT_NE(hAgain, hClosed);
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
    EXPECT_EQ(hive.OpenKey(hDeepest, "", KEY_READ, &hKey), ERROR_SUCCESS);
    CRegistryHive fresh(File());
    EXPECT_EQ(fresh.OpenKey(HKEY_LOCAL_MACHINE, deepest, KEY_READ, &hKey), ERROR_SUCCESS);
}

TEST_F(CRegistryHiveTest, ChangesMadeBehindItsBackAreSeen) {
    const std::string before =
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\c]\n\"v\"=dword:00000001\n";
    WriteFile(File(), before);
    CRegistryHive hive(File());
    HKEY hKey = HKEY_NONE;
    ASSERT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software\\c", KEY_ALL_ACCESS, &hKey),
              ERROR_SUCCESS);
    EXPECT_EQ(QueryDword(hive, hKey, "v"), 1U);

    // Same inode and size, and a time that differs only in its nanoseconds.
    struct stat st {};
    ASSERT_EQ(::stat(File().c_str(), &st), 0);
    WriteFile(File(), "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\c]\n\"v\"=dword:00000002\n");
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

TEST_F(CRegistryHiveTest, UnparsableFilesReadEmptyAndAreKeptAsideNeverOverwritten) {
    const std::string first =
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\hollin\\QLIO\\option]\n"
        "\"speed\"=dword:0000001e\nnot a value line\n";
    WriteFile(File(), first);
    CRegistryHive hive(File());
    HKEY hKey = HKEY_NONE;
    EXPECT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software\\hollin", KEY_READ, &hKey),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadFile(File()), first);
    EXPECT_TRUE(FilesStartingWith(Folder(), "registry.reg.corrupt-").empty());

    const CSettingsStore store(hive);
    EXPECT_TRUE(store.WriteOption(OPT_MOVE, 1));
    std::vector<fs::path> copies = FilesStartingWith(Folder(), "registry.reg.corrupt-");
    ASSERT_EQ(copies.size(), 1U);
    EXPECT_TRUE(std::regex_match(copies[0].filename().string(),
                                 std::regex(R"(registry\.reg\.corrupt-\d{8}-\d{6}(-\d+)?)")));
    EXPECT_EQ(ReadFile(copies[0]), first);
    EXPECT_EQ(store.ReadOption(OPT_MOVE), 1U);
    EXPECT_EQ(store.ReadOption(OPT_SPEED), 20U);

    // Spoilt again at once: the names this second and the next two are taken already.
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
    copies = FilesStartingWith(Folder(), "registry.reg.corrupt-");
    ASSERT_EQ(copies.size(), 2 + decoys.size());
    std::multiset<std::string> contents;
    for (const fs::path& copy : copies) {
        contents.insert(decoys.contains(copy) ? "decoy" : ReadFile(copy));
    }
    for (const fs::path& decoy : decoys) {
        EXPECT_EQ(ReadFile(decoy), "decoy");
    }
    EXPECT_EQ(contents.count(first), 1U);
    EXPECT_EQ(contents.count(second), 1U);
    EXPECT_EQ(store.ReadOption(OPT_MOVE), 0U);
}

TEST_F(CRegistryHiveTest, StaleTemporariesAreRemovedByTheNextWrite) {
    WriteFile(Folder() / "registry.reg.tmp-Ab12Cd", "half a file");
    WriteFile(Folder() / "registry.reg.tmp-XyZ987", "");
    WriteFile(Folder() / "other.reg.tmp-Ab12Cd", "not ours");
    WriteFile(Folder() / "registry.reg.tmpfile", "not ours either");
    CRegistryHive hive(File());
    HKEY hKey = HKEY_NONE;
    ASSERT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software", KEY_ALL_ACCESS, &hKey), ERROR_SUCCESS);
    EXPECT_EQ(FilesStartingWith(Folder(), "registry.reg.tmp-").size(), 2U);  // reads leave them
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
    DWORD size = 0;
    EXPECT_EQ(hive.QueryValue(hKey, "huge", nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(FilesStartingWith(Folder(), "registry.reg.tmp-").empty());
}

// ---------------------------------------------------------------------------------------
// Places that cannot be written: reads work, opens asking to write are refused.

TEST_F(CRegistryHiveTest, PathsThatCannotHoldTheFileAreReadOnly) {
    WriteFile(m_dir / "plain", "a regular file");
    for (const fs::path& path :
         {m_dir / "plain" / "registry.reg", m_dir / "plain" / "sub" / "registry.reg", fs::path()}) {
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
}

TEST_F(CRegistryHiveTest, AFifoInPlaceOfTheFileNeitherHangsNorIsReplaced) {
    fs::create_directories(Folder());
    ASSERT_EQ(::mkfifo(File().c_str(), 0600), 0);
    CRegistryHive hive(File());
    HKEY hKey = HKEY_NONE;
    EXPECT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software", KEY_READ, &hKey), ERROR_SUCCESS);
    EXPECT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software", KEY_ALL_ACCESS, &hKey),
              ERROR_ACCESS_DENIED);
    EXPECT_TRUE(fs::is_fifo(File()));
}

struct CUnwritableCase {
    const char* szName;
    bool bFolder;  // the folder is made read-only, else the file
};

void PrintTo(const CUnwritableCase& c, std::ostream* os) {
    *os << c.szName;
}

class CRegistryHiveUnwritableTest : public CRegistryHiveTest,
                                    public testing::WithParamInterface<CUnwritableCase> {};

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
    const fs::path target = GetParam().bFolder ? Folder() : File();
    const mode_t writable = GetParam().bFolder ? 0755 : 0644;
    const mode_t readOnly = GetParam().bFolder ? 0555 : 0444;
    const fs::path file = File();

    const int failedStep = RunUnprivileged([&] {
        if (::chmod(target.c_str(), readOnly) != 0) {
            return 1;
        }
        CRegistryHive hive(file);
        HKEY hKey = HKEY_NONE;
        if (hive.OpenKey(HKEY_LOCAL_MACHINE, OPTION_KEY, KEY_READ, &hKey) != ERROR_SUCCESS) {
            return 2;
        }
        if (QueryDword(hive, hKey, "speed") != 30U) {
            return 3;
        }
        HKEY hDenied = HKEY_NONE;
        if (hive.OpenKey(HKEY_LOCAL_MACHINE, OPTION_KEY, KEY_SET_VALUE, &hDenied) !=
                ERROR_ACCESS_DENIED ||
            hive.CreateKey(HKEY_LOCAL_MACHINE, OPTION_KEY, KEY_CREATE_SUB_KEY, false, &hDenied) !=
                ERROR_ACCESS_DENIED ||
            hive.CreateKey(HKEY_LOCAL_MACHINE, "Software\\new", KEY_READ, false, &hDenied) !=
                ERROR_ACCESS_DENIED) {
            return 4;
        }
        // The store opens its keys with write rights, so it reads defaults here.
        if (CSettingsStore(hive).ReadOption(OPT_SPEED) != 20U) {
            return 5;
        }
        // A handle opened while writing was possible fails once it is not.
        HKEY hWrite = HKEY_NONE;
        if (::chmod(target.c_str(), writable) != 0 ||
            hive.OpenKey(HKEY_LOCAL_MACHINE, OPTION_KEY, KEY_ALL_ACCESS, &hWrite) !=
                ERROR_SUCCESS ||
            ::chmod(target.c_str(), readOnly) != 0) {
            return 6;
        }
        if (SetDword(hive, hWrite, "speed", 25) != ERROR_ACCESS_DENIED ||
            QueryDword(hive, hWrite, "speed") != 30U) {
            return 7;
        }
        return 0;
    });
    EXPECT_EQ(failedStep, 0);
    EXPECT_EQ(ReadFile(File()), text);
    EXPECT_EQ(FilesStartingWith(Folder(), "").size(), 1U);
}

INSTANTIATE_TEST_SUITE_P(Places, CRegistryHiveUnwritableTest,
                         testing::Values(CUnwritableCase{"ReadOnlyFolder", true},
                                         CUnwritableCase{"ReadOnlyFile", false}),
                         [](const auto& info) { return std::string(info.param.szName); });

// ---------------------------------------------------------------------------------------
// Several writers at once, and writers that die.

TEST_F(CRegistryHiveTest, TwoThreadsShareOneHive) {
    CRegistryHive hive(File());
    constexpr int WRITES = 25;
    const auto write = [&](int thread) {
        for (int i = 0; i < WRITES; ++i) {
            HKEY hKey = HKEY_NONE;
            ASSERT_EQ(hive.CreateKey(HKEY_LOCAL_MACHINE, "Software\\threads", KEY_ALL_ACCESS, false,
                                     &hKey),
                      ERROR_SUCCESS);
            EXPECT_EQ(SetDword(hive, hKey, "t" + std::to_string(thread) + "-" + std::to_string(i),
                               thread * 1000 + i),
                      ERROR_SUCCESS);
            EXPECT_EQ(hive.CloseKey(hKey), ERROR_SUCCESS);
        }
    };
    std::thread first(write, 0);
    std::thread second(write, 1);
    first.join();
    second.join();
    const HKEY hKey = Create(hive, "Software\\threads");
    for (int thread = 0; thread < 2; ++thread) {
        for (int i = 0; i < WRITES; ++i) {
            EXPECT_EQ(
                QueryDword(hive, hKey, "t" + std::to_string(thread) + "-" + std::to_string(i)),
                static_cast<DWORD>(thread * 1000 + i));
        }
    }
}

TEST_F(CRegistryHiveTest, ConcurrentWritersInTwoProcessesLoseNothing) {
    constexpr int WRITES = 30;
    std::array<pid_t, 2> children{};
    for (int child = 0; child < 2; ++child) {
        children[child] = ::fork();
        ASSERT_GE(children[child], 0);
        if (children[child] == 0) {
            CRegistryHive hive(File());
            for (int i = 0; i < WRITES; ++i) {
                HKEY hKey = HKEY_NONE;
                if (hive.CreateKey(HKEY_LOCAL_MACHINE, "Software\\shared", KEY_ALL_ACCESS, false,
                                   &hKey) != ERROR_SUCCESS ||
                    SetDword(hive, hKey, "p" + std::to_string(child) + "-" + std::to_string(i),
                             child * 1000 + i) != ERROR_SUCCESS) {
                    ::_exit(1);
                }
                hive.CloseKey(hKey);
            }
            ::_exit(0);
        }
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    CRegistryHive hive(File());
    HKEY hKey = HKEY_NONE;
    ASSERT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software\\shared", KEY_READ, &hKey), ERROR_SUCCESS);
    for (int child = 0; child < 2; ++child) {
        for (int i = 0; i < WRITES; ++i) {
            EXPECT_EQ(QueryDword(hive, hKey, "p" + std::to_string(child) + "-" + std::to_string(i)),
                      static_cast<DWORD>(child * 1000 + i));
        }
    }
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
            HKEY hKey = HKEY_NONE;
            if (hive.OpenKey(HKEY_LOCAL_MACHINE, "Software\\crash", KEY_ALL_ACCESS, &hKey) !=
                ERROR_SUCCESS) {
                ::_exit(1);
            }
            for (std::uint32_t n = stored + 1;; ++n) {
                if (hive.SetValue(hKey, "gen", REG_BINARY, Generation(n)) != ERROR_SUCCESS) {
                    ::_exit(2);
                }
                if (::write(pipe[1], &n, sizeof n) != sizeof n) {
                    ::_exit(3);
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

TEST(CRegistryHiveDefaultPathTest, FollowsXdgConfigHomeThenHome) {
    CEnvironment environment;
    environment.Set("HOME", "/home/someone");
    environment.Set("XDG_CONFIG_HOME", "/elsewhere/conf");
    EXPECT_EQ(CRegistryHive::DefaultPath(), "/elsewhere/conf/Quellio/registry.reg");
    for (const char* ignored : {"relative/conf", "", static_cast<const char*>(nullptr)}) {
        environment.Set("XDG_CONFIG_HOME", ignored);
        EXPECT_EQ(CRegistryHive::DefaultPath(), "/home/someone/.config/Quellio/registry.reg");
    }
    environment.Set("HOME", nullptr);
    const passwd* pEntry = ::getpwuid(::getuid());
    ASSERT_NE(pEntry, nullptr);
    EXPECT_EQ(CRegistryHive::DefaultPath(),
              fs::path(pEntry->pw_dir) / ".config" / "Quellio" / "registry.reg");
}

}  // namespace
