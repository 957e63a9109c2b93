#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/ChildProcess.h"

// A headless browser running the companion extension, for end-to-end tests and benchmarks:
// Debian's chromium with the extension's folder loaded, or firefox-esr with the packed add-on
// in a fresh profile. Each has its profile and home in `dir`, the host manifest that lets it
// start the built quellio-bridge, and $XDG_RUNTIME_DIR `dir`/run, so the bridge looks for
// Quellio at CompanionSocket(dir). Output goes to `dir`/browser.log.
bool StartCompanionBrowser(CChildProcess& process, const std::string& browser,
                           const std::filesystem::path& dir, const std::string& url,
                           const std::vector<std::string>& extraArgs = {});

// Gives the browser that StartCompanionBrowser starts next in `dir` a bookmark of `url` in its
// bookmarks bar (Chromium) or menu (Firefox), as if the user had made it.
void SeedCompanionBookmark(const std::string& browser, const std::filesystem::path& dir,
                           const std::string& url);

// Where the bridges of browsers started in `dir` look for Quellio; makes the runtime folder
// that Quellio's socket folder goes into.
std::filesystem::path CompanionSocket(const std::filesystem::path& dir);
