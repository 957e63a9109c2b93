#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/linux/bridge/ExtensionBrowser.h"
#include "platform/linux/bridge/ExtensionRequests.h"
#include "support/FramedPeer.h"

// Browsers connected through their companion extension, the test playing each extension
// over a socket pair, and the requests that other threads make of them, served as Quellio's
// browser thread serves them.
class CPlayedExtensions {
public:
    // What an extension sends back for a request it got: its messages, or nothing when it
    // closes its end instead.
    using Reply = std::function<std::optional<std::vector<nlohmann::json>>(const nlohmann::json&)>;

    // A browser of the process `pid` whose extension has told its state and profile id, and
    // replies to every request with `reply`. Answers its key.
    std::uint64_t Connect(std::optional<pid_t> pid, const std::string& strProfile, Reply reply) {
        auto [browser, extension] = SocketPair();
        ::fcntl(browser.Get(), F_SETFL, O_NONBLOCK);
        m_browsers.push_back(std::make_shared<CExtensionBrowser>(std::move(browser), pid));
        auto pExtension = std::make_unique<CFramedPeer>(std::move(extension));
        pExtension->Send(
            {{"type", "hello"},
             {"browser", {{"name", "Firefox"}, {"version", "128.0"}, {"profile", strProfile}}}});
        pExtension->Send({{"type", "ready"}});
        m_played.push_back({std::move(pExtension), std::move(reply)});
        // The state told is taken in, as the browser thread takes it before any request.
        Pump();
        return m_browsers.back()->GetKey();
    }

    // Runs `work` on a thread of its own and meanwhile serves its requests and plays the
    // extensions' replies; answers what `work` answers.
    template <class R>
    R Serve(const std::function<R()>& work) {
        std::future<R> result = std::async(std::launch::async, work);
        while (result.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
            Pump();
        }
        return result.get();
    }

    const std::shared_ptr<CExtensionRequests>& Requests() const { return m_pRequests; }
    // Every request the extensions got, in order.
    const std::vector<nlohmann::json>& Received() const { return m_received; }

private:
    struct SPlayed {
        std::unique_ptr<CFramedPeer> extension;
        Reply reply;
    };

    // Waits a moment for something to do, then plays the extensions and serves once.
    void Pump() {
        std::vector<pollfd> fds = {{m_pRequests->GetEventHandle(), POLLIN, 0}};
        for (const SPlayed& played : m_played) {
            fds.push_back({played.extension->Get(), POLLIN, 0});
        }
        ::poll(fds.data(), fds.size(), 10);
        for (std::size_t i = 0; i < m_played.size(); ++i) {
            SPlayed& played = m_played[i];
            if (played.extension->Get() < 0 || (fds[i + 1].revents & POLLIN) == 0) {
                continue;
            }
            const std::optional<nlohmann::json> request = played.extension->Receive();
            if (!request) {
                played.extension->Close();
                continue;
            }
            m_received.push_back(*request);
            const auto replies = played.reply(*request);
            if (!replies) {
                played.extension->Close();
                continue;
            }
            for (const nlohmann::json& message : *replies) {
                played.extension->Send(message);
            }
        }
        bool bDue = false;
        std::erase_if(m_browsers, [&](const auto& pBrowser) { return !pBrowser->Receive(&bDue); });
        m_pRequests->Serve(m_browsers);
    }

    std::shared_ptr<CExtensionRequests> m_pRequests = std::make_shared<CExtensionRequests>();
    std::vector<std::shared_ptr<CExtensionBrowser>> m_browsers;
    std::vector<SPlayed> m_played;
    std::vector<nlohmann::json> m_received;
};
