#include "platform/linux/registry/RegistryHive.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <random>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "engine/UrlList.h"
#include "platform/linux/registry/RegValue.h"
#include "store/SettingsStore.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "support/TextFile.h"
#include "support/Unprivileged.h"
#include "support/WaitUntil.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

std::size_t CountFiles(const fs::path& folder, std::string_view prefix) {
    return static_cast<std::size_t>(std::ranges::count_if(
        fs::directory_iterator(folder),
        [&](const auto& entry) { return entry.path().filename().string().starts_with(prefix); }));
}

struct stat Stat(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
}

CRegValue Dword(DWORD n) {
    CRegValue value{REG_DWORD, std::vector<std::uint8_t>(sizeof n)};
    std::memcpy(value.data.data(), &n, sizeof n);
    return value;
}

LSTATUS SetDword(IRegistry& registry, HKEY hKey, std::string_view name, DWORD n) {
    return registry.SetValue(hKey, name, REG_DWORD, Dword(n).data);
}

// The value's type and data, or nothing when it cannot be read.
std::optional<CRegValue> Query(IRegistry& registry, HKEY hKey, std::string_view name) {
    CRegValue value;
    DWORD size = 0;
    if (registry.QueryValue(hKey, name, &value.dwType, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.data.resize(size);
    const LSTATUS status = registry.QueryValue(hKey, name, nullptr, value.data.data(), &size);
    return status == ERROR_SUCCESS && size == value.data.size() ? std::optional(value)
                                                                : std::nullopt;
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
    CTempDir m_Dir;
    const fs::path m_Folder = m_Dir / "config/Quellio";
    const fs::path m_File = m_Folder / "registry.reg";
    CRegistryHive m_Hive{m_File};  // reads nothing until asked
};

// Values come back exactly, also from a fresh hive; names compare without regard to ASCII
// letter case only (É and é are two names) and keep their first spelling.
TEST_F(RegistryHiveTest, ValuesComeBackExactlyUnderNamesOfAnyCase) {
    const std::pair<std::string, CRegValue> values[] = {
        {"Speed", {REG_DWORD, Bytes("\x14\0\0\0"s)}},
        {"black", {REG_MULTI_SZ, Bytes("http://a/\0http://b/\0\0"s)}},
        {"", {REG_SZ, Bytes("default\0"s)}},
        {"\x01\x7f\xfe\xff\t ;[\"\\", {REG_BINARY, Bytes("\1")}},
        {"\xc3\x89", {REG_BINARY, Bytes("\2")}},
        {"\xc3\xa9", {REG_BINARY, Bytes("\3")}},
        {"large", {REG_BINARY, std::vector<std::uint8_t>(1 << 20, 0x5a)}}};
    const HKEY hKey = Create(m_Hive, "Software\\Values");
    for (const auto& [name, value] : values) {
        ASSERT_EQ(m_Hive.SetValue(hKey, name, value.dwType, value.data), ERROR_SUCCESS) << name;
    }
    ASSERT_EQ(SetDword(m_Hive, Create(m_Hive, "SOFTWARE\\values"), "SPEED", 2), ERROR_SUCCESS);
    const std::string text = ReadTextFile(m_File);
    EXPECT_NE(text.find("\n[HKEY_LOCAL_MACHINE\\Software\\Values]\n"), std::string::npos);
    EXPECT_NE(text.find("\n\"Speed\"=dword:00000002\n"), std::string::npos);
    CRegistryHive fresh(m_File);
    for (CRegistryHive* pHive : {&m_Hive, &fresh}) {
        const HKEY hRead = Create(*pHive, "software\\VALUES", KEY_READ);
        EXPECT_EQ(Query(*pHive, hRead, "speed"), Dword(2));
        for (const auto& [name, value] : std::span(values).subspan(1)) {
            EXPECT_EQ(Query(*pHive, hRead, name), value) << name;
        }
    }
}

// Reading makes nothing; the first write makes the folders and the file private; writing
// what is there leaves the file alone; a replaced file keeps the permissions its owner gave.
TEST_F(RegistryHiveTest, ReadsMakeNothingAndTheFirstWriteMakesAPrivateFolder) {
    HKEY hKey = HKEY_NONE;
    EXPECT_EQ(m_Hive.OpenKey(HKEY_LOCAL_MACHINE, "Software", KEY_ALL_ACCESS, &hKey), ERROR_SUCCESS);
    EXPECT_EQ(m_Hive.OpenKey(HKEY_CURRENT_USER, "", KEY_READ, &hKey), ERROR_SUCCESS);
    EXPECT_EQ(m_Hive.OpenKey(HKEY_LOCAL_MACHINE, "Software\\hollin", KEY_READ, &hKey),
              ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(fs::exists(m_Dir / "config"));
    const CSettingsStore store(m_Hive);
    EXPECT_EQ(store.ReadOption(OPT_SPEED), 20U);
    EXPECT_EQ(ReadTextFile(m_File),
              "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\hollin\\QLIO\\option]\n\n");
    for (const fs::path& path : {m_Dir / "config", m_Folder}) {
        EXPECT_EQ(Stat(path).st_mode & 07777, 0700U);
    }
    EXPECT_EQ(Stat(m_File).st_mode & 07777, 0600U);
    EXPECT_TRUE(store.WriteOption(OPT_SPEED, 25));
    const ino_t inode = Stat(m_File).st_ino;
    EXPECT_TRUE(store.WriteOption(OPT_SPEED, 25));
    EXPECT_EQ(Stat(m_File).st_ino, inode);
    ASSERT_EQ(::chmod(m_File.c_str(), 0640), 0);
    EXPECT_TRUE(store.WriteOption(OPT_SPEED, 26));
    EXPECT_EQ(Stat(m_File).st_mode & 07777, 0640U);
    CRegistryHive other(m_File);
    EXPECT_EQ(CSettingsStore(other).ReadOption(OPT_SPEED), 26U);
}

// What the settings store relies on: handles keep to their rights and die when closed; names
// that would break the file's lines, and keys deeper than the limit, are refused.
TEST_F(RegistryHiveTest, HandlesRightsAndNamesAreChecked) {
    ASSERT_EQ(SetDword(m_Hive, Create(m_Hive, "Software\\r"), "v", 1), ERROR_SUCCESS);
    const HKEY hRead = Create(m_Hive, "Software\\r", KEY_READ);
    HKEY hSub = HKEY_NONE;
    EXPECT_EQ(SetDword(m_Hive, hRead, "v", 2), ERROR_ACCESS_DENIED);
    EXPECT_EQ(m_Hive.CreateKey(hRead, "new", KEY_READ, false, &hSub), ERROR_ACCESS_DENIED);
    const HKEY hSet = Create(m_Hive, "Software\\r", KEY_SET_VALUE);
    ASSERT_EQ(m_Hive.CloseKey(hSet), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(m_Hive, hSet, "v", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(m_Hive.CloseKey(hSet), ERROR_INVALID_HANDLE);
    EXPECT_EQ(m_Hive.CloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);  // roots stay usable

    const std::string before = ReadTextFile(m_File);
    for (const std::string& path : {"a\\\\b"s, "a\nb"s, "a\0b"s}) {
        EXPECT_EQ(m_Hive.CreateKey(HKEY_LOCAL_MACHINE, path, KEY_READ, false, &hSub),
                  ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(SetDword(m_Hive, Create(m_Hive, "Software\\r"), "a\nb", 1), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(ReadTextFile(m_File), before);
    std::string deepest = "Software";
    for (std::size_t level = 1; level < CRegTree::MAX_KEY_DEPTH; ++level) {
        deepest += "\\k";
    }
    EXPECT_EQ(m_Hive.CreateKey(Create(m_Hive, deepest), "deeper", KEY_READ, false, &hSub),
              ERROR_INVALID_PARAMETER);
}

// A file changed by hand is read again, also when only the nanoseconds of its time tell;
// reading never rewrites it. A file without the key leaves the handle pointing at nothing.
TEST_F(RegistryHiveTest, ChangesMadeBehindItsBackAreSeen) {
    const std::string text =
        "\xEF\xBB\xBFREGEDIT4\r\n; by "
        "hand\r\n[hkey_local_machine\\SOFTWARE\\c]\r\n\"V\"=dword:1\r\n";
    WriteTextFile(m_File, text);
    const HKEY hKey = Create(m_Hive, "Software\\c");
    EXPECT_EQ(Query(m_Hive, hKey, "v"), Dword(1));
    EXPECT_EQ(ReadTextFile(m_File), text);
    const struct stat st = Stat(m_File);
    WriteTextFile(m_File, std::string(text).replace(text.find("dword:1") + 6, 1, "2"));
    std::array<timespec, 2> times{st.st_atim, st.st_mtim};
    times[1].tv_nsec += times[1].tv_nsec < 999999999 ? 1 : -1;
    ASSERT_EQ(::utimensat(AT_FDCWD, m_File.c_str(), times.data(), 0), 0);
    EXPECT_EQ(Query(m_Hive, hKey, "v"), Dword(2));

    WriteTextFile(m_File, "REGEDIT4\n");
    EXPECT_FALSE(Query(m_Hive, hKey, "v"));
    EXPECT_EQ(SetDword(m_Hive, hKey, "v", 3), ERROR_KEY_DELETED);
    EXPECT_EQ(ReadTextFile(m_File), "REGEDIT4\n");
}

// A line that cannot be read is left out and reported once, and the file is kept aside at
// the next write, under a name no earlier copy has; a file that is no registry reads empty.
TEST_F(RegistryHiveTest, BadLinesAreLeftOutReportedOnceAndTheFileKeptAside) {
    const std::string first =
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\hollin\\QLIO\\option]\n"
        "\"speed\"=dword:0000001e\n\"bmove\"=this is not a value\n";
    WriteTextFile(m_File, first);
    const CSettingsStore store(m_Hive);
    testing::internal::CaptureStderr();
    EXPECT_EQ(store.ReadOption(OPT_SPEED), 30U);
    EXPECT_EQ(store.ReadOption(OPT_MOVE), 0U);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              m_File.string() + ":4: this line cannot be read and is left out\n");
    EXPECT_EQ(ReadTextFile(m_File), first);
    EXPECT_EQ(CountFiles(m_Folder, "registry.reg.corrupt-"), 0U);
    EXPECT_TRUE(store.WriteOption(OPT_MOVE, 1));
    EXPECT_EQ(store.ReadOption(OPT_MOVE), 1U);
    EXPECT_EQ(store.ReadOption(OPT_SPEED), 30U);

    const std::string second = "\0\x01 not a registry at all"s;
    WriteTextFile(m_File, second);
    for (int nAhead = 0; nAhead < 3; ++nAhead) {  // the names of this second and the next two
        const std::time_t when = std::time(nullptr) + nAhead;
        std::tm local{};
        std::array<char, 32> stamp{};
        std::strftime(stamp.data(), stamp.size(), "%Y%m%d-%H%M%S", ::localtime_r(&when, &local));
        const fs::path decoy = m_Folder / ("registry.reg.corrupt-"s + stamp.data());
        if (!fs::exists(decoy)) {
            WriteTextFile(decoy, "decoy");
        }
    }
    EXPECT_TRUE(store.WriteOption(OPT_MOVE, 0));
    std::multiset<std::string> copies;
    for (const auto& entry : fs::directory_iterator(m_Folder)) {
        if (entry.path().filename().string().starts_with("registry.reg.corrupt-")) {
            copies.insert(ReadTextFile(entry.path()));
        }
    }
    EXPECT_EQ(copies.count(first), 1U);
    EXPECT_EQ(copies.count(second), 1U);
    EXPECT_EQ(copies.size() - copies.count("decoy"), 2U);
    EXPECT_EQ(store.ReadOption(OPT_SPEED), 20U);
}

// A file is read to its end whatever size it gives (one that grows while it is read may
// hold more): here a process's command line, whose size reads as 0.
TEST_F(RegistryHiveTest, AFileIsReadToItsEndWhateverItsSizeSays) {
    const std::string text = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\x]\n\"v\"=dword:7\n";
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl("/bin/sleep", text.c_str(), "60", nullptr);
        ::_exit(127);
    }
    const fs::path cmdline = "/proc/" + std::to_string(child) + "/cmdline";
    EXPECT_TRUE(WaitUntil([&] { return ReadTextFile(cmdline).starts_with(text); }));
    EXPECT_EQ(Stat(cmdline).st_size, 0);
    CRegistryHive hive(cmdline);
    testing::internal::CaptureStderr();  // the arguments after the text are no registry lines
    EXPECT_EQ(Query(hive, Create(hive, "Software\\x", KEY_READ), "v"), Dword(7));
    testing::internal::GetCapturedStderr();
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

// A write too large for the file fails and keeps the file; temporaries a crash left behind
// go with the next write, others stay.
TEST_F(RegistryHiveTest, WritesCleanUpAfterCrashesAndRefuseWhatIsTooLarge) {
    for (const char* name :
         {"registry.reg.tmp-Ab12Cd", "other.reg.tmp-Ab12Cd", "registry.reg.tmpfile"}) {
        WriteTextFile(m_Folder / name, "not a registry");
    }
    const HKEY hKey = Create(m_Hive, "Software");
    EXPECT_EQ(CountFiles(m_Folder, "registry.reg.tmp-"), 1U);  // reads leave them
    ASSERT_EQ(SetDword(m_Hive, hKey, "v", 1), ERROR_SUCCESS);
    EXPECT_EQ(CountFiles(m_Folder, "registry.reg.tmp"), 1U);
    EXPECT_EQ(CountFiles(m_Folder, "other.reg.tmp-"), 1U);

    const std::string text = ReadTextFile(m_File);
    const std::vector<std::uint8_t> huge(CHiveFile::MAX_FILE_SIZE / 3 +
                                         1);  // three characters a byte
    EXPECT_EQ(m_Hive.SetValue(hKey, "huge", REG_BINARY, huge), ERROR_OUTOFMEMORY);
    EXPECT_EQ(ReadTextFile(m_File), text);
    EXPECT_FALSE(Query(m_Hive, hKey, "huge"));
    EXPECT_EQ(CountFiles(m_Folder, "registry.reg.tmp"), 1U);
}

// Places that cannot hold the file read as empty and refuse writes; in a folder that became
// read-only, a handle opened before fails too, and the file is read as it stands.
TEST_F(RegistryHiveTest, PlacesThatCannotBeWrittenAreReadOnly) {
    WriteTextFile(m_Dir / "plain", "a regular file");
    ASSERT_EQ(::mkfifo((m_Dir / "fifo").c_str(), 0600), 0);
    for (const fs::path& path : {m_Dir / "plain" / "registry.reg",
                                 m_Dir / "plain" / "sub" / "r.reg", m_Dir / "fifo", fs::path()}) {
        CRegistryHive hive(path);
        HKEY hKey = HKEY_NONE;
        EXPECT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software", KEY_READ, &hKey), ERROR_SUCCESS)
            << path;
        EXPECT_EQ(hive.OpenKey(HKEY_LOCAL_MACHINE, "Software", KEY_SET_VALUE, &hKey),
                  ERROR_ACCESS_DENIED);
        EXPECT_EQ(SetDword(hive, HKEY_LOCAL_MACHINE, "v", 1), ERROR_ACCESS_DENIED);
    }
    EXPECT_EQ(ReadTextFile(m_Dir / "plain"), "a regular file");
    EXPECT_TRUE(fs::is_fifo(m_Dir / "fifo"));

    // The settings store on such a place keeps giving its stored values and claims no write.
    const std::string product = "[HKEY_LOCAL_MACHINE\\Software\\hollin\\QLIO\\";
    const std::string text = "REGEDIT4\n\n" + product + "list]\n\"black\"=hex(7):61,00,00\n\n" +
                             product + "option]\n\"speed\"=dword:0000001e\n\n";
    WriteTextFile(m_File, text);
    // The temporary folder is private to its creator; let the unprivileged child in.
    fs::permissions(m_Dir.Path(), fs::perms(0755));
    fs::permissions(m_Dir / "config", fs::perms(0755));
    for (const fs::path& path : {m_Folder, m_File}) {
        ASSERT_TRUE(::geteuid() != 0 || ::chown(path.c_str(), 65534, 65534) == 0);
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunUnprivileged([&] {
                  CRegistryHive hive(m_File);
                  HKEY hKey = HKEY_NONE;
                  const HKEY hWrite = Create(hive, "Software\\hollin\\QLIO\\option");
                  const CSettingsStore store(hive);
                  CUrlList list;
                  const bool bRead =
                      ::chmod(m_Folder.c_str(), 0555) == 0 &&
                      hive.OpenKey(HKEY_LOCAL_MACHINE, "Software", KEY_SET_VALUE, &hKey) ==
                          ERROR_ACCESS_DENIED &&
                      SetDword(hive, hWrite, "speed", 25) == ERROR_ACCESS_DENIED &&
                      store.ReadOption(OPT_SPEED) == 30 &&
                      ReadRegList(store, REGKEY_LIST, REGVAL_BLACK, list) == EListLoad::Loaded &&
                      list.Entries() == std::vector<std::string>{"a"};
                  list.Add("b");
                  return bRead && !store.WriteOption(OPT_SPEED, 25) &&
                                 !WriteRegList(store, REGKEY_LIST, REGVAL_BLACK, list) &&
                                 ::chmod(m_Folder.c_str(), 0755) == 0
                             ? 0
                             : 1;
              }),
              0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(ReadTextFile(m_File), text);
    EXPECT_EQ(CountFiles(m_Folder, "registry.reg"), 1U);
}

// Writer `nId` stores `nCount` numbered values below Software\shared; false at a failure.
bool WriteMany(IRegistry& registry, int nId, int nCount) {
    for (int i = 0; i < nCount; ++i) {
        HKEY hKey = HKEY_NONE;
        if (registry.CreateKey(HKEY_LOCAL_MACHINE, "Software\\shared", KEY_ALL_ACCESS, false,
                               &hKey) != 0 ||
            SetDword(registry, hKey, std::to_string(nId) + "-" + std::to_string(i),
                     nId * 1000 + i) != 0 ||
            registry.CloseKey(hKey) != 0) {
            return false;
        }
    }
    return true;
}

// Two threads on one hive, then two processes on one file: nobody's values are lost.
TEST_F(RegistryHiveTest, ConcurrentWritersLoseNothing) {
    bool bThread = false;
    std::thread thread([&] { bThread = WriteMany(m_Hive, 0, 25); });
    EXPECT_TRUE(WriteMany(m_Hive, 1, 25));
    thread.join();
    EXPECT_TRUE(bThread);
    const pid_t child = ::fork();
    if (child == 0) {
        CRegistryHive hive(m_File);
        ::_exit(WriteMany(hive, 2, 30) ? 0 : 1);
    }
    EXPECT_TRUE(WriteMany(m_Hive, 3, 30));
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    CRegistryHive hive(m_File);
    const HKEY hKey = Create(hive, "Software\\shared", KEY_READ);
    for (const auto& [nId, nCount] : {std::pair{0, 25}, {1, 25}, {2, 30}, {3, 30}}) {
        for (int i = 0; i < nCount; ++i) {
            EXPECT_EQ(Query(hive, hKey, std::to_string(nId) + "-" + std::to_string(i)),
                      Dword(nId * 1000 + i));
        }
    }
}

// Generation `n` of the killed writer's value: `n` in its first four bytes and every other
// byte following from it, so a mix of two generations shows.
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
    ASSERT_EQ(m_Hive.SetValue(Create(m_Hive, "Software\\crash"), "gen", REG_BINARY, Generation(0)),
              0);
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uint32_t stored = 0;
    for (int nRound = 0; nRound < 40; ++nRound) {
        std::array<int, 2> pipe{};
        ASSERT_EQ(::pipe(pipe.data()), 0);
        const pid_t writer = ::fork();
        if (writer == 0) {
            // Writes generation after generation, telling each one once it is stored.
            CRegistryHive hive(m_File);
            const HKEY hKey = Create(hive, "Software\\crash");
            for (std::uint32_t n = stored + 1;; ++n) {
                if (hive.SetValue(hKey, "gen", REG_BINARY, Generation(n)) != ERROR_SUCCESS ||
                    ::write(pipe[1], &n, sizeof n) != sizeof n) {
                    ::_exit(2);
                }
            }
        }
        ::close(pipe[1]);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        ::kill(writer, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(writer, &status, 0), writer);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << status;
        std::uint32_t acknowledged = stored;
        for (std::uint32_t n = 0; ::read(pipe[0], &n, sizeof n) == sizeof n;) {
            acknowledged = n;
        }
        ::close(pipe[0]);
        CRegistryHive reader(m_File);
        const std::optional<CRegValue> value =
            Query(reader, Create(reader, "Software\\crash", KEY_READ), "gen");
        ASSERT_TRUE(value && value->data.size() >= sizeof stored) << "round " << nRound;
        std::memcpy(&stored, value->data.data(), sizeof stored);
        ASSERT_TRUE(stored == acknowledged || stored == acknowledged + 1)
            << "stored " << stored << ", acknowledged " << acknowledged;
        ASSERT_EQ(value->data, Generation(stored));
    }
    EXPECT_EQ(CountFiles(m_Folder, "registry.reg.corrupt-"), 0U);
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
    EXPECT_EQ(CRegistryHive::DefaultPath(),
              fs::path(::getpwuid(::getuid())->pw_dir) / ".config/Quellio/registry.reg");
}

}  // namespace
