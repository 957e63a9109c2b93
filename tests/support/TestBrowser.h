#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/BrowserDriver.h"
#include "support/ChildProcess.h"

// How long a browser may take to start: a loaded two-core machine starts Chromium slowly.
inline constexpr std::chrono::seconds kBrowserStartTimeout{90};
// The call timeout of collections under test: longer than Quellio's own, so a busy
// browser is not taken for a hung one.
inline constexpr std::chrono::milliseconds kBrowserCallTimeout{5000};

// Pages the tests serve: one that opens windows when told to, and a plain one.
inline constexpr char kOpenerPage[] =
    "<!doctype html><title>opener</title><script>"
    "function pop(url, features) { window.open(url, '_blank', features); }"
    "</script><p>opener</p>";
inline constexpr char kPlainPage[] = "<!doctype html><title>page</title><p>page</p>";

// A headless Chromium for end-to-end tests and benchmarks, with remote debugging on a port
// of its choosing and a driver to act as its user. It is started through
// scripts/headless-browser, as the demo scripts start theirs, and killed when the object
// goes. The constructors throw when the browser does not come up.
class CTestBrowser {
public:
    // Chromium with a profile of its own in `dir`/profile, opened on `firstUrl`.
    CTestBrowser(const std::filesystem::path& dir, const std::string& firstUrl);
    // `command` (such as the quellio-browser launcher) run with `env` added, opened on
    // `firstUrl`; it has to use the profile `profile`. Output goes to `log`.
    CTestBrowser(std::vector<std::string> command, const std::map<std::string, std::string>& env,
                 std::filesystem::path profile, const std::filesystem::path& log,
                 const std::string& firstUrl);

    CChildProcess& Process() { return m_Process; }
    CBrowserDriver& Driver() { return *m_pDriver; }
    const std::filesystem::path& ProfileDir() const { return m_Profile; }

private:
    std::filesystem::path m_Profile;
    CChildProcess m_Process;
    std::unique_ptr<CBrowserDriver> m_pDriver;
};
