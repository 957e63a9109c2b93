#include "platform/linux/AllBrowserWindows.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

bool ProcessListensOn(pid_t pid, std::uint16_t port) {
    // The kernel's socket tables give the inode of each listening socket ("0A") on the port;
    // the process holds one of them when a descriptor of its links to it.
    std::set<std::string> inodes;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream file(table);
        std::string line;
        std::getline(file, line);  // the header
        while (std::getline(file, line)) {
            std::istringstream fields(line);
            std::string slot;
            std::string local;
            std::string remote;
            std::string state;
            std::string skip;
            std::string inode;
            fields >> slot >> local >> remote >> state >> skip >> skip >> skip >> skip >> skip >>
                inode;
            const std::size_t colon = local.rfind(':');
            if (fields && state == "0A" && colon != std::string::npos &&
                std::stoul(local.substr(colon + 1), nullptr, 16) == port) {
                inodes.insert("socket:[" + inode + "]");
            }
        }
    }
    if (inodes.empty()) {
        return false;
    }
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        std::array<char, 64> target{};
        const ssize_t n = ::readlink(entry.path().c_str(), target.data(), target.size());
        if (n > 0 && inodes.contains(std::string(target.data(), static_cast<std::size_t>(n)))) {
            return true;
        }
    }
    return false;
}

CAllBrowserWindows::CAllBrowserWindows(std::unique_ptr<CExtensionBrowserWindows> pExtension,
                                       std::unique_ptr<CDevToolsBrowserWindows> pDevTools)
    : m_pExtension(std::move(pExtension)), m_pDevTools(std::move(pDevTools)) {
    m_pDevTools->SetGuardedElsewhere(
        [this](const SDevToolsEndpoint& endpoint) { return IsGuardedByExtension(endpoint); });
}

bool CAllBrowserWindows::IsGuardedByExtension(const SDevToolsEndpoint& endpoint) {
    std::set<std::pair<pid_t, std::uint16_t>> current;
    bool bGuarded = false;
    for (const auto& pBrowser : m_pExtension->Browsers().Browsers()) {
        const std::optional<pid_t> pid = pBrowser->GetBrowserPid();
        if (!pid || !pBrowser->IsReady()) {
            continue;
        }
        const std::pair key{*pid, endpoint.nPort};
        current.insert(key);
        auto [it, bNew] = m_listens.try_emplace(key, false);
        if (bNew) {
            it->second = ProcessListensOn(*pid, endpoint.nPort);
        }
        bGuarded = bGuarded || it->second;
    }
    std::erase_if(m_listens, [&](const auto& entry) {
        return entry.first.second == endpoint.nPort && !current.contains(entry.first);
    });
    return bGuarded;
}

HRESULT CAllBrowserWindows::GetCount(long* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    long nExtension = 0;
    long nDevTools = 0;
    HRESULT hr = m_pExtension->GetCount(&nExtension);
    if (SUCCEEDED(hr)) {
        hr = m_pDevTools->GetCount(&nDevTools);
    }
    if (FAILED(hr)) {
        return hr;
    }
    m_nExtensionCount = nExtension;
    *count = nExtension + nDevTools;
    return S_OK;
}

HRESULT CAllBrowserWindows::Item(long index, std::unique_ptr<IBrowserItem>* item) {
    return index < m_nExtensionCount ? m_pExtension->Item(index, item)
                                     : m_pDevTools->Item(index - m_nExtensionCount, item);
}

void CAllBrowserWindows::WatchEvents(bool bWatch) {
    m_pExtension->WatchEvents(bWatch);
    m_pDevTools->WatchEvents(bWatch);
    if (bWatch && !m_events.IsValid()) {
        m_events.Reset(::epoll_create1(EPOLL_CLOEXEC));
        AddToEvents(m_pExtension->GetEventHandle());
        AddToEvents(m_pDevTools->GetEventHandle());
    }
}

int CAllBrowserWindows::GetEventHandle() {
    return m_events.Get();
}

HRESULT CAllBrowserWindows::TakeEvents(std::vector<std::unique_ptr<IBrowserItem>>* announced) {
    const HRESULT hrExtension = m_pExtension->TakeEvents(announced);
    const HRESULT hrDevTools = m_pDevTools->TakeEvents(announced);
    return (hrExtension == S_OK || hrDevTools == S_OK) ? S_OK : S_FALSE;
}

void CAllBrowserWindows::AddToEvents(int fd) {
    if (fd < 0 || !m_events.IsValid()) {
        return;
    }
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    ::epoll_ctl(m_events.Get(), EPOLL_CTL_ADD, fd, &event);
}
