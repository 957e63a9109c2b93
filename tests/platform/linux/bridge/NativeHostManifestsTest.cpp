#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/linux/bridge/NativeHostManifests.h"
#include "support/TempDir.h"
#include "support/TextFile.h"

namespace {

namespace fs = std::filesystem;

// Manifests go only to the browsers that keep files here, allow our extension alone, name
// the bridge, and are rewritten only when they say something else.
TEST(NativeHostManifests, WrittenWhereBrowsersLiveAndOnlyWhenTheyDiffer) {
    CTempDir home;
    const fs::path config = home / "config";
    fs::create_directories(config / "chromium");
    fs::create_directories(config / "BraveSoftware/Brave-Browser/NativeMessagingHosts");
    fs::create_directories(home / ".mozilla");
    fs::create_directories(config / "vivaldi-not-quite");
    const fs::path guarded = home / "data/Quellio/browser";
    fs::create_directories(guarded);
    const std::vector<SHostManifestFolder> folders =
        UserHostManifestFolders(home.Path(), config, guarded);
    std::vector<std::pair<fs::path, bool>> found;
    for (const auto& folder : folders) {
        found.emplace_back(folder.folder, folder.bFirefox);
    }
    EXPECT_EQ(found, (std::vector<std::pair<fs::path, bool>>{
                         {config / "chromium/NativeMessagingHosts", false},
                         {config / "BraveSoftware/Brave-Browser/NativeMessagingHosts", false},
                         {home / ".mozilla/native-messaging-hosts", true},
                         {guarded / "NativeMessagingHosts", false}}));

    const fs::path bridge = "/opt/Quellio \"x\"/quellio-bridge";
    const fs::path stale = config / "BraveSoftware/Brave-Browser/NativeMessagingHosts" /
                           "io.github.quellio.bridge.json";
    WriteTextFile(stale, "{\"path\": \"/old/quellio-bridge\"}");
    EXPECT_EQ(WriteHostManifests(folders, bridge), 0);
    for (const auto& [folder, bFirefox] : found) {
        nlohmann::json expected = {{"name", "io.github.quellio.bridge"},
                                   {"description", "Quellio's link to its companion extension"},
                                   {"path", bridge.string()},
                                   {"type", "stdio"}};
        expected[bFirefox ? "allowed_extensions" : "allowed_origins"] = nlohmann::json::array(
            {bFirefox ? "companion@quellio.github.io"
                      : "chrome-extension://jooegpeaphfomiopicfpbpehnoapdhji/"});
        EXPECT_EQ(nlohmann::json::parse(ReadTextFile(folder / "io.github.quellio.bridge.json")),
                  expected);
    }

    struct stat before {};
    ASSERT_EQ(::stat(stale.c_str(), &before), 0);
    EXPECT_EQ(WriteHostManifests(folders, bridge), 0);
    struct stat after {};
    ASSERT_EQ(::stat(stale.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino) << "an equal manifest is left as it is";

    // A manifest folder that is a file cannot take the manifest: counted, the others written.
    fs::remove_all(config / "chromium/NativeMessagingHosts");
    WriteTextFile(config / "chromium/NativeMessagingHosts", "");
    EXPECT_EQ(WriteHostManifests(folders, "/elsewhere/quellio-bridge"), 1);
    EXPECT_EQ(nlohmann::json::parse(ReadTextFile(stale))["path"], "/elsewhere/quellio-bridge");
}

}  // namespace
