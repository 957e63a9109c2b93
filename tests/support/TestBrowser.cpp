#include "support/TestBrowser.h"

#include <map>
#include <stdexcept>
#include <vector>

CTestBrowser::CTestBrowser(const std::filesystem::path& dir, const std::string& firstUrl,
                           const std::vector<std::string>& extraFlags)
    : m_dir(dir) {
    std::vector<std::string> argv = {"chromium"};
    for (const std::string& flag : CBrowserProcess::HeadlessFlags()) {
        argv.push_back(flag);
    }
    argv.insert(argv.end(), extraFlags.begin(), extraFlags.end());
    argv.push_back("--user-data-dir=" + ProfileDir().string());
    argv.push_back("--remote-debugging-port=0");
    argv.push_back(firstUrl);
    m_pProcess = std::make_unique<CBrowserProcess>(argv, std::map<std::string, std::string>{},
                                                   dir / "browser.log");
    const auto endpoint =
        m_pProcess->WaitForEndpoint(ProfileDir() / "DevToolsActivePort", kBrowserStartTimeout);
    if (!endpoint) {
        throw std::runtime_error("the test browser did not start");
    }
    m_pDriver = std::make_unique<CBrowserDriver>(*endpoint);
}
