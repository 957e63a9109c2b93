#include "platform/qt/XdgWebPageHandler.h"

#include <gmock/gmock.h>

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
using testing::ElementsAre;

namespace {

// An address that a shell would split, expand and run commands from.
const std::string kHostileAddress =
    "http://example.org/a b\"c'd;e$(touch pwned)`id`&f|g>h%41%u ü\\";

struct SExecCase {
    const char* szName;
    std::string strExec;                    // as written in the desktop entry
    std::vector<std::string> expectedArgv;  // for the address "ADDR"; empty: refused
};

void PrintTo(const SExecCase& c, std::ostream* os) {
    *os << c.szName;
}

class ExecLineTest : public testing::TestWithParam<SExecCase> {};

TEST_P(ExecLineTest, GivesTheAddressItsPlaceAsOneArgument) {
    const auto args = CXdgWebPageHandler::SplitExec(GetParam().strExec);
    if (GetParam().expectedArgv.empty()) {
        EXPECT_FALSE(args.has_value());
        return;
    }
    ASSERT_TRUE(args.has_value());
    EXPECT_EQ(CXdgWebPageHandler::BuildCommand(*args, "ADDR"), GetParam().expectedArgv);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, ExecLineTest,
    testing::Values(
        SExecCase{"Placeholder", "firefox %u", {"firefox", "ADDR"}},
        SExecCase{"NoPlaceholder", "chromium --new-window", {"chromium", "--new-window", "ADDR"}},
        SExecCase{"QuotedPlaceholderCutsTheRest",
                  R"("/opt/My Browser/run" --new-window "%U" --private)",
                  {"/opt/My Browser/run", "--new-window", "ADDR"}},
        SExecCase{"PlaceholderInsideAnArgument", "browser --url=%f", {"browser", "--url=ADDR"}},
        SExecCase{
            "OtherCodesDropped", "browser %i --name=%c %k %u", {"browser", "--name=", "ADDR"}},
        SExecCase{"Percents", "run 100%% %%u %u", {"run", "100%", "%u", "ADDR"}},
        SExecCase{"QuoteEscapes",
                  R"(run "a \"b\" \`c\` \$d \\e" %u)",
                  {"run", "a \"b\" `c` $d \\e", "ADDR"}},
        SExecCase{"StringEscapesFirst", R"(run\sme "x\\\\y" %u)", {"run", "me", "x\\y", "ADDR"}},
        SExecCase{"BlanksAndTabs", "  run \t %u  ", {"run", "ADDR"}},
        SExecCase{"TrailingBackslashAndPercent", R"(run\ x% %u)", {"run\\", "x%", "ADDR"}},
        SExecCase{"UnterminatedQuote", R"(run "oops %u)", {}}),
    [](const auto& info) { return std::string(info.param.szName); });

TEST(XdgWebPageHandlerTest, RunAnswersWhyAProgramDidNotStart) {
    CTempDir dir;
    WriteTextFile(dir / "not-executable", "#!/bin/sh\n");
    WriteTextFile(dir / "no-program",
                  std::string("\x7f"
                              "ELF junk",
                              8),
                  true);
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

    // Registers the stand-in for web pages with `strArgs` before its placeholder.
    void RegisterRecorder(const std::string& strArgs) {
        WriteTextFile(dir / "recorder",
                      "#!/bin/sh\nprintf '%s\\0' \"$@\" > '" + Args().string() + ".new' && mv '" +
                          Args().string() + ".new' '" + Args().string() + "'\n",
                      true);
        WriteTextFile(dir / "data" / "applications" / "quellio-recorder.desktop",
                      "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" +
                          (dir / "recorder").string() + " " + strArgs + " %u\n");
        WriteTextFile(dir / "config" / "mimeapps.list",
                      "[Default Applications]\ntext/html=quellio-recorder.desktop\n");
    }

    // The arguments the stand-in was started with, once it has run.
    std::vector<std::string> RecordedArgs() {
        if (!WaitFor([this] { return fs::exists(Args()); })) {
            return {};
        }
        const std::string bytes = ReadTextFile(Args());
        std::vector<std::string> args;
        for (std::size_t nStart = 0; nStart < bytes.size();) {
            const std::size_t nEnd = bytes.find('\0', nStart);
            args.push_back(bytes.substr(nStart, nEnd - nStart));
            nStart = nEnd + 1;
        }
        return args;
    }

    fs::path Args() const { return dir / "args"; }

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

TEST_F(RegisteredHandlerTest, TheAddressArrivesWholeAsOneArgument) {
    RegisterRecorder("--from-entry");
    CDesktopShellOpen shell;
    const std::optional<int> nResult = shell.RunWebPageHandler(kHostileAddress);
    ASSERT_TRUE(nResult.has_value());
    EXPECT_GT(*nResult, 32);
    EXPECT_THAT(RecordedArgs(), ElementsAre("--from-entry", kHostileAddress));
    EXPECT_FALSE(fs::exists(fs::current_path() / "pwned"));
}

TEST_F(RegisteredHandlerTest, NothingRegisteredIsNoAnswer) {
    CDesktopShellOpen shell;
    EXPECT_EQ(shell.RunWebPageHandler("http://example.org/"), std::nullopt);
    // A desktop entry id is a name, never a path.
    RegisterRecorder("");
    WriteTextFile(dir / "config" / "mimeapps.list",
                  "[Default Applications]\ntext/html=../applications/quellio-recorder.desktop\n");
    EXPECT_EQ(shell.RunWebPageHandler("http://example.org/"), std::nullopt);
    // A registered program that is not there is passed over by the desktop too.
    RegisterRecorder("");
    fs::remove(dir / "recorder");
    EXPECT_EQ(shell.RunWebPageHandler("http://example.org/"), std::nullopt);
}

// A desktop that will not open the address itself, so that the link falls back.
class CRefusingDesktop final : public CDesktopShellOpen {
public:
    bool Open(const QUrl&) override { return false; }
};

TEST_F(RegisteredHandlerTest, ALinkTheDesktopRefusesOpensThroughTheWebPageProgram) {
    RegisterRecorder("");
    CRefusingDesktop shell;
    CRecordingBeeper beeper;
    CScriptedMessageBox messageBox;
    CUrlLink link(shell, beeper, messageBox);
    link.setText(QString::fromStdString(kHostileAddress));
    link.PreSubclassWindow();

    link.OnClicked();
    EXPECT_THAT(RecordedArgs(), ElementsAre(kHostileAddress));
    EXPECT_TRUE(link.IsVisited());
    EXPECT_EQ(beeper.m_nBeeps, 0);
    EXPECT_TRUE(messageBox.Boxes().empty());
}

}  // namespace
