#include "platform/linux/bridge/ExtensionBrowser.h"

#include <sys/socket.h>

#include <atomic>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace {

bool IsBlank(const std::string& url) {
    return url.empty() || url == "about:blank";
}

// A field that must be there with that type; throws otherwise.
template <class T>
T Field(const nlohmann::json& object, const char* name) {
    return object.at(name).get<T>();
}

std::atomic<std::uint64_t> g_nLastKey{0};

}  // namespace

CExtensionBrowser::CExtensionBrowser(CUniqueFd fd, std::optional<pid_t> browserPid,
                                     std::chrono::milliseconds addressGrace)
    : m_nKey(++g_nLastKey),
      m_fd(std::move(fd)),
      m_browserPid(browserPid),
      m_addressGrace(addressGrace) {}

bool CExtensionBrowser::Receive(bool* pbDue) {
    while (!m_bBroken) {
        std::vector<std::string> messages;
        const CMessageReader::EState state = m_reader.ReadFrom(m_fd.Get(), &messages);
        try {
            for (const std::string& message : messages) {
                *pbDue = Apply(nlohmann::json::parse(message)) || *pbDue;
            }
        } catch (const std::exception&) {
            return false;
        }
        if (state != CMessageReader::EState::Open) {
            return false;
        }
        if (messages.empty()) {
            return true;
        }
    }
    return false;
}

bool CExtensionBrowser::Apply(const nlohmann::json& message) {
    const auto type = Field<std::string>(message, "type");
    const auto now = Clock::now();
    if (type == "hello") {
        const nlohmann::json& browser = message.at("browser");
        m_strName =
            Field<std::string>(browser, "name") + " " + Field<std::string>(browser, "version");
        m_strProfile = Field<std::string>(browser, "profile");
        // A hello starts the whole state again.
        m_bReady = false;
        m_windows.clear();
        m_tabs.clear();
        m_announced.clear();
        return false;
    }
    if (type == "ready") {
        m_bReady = true;
        return true;
    }
    if (type == "window") {
        const nlohmann::json& window = message.at("window");
        const auto nId = Field<std::int64_t>(window, "id");
        auto type = Field<std::string>(window, "type");
        auto [it, bNew] = m_windows.try_emplace(nId);
        if (m_windows.size() > kMaxItems) {
            throw std::length_error("too many windows");
        }
        // A window may be told after its tabs, which wait for it to be judged.
        if (m_bReady && (bNew || it->second != type)) {
            for (const auto& [nTabId, tab] : m_tabs) {
                if (tab.nWindowId == nId) {
                    m_announced.insert(nTabId);
                }
            }
        }
        it->second = std::move(type);
        return false;
    }
    if (type == "windowRemoved") {
        const auto nId = Field<std::int64_t>(message, "windowId");
        m_windows.erase(nId);
        m_closingWindows.erase(nId);
        std::erase_if(m_tabs, [&](const auto& entry) { return entry.second.nWindowId == nId; });
        return false;
    }
    if (type == "tab") {
        const nlohmann::json& tab = message.at("tab");
        const auto nId = Field<std::int64_t>(tab, "id");
        const nlohmann::json& opener = tab.at("opener");
        STab update{Field<std::int64_t>(tab, "windowId"),
                    Field<std::string>(tab, "url"),
                    opener.is_null() ? std::nullopt
                                     : std::optional<std::int64_t>(opener.get<std::int64_t>()),
                    now,
                    false,
                    tab.value("held", false)};
        auto [it, bNew] = m_tabs.try_emplace(nId);
        STab& known = it->second;
        if (!bNew) {
            update.since = known.since;
            update.bAddressed = known.bAddressed;
        }
        update.bAddressed = update.bAddressed || !IsBlank(update.strUrl);
        const bool bChanged = bNew || known.strUrl != update.strUrl ||
                              known.nWindowId != update.nWindowId || (update.bHeld && !known.bHeld);
        known = std::move(update);
        if (m_tabs.size() > kMaxItems) {
            throw std::length_error("too many tabs");
        }
        if (bChanged && m_bReady) {
            m_announced.insert(nId);
        }
        return false;
    }
    if (type == "tabRemoved") {
        const auto nId = Field<std::int64_t>(message, "tabId");
        m_tabs.erase(nId);
        m_closingTabs.erase(nId);
        return false;
    }
    if (type == "answer") {
        Field<std::int64_t>(message, "id");
        m_answers.push_back(message);
        if (m_answers.size() > kMaxItems) {
            throw std::length_error("too many answers");
        }
        return false;
    }
    // A newer extension may tell more; what is not known here is left alone.
    return false;
}

std::vector<SExtensionTab> CExtensionBrowser::Tabs() const {
    const auto now = Clock::now();
    std::vector<SExtensionTab> tabs;
    for (const auto& [nId, tab] : m_tabs) {
        const auto window = m_windows.find(tab.nWindowId);
        if (window == m_windows.end() ||
            (window->second != "normal" && window->second != "popup") ||
            IsClosing(m_closingTabs, nId) || IsClosing(m_closingWindows, tab.nWindowId)) {
            continue;
        }
        tabs.push_back({nId, tab.nWindowId, tab.strUrl, window->second == "popup",
                        !tab.bAddressed && now - tab.since < m_addressGrace, tab.bHeld});
    }
    return tabs;
}

std::vector<SExtensionTab> CExtensionBrowser::TakeAnnounced() {
    std::vector<SExtensionTab> tabs;
    if (m_announced.empty()) {
        return tabs;
    }
    for (SExtensionTab& tab : Tabs()) {
        if (!tab.bAwaiting && m_announced.contains(tab.nId)) {
            tabs.push_back(std::move(tab));
        }
    }
    m_announced.clear();
    return tabs;
}

bool CExtensionBrowser::IsClosing(const std::map<std::int64_t, Clock::time_point>& closing,
                                  std::int64_t nId) const {
    const auto it = closing.find(nId);
    return it != closing.end() && Clock::now() - it->second < kCloseGrace;
}

HRESULT CExtensionBrowser::Close(const SExtensionTab& tab) {
    const auto now = Clock::now();
    if (tab.bPopup) {
        if (!Send({{"type", "closeWindow"}, {"windowId", tab.nWindowId}})) {
            return E_FAIL;
        }
        m_closingWindows[tab.nWindowId] = now;
    } else {
        if (!Send({{"type", "closeTab"}, {"tabId", tab.nId}})) {
            return E_FAIL;
        }
        m_closingTabs[tab.nId] = now;
    }
    return S_OK;
}

void CExtensionBrowser::Watch(bool bWatch) {
    Send({{"type", "watch"}, {"on", bWatch}});
}

void CExtensionBrowser::LetGo(std::int64_t nTabId) noexcept {
    try {
        const auto it = m_tabs.find(nTabId);
        if (it == m_tabs.end() || !it->second.bHeld || IsClosing(m_closingTabs, nTabId) ||
            IsClosing(m_closingWindows, it->second.nWindowId)) {
            return;
        }
        it->second.bHeld = false;
        Send({{"type", "release"}, {"tabId", nTabId}});
    } catch (const std::exception&) {
        // Out of memory for a message: the extension lets the page go after its bound.
    }
}

bool CExtensionBrowser::Send(const nlohmann::json& message) {
    const std::string frame = FrameMessage(message.dump());
    // The bridge reads at once; a socket too full for a few bytes means it hangs, and a
    // part-written message would break the stream: either way the connection is over.
    const ssize_t n = ::send(m_fd.Get(), frame.data(), frame.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n != static_cast<ssize_t>(frame.size())) {
        // The bridge sees the end and connects again; the next Receive ends this side.
        ::shutdown(m_fd.Get(), SHUT_RDWR);
        m_bBroken = true;
        return false;
    }
    return true;
}
