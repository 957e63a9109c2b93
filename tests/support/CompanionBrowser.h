#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/linux/bridge/NativeHostManifests.h"
#include "support/ChildProcess.h"
#include "support/TextFile.h"

// A headless browser running the companion extension, for end-to-end tests and benchmarks:
// Debian's chromium with the extension's folder loaded, or firefox-esr with the packed add-on
// in a fresh profile. Each has its profile and home in `dir`, the host manifest that lets it
// start the built quellio-bridge, and $XDG_RUNTIME_DIR `dir`/run, so the bridge looks for
// Quellio at CompanionSocket(dir). Output goes to `dir`/browser.log.
inline bool StartCompanionBrowser(CChildProcess& process, const std::string& browser,
                                  const std::filesystem::path& dir, const std::string& url,
                                  const std::vector<std::string>& extraArgs = {}) {
    namespace fs = std::filesystem;
    const fs::path bridge = QUELLIO_BIN_DIR "/quellio-bridge";
    const fs::path profile = dir / "profile";
    fs::create_directories(dir / "run");
    std::map<std::string, std::string> env = {{"XDG_RUNTIME_DIR", (dir / "run").string()}};
    std::vector<std::string> command;
    if (browser == "chromium") {
        fs::create_directories(profile);
        if (WriteHostManifests({{profile / "NativeMessagingHosts", false}}, bridge) != 0) {
            return false;
        }
        command = {QUELLIO_SOURCE_DIR "/scripts/headless-browser", "chromium",
                   "--user-data-dir=" + profile.string(),
                   "--load-extension=" QUELLIO_SOURCE_DIR "/browser-extension",
                   "--disable-popup-blocking"};
    } else {
        // Firefox reads host manifests from the home folder only, and takes an unsigned
        // add-on dropped into the profile when signatures are not required.
        const fs::path home = dir / "home";
        fs::create_directories(home / ".mozilla");
        if (WriteHostManifests({{home / ".mozilla/native-messaging-hosts", true}}, bridge) != 0) {
            return false;
        }
        fs::create_directories(profile / "extensions");
        fs::copy_file(QUELLIO_BIN_DIR "/quellio-companion.xpi",
                      profile / "extensions" / "companion@quellio.github.io.xpi",
                      fs::copy_options::overwrite_existing);
        // A bookmarks file in the profile is taken in at the start.
        std::error_code ec;
        const std::string bookmarks =
            fs::exists(profile / "bookmarks.html", ec)
                ? "user_pref(\"browser.places.importBookmarksHTML\", true);\n"
                  "user_pref(\"browser.bookmarks.file\", \"" +
                      (profile / "bookmarks.html").string() + "\");\n"
                : "";
        WriteTextFile(profile / "user.js",
                      bookmarks +
                          "user_pref(\"xpinstall.signatures.required\", false);\n"
                          "user_pref(\"extensions.autoDisableScopes\", 0);\n"
                          "user_pref(\"dom.disable_open_during_load\", false);\n"
                          "user_pref(\"datareporting.policy.firstRunURL\", \"\");\n"
                          "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
                          "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n");
        env["HOME"] = home.string();
        command = {browser, "--headless", "--no-remote", "--profile", profile.string()};
    }
    command.insert(command.end(), extraArgs.begin(), extraArgs.end());
    command.push_back(url);
    return process.Start(command, env, dir / "browser.log");
}

// Gives the browser that StartCompanionBrowser starts next in `dir` a bookmark of `url` in its
// bookmarks bar (Chromium) or menu (Firefox), as if the user had made it.
inline void SeedCompanionBookmark(const std::string& browser, const std::filesystem::path& dir,
                                  const std::string& url) {
    namespace fs = std::filesystem;
    const fs::path profile = dir / "profile";
    if (browser == "chromium") {
        fs::create_directories(profile / "Default");
        const nlohmann::json bookmark = {
            {"type", "url"}, {"name", "seeded"}, {"url", url}, {"id", "4"}};
        const auto folder = [](const char* id, const char* name, nlohmann::json children) {
            return nlohmann::json{
                {"type", "folder"}, {"id", id}, {"name", name}, {"children", std::move(children)}};
        };
        const nlohmann::json file = {
            {"version", 1},
            {"roots",
             {{"bookmark_bar", folder("1", "Bookmarks bar", {bookmark})},
              {"other", folder("2", "Other bookmarks", nlohmann::json::array())},
              {"synced", folder("3", "Mobile bookmarks", nlohmann::json::array())}}}};
        WriteTextFile(profile / "Default" / "Bookmarks", file.dump());
    } else {
        fs::create_directories(profile);
        WriteTextFile(profile / "bookmarks.html",
                      "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                      "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks Menu</H1>\n<DL><p>\n"
                      "    <DT><A HREF=\"" +
                          url + "\">seeded</A>\n</DL><p>\n");
    }
}

// Where the bridges of browsers started in `dir` look for Quellio; makes the runtime folder
// that Quellio's socket folder goes into.
inline std::filesystem::path CompanionSocket(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir / "run");
    return dir / "run" / "Quellio" / "bridge.sock";
}
