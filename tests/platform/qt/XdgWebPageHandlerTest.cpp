#include "platform/qt/XdgWebPageHandler.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/qt/DesktopShellOpen.h"
#include "support/QtWait.h"
#include "support/RecordingBeeper.h"
#include "support/ScopedEnv.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempDir.h"
#include "support/TextFile.h"
#include "widgets/UrlLink.h"

namespace fs = std::filesystem;

namespace {

// An address that a shell would split, expand and run commands from.
const std::string kHostileAddress =
    "http://example.org/a b\"c'd;e$(touch pwned)`id`&f|g>h%41%u ü\\";

// The arguments an Exec value of a desktop entry gives for the address "ADDR" (none: the
// value is refused).
TEST(XdgWebPageHandlerTest, ExecLineGivesTheAddressItsPlaceAsOneArgument) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"firefox %u", {"firefox", "ADDR"}},
        {"chromium --new-window", {"chromium", "--new-window", "ADDR"}},
        // A quoted placeholder; what follows the placeholder is cut off.
        {R"("/opt/My Browser/run" --new-window "%U" --private)",
         {"/opt/My Browser/run", "--new-window", "ADDR"}},
        {"browser --url=%f", {"browser", "--url=ADDR"}},
        {"browser %i --name=%c %k %u", {"browser", "--name=", "ADDR"}},
        {"run 100%% %%u %u", {"run", "100%", "%u", "ADDR"}},
        {R"(run "a \"b\" \`c\` \$d \\e" %u)", {"run", "a \"b\" `c` $d \\e", "ADDR"}},
        // The string escapes of the entry come first.
        {R"(run\sme "x\\\\y" %u)", {"run", "me", "x\\y", "ADDR"}},
        {"  run \t %u  ", {"run", "ADDR"}},
        {R"(run\ x% %u)", {"run\\", "x%", "ADDR"}},
        {R"(run "oops %u)", {}}};
    for (const auto& [szExec, expected] : cases) {
        const auto args = CXdgWebPageHandler::SplitExec(szExec);
        ASSERT_EQ(args.has_value(), !expected.empty()) << szExec;
        EXPECT_EQ(args ? CXdgWebPageHandler::BuildCommand(*args, "ADDR") : expected, expected)
            << szExec;
    }
}

TEST(XdgWebPageHandlerTest, RunAnswersWhyAProgramDidNotStart) {
    CTempDir dir;
    WriteTextFile(dir / "not-executable", "#!/bin/sh\n");
    WriteTextFile(dir / "no-program", "\177ELF junk", true);
    EXPECT_EQ(CXdgWebPageHandler::Run({(dir / "missing").string()}), 2);
    EXPECT_EQ(CXdgWebPageHandler::Run({"quellio-no-such-program"}), 2);
    EXPECT_EQ(CXdgWebPageHandler::Run({(dir / "not-executable").string()}), 5);
    EXPECT_EQ(CXdgWebPageHandler::Run({dir.Path().string()}), 5);
    EXPECT_EQ(CXdgWebPageHandler::Run({(dir / "no-program").string()}), 11);
    EXPECT_GT(CXdgWebPageHandler::Run({"true"}), 32);
}

// A desktop whose only web page program is a stand-in that writes the arguments it got
// into a file, found by the real xdg-mime in private XDG folders.
class RegisteredHandlerTest : public testing::Test {
protected:
    RegisteredHandlerTest() {
        fs::create_directories(dir / "config");
        fs::create_directories(dir / "data" / "applications");
        fs::create_directories(dir / "system");
    }

    // Registers the stand-in for web pages, as `strId`, with `strArgs` before its placeholder.
    void RegisterRecorder(const std::string& strArgs,
                          const std::string& strId = "quellio-recorder.desktop") {
        const std::string strArgsFile = "'" + (dir / "args").string() + "'";
        WriteTextFile(dir / "recorder",
                      "#!/bin/sh\nprintf '%s\\0' \"$@\" > " + strArgsFile + ".new && mv " +
                          strArgsFile + ".new " + strArgsFile + "\n",
                      true);
        WriteTextFile(dir / "data" / "applications" / "quellio-recorder.desktop",
                      "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" +
                          (dir / "recorder").string() + " " + strArgs + " %u\n");
        WriteTextFile(dir / "config" / "mimeapps.list",
                      "[Default Applications]\ntext/html=" + strId + "\n");
    }

    CTempDir dir;
    // The XDG folders of this test only, and no desktop that xdg-mime would ask instead.
    CScopedEnv m_ConfigHome{"XDG_CONFIG_HOME", (dir / "config").string()};
    CScopedEnv m_DataHome{"XDG_DATA_HOME", (dir / "data").string()};
    CScopedEnv m_DataDirs{"XDG_DATA_DIRS", (dir / "system").string()};
    CScopedEnv m_ConfigDirs{"XDG_CONFIG_DIRS", (dir / "system").string()};
    CScopedEnv m_Desktop{"XDG_CURRENT_DESKTOP", std::nullopt};
    CScopedEnv m_Kde{"KDE_FULL_SESSION", std::nullopt};
    CScopedEnv m_Gnome{"GNOME_DESKTOP_SESSION_ID", std::nullopt};
    CScopedEnv m_Session{"DESKTOP_SESSION", std::nullopt};
};

// A desktop that will not open an address itself, so that a link falls back.
class CRefusingDesktop final : public CDesktopShellOpen {
public:
    bool Open(const QUrl&) override { return false; }
};

// Nothing registered, an entry id that is a path and a registered program that is not there
// are no answer; a link the desktop will not open itself falls back to the web page
// program, which gets the address whole as one argument after the entry's own.
TEST_F(RegisteredHandlerTest, ALinkTheDesktopRefusesOpensThroughTheWebPageProgram) {
    CRefusingDesktop shell;
    EXPECT_EQ(shell.RunWebPageHandler("http://example.org/"), std::nullopt);
    RegisterRecorder("", "../applications/quellio-recorder.desktop");
    EXPECT_EQ(shell.RunWebPageHandler("http://example.org/"), std::nullopt);
    RegisterRecorder("");
    fs::remove(dir / "recorder");
    EXPECT_EQ(shell.RunWebPageHandler("http://example.org/"), std::nullopt);

    RegisterRecorder("--from-entry");
    CRecordingBeeper beeper;
    CScriptedMessageBox messageBox;
    CUrlLink link(shell, beeper, messageBox);
    link.setText(QString::fromStdString(kHostileAddress));
    link.PreSubclassWindow();
    link.OnClicked();
    EXPECT_TRUE(WaitFor([this] { return fs::exists(dir / "args"); }));
    EXPECT_EQ(ReadTextFile(dir / "args"),
              std::string("--from-entry\0", 13) + kHostileAddress + '\0');
    EXPECT_FALSE(fs::exists(fs::current_path() / "pwned"));
    EXPECT_TRUE(link.IsVisited());
    EXPECT_EQ(beeper.m_nBeeps, 0);
    EXPECT_TRUE(messageBox.Boxes().empty());
}

}  // namespace
