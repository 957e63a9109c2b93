#include "platform/linux/desktop/AutostartEntry.h"

#include <gtest/gtest.h>

#include "platform/linux/ModulePath.h"
#include "support/ChildProcess.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "support/TextFile.h"
#include "support/WaitUntil.h"

namespace fs = std::filesystem;

namespace {

// Quoted as one argument, then escaped as an entry string; only absolute strict UTF-8 paths.
TEST(AutostartEntry, QuotesAbsoluteUtf8PathsAsOneArgumentAndRefusesTheRest) {
    const std::pair<std::string, const char*> accepted[] = {
        {"quellio", R"("/opt/quellio")"},
        {"say\"hi", R"("/opt/say\\"hi")"},
        {"back\\slash", R"("/opt/back\\\\slash")"},
        {"$HOME`id`", R"("/opt/\\$HOME\\`id\\`")"},
        {"a\tb\nc\rd", R"("/opt/a\tb\nc\rd")"},
        {"it's a;b&c|d>e<f*?#~(x)[x]=y", R"("/opt/it's a;b&c|d>e<f*?#~(x)[x]=y")"},
        // The first and last character of each UTF-8 length and lead-byte range.
        {"\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF",
         "\"/opt/\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF\""},
        {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", "\"/opt/\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\""},
    };
    for (const auto& [file, exec] : accepted) {
        EXPECT_EQ(CAutostartEntry::QuoteExec("/opt/" + file), exec) << file;
    }
    const std::string refused[] = {
        "", "bin/quellio", "/opt/100%f", "/opt/q\x01q", "/opt/q\x7Fq", std::string("/opt/q\0q", 8),
        // Bytes no UTF-8 text holds, overlong forms, surrogates, beyond U+10FFFF, cut short.
        "/opt/\x80", "/opt/\xC0\xAF", "/opt/\xC1\xBF", "/opt/\xE0\x9F\xBF", "/opt/\xED\xA0\x80",
        "/opt/\xF0\x8F\xBF\xBF", "/opt/\xF4\x90\x80\x80", "/opt/\xF5\x80\x80\x80", "/opt/\xFF",
        "/opt/\xC3", "/opt/\xE2\x82", "/opt/\xF0\x9F\x98", "/opt/\xC3\x28"};
    for (const std::string& path : refused) {
        EXPECT_EQ(CAutostartEntry::QuoteExec(path), std::nullopt) << path;
    }
}

// A desktop's launcher starts exactly the path, which holds every character that needs
// quoting; a path with nothing to start is refused.
TEST(AutostartEntry, TheDesktopsLauncherStartsTheExactPath) {
    CTempDir temp;
    const std::string name = "it's \"a\" back\\slash $HOME `id` 100f;&|*?#~[x]=y\ta\nb ü€😀";
    fs::create_directory(temp / "bin");
    const fs::path program = temp / "bin" / name;
    const fs::path marker = temp / "started";
    fs::copy_file("/bin/sleep", program);
    CChildProcess running;
    ASSERT_TRUE(running.Start({program.string(), "60"}));
    const fs::path link = "/proc/" + std::to_string(running.Pid()) + "/exe";
    ASSERT_TRUE(WaitUntil([&] { return ReadExecutableLink(link) == program.string(); }));
    // Replaced while it runs by a script that writes the path it was started by.
    const std::string target = "'" + marker.string() + "'";
    WriteTextFile(temp / "new",
                  "#!/bin/sh\nprintf '%s' \"$0\" > " + target + ".new && mv " + target + ".new " +
                      target + "\n",
                  true);
    fs::rename(temp / "new", program);
    const std::string found = ReadExecutableLink(link);
    EXPECT_EQ(found, program.string());

    CAutostartEntry entry(temp / "config" / "autostart" / "QLIO.desktop");
    ASSERT_TRUE(entry.Set(found));
    EXPECT_EQ(CChildProcess::Run({"desktop-file-validate", entry.Path()}), 0);
    ASSERT_EQ(CChildProcess::Run({"gio", "launch", entry.Path()}), 0);
    EXPECT_TRUE(WaitUntil([&] { return fs::exists(marker); }));
    EXPECT_EQ(ReadTextFile(marker), program.string());

    const std::string entryText = ReadTextFile(entry.Path());
    fs::permissions(program, fs::perms::owner_exec, fs::perm_options::remove);
    for (const fs::path& refused : {program, temp / "bin", temp / "missing"}) {
        EXPECT_FALSE(entry.Set(refused.string())) << refused;
    }
    EXPECT_EQ(ReadTextFile(entry.Path()), entryText);
}

// Starting nothing hides the entry, never removes it; a failed write changes nothing.
TEST(AutostartEntry, AnEmptyEntryIsHiddenAndAFailedWriteChangesNothing) {
    CTempDir temp;
    CAutostartEntry entry(temp / "config" / "autostart" / "QLIO.desktop");
    EXPECT_FALSE(entry.Set("bin/quellio"));
    EXPECT_FALSE(fs::exists(temp / "config"));
    ASSERT_TRUE(entry.SetEmpty());
    const std::string hidden = ReadTextFile(entry.Path());
    EXPECT_NE(hidden.find("\nHidden=true\n"), std::string::npos);
    EXPECT_EQ(hidden.find("Exec="), std::string::npos);
    EXPECT_EQ(CChildProcess::Run({"desktop-file-validate", entry.Path()}), 0);
    EXPECT_FALSE(entry.Set("/opt/q\xFFq"));
    EXPECT_EQ(ReadTextFile(entry.Path()), hidden);
    ASSERT_TRUE(entry.Set("/bin/sh"));
    const std::string shown = ReadTextFile(entry.Path());
    EXPECT_EQ(shown.find("Hidden="), std::string::npos);
    EXPECT_NE(shown.find("\nExec=\"/bin/sh\"\n"), std::string::npos);
    ASSERT_TRUE(entry.SetEmpty());
    EXPECT_EQ(ReadTextFile(entry.Path()), hidden);
    EXPECT_EQ(std::distance(fs::directory_iterator(entry.Path().parent_path()), {}), 1);

    WriteTextFile(temp / "file", "not a folder");
    for (const fs::path& path : {temp / "file" / "QLIO.desktop", entry.Path().parent_path()}) {
        CAutostartEntry unwritable(path);
        EXPECT_FALSE(unwritable.Set("/bin/sh")) << path;
        EXPECT_FALSE(unwritable.SetEmpty()) << path;
    }
    EXPECT_EQ(ReadTextFile(temp / "file"), "not a folder");
    EXPECT_EQ(ReadTextFile(entry.Path()), hidden);
    EXPECT_EQ(std::distance(fs::directory_iterator(entry.Path().parent_path()), {}), 1);
}

TEST(AutostartEntry, TheDefaultPathFollowsXdgConfigHome) {
    const CScopedEnv home("HOME", "/home/ann");
    for (const auto& [config, path] :
         {std::pair<std::optional<std::string>, const char*>{"/srv/conf", "/srv/conf/autostart"},
          {std::nullopt, "/home/ann/.config/autostart"},
          {"", "/home/ann/.config/autostart"},
          {"relative/conf", "/home/ann/.config/autostart"}}) {
        const CScopedEnv xdg("XDG_CONFIG_HOME", config);
        EXPECT_EQ(CAutostartEntry::DefaultPath(), fs::path(path) / "QLIO.desktop");
    }
}

}  // namespace
