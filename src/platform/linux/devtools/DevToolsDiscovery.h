#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/devtools/DevToolsEndpoint.h"

// A Chromium-family browser's user-data folder, with the browser's name for the user.
struct SBrowserUserData {
    std::filesystem::path dir;
    std::string strName;  // "Chromium", "Google Chrome", ...
};

// Finds the DevTools endpoints of the browsers that may be running: the entries of
// QUELLIO_DEVTOOLS, then the DevToolsActivePort files of the usual user-data folders and
// of the guarded-browser profile. What it finds is only a hint (a port file outlives a
// browser that was killed); the caller believes an endpoint once it has connected.
class CDevToolsDiscovery {
public:
    // The file in a user-data folder where a browser says where its DevTools service is.
    static constexpr char kPortFileName[] = "DevToolsActivePort";

    // `strSpec` holds blank-separated entries: http:// or ws:// loopback addresses, or
    // user-data folders holding a DevToolsActivePort file. `userDataDirs` are the folders
    // looked at besides.
    CDevToolsDiscovery(std::string strSpec, std::vector<std::filesystem::path> userDataDirs);

    // The discovery for this process: QUELLIO_DEVTOOLS and the usual folders under HOME,
    // XDG_CONFIG_HOME and XDG_DATA_HOME.
    static CDevToolsDiscovery FromEnvironment();

    // The usual user-data folders of Chromium-family browsers and the guarded-browser
    // profile, with the browsers' names. Null or relative XDG values are ignored, as the
    // XDG rules say.
    static std::vector<SBrowserUserData> KnownBrowsers(const char* home, const char* xdgConfigHome,
                                                       const char* xdgDataHome);
    // The folders of KnownBrowsers.
    static std::vector<std::filesystem::path> DefaultUserDataDirs(const char* home,
                                                                  const char* xdgConfigHome,
                                                                  const char* xdgDataHome);

    // The profile folder of the browser that quellio-browser starts; empty when neither
    // HOME nor an absolute XDG_DATA_HOME is known.
    static std::filesystem::path GuardedProfileDir(const char* home, const char* xdgDataHome);

    // Reads a DevToolsActivePort file: the port on its first line, the browser's path
    // ("/devtools/browser/...") on its second. Nothing for a missing, oversized or
    // malformed file.
    static std::optional<SDevToolsEndpoint> ReadPortFile(const std::filesystem::path& file);

    // Every well-formed endpoint found now, each once, in the order described above.
    std::vector<SDevToolsEndpoint> FindEndpoints() const;

private:
    std::string m_strSpec;
    std::vector<std::filesystem::path> m_userDataDirs;
};
