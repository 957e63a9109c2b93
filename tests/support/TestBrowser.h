#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/BrowserDriver.h"
#include "support/BrowserProcess.h"

// What end-to-end tests wait for. Generous: a loaded two-core machine starts Chromium
// slowly, and the limits only keep a broken test from hanging.
inline constexpr std::chrono::seconds kBrowserStartTimeout{90};
inline constexpr std::chrono::milliseconds kBrowserStateTimeout{30000};
// The call timeout of collections under test: longer than Quellio's own, so a busy
// browser is not taken for a hung one.
inline constexpr std::chrono::milliseconds kBrowserCallTimeout{5000};

// Pages the tests serve: one that opens windows when told to, and a plain one.
inline constexpr char kOpenerPage[] =
    "<!doctype html><title>opener</title><script>"
    "function pop(url, features) { window.open(url, '_blank', features); }"
    "</script><p>opener</p>";
inline constexpr char kPlainPage[] = "<!doctype html><title>page</title><p>page</p>";

// A headless Chromium with a profile of its own in `dir`/profile and remote debugging on,
// opened on `firstUrl`, with a driver to act as its user. Killed when the object goes.
class CTestBrowser {
public:
    // `extraFlags` go on the browser's command line besides the usual ones.
    CTestBrowser(const std::filesystem::path& dir, const std::string& firstUrl,
                 const std::vector<std::string>& extraFlags = {});

    CBrowserProcess& Process() { return *m_pProcess; }
    CBrowserDriver& Driver() { return *m_pDriver; }
    std::filesystem::path ProfileDir() const { return m_dir / "profile"; }

private:
    std::filesystem::path m_dir;
    std::unique_ptr<CBrowserProcess> m_pProcess;
    std::unique_ptr<CBrowserDriver> m_pDriver;
};
