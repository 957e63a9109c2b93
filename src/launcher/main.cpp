// quellio-browser: starts the installed Chromium-family browser with a profile of its own
// and remote debugging on, so that Quellio can watch its windows. Browsers refuse remote
// debugging on their default profile (Chrome 136 and later), hence the dedicated one.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/linux/devtools/DevToolsDiscovery.h"

namespace fs = std::filesystem;

namespace {

constexpr char kUsage[] =
    "Usage: quellio-browser [--browser=NAME|PATH] [BROWSER ARGUMENTS...]\n"
    "Starts a Chromium-family browser with Quellio's own profile and remote debugging on\n"
    "the loopback interface, so that Quellio can close its pop-ups. The browser is the one\n"
    "named by --browser or QUELLIO_BROWSER, else the first of chromium, google-chrome,\n"
    "brave-browser and microsoft-edge found in PATH. Other arguments go to the browser.\n";

// In the order they are tried.
constexpr const char* kKnownBrowsers[] = {
    "chromium",      "chromium-browser",     "google-chrome",  "google-chrome-stable",
    "brave-browser", "brave-browser-stable", "microsoft-edge", "microsoft-edge-stable"};

bool IsExecutable(const fs::path& file) {
    std::error_code ec;
    return fs::is_regular_file(file, ec) && access(file.c_str(), X_OK) == 0;
}

std::optional<fs::path> FindInPath(std::string_view name) {
    if (name.find('/') != std::string_view::npos) {
        return IsExecutable(name) ? std::optional<fs::path>(name) : std::nullopt;
    }
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const fs::path candidate = fs::path(dir.empty() ? "." : dir) / name;
        if (IsExecutable(candidate)) {
            return candidate;
        }
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<std::string> named;
    if (const char* env = std::getenv("QUELLIO_BROWSER"); env != nullptr && env[0] != '\0') {
        named = env;
    }
    std::vector<std::string> passed;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg.starts_with("--browser=")) {
            named = std::string(arg.substr(10));
        } else {
            passed.emplace_back(arg);
        }
    }

    std::optional<fs::path> browser;
    if (named) {
        browser = FindInPath(*named);
        if (!browser) {
            std::cerr << "quellio-browser: no browser program \"" << *named << "\"\n";
            return 127;
        }
    } else {
        for (const char* name : kKnownBrowsers) {
            if ((browser = FindInPath(name))) {
                break;
            }
        }
        if (!browser) {
            std::cerr << "quellio-browser: no Chromium-family browser found in PATH\n";
            return 127;
        }
    }

    const fs::path profile =
        CDevToolsDiscovery::GuardedProfileDir(std::getenv("HOME"), std::getenv("XDG_DATA_HOME"));
    if (profile.empty()) {
        std::cerr << "quellio-browser: neither HOME nor XDG_DATA_HOME is set\n";
        return 1;
    }
    std::error_code ec;
    fs::create_directories(profile, ec);
    // Cookies and history live here: for the user's eyes only.
    if (ec || chmod(profile.c_str(), 0700) != 0) {
        std::cerr << "quellio-browser: cannot create " << profile << "\n";
        return 1;
    }

    std::vector<std::string> command = {browser->string(), "--user-data-dir=" + profile.string(),
                                        "--remote-debugging-port=0"};
    command.insert(command.end(), passed.begin(), passed.end());
    std::vector<char*> args;
    for (std::string& arg : command) {
        args.push_back(arg.data());
    }
    args.push_back(nullptr);
    execv(args[0], args.data());
    std::cerr << "quellio-browser: cannot start " << *browser << ": " << std::strerror(errno)
              << "\n";
    return 126;
}
