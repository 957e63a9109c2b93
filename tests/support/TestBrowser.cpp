#include "support/TestBrowser.h"

#include <optional>
#include <stdexcept>
#include <thread>

#include "platform/linux/devtools/DevToolsClient.h"
#include "platform/linux/devtools/DevToolsDiscovery.h"
#include "support/WaitUntil.h"

CTestBrowser::CTestBrowser(const std::filesystem::path& dir, const std::string& firstUrl)
    : CTestBrowser({"chromium", "--user-data-dir=" + (dir / "profile").string(),
                    "--remote-debugging-port=0"},
                   {}, dir / "profile", dir / "browser.log", firstUrl) {}

CTestBrowser::CTestBrowser(std::vector<std::string> command,
                           const std::map<std::string, std::string>& env,
                           std::filesystem::path profile, const std::filesystem::path& log,
                           const std::string& firstUrl)
    : m_Profile(std::move(profile)) {
    command.insert(command.begin(), QUELLIO_SOURCE_DIR "/scripts/headless-browser");
    command.push_back(firstUrl);
    if (!m_Process.Start(command, env, log)) {
        throw std::runtime_error("the test browser could not be started");
    }
    // The port file is only a hint until a connection succeeds: a browser writes it early.
    std::optional<SDevToolsEndpoint> endpoint;
    const auto isUp = [&] {
        endpoint = CDevToolsDiscovery::ReadPortFile(m_Profile / "DevToolsActivePort");
        return endpoint && SUCCEEDED(CDevToolsClient(std::chrono::seconds(5)).Connect(*endpoint));
    };
    bool bUp = false;
    WaitUntil([&] { return !m_Process.IsRunning() || (bUp = isUp()); }, kBrowserStartTimeout,
              [] { std::this_thread::sleep_for(std::chrono::milliseconds(50)); });
    if (!bUp) {
        throw std::runtime_error("the test browser did not start; see " + log.string());
    }
    m_pDriver = std::make_unique<CBrowserDriver>(*endpoint);
}
