#include "platform/linux/devtools/DevToolsDiscovery.h"

#include <fstream>

#include <gtest/gtest.h>

#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

using Endpoints = std::vector<SDevToolsEndpoint>;
using namespace std::string_literals;

TEST(DevToolsDiscovery, AddressesAreReadOnlyForLoopbackEndpoints) {
    const std::pair<const char*, SDevToolsEndpoint> accepted[] = {
        {"http://127.0.0.1:9222", {"127.0.0.1", 9222, ""}},
        {"http://127.0.0.1:9222/", {"127.0.0.1", 9222, ""}},
        {"ws://127.0.0.1:9222/devtools/browser/ab-12",
         {"127.0.0.1", 9222, "/devtools/browser/ab-12"}},
        {"http://localhost:1", {"127.0.0.1", 1, ""}},
        {"http://127.8.9.10:80", {"127.8.9.10", 80, ""}},
        {"ws://[::1]:9222/devtools/browser/x", {"::1", 9222, "/devtools/browser/x"}}};
    for (const auto& [url, expected] : accepted) {
        EXPECT_EQ(ParseDevToolsUrl(url), expected) << url;
    }
    for (const char* url :
         {"http://192.168.1.4:9222", "http://0.0.0.0:9222", "http://example.org:9222",
          "http://127.0.0.1.example.org:9222", "ws://[2001:db8::1]:9222/devtools/browser/x",
          "http://evil@127.0.0.1:9222", "http://127.0.0.1", "http://127.0.0.1:0",
          "http://127.0.0.1:65536", "http://127.0.0.1:+80", "http://127.0.0.1:9222/json",
          "ws://127.0.0.1:9222", "ws://127.0.0.1:9222/devtools?x=1",
          "ws://127.0.0.1:9222/devtools\r\nHost: x", "https://127.0.0.1:9222", ""}) {
        EXPECT_EQ(ParseDevToolsUrl(url), std::nullopt) << url;
    }
}

// A port file is believed only in the form Chromium writes; a missing file or a folder in
// its place gives nothing.
TEST(DevToolsDiscovery, APortFileIsBelievedOnlyInItsOwnFormat) {
    CTempDir dir;
    const fs::path file = dir / "DevToolsActivePort";
    EXPECT_EQ(CDevToolsDiscovery::ReadPortFile(file), std::nullopt);
    const auto read = [&file](const std::string& content) {
        std::ofstream(file, std::ios::binary) << content;
        return CDevToolsDiscovery::ReadPortFile(file);
    };
    EXPECT_EQ(read("39561\n/devtools/browser/0d95a375"),
              SDevToolsEndpoint({"127.0.0.1", 39561, "/devtools/browser/0d95a375"}));
    EXPECT_EQ(read("9222\n/devtools/browser/x\n"),
              SDevToolsEndpoint({"127.0.0.1", 9222, "/devtools/browser/x"}));
    for (const std::string& content :
         {""s, "9222"s, "9222\n"s, "port\n/devtools/browser/x"s,
          "10.0.0.1:9222\n/devtools/browser/x"s, "99999\n/devtools/browser/x"s,
          "9222\n/json/version"s, "9222\r\n/devtools/browser/x"s,
          "9222\n/devtools/browser/x\nmore"s, "9222\n/devtools/browser/\0\xff"s,
          "9222\n/devtools/browser/" + std::string(5000, 'a')}) {
        EXPECT_EQ(read(content), std::nullopt) << content.substr(0, 40);
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
