#include "support/PlayedExtensions.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>

std::uint64_t CPlayedExtensions::Connect(std::optional<pid_t> pid, const std::string& strProfile,
                                         Reply reply) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        return 0;
    }
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    m_browsers.push_back(std::make_shared<CExtensionBrowser>(CUniqueFd(fds[0]), pid));
    auto extension = std::make_unique<CFramedPeer>(CUniqueFd(fds[1]));
    extension->Send(
        {{"type", "hello"},
         {"browser", {{"name", "Firefox"}, {"version", "128.0"}, {"profile", strProfile}}}});
    extension->Send({{"type", "ready"}});
    m_played.push_back({std::move(extension), std::move(reply)});
    // The state told is taken in, as the browser thread takes it before any request.
    Pump();
    return m_browsers.back()->GetKey();
}

void CPlayedExtensions::Pump() {
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
