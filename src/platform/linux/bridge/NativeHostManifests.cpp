#include "platform/linux/bridge/NativeHostManifests.h"

#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <iterator>

#include <nlohmann/json.hpp>

#include "platform/linux/AtomicFile.h"

std::string HostManifest(const std::filesystem::path& bridge, bool bFirefox) {
    nlohmann::ordered_json manifest = {
        {"name", kNativeHostName},
        {"description", "Quellio's link to its companion extension"},
        {"path", bridge.string()},
        {"type", "stdio"},
    };
    if (bFirefox) {
        manifest["allowed_extensions"] = {QUELLIO_FIREFOX_ADDON_ID};
    } else {
        manifest["allowed_origins"] = {"chrome-extension://" QUELLIO_CHROMIUM_EXTENSION_ID "/"};
    }
    return manifest.dump(2) + "\n";
}

std::vector<SHostManifestFolder> UserHostManifestFolders(const std::filesystem::path& home,
                                                         const std::filesystem::path& configHome) {
    std::vector<SHostManifestFolder> candidates;
    if (!configHome.empty()) {
        for (const char* browser :
             {"chromium", "google-chrome", "google-chrome-beta", "google-chrome-unstable",
              "BraveSoftware/Brave-Browser", "microsoft-edge", "microsoft-edge-beta",
              "microsoft-edge-dev", "vivaldi"}) {
            candidates.push_back({configHome / browser / "NativeMessagingHosts", false});
        }
    }
    if (!home.empty()) {
        candidates.push_back({home / ".mozilla/native-messaging-hosts", true});
        candidates.push_back({home / "snap/chromium/common/chromium/NativeMessagingHosts", false});
        candidates.push_back({home / "snap/firefox/common/.mozilla/native-messaging-hosts", true});
        candidates.push_back(
            {home / ".var/app/org.chromium.Chromium/config/chromium/NativeMessagingHosts", false});
        candidates.push_back(
            {home / ".var/app/com.google.Chrome/config/google-chrome/NativeMessagingHosts", false});
        candidates.push_back(
            {home / ".var/app/org.mozilla.firefox/.mozilla/native-messaging-hosts", true});
    }
    std::vector<SHostManifestFolder> folders;
    for (SHostManifestFolder& candidate : candidates) {
        std::error_code error;
        if (std::filesystem::is_directory(candidate.folder.parent_path(), error)) {
            folders.push_back(std::move(candidate));
        }
    }
    return folders;
}

int WriteHostManifests(const std::vector<SHostManifestFolder>& folders,
                       const std::filesystem::path& bridge) {
    int nFailed = 0;
    for (const SHostManifestFolder& entry : folders) {
        const std::string text = HostManifest(bridge, entry.bFirefox);
        const std::filesystem::path file = entry.folder / (std::string(kNativeHostName) + ".json");
        std::ifstream in(file, std::ios::binary);
        const std::string current{std::istreambuf_iterator<char>(in), {}};
        if (in && current == text) {
            continue;
        }
        if ((::mkdir(entry.folder.c_str(), 0755) != 0 && errno != EEXIST) ||
            CAtomicFile::Replace(file, "." + std::string(kNativeHostName) + ".", text, 0644) != 0) {
            ++nFailed;
        }
    }
    return nFailed;
}
