#include "platform/linux/desktop/AutostartEntry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "support/TempDir.h"
#include "support/WaitUntil.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

// Whether a line of the entry starts with `start`.
bool HasLine(const fs::path& entry, const std::string& start) {
    return ("\n" + ReadFile(entry)).find("\n" + start) != std::string::npos;
}

// Runs `program` on the entry (whose temporary path holds no quote); answers its exit status.
int RunOn(const std::string& program, const fs::path& entry) {
    const int status = std::system((program + " '" + entry.string() + "'").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct CExecCase {
    const char* szName;
    std::string strFile;  // a file name in /opt
    std::string strExec;  // the Exec value that starts /opt/<strFile>
};

void PrintTo(const CExecCase& testCase, std::ostream* out) {
    *out << testCase.szName;
}

class AutostartExecTest : public testing::TestWithParam<CExecCase> {};

TEST_P(AutostartExecTest, QuotesThePathAsOneArgument) {
    EXPECT_EQ(CAutostartEntry::QuoteExec("/opt/" + GetParam().strFile), GetParam().strExec);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, AutostartExecTest,
    testing::Values(CExecCase{"Plain", "quellio", R"-("/opt/quellio")-"},
                    CExecCase{"DoubleQuote", "say\"hi", R"-("/opt/say\\"hi")-"},
                    CExecCase{"Backslash", "back\\slash", R"-("/opt/back\\\\slash")-"},
                    CExecCase{"ShellExpansions", "$HOME`id`", R"-("/opt/\\$HOME\\`id\\`")-"},
                    CExecCase{"Percents", "100%f %%U", R"-("/opt/100%%f %%%%U")-"},
                    CExecCase{"ControlCharacters", "a\tb\nc\rd", R"-("/opt/a\tb\nc\rd")-"},
                    CExecCase{"PassedAsTheyAre", "it's a;b&c|d>e<f*?#~(x)[x]=y ü",
                              R"-("/opt/it's a;b&c|d>e<f*?#~(x)[x]=y ü")-"}),
    [](const auto& info) { return std::string(info.param.szName); });

// A script that writes the path it was started by into `marker` (whole, by a rename).
void MakeMarkerScript(const fs::path& script, const fs::path& marker) {
    const std::string target = "'" + marker.string() + "'";
    WriteFile(script, "#!/bin/sh\nprintf '%s' \"$0\" > " + target + ".new && mv " + target +
                          ".new " + target + "\n");
    fs::permissions(script, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
}

// The entry really starts a program whose path holds every kind of character that needs
// quoting, as a desktop's launcher reads it.
TEST(AutostartEntryTest, LauncherStartsTheExactPath) {
    CTempDir temp;
    const std::string name = "it's \"a\" back\\slash $HOME `id` 100%f;&|*?#~[x]=y\ta\nb ü";
    fs::create_directory(temp / "bin");
    const fs::path program = temp / "bin" / name;
    const fs::path marker = temp / "started";
    MakeMarkerScript(program, marker);
    // GLib looks for the program before it expands %%, so it refuses the entry unless
    // something exists at the unexpanded path; the marker shows which one ran.
    std::string unexpanded = program.string();
    unexpanded.insert(unexpanded.find('%'), 1, '%');
    MakeMarkerScript(unexpanded, marker);

    CAutostartEntry entry(temp / "config" / "autostart" / "QLIO.desktop");
    ASSERT_TRUE(entry.Set(program.string()));
    EXPECT_EQ(RunOn("desktop-file-validate", entry.Path()), 0);
    ASSERT_EQ(RunOn("gio launch", entry.Path()), 0);

    // The launcher does not wait for the program; give it ample time to write the marker.
    EXPECT_TRUE(WaitUntil([&] { return fs::exists(marker); }));
    EXPECT_EQ(ReadFile(marker), program.string());
}

struct CRefusedCase {
    const char* szName;
    std::string strPath;
};

void PrintTo(const CRefusedCase& testCase, std::ostream* out) {
    *out << testCase.szName;
}

class AutostartRefusedTest : public testing::TestWithParam<CRefusedCase> {};

TEST_P(AutostartRefusedTest, RefusesAndKeepsTheEntry) {
    CTempDir temp;
    CAutostartEntry entry(temp / "autostart" / "QLIO.desktop");
    EXPECT_FALSE(entry.Set(GetParam().strPath));
    EXPECT_FALSE(fs::exists(temp / "autostart"));

    ASSERT_TRUE(entry.Set("/usr/bin/quellio"));
    const std::string before = ReadFile(entry.Path());
    EXPECT_FALSE(entry.Set(GetParam().strPath));
    EXPECT_EQ(ReadFile(entry.Path()), before);
}

INSTANTIATE_TEST_SUITE_P(Paths, AutostartRefusedTest,
                         testing::Values(CRefusedCase{"Empty", ""},
                                         CRefusedCase{"Relative", "bin/quellio"},
                                         CRefusedCase{"InvalidUtf8", "/opt/q\xFFq"},
                                         CRefusedCase{"OverlongUtf8", "/opt/q\xC0\xAFq"},
                                         CRefusedCase{"Surrogate", "/opt/q\xED\xA0\x80q"},
                                         CRefusedCase{"TruncatedUtf8", "/opt/q\xC3"},
                                         CRefusedCase{"ControlCharacter", "/opt/q\x01q"},
                                         CRefusedCase{"Delete", "/opt/q\x7Fq"},
                                         CRefusedCase{"ZeroByte", std::string("/opt/q\0q", 8)}),
                         [](const auto& info) { return std::string(info.param.szName); });

TEST(AutostartEntryTest, EmptyEntryIsHiddenAndSetBringsItBack) {
    CTempDir temp;
    CAutostartEntry entry(temp / "config" / "autostart" / "QLIO.desktop");

    ASSERT_TRUE(entry.SetEmpty());
    EXPECT_TRUE(HasLine(entry.Path(), "Hidden=true\n"));
    EXPECT_FALSE(HasLine(entry.Path(), "Exec="));
    EXPECT_EQ(RunOn("desktop-file-validate", entry.Path()), 0);

    ASSERT_TRUE(entry.Set("/usr/lib/quellio/quellio"));
    EXPECT_FALSE(HasLine(entry.Path(), "Hidden="));
    EXPECT_TRUE(HasLine(entry.Path(), "Exec=\"/usr/lib/quellio/quellio\"\n"));

    ASSERT_TRUE(entry.SetEmpty());
    EXPECT_TRUE(HasLine(entry.Path(), "Hidden=true\n"));
    EXPECT_EQ(std::distance(fs::directory_iterator(entry.Path().parent_path()), {}), 1);
}

// A file in the folder's place, or a folder in the entry's place: both writes fail and
// whatever is there stays.
TEST(AutostartEntryTest, UnwritablePlacesFailAndChangeNothing) {
    CTempDir temp;
    WriteFile(temp / "file", "not a folder");
    fs::create_directories(temp / "folder" / "QLIO.desktop");
    WriteFile(temp / "folder" / "QLIO.desktop" / "keep", "x");

    for (const fs::path& path :
         {temp / "file" / "QLIO.desktop", temp / "folder" / "QLIO.desktop"}) {
        CAutostartEntry entry(path);
        EXPECT_FALSE(entry.Set("/usr/bin/quellio")) << path;
        EXPECT_FALSE(entry.SetEmpty()) << path;
    }
    EXPECT_EQ(ReadFile(temp / "file"), "not a folder");
    EXPECT_EQ(ReadFile(temp / "folder" / "QLIO.desktop" / "keep"), "x");
    EXPECT_EQ(std::distance(fs::directory_iterator(temp / "folder"), {}), 1);
}

std::optional<std::string> GetEnv(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void SetEnv(const char* name, const std::optional<std::string>& value) {
    value ? setenv(name, value->c_str(), 1) : unsetenv(name);
}

TEST(AutostartEntryTest, DefaultPathFollowsXdgConfigHome) {
    const auto oldHome = GetEnv("HOME");
    const auto oldConfig = GetEnv("XDG_CONFIG_HOME");
    SetEnv("HOME", "/home/ann");
    SetEnv("XDG_CONFIG_HOME", "/srv/conf");
    EXPECT_EQ(CAutostartEntry::DefaultPath(), "/srv/conf/autostart/QLIO.desktop");
    for (const auto& ignored : {std::optional<std::string>(), std::optional<std::string>(""),
                                std::optional<std::string>("relative/conf")}) {
        SetEnv("XDG_CONFIG_HOME", ignored);
        EXPECT_EQ(CAutostartEntry::DefaultPath(), "/home/ann/.config/autostart/QLIO.desktop");
    }
    SetEnv("HOME", oldHome);
    SetEnv("XDG_CONFIG_HOME", oldConfig);
}

}  // namespace
