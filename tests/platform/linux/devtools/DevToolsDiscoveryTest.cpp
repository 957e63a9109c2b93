#include "platform/linux/devtools/DevToolsDiscovery.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

struct SUrlCase {
    const char* name;
    const char* url;
    std::optional<SDevToolsEndpoint> expected;
};

void PrintTo(const SUrlCase& c, std::ostream* os) {
    *os << c.name;
}

class DevToolsUrl : public testing::TestWithParam<SUrlCase> {};

TEST_P(DevToolsUrl, IsReadOnlyForLoopbackAddresses) {
    EXPECT_EQ(ParseDevToolsUrl(GetParam().url), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DevToolsUrl,
    testing::Values(
        SUrlCase{"Http", "http://127.0.0.1:9222", SDevToolsEndpoint{"127.0.0.1", 9222, ""}},
        SUrlCase{"HttpSlash", "http://127.0.0.1:9222/", SDevToolsEndpoint{"127.0.0.1", 9222, ""}},
        SUrlCase{"Ws", "ws://127.0.0.1:9222/devtools/browser/ab-12",
                 SDevToolsEndpoint{"127.0.0.1", 9222, "/devtools/browser/ab-12"}},
        SUrlCase{"Localhost", "http://localhost:1", SDevToolsEndpoint{"127.0.0.1", 1, ""}},
        SUrlCase{"OtherLoopback", "http://127.8.9.10:80", SDevToolsEndpoint{"127.8.9.10", 80, ""}},
        SUrlCase{"V6Loopback", "ws://[::1]:9222/devtools/browser/x",
                 SDevToolsEndpoint{"::1", 9222, "/devtools/browser/x"}},
        SUrlCase{"LanAddress", "http://192.168.1.4:9222", std::nullopt},
        SUrlCase{"AnyAddress", "http://0.0.0.0:9222", std::nullopt},
        SUrlCase{"HostName", "http://example.org:9222", std::nullopt},
        SUrlCase{"LoopbackLookalike", "http://127.0.0.1.example.org:9222", std::nullopt},
        SUrlCase{"V6Elsewhere", "ws://[2001:db8::1]:9222/devtools/browser/x", std::nullopt},
        SUrlCase{"UserInfo", "http://evil@127.0.0.1:9222", std::nullopt},
        SUrlCase{"NoPort", "http://127.0.0.1", std::nullopt},
        SUrlCase{"PortZero", "http://127.0.0.1:0", std::nullopt},
        SUrlCase{"PortTooBig", "http://127.0.0.1:65536", std::nullopt},
        SUrlCase{"PortSign", "http://127.0.0.1:+80", std::nullopt},
        SUrlCase{"HttpWithPath", "http://127.0.0.1:9222/json", std::nullopt},
        SUrlCase{"WsWithoutPath", "ws://127.0.0.1:9222", std::nullopt},
        SUrlCase{"WsQuery", "ws://127.0.0.1:9222/devtools?x=1", std::nullopt},
        SUrlCase{"ControlCharacter", "ws://127.0.0.1:9222/devtools\r\nHost: x", std::nullopt},
        SUrlCase{"Https", "https://127.0.0.1:9222", std::nullopt},
        SUrlCase{"Empty", "", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct SPortFileCase {
    const char* name;
    std::string content;
    std::optional<SDevToolsEndpoint> expected;
};

void PrintTo(const SPortFileCase& c, std::ostream* os) {
    *os << c.name;
}

class PortFile : public testing::TestWithParam<SPortFileCase> {};

TEST_P(PortFile, IsBelievedOnlyInItsOwnFormat) {
    CTempDir dir;
    std::ofstream(dir / "DevToolsActivePort", std::ios::binary) << GetParam().content;
    EXPECT_EQ(CDevToolsDiscovery::ReadPortFile(dir / "DevToolsActivePort"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PortFile,
    testing::Values(
        SPortFileCase{"AsChromiumWritesIt", "39561\n/devtools/browser/0d95a375",
                      SDevToolsEndpoint{"127.0.0.1", 39561, "/devtools/browser/0d95a375"}},
        SPortFileCase{"FinalNewline", "9222\n/devtools/browser/x\n",
                      SDevToolsEndpoint{"127.0.0.1", 9222, "/devtools/browser/x"}},
        SPortFileCase{"Empty", "", std::nullopt}, SPortFileCase{"PortOnly", "9222", std::nullopt},
        SPortFileCase{"PortOnlyNewline", "9222\n", std::nullopt},
        SPortFileCase{"NotAPort", "port\n/devtools/browser/x", std::nullopt},
        SPortFileCase{"HostInPort", "10.0.0.1:9222\n/devtools/browser/x", std::nullopt},
        SPortFileCase{"PortOutOfRange", "99999\n/devtools/browser/x", std::nullopt},
        SPortFileCase{"OtherPath", "9222\n/json/version", std::nullopt},
        SPortFileCase{"CarriageReturn", "9222\r\n/devtools/browser/x", std::nullopt},
        SPortFileCase{"ThirdLine", "9222\n/devtools/browser/x\nmore", std::nullopt},
        SPortFileCase{"Binary", std::string("9222\n/devtools/browser/\0\xff", 24), std::nullopt},
        SPortFileCase{"Oversized", "9222\n/devtools/browser/" + std::string(5000, 'a'),
                      std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PortFileRead, MissingFileOrFolderGivesNothing) {
    CTempDir dir;
    EXPECT_EQ(CDevToolsDiscovery::ReadPortFile(dir / "DevToolsActivePort"), std::nullopt);
    fs::create_directory(dir / "DevToolsActivePort");
    EXPECT_EQ(CDevToolsDiscovery::ReadPortFile(dir / "DevToolsActivePort"), std::nullopt);
}

TEST(DevToolsDiscovery, FindsEnvironmentEntriesThenFoldersEachEndpointOnce) {
    CTempDir dir;
    for (const char* name : {"listed", "usual", "same", "stale"}) {
        fs::create_directory(dir / name);
    }
    std::ofstream(dir / "listed" / "DevToolsActivePort") << "1111\n/devtools/browser/listed";
    std::ofstream(dir / "usual" / "DevToolsActivePort") << "2222\n/devtools/browser/usual";
    std::ofstream(dir / "same" / "DevToolsActivePort") << "1111\n/devtools/browser/listed";
    std::ofstream(dir / "stale" / "DevToolsActivePort") << "garbage";

    CDevToolsDiscovery discovery("  http://127.0.0.1:3333\thttp://10.1.1.1:4444 not-a-folder\n" +
                                     (dir / "listed").string() +
                                     " ws://localhost:5555/devtools/browser/z",
                                 {dir / "usual", dir / "same", dir / "stale", dir / "missing"});

    EXPECT_EQ(discovery.FindEndpoints(),
              (std::vector<SDevToolsEndpoint>{{"127.0.0.1", 3333, ""},
                                              {"127.0.0.1", 1111, "/devtools/browser/listed"},
                                              {"127.0.0.1", 5555, "/devtools/browser/z"},
                                              {"127.0.0.1", 2222, "/devtools/browser/usual"}}));
}

TEST(DevToolsDiscovery, UsualFoldersFollowTheXdgRules) {
    const auto dirs = CDevToolsDiscovery::DefaultUserDataDirs("/home/u", nullptr, nullptr);
    EXPECT_EQ(dirs.front(), fs::path("/home/u/.config/chromium"));
    EXPECT_NE(std::find(dirs.begin(), dirs.end(), fs::path("/home/u/.config/google-chrome")),
              dirs.end());
    EXPECT_NE(std::find(dirs.begin(), dirs.end(),
                        fs::path("/home/u/.config/BraveSoftware/Brave-Browser")),
              dirs.end());
    EXPECT_EQ(dirs.back(), fs::path("/home/u/.local/share/Quellio/browser"));

    const auto xdg = CDevToolsDiscovery::DefaultUserDataDirs("/home/u", "/cfg", "/data");
    EXPECT_EQ(xdg.front(), fs::path("/cfg/chromium"));
    EXPECT_EQ(xdg.back(), fs::path("/data/Quellio/browser"));

    // Relative XDG values are to be ignored.
    EXPECT_EQ(CDevToolsDiscovery::GuardedProfileDir("/home/u", "data"),
              fs::path("/home/u/.local/share/Quellio/browser"));
    EXPECT_EQ(CDevToolsDiscovery::GuardedProfileDir(nullptr, nullptr), fs::path());
    EXPECT_TRUE(CDevToolsDiscovery::DefaultUserDataDirs(nullptr, nullptr, nullptr).empty());
}

}  // namespace
