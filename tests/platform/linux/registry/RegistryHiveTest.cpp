#include "platform/linux/registry/RegistryHive.h"

#include "platform/linux/registry/RegValue.h"
#include "store/SettingsStore.h"
#include "support/FileText.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <random>
#include <regex>
#include <set>
#include <thread>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

constexpr const char* OPTION_KEY = "Software\\hollin\\QLIO\\option";

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
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

class RegistryHiveTest : public testing::Test {
protected:
    fs::path Folder() const { return m_Dir / "config" / "Quellio"; }
    fs::path File() const { return Folder() / "registry.reg"; }

    CTempDir m_Dir;
};

// Values come back exactly, from the same object and from a fresh one on the same file.
TEST_F(RegistryHiveTest, ValuesComeBackExactly) {
    std::string large(1 << 20, '\0');
    for (std::size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<char>(i * 131 + (i >> 9));
    }
    const struct {
        std::string name;
        DWORD dwType;
        std::string data;
    } cases[] = {{"speed", REG_DWORD, "\x14\0\0\0"s},
                 {"short", REG_DWORD, "\x07"},
                 {"raw", REG_SZ, "abc"},
                 {"black", REG_MULTI_SZ, "http://a/\0http://b/\0\0"s},
                 {"", REG_SZ, "default\0"s},
                 {"\x01\x7f\xfe\xff\t ;[\"\\", REG_BINARY, "\1"},
                 {"large", REG_BINARY, large}};
    CRegistryHive hive(File());
    const HKEY hKey = Create(hive, "Software\\values");
    for (const auto& c : cases) {
        ASSERT_EQ(hive.SetValue(hKey, c.name, c.dwType, Bytes(c.data)), ERROR_SUCCESS) << c.name;
    }
    CRegistryHive fresh(File());
    for (CRegistryHive* pHive : {&hive, &fresh}) {
        HKEY hRead = HKEY_NONE;
        ASSERT_EQ(pHive->OpenKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Values", KEY_READ, &hRead),
                  ERROR_SUCCESS);
        for (const auto& c : cases) {
            EXPECT_EQ(Query(*pHive, hRead, c.name), (CRegValue{c.dwType, Bytes(c.data)})) << c.name;
        }
    }
}

// Reading makes nothing; the first write makes the folders private and the file private.
// Opening keys that exist and writing what is there leave the file alone; a replaced file
// keeps the permissions its owner gave it.
TEST_F(RegistryHiveTest, ReadsMakeNothingAndTheFirstWriteMakesAPrivateFolder) {
    CRegistryHive hive(File());
    HKEY hKey = HKEY_NONE;
    EXPECT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software", KEY_ALL_ACCESS, &hKey), ERROR_SUCCESS);
    EXPECT_EQ(hive.OpenKey(HKEY_CURRENT_USER, "", KEY_READ, &hKey), ERROR_SUCCESS);
    EXPECT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software\\hollin", KEY_READ, &hKey),
              ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(fs::exists(m_Dir / "config"));

    const CSettingsStore store(hive);
    EXPECT_EQ(store.ReadOption(OPT_SPEED), 20U);
    EXPECT_EQ(ReadFile(File()),
              "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\hollin\\QLIO\\option]\n\n");
    EXPECT_EQ(Stat(Folder()).st_mode & 07777, 0700U);
    EXPECT_EQ(Stat(m_Dir / "config").st_mode & 07777, 0700U);
    EXPECT_EQ(Stat(File()).st_mode & 07777, 0600U);
    EXPECT_TRUE(store.WriteOption(OPT_SPEED, 25));
    CRegistryHive other(File());
    EXPECT_EQ(CSettingsStore(other).ReadOption(OPT_SPEED), 25U);

    const ino_t inode = Stat(File()).st_ino;
    EXPECT_EQ(store.ReadOption(OPT_SPEED), 25U);
    EXPECT_TRUE(store.WriteOption(OPT_SPEED, 25));
    EXPECT_EQ(Stat(File()).st_ino, inode);
    ASSERT_EQ(::chmod(File().c_str(), 0640), 0);
    EXPECT_TRUE(store.WriteOption(OPT_SPEED, 26));
    EXPECT_EQ(Stat(File()).st_mode & 07777, 0640U);
}

// Names compare without regard to ASCII letter case (only ASCII: É and é are two names) and
// keep their first spelling.
TEST_F(RegistryHiveTest, NamesIgnoreLetterCaseAndKeepTheirFirstSpelling) {
    CRegistryHive hive(File());
    const HKEY hFirst = Create(hive, "Software\\Hollin\\Qlio");
    ASSERT_EQ(SetDword(hive, hFirst, "Speed", 1), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(hive, Create(hive, "SOFTWARE\\hollin\\QLIO"), "SPEED", 2), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(hive, hFirst, "\xc3\x89", 3), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(hive, hFirst, "\xc3\xa9", 4), ERROR_SUCCESS);
    EXPECT_EQ(QueryDword(hive, hFirst, "speed"), 2U);
    EXPECT_EQ(QueryDword(hive, hFirst, "\xc3\x89"), 3U);
    EXPECT_EQ(QueryDword(hive, hFirst, "\xc3\xa9"), 4U);
    EXPECT_NE(ReadFile(File()).find(
                  "[HKEY_LOCAL_MACHINE\\Software\\Hollin\\Qlio]\n\"Speed\"=dword:00000002\n"),
              std::string::npos);
}

TEST_F(RegistryHiveTest, QueryValueReportsLengthsAndLeavesShortBuffersAlone) {
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
    EXPECT_EQ(buffer[0], 0xAA);
    EXPECT_EQ(hive.QueryValue(hKey, "V", nullptr, buffer.data(), &size), ERROR_SUCCESS);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), buffer.begin()));
    EXPECT_EQ(buffer[10], 0xAA);
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

// Rights are checked on every call; closed and unknown handles are refused; malformed
// paths and names, and keys deeper than the limit, are refused without a write.
TEST_F(RegistryHiveTest, EveryCallChecksItsHandleRightsAndNames) {
    CRegistryHive hive(File());
    ASSERT_EQ(SetDword(hive, Create(hive, "Software\\r"), "v", 1), ERROR_SUCCESS);
    Create(hive, "Software\\r\\existing");
    const HKEY hRead = Create(hive, "Software\\r", KEY_READ);
    HKEY hSub = HKEY_NONE;
    EXPECT_EQ(SetDword(hive, hRead, "v", 2), ERROR_ACCESS_DENIED);
    EXPECT_EQ(hive.CreateKey(hRead, "new", KEY_READ, false, &hSub), ERROR_ACCESS_DENIED);
    EXPECT_EQ(hive.CreateKey(hRead, "EXISTING", KEY_READ, false, &hSub), ERROR_SUCCESS);
    const HKEY hSet = Create(hive, "Software\\r", KEY_SET_VALUE);
    DWORD size = 0;
    EXPECT_EQ(hive.QueryValue(hSet, "v", nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
    EXPECT_EQ(hive.QueryMaxValueDataLength(hSet, &size), ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetDword(hive, hSet, "v", 3), ERROR_SUCCESS);
    EXPECT_EQ(QueryDword(hive, hRead, "v"), 3U);

    ASSERT_EQ(hive.CloseKey(hSet), ERROR_SUCCESS);
    constexpr HKEY HKEY_PERFORMANCE_DATA = 0x80000004U;
    for (const HKEY hBad : {hSet, HKEY_NONE, HKEY{12345}, HKEY_PERFORMANCE_DATA}) {
        SCOPED_TRACE(hBad);
        HKEY hKey = HKEY_NONE;
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
    EXPECT_NE(Create(hive, "Software\\r", KEY_READ), hSet);

    const std::string before = ReadFile(File());
    for (const std::string& path : {"a\\\\b"s, "\\a"s, "a\\"s, "\\"s, "a\nb"s, "a\rb"s, "a\0b"s}) {
        EXPECT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, path, KEY_READ, &hSub), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(hive.CreateKey(HKEY_LOCAL_MACHINE, path, KEY_READ, false, &hSub),
                  ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software", KEY_READ, nullptr),
              ERROR_INVALID_PARAMETER);
    const HKEY hSoftware = Create(hive, "Software");
    EXPECT_EQ(SetDword(hive, hSoftware, "a\nb", 1), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SetDword(hive, hSoftware, "a\0b"s, 1), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(ReadFile(File()), before);
    std::string deepest = "Software";
    for (std::size_t level = 1; level < CRegTree::MAX_KEY_DEPTH; ++level) {
        deepest += "\\k";
    }
    EXPECT_EQ(hive.CreateKey(Create(hive, deepest), "deeper", KEY_READ, false, &hSub),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(CRegistryHive(File()).OpenKey(HKEY_LOCAL_MACHINE, deepest, KEY_READ, &hSub),
              ERROR_SUCCESS);
}

// A file changed by hand is read again, also when only the nanoseconds of its time tell;
// reading never rewrites it. A file without the key leaves the handle pointing at nothing.
TEST_F(RegistryHiveTest, ChangesMadeBehindItsBackAreSeen) {
    const std::string text =
        "\xEF\xBB\xBFREGEDIT4\r\n; by "
        "hand\r\n[hkey_local_machine\\SOFTWARE\\c]\r\n\"V\"=dword:1\r\n";
    WriteFile(File(), text);
    CRegistryHive hive(File());
    HKEY hKey = HKEY_NONE;
    ASSERT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software\\c", KEY_ALL_ACCESS, &hKey),
              ERROR_SUCCESS);
    EXPECT_EQ(QueryDword(hive, hKey, "v"), 1U);
    EXPECT_EQ(ReadFile(File()), text);

    const struct stat st = Stat(File());
    std::string changed = text;
    changed[changed.find("dword:1") + 6] = '2';
    WriteFile(File(), changed);
    std::array<timespec, 2> times{st.st_atim, st.st_mtim};
    times[1].tv_nsec += times[1].tv_nsec < 999999999 ? 1 : -1;
    ASSERT_EQ(::utimensat(AT_FDCWD, File().c_str(), times.data(), 0), 0);
    EXPECT_EQ(QueryDword(hive, hKey, "v"), 2U);

    WriteFile(File(), "REGEDIT4\n");
    DWORD size = 0;
    EXPECT_EQ(hive.QueryValue(hKey, "v", nullptr, nullptr, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(SetDword(hive, hKey, "v", 3), ERROR_KEY_DELETED);
    EXPECT_EQ(hive.CreateKey(hKey, "sub", KEY_READ, false, &hKey), ERROR_KEY_DELETED);
    EXPECT_EQ(ReadFile(File()), "REGEDIT4\n");
}

// A line that cannot be read is left out, reported once, and the file is kept aside
// before the next write; a file that is no registry at all reads as empty and is kept
// beside the first copy, under a name no other copy has.
TEST_F(RegistryHiveTest, BadLinesAreLeftOutReportedOnceAndTheFileKeptAside) {
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
    const std::vector<fs::path> copies = FilesStartingWith(Folder(), "registry.reg.corrupt-");
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

    // The names of this second and the next two are taken already.
    const std::string second = "\0\x01 not a registry at all"s;
    WriteFile(File(), second);
    std::size_t nDecoys = 0;
    for (int nAhead = 0; nAhead < 3; ++nAhead) {
        const std::time_t when = std::time(nullptr) + nAhead;
        std::tm local{};
        ::localtime_r(&when, &local);
        std::array<char, 32> stamp{};
        std::strftime(stamp.data(), stamp.size(), "%Y%m%d-%H%M%S", &local);
        const fs::path decoy = Folder() / ("registry.reg.corrupt-"s + stamp.data());
        if (!fs::exists(decoy)) {
            WriteFile(decoy, "decoy");
            ++nDecoys;
        }
    }
    EXPECT_TRUE(store.WriteOption(OPT_MOVE, 0));
    std::multiset<std::string> contents;
    for (const fs::path& copy : FilesStartingWith(Folder(), "registry.reg.corrupt-")) {
        contents.insert(ReadFile(copy));
    }
    EXPECT_EQ(contents.size(), 2 + nDecoys);
    EXPECT_EQ(contents.count("decoy"), nDecoys);
    EXPECT_EQ(contents.count(first), 1U);
    EXPECT_EQ(contents.count(second), 1U);
    EXPECT_EQ(store.ReadOption(OPT_SPEED), 20U);
}

// A write too large for the file fails and keeps the file; temporaries a crash left behind
// go with the next write, others stay.
TEST_F(RegistryHiveTest, WritesCleanUpAfterCrashesAndRefuseWhatIsTooLarge) {
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

    const std::string text = ReadFile(File());
    // Each byte takes three characters in the file.
    const std::vector<std::uint8_t> huge(CHiveFile::MAX_FILE_SIZE / 3 + 1);
    EXPECT_EQ(hive.SetValue(hKey, "huge", REG_BINARY, huge), ERROR_OUTOFMEMORY);
    EXPECT_EQ(ReadFile(File()), text);
    EXPECT_EQ(QueryDword(hive, hKey, "v"), 1U);
    EXPECT_FALSE(Query(hive, hKey, "huge"));
    EXPECT_TRUE(FilesStartingWith(Folder(), "registry.reg.tmp-").empty());
}

// Places that cannot hold the file, a read-only folder and a read-only file: reads work,
// opens asking to write are refused, also on a handle opened while writing was possible.
TEST_F(RegistryHiveTest, PlacesThatCannotBeWrittenAreReadOnly) {
    WriteFile(m_Dir / "plain", "a regular file");
    ASSERT_EQ(::mkfifo((m_Dir / "fifo").c_str(), 0600), 0);
    for (const fs::path& path :
         {m_Dir / "plain" / "registry.reg", m_Dir / "plain" / "sub" / "registry.reg",
          m_Dir / "fifo", fs::path()}) {
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
        EXPECT_EQ(CSettingsStore(hive).ReadOption(OPT_SPEED), 20U);
    }
    EXPECT_EQ(ReadFile(m_Dir / "plain"), "a regular file");
    EXPECT_TRUE(fs::is_fifo(m_Dir / "fifo"));

    const std::string text = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\" + std::string(OPTION_KEY) +
                             "]\n\"speed\"=dword:0000001e\n\n";
    WriteFile(File(), text);
    // The temporary folder is private to its creator; let the unprivileged child in.
    fs::permissions(m_Dir.Path(), fs::perms(0755));
    fs::permissions(m_Dir / "config", fs::perms(0755));
    for (const fs::path& path : {Folder(), File()}) {
        ASSERT_TRUE(::geteuid() != 0 || ::chown(path.c_str(), 65534, 65534) == 0);
    }
    for (const bool bFolder : {true, false}) {
        SCOPED_TRACE(bFolder ? "read-only folder" : "read-only file");
        const fs::path target = bFolder ? Folder() : File();
        const mode_t writable = bFolder ? 0755 : 0644;
        const mode_t readOnly = bFolder ? 0555 : 0444;
        const fs::path file = File();
        EXPECT_EQ(RunUnprivileged([&] {
                      CRegistryHive hive(file);
                      HKEY hKey = HKEY_NONE;
                      HKEY hWrite = HKEY_NONE;
                      if (::chmod(target.c_str(), writable) != 0 ||
                          hive.OpenKey(HKEY_LOCAL_MACHINE, OPTION_KEY, KEY_ALL_ACCESS, &hWrite) !=
                              ERROR_SUCCESS ||
                          ::chmod(target.c_str(), readOnly) != 0) {
                          return 1;
                      }
                      if (hive.OpenKey(HKEY_LOCAL_MACHINE, OPTION_KEY, KEY_READ, &hKey) !=
                              ERROR_SUCCESS ||
                          QueryDword(hive, hKey, "speed") != 30U) {
                          return 2;
                      }
                      return hive.OpenKey(HKEY_LOCAL_MACHINE, OPTION_KEY, KEY_SET_VALUE, &hKey) ==
                                         ERROR_ACCESS_DENIED &&
                                     hive.CreateKey(HKEY_LOCAL_MACHINE, "Software\\new", KEY_READ,
                                                    false, &hKey) == ERROR_ACCESS_DENIED &&
                                     SetDword(hive, hWrite, "speed", 25) == ERROR_ACCESS_DENIED &&
                                     QueryDword(hive, hWrite, "speed") == 30U &&
                                     ::chmod(target.c_str(), writable) == 0
                                 ? 0
                                 : 3;
                  }),
                  0);
        EXPECT_EQ(ReadFile(File()), text);
        EXPECT_EQ(FilesStartingWith(Folder(), "").size(), 1U);
    }
}

// Writer `nId` stores `nCount` numbered values below Software\shared; false at a failure.
bool WriteMany(IRegistry& registry, int nId, int nCount) {
    for (int i = 0; i < nCount; ++i) {
        HKEY hKey = HKEY_NONE;
        if (registry.CreateKey(HKEY_LOCAL_MACHINE, "Software\\shared", KEY_ALL_ACCESS, false,
                               &hKey) != ERROR_SUCCESS ||
            SetDword(registry, hKey, std::to_string(nId) + "-" + std::to_string(i),
                     nId * 1000 + i) != ERROR_SUCCESS ||
            registry.CloseKey(hKey) != ERROR_SUCCESS) {
            return false;
        }
    }
    return true;
}

// Two threads on one hive and two processes on one file: nobody's values are lost.
TEST_F(RegistryHiveTest, ConcurrentWritersLoseNothing) {
    CRegistryHive shared(File());
    std::array<bool, 2> succeeded{};
    std::thread first([&] { succeeded[0] = WriteMany(shared, 0, 25); });
    std::thread second([&] { succeeded[1] = WriteMany(shared, 1, 25); });
    first.join();
    second.join();
    EXPECT_TRUE(succeeded[0] && succeeded[1]);
    std::array<pid_t, 2> children{};
    for (int nChild = 0; nChild < 2; ++nChild) {
        children[nChild] = ::fork();
        if (children[nChild] == 0) {
            CRegistryHive hive(File());
            ::_exit(WriteMany(hive, 2 + nChild, 30) ? 0 : 1);
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
    for (const auto& [nId, nCount] : {std::pair{0, 25}, {1, 25}, {2, 30}, {3, 30}}) {
        for (int i = 0; i < nCount; ++i) {
            EXPECT_EQ(QueryDword(hive, hKey, std::to_string(nId) + "-" + std::to_string(i)),
                      static_cast<DWORD>(nId * 1000 + i));
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

// A writer killed at any moment leaves the old file or the new one, never a mix.
TEST_F(RegistryHiveTest, AWriterKilledAtAnyMomentLeavesTheOldOrTheNewFile) {
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
    for (int nRound = 0; nRound < 40; ++nRound) {
        std::array<int, 2> pipe{};
        ASSERT_EQ(::pipe(pipe.data()), 0);
        const pid_t writer = ::fork();
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
        CRegistryHive reader(File());
        HKEY hKey = HKEY_NONE;
        ASSERT_EQ(reader.OpenKey(HKEY_LOCAL_MACHINE, "Software\\crash", KEY_READ, &hKey),
                  ERROR_SUCCESS);
        const std::optional<CRegValue> value = Query(reader, hKey, "gen");
        ASSERT_TRUE(value && value->data.size() >= sizeof stored) << "round " << nRound;
        std::memcpy(&stored, value->data.data(), sizeof stored);
        ASSERT_TRUE(stored == acknowledged || stored == acknowledged + 1)
            << "stored " << stored << ", acknowledged " << acknowledged;
        ASSERT_EQ(value->data, Generation(stored));
    }
    EXPECT_TRUE(FilesStartingWith(Folder(), "registry.reg.corrupt-").empty());
}

TEST(RegistryHiveDefaultPath, FollowsXdgConfigHomeThenHome) {
    const CScopedEnv home("HOME", "/home/someone");
    for (const auto& [config, path] :
         {std::pair<std::optional<std::string>, std::string>{"/elsewhere/conf", "/elsewhere/conf"},
          {"relative/conf", "/home/someone/.config"},
          {"", "/home/someone/.config"},
          {std::nullopt, "/home/someone/.config"}}) {
        const CScopedEnv xdg("XDG_CONFIG_HOME", config);
        EXPECT_EQ(CRegistryHive::DefaultPath(), fs::path(path) / "Quellio" / "registry.reg");
    }
    const CScopedEnv noHome("HOME", std::nullopt);
    const passwd* pEntry = ::getpwuid(::getuid());
    ASSERT_NE(pEntry, nullptr);
    EXPECT_EQ(CRegistryHive::DefaultPath(),
              fs::path(pEntry->pw_dir) / ".config" / "Quellio" / "registry.reg");
}

}  // namespace
