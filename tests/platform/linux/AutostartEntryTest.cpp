#include "platform/linux/AutostartEntry.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

namespace fs = std::filesystem;

extern char** environ;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const fs::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

// The value of `key` in the entry, or none.
std::optional<std::string> EntryValue(const fs::path& entry, const std::string& key) {
    std::istringstream lines(ReadFile(entry));
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with(key + "=")) {
            return line.substr(key.size() + 1);
        }
    }
    return std::nullopt;
}

// Runs a program without a shell and answers its exit status (-1 when it did not exit).
int RunProgram(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A script that writes the path it was started by into `marker` (whole, by a rename).
void MakeMarkerScript(const fs::path& script, const fs::path& marker) {
    const std::string target = "'" + marker.string() + "'";
    WriteFile(script, "#!/bin/sh\nprintf '%s' \"$0\" > " + target + ".new && mv " + target +
                          ".new " + target + "\n");
    fs::permissions(script, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
}

std::vector<std::string> FolderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

struct CExecCase {
    const char* szName;
    std::string strFile;  // a file name in /opt
    std::string strExec;  // the Exec value that starts /opt/<strFile>
};

const CExecCase kExecCases[] = {
    {"Plain", "quellio", R"-("/opt/quellio")-"},
    {"Spaces", "my quellio", R"-("/opt/my quellio")-"},
    {"DoubleQuote", "say\"hi", R"-("/opt/say\\"hi")-"},
    {"SingleQuote", "it's", R"-("/opt/it's")-"},
    {"Backslash", "back\\slash", R"-("/opt/back\\\\slash")-"},
    {"Dollar", "$HOME", R"-("/opt/\\$HOME")-"},
    {"Backtick", "`id`", R"-("/opt/\\`id\\`")-"},
    {"PercentFieldCode", "100%f", R"-("/opt/100%%f")-"},
    {"DoublePercent", "%%U", R"-("/opt/%%%%U")-"},
    {"ShellOperators", "a;b&c|d>e<f", R"-("/opt/a;b&c|d>e<f")-"},
    {"GlobsAndComment", "*?#~(x)", R"-("/opt/*?#~(x)")-"},
    {"Tab", "a\tb", R"-("/opt/a\tb")-"},
    {"Newline", "a\nb", R"-("/opt/a\nb")-"},
    {"CarriageReturn", "a\rb", R"-("/opt/a\rb")-"},
    {"NonAscii", "Prüfung ü", R"-("/opt/Prüfung ü")-"},
    {"EqualsAndBrackets", "[x]=y", R"-("/opt/[x]=y")-"},
};

void PrintTo(const CExecCase& testCase, std::ostream* out) {
    *out << testCase.szName;
}

class AutostartExecTest : public testing::TestWithParam<CExecCase> {};

TEST_P(AutostartExecTest, QuotesThePathAsOneArgument) {
    EXPECT_EQ(CAutostartEntry::QuoteExec("/opt/" + GetParam().strFile), GetParam().strExec);
}

// The entry really starts the program at that path, as a desktop's launcher reads it.
TEST_P(AutostartExecTest, LauncherStartsTheExactPath) {
    CTempDir temp;
    fs::create_directory(temp / "bin");
    const fs::path program = temp / "bin" / GetParam().strFile;
    const fs::path marker = temp / "started";
    MakeMarkerScript(program, marker);
    std::string literal = program.string();
    if (literal.find('%') != std::string::npos) {
        // GLib looks for the program before it expands %%, so it refuses the entry unless
        // something exists at the unexpanded path; the marker shows which one ran.
        std::string unexpanded;
        for (const char c : literal) {
            unexpanded += c == '%' ? std::string("%%") : std::string(1, c);
        }
        MakeMarkerScript(unexpanded, marker);
    }

    CAutostartEntry entry(temp / "config" / "autostart" / "QLIO.desktop");
    ASSERT_TRUE(entry.Set(program.string()));
    EXPECT_EQ(RunProgram({"desktop-file-validate", entry.Path().string()}), 0);
    ASSERT_EQ(RunProgram({"gio", "launch", entry.Path().string()}), 0);

    // The launcher does not wait for the program; give it ample time to write the marker.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!fs::exists(marker) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(ReadFile(marker), program.string());
}

INSTANTIATE_TEST_SUITE_P(Paths, AutostartExecTest, testing::ValuesIn(kExecCases),
                         [](const auto& info) { return std::string(info.param.szName); });

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
    EXPECT_EQ(EntryValue(entry.Path(), "Hidden"), "true");
    EXPECT_EQ(EntryValue(entry.Path(), "Exec"), std::nullopt);
    EXPECT_EQ(RunProgram({"desktop-file-validate", entry.Path().string()}), 0);

    ASSERT_TRUE(entry.Set("/usr/lib/quellio/quellio"));
    EXPECT_EQ(EntryValue(entry.Path(), "Hidden"), std::nullopt);
    EXPECT_EQ(EntryValue(entry.Path(), "Exec"), "\"/usr/lib/quellio/quellio\"");

    ASSERT_TRUE(entry.SetEmpty());
    EXPECT_EQ(EntryValue(entry.Path(), "Hidden"), "true");
    EXPECT_EQ(FolderEntries(entry.Path().parent_path()), std::vector<std::string>{"QLIO.desktop"});
}

TEST(AutostartEntryTest, UnwritableFolderFailsAndChangesNothing) {
    CTempDir temp;
    WriteFile(temp / "autostart", "not a folder");
    CAutostartEntry entry(temp / "autostart" / "QLIO.desktop");

    EXPECT_FALSE(entry.Set("/usr/bin/quellio"));
    EXPECT_FALSE(entry.SetEmpty());
    EXPECT_EQ(ReadFile(temp / "autostart"), "not a folder");
}

TEST(AutostartEntryTest, FolderInTheEntrysPlaceIsLeftAlone) {
    CTempDir temp;
    fs::create_directories(temp / "autostart" / "QLIO.desktop");
    WriteFile(temp / "autostart" / "QLIO.desktop" / "keep", "x");
    CAutostartEntry entry(temp / "autostart" / "QLIO.desktop");

    EXPECT_FALSE(entry.Set("/usr/bin/quellio"));
    EXPECT_FALSE(entry.SetEmpty());
    EXPECT_EQ(ReadFile(temp / "autostart" / "QLIO.desktop" / "keep"), "x");
    EXPECT_EQ(FolderEntries(temp / "autostart"), std::vector<std::string>{"QLIO.desktop"});
}

// Sets or clears an environment variable for the life of the object.
class CScopedEnv {
public:
    CScopedEnv(const char* name, const char* value) : m_strName(name) {
        if (const char* old = std::getenv(name)) {
            m_strOld = old;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~CScopedEnv() {
        if (m_strOld) {
            setenv(m_strName.c_str(), m_strOld->c_str(), 1);
        } else {
            unsetenv(m_strName.c_str());
        }
    }
    CScopedEnv(const CScopedEnv&) = delete;
    CScopedEnv& operator=(const CScopedEnv&) = delete;

private:
    std::string m_strName;
    std::optional<std::string> m_strOld;
};

TEST(AutostartEntryTest, DefaultPathFollowsXdgConfigHome) {
    CScopedEnv home("HOME", "/home/ann");
    {
        CScopedEnv config("XDG_CONFIG_HOME", "/srv/conf");
        EXPECT_EQ(CAutostartEntry::DefaultPath(), "/srv/conf/autostart/QLIO.desktop");
    }
    for (const char* ignored : {static_cast<const char*>(nullptr), "", "relative/conf"}) {
        CScopedEnv config("XDG_CONFIG_HOME", ignored);
        EXPECT_EQ(CAutostartEntry::DefaultPath(), "/home/ann/.config/autostart/QLIO.desktop");
    }
}

}  // namespace
