#include "platform/linux/devtools/DevToolsDiscovery.h"

#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

using Endpoints = std::vector<SDevToolsEndpoint>;

TEST(DevToolsDiscovery, AddressesAreReadOnlyForLoopbackEndpoints) {
    const std::pair<const char*, std::optional<SDevToolsEndpoint>> cases[] = {
        {"http://127.0.0.1:9222", SDevToolsEndpoint{"127.0.0.1", 9222, ""}},
        {"http://127.0.0.1:9222/", SDevToolsEndpoint{"127.0.0.1", 9222, ""}},
        {"ws://127.0.0.1:9222/devtools/browser/ab-12",
         SDevToolsEndpoint{"127.0.0.1", 9222, "/devtools/browser/ab-12"}},
        {"http://localhost:1", SDevToolsEndpoint{"127.0.0.1", 1, ""}},
        {"http://127.8.9.10:80", SDevToolsEndpoint{"127.8.9.10", 80, ""}},
        {"ws://[::1]:9222/devtools/browser/x",
         SDevToolsEndpoint{"::1", 9222, "/devtools/browser/x"}},
        {"http://192.168.1.4:9222", std::nullopt},
        {"http://0.0.0.0:9222", std::nullopt},
        {"http://example.org:9222", std::nullopt},
        {"http://127.0.0.1.example.org:9222", std::nullopt},
        {"ws://[2001:db8::1]:9222/devtools/browser/x", std::nullopt},
        {"http://evil@127.0.0.1:9222", std::nullopt},
        {"http://127.0.0.1", std::nullopt},
        {"http://127.0.0.1:0", std::nullopt},
        {"http://127.0.0.1:65536", std::nullopt},
        {"http://127.0.0.1:+80", std::nullopt},
        {"http://127.0.0.1:9222/json", std::nullopt},
        {"ws://127.0.0.1:9222", std::nullopt},
        {"ws://127.0.0.1:9222/devtools?x=1", std::nullopt},
        {"ws://127.0.0.1:9222/devtools\r\nHost: x", std::nullopt},
        {"https://127.0.0.1:9222", std::nullopt},
        {"", std::nullopt}};
    for (const auto& [url, expected] : cases) {
        EXPECT_EQ(ParseDevToolsUrl(url), expected) << url;
    }
}

// A port file is believed only in the form Chromium writes; a missing file or a folder in
// its place gives nothing.
TEST(DevToolsDiscovery, APortFileIsBelievedOnlyInItsOwnFormat) {
    CTempDir dir;
    const fs::path file = dir / "DevToolsActivePort";
    EXPECT_EQ(CDevToolsDiscovery::ReadPortFile(file), std::nullopt);
    const std::pair<std::string, std::optional<SDevToolsEndpoint>> cases[] = {
        {"39561\n/devtools/browser/0d95a375",
         SDevToolsEndpoint{"127.0.0.1", 39561, "/devtools/browser/0d95a375"}},
        {"9222\n/devtools/browser/x\n",
         SDevToolsEndpoint{"127.0.0.1", 9222, "/devtools/browser/x"}},
        {"", std::nullopt},
        {"9222", std::nullopt},
        {"9222\n", std::nullopt},
        {"port\n/devtools/browser/x", std::nullopt},
        {"10.0.0.1:9222\n/devtools/browser/x", std::nullopt},
        {"99999\n/devtools/browser/x", std::nullopt},
        {"9222\n/json/version", std::nullopt},
        {"9222\r\n/devtools/browser/x", std::nullopt},
        {"9222\n/devtools/browser/x\nmore", std::nullopt},
        {std::string("9222\n/devtools/browser/\0\xff", 24), std::nullopt},
        {"9222\n/devtools/browser/" + std::string(5000, 'a'), std::nullopt}};
    for (const auto& [content, expected] : cases) {
        std::ofstream(file, std::ios::binary) << content;
        EXPECT_EQ(CDevToolsDiscovery::ReadPortFile(file), expected) << content.substr(0, 40);
    }
    fs::remove(file);
    fs::create_directory(file);
    EXPECT_EQ(CDevToolsDiscovery::ReadPortFile(file), std::nullopt);
}

// The entries of QUELLIO_DEVTOOLS come first, in their order, then the port files of the
// usual folders under HOME and the XDG folders; each endpoint once.
TEST(DevToolsDiscovery, FindsEnvironmentEntriesThenTheUsualFoldersEachEndpointOnce) {
    CTempDir dir;
    const auto portFile = [&dir](const fs::path& folder, const std::string& content) {
        fs::create_directories(dir / folder);
        std::ofstream(dir / folder / "DevToolsActivePort") << content;
    };
    portFile("listed", "1111\n/devtools/browser/listed");
    portFile("config/chromium", "2222\n/devtools/browser/chromium");
    portFile("config/microsoft-edge", "1111\n/devtools/browser/listed");
    portFile("config/google-chrome", "garbage");
    portFile("home/snap/chromium/common/chromium", "3333\n/devtools/browser/snap");
    portFile("data/Quellio/browser", "4444\n/devtools/browser/guarded");
    const CScopedEnv home("HOME", (dir / "home").string());
    const CScopedEnv config("XDG_CONFIG_HOME", (dir / "config").string());
    const CScopedEnv data("XDG_DATA_HOME", (dir / "data").string());
    const Endpoints usual = {{"127.0.0.1", 2222, "/devtools/browser/chromium"},
                             {"127.0.0.1", 1111, "/devtools/browser/listed"},
                             {"127.0.0.1", 3333, "/devtools/browser/snap"},
                             {"127.0.0.1", 4444, "/devtools/browser/guarded"}};
    {
        const CScopedEnv spec("QUELLIO_DEVTOOLS", std::nullopt);
        EXPECT_EQ(CDevToolsDiscovery::FromEnvironment().FindEndpoints(), usual);
    }
    const CScopedEnv spec("QUELLIO_DEVTOOLS",
                          "  http://127.0.0.1:5555\thttp://10.1.1.1:4444 not-a-folder\n" +
                              (dir / "listed").string() +
                              " ws://localhost:6666/devtools/browser/z");
    Endpoints expected = {{"127.0.0.1", 5555, ""},
                          {"127.0.0.1", 1111, "/devtools/browser/listed"},
                          {"127.0.0.1", 6666, "/devtools/browser/z"},
                          usual[0],
                          usual[2],
                          usual[3]};
    EXPECT_EQ(CDevToolsDiscovery::FromEnvironment().FindEndpoints(), expected);
}

// Relative XDG values are ignored, as the base directory rules say; without HOME either,
// there is no usual folder.
TEST(DevToolsDiscovery, TheUsualFoldersFollowTheXdgRules) {
    const auto dirs = CDevToolsDiscovery::DefaultUserDataDirs("/home/u", "cfg", nullptr);
    EXPECT_EQ(dirs.front(), fs::path("/home/u/.config/chromium"));
    EXPECT_EQ(dirs.back(), fs::path("/home/u/.local/share/Quellio/browser"));
    EXPECT_EQ(CDevToolsDiscovery::GuardedProfileDir("/home/u", "data"),
              fs::path("/home/u/.local/share/Quellio/browser"));
    EXPECT_EQ(CDevToolsDiscovery::GuardedProfileDir(nullptr, nullptr), fs::path());
    EXPECT_TRUE(CDevToolsDiscovery::DefaultUserDataDirs(nullptr, nullptr, nullptr).empty());
}

}  // namespace
