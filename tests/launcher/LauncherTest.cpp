// quellio-browser on stand-in browsers: scripts that write down how they were started.
#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "support/TextFile.h"

namespace fs = std::filesystem;

namespace {

class LauncherTest : public testing::Test {
protected:
    LauncherTest() {
        fs::create_directories(m_Dir / "bin" / "chromium");  // a folder, not a program
        WriteTextFile(m_Dir / "bin" / "chromium-browser", "#!/bin/sh\n");  // not executable
        for (const char* name : {"google-chrome", "brave-browser"}) {
            WriteTextFile(m_Dir / "bin" / name,
                          "#!/bin/sh\nprintf '%s\\n' \"${0##*/}\" \"$@\" >'" +
                              (m_Dir / "started").string() + "'\n",
                          true);
        }
    }
    // Runs the launcher with `args`; answers its exit status.
    int Launch(const std::vector<std::string>& args, std::map<std::string, std::string> env = {}) {
        env.insert({{"PATH", (m_Dir / "bin").string()},
                    {"HOME", (m_Dir / "home").string()},
                    {"XDG_DATA_HOME", ""},
                    {"QUELLIO_BROWSER", ""}});
        std::vector<std::string> argv = {QUELLIO_BROWSER_LAUNCHER};
        argv.insert(argv.end(), args.begin(), args.end());
        return CChildProcess::Run(argv, env);
    }
    // What the stand-in browser wrote: its name, then its arguments, a line each.
    std::string Started() const { return ReadTextFile(m_Dir / "started"); }

    CTempDir m_Dir;
};

// The first browser in PATH that is a program runs, with a private profile of its own and
// remote debugging on a port of its choosing, then the arguments as they came.
TEST_F(LauncherTest, StartsTheFirstBrowserThatCanRunOnAPrivateProfile) {
    ASSERT_EQ(Launch({"--new-window", "a b"}), 0);
    const fs::path profile = m_Dir / "home/.local/share/Quellio/browser";
    EXPECT_EQ(Started(), "google-chrome\n--user-data-dir=" + profile.string() +
                             "\n--remote-debugging-port=0\n--new-window\na b\n");
    EXPECT_EQ(fs::status(profile).permissions(), fs::perms::owner_all);

    ASSERT_EQ(Launch({}, {{"QUELLIO_BROWSER", "brave-browser"}}), 0);
    EXPECT_EQ(Started().substr(0, 14), "brave-browser\n");
    ASSERT_EQ(Launch({"--browser=" + (m_Dir / "bin/google-chrome").string()},
                     {{"QUELLIO_BROWSER", "brave-browser"}}),
              0);
    EXPECT_EQ(Started().substr(0, 14), "google-chrome\n");
}

// A named browser that is no program, no browser at all, or no place for the profile: the
// launcher says so and starts nothing.
TEST_F(LauncherTest, RefusesWhatItCannotStart) {
    EXPECT_EQ(Launch({"--browser=chromium-browser"}), 127);
    EXPECT_EQ(Launch({"--browser=chromium"}), 127);
    EXPECT_EQ(Launch({}, {{"PATH", (m_Dir / "home").string()}}), 127);
    EXPECT_EQ(Launch({}, {{"HOME", ""}}), 1);
    EXPECT_FALSE(fs::exists(m_Dir / "started"));
}

}  // namespace
