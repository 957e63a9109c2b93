#include "platform/linux/devtools/DevToolsDiscovery.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/linux/XdgDirs.h"

namespace fs = std::filesystem;

namespace {

// A real port file holds two short lines; anything much larger is not one.
constexpr std::streamsize kPortFileMax = 1024;

}  // namespace

CDevToolsDiscovery::CDevToolsDiscovery(std::string strSpec, std::vector<fs::path> userDataDirs)
    : m_strSpec(std::move(strSpec)), m_userDataDirs(std::move(userDataDirs)) {}

CDevToolsDiscovery CDevToolsDiscovery::FromEnvironment() {
    const char* spec = std::getenv("QUELLIO_DEVTOOLS");
    return CDevToolsDiscovery(
        spec != nullptr ? spec : "",
        DefaultUserDataDirs(std::getenv("HOME"), std::getenv("XDG_CONFIG_HOME"),
                            std::getenv("XDG_DATA_HOME")));
}

std::vector<SBrowserUserData> CDevToolsDiscovery::KnownBrowsers(const char* home,
                                                                const char* xdgConfigHome,
                                                                const char* xdgDataHome) {
    std::vector<SBrowserUserData> browsers;
    const fs::path config = XdgBaseDir(xdgConfigHome, home, ".config");
    if (!config.empty()) {
        for (const auto& [folder, name] : {
                 std::pair{"chromium", "Chromium"},
                 std::pair{"google-chrome", "Google Chrome"},
                 std::pair{"google-chrome-beta", "Google Chrome Beta"},
                 std::pair{"google-chrome-unstable", "Google Chrome Dev"},
                 std::pair{"BraveSoftware/Brave-Browser", "Brave"},
                 std::pair{"microsoft-edge", "Microsoft Edge"},
                 std::pair{"microsoft-edge-beta", "Microsoft Edge Beta"},
                 std::pair{"microsoft-edge-dev", "Microsoft Edge Dev"},
             }) {
            browsers.push_back({config / folder, name});
        }
    }
    if (home != nullptr && home[0] == '/') {
        browsers.push_back({fs::path(home) / "snap/chromium/common/chromium", "Chromium snap"});
    }
    fs::path guarded = GuardedProfileDir(home, xdgDataHome);
    if (!guarded.empty()) {
        browsers.push_back({std::move(guarded), "Quellio browser"});
    }
    return browsers;
}

std::vector<fs::path> CDevToolsDiscovery::DefaultUserDataDirs(const char* home,
                                                              const char* xdgConfigHome,
                                                              const char* xdgDataHome) {
    std::vector<fs::path> dirs;
    for (SBrowserUserData& browser : KnownBrowsers(home, xdgConfigHome, xdgDataHome)) {
        dirs.push_back(std::move(browser.dir));
    }
    return dirs;
}

fs::path CDevToolsDiscovery::GuardedProfileDir(const char* home, const char* xdgDataHome) {
    const fs::path data = XdgBaseDir(xdgDataHome, home, ".local/share");
    return data.empty() ? fs::path() : data / "Quellio" / "browser";
}

std::optional<SDevToolsEndpoint> CDevToolsDiscovery::ReadPortFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string text(kPortFileMax + 1, '\0');
    in.read(text.data(), kPortFileMax + 1);
    if (in.gcount() > kPortFileMax) {
        return std::nullopt;
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.ends_with('\n')) {
        text.pop_back();
    }
    const std::size_t newline = text.find('\n');
    if (newline == std::string::npos) {
        return std::nullopt;
    }
    const std::string path = text.substr(newline + 1);
    if (!path.starts_with("/devtools/browser/")) {
        return std::nullopt;
    }
    // The port line must be digits only; the URL parser checks the rest.
    const std::string port = text.substr(0, newline);
    if (port.empty() ||
        !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return ParseDevToolsUrl("ws://127.0.0.1:" + port + path);
}

std::vector<SDevToolsEndpoint> CDevToolsDiscovery::FindEndpoints() const {
    std::vector<SDevToolsEndpoint> endpoints;
    auto add = [&endpoints](std::optional<SDevToolsEndpoint> endpoint) {
        if (endpoint &&
            std::find(endpoints.begin(), endpoints.end(), *endpoint) == endpoints.end()) {
            endpoints.push_back(std::move(*endpoint));
        }
    };
    std::istringstream entries(m_strSpec);
    std::string entry;
    while (entries >> entry) {
        if (entry.find("://") != std::string::npos) {
            add(ParseDevToolsUrl(entry));
        } else {
            add(ReadPortFile(fs::path(entry) / kPortFileName));
        }
    }
    for (const fs::path& dir : m_userDataDirs) {
        add(ReadPortFile(dir / kPortFileName));
    }
    return endpoints;
}
