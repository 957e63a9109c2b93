#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/Result.h"
#include "platform/linux/devtools/DevToolsClient.h"
#include "platform/linux/devtools/DevToolsTarget.h"

// Whether the browser shows a window's address bar and its tool bar.
struct SDevToolsBars {
    bool bAddressBar = true;
    bool bToolBar = true;
};

// Reads the bars of one browser's windows and keeps them: a window's bars never change in
// its life, so they are read once per target and kept while the target lives. The page's own
// flags are read in an isolated world of its main frame, where page script cannot shadow
// them; a page that cannot tell (opened without access to its opener, or not answering) is
// judged by where the browser put it: opened by another page into a window of its own, it is
// a pop-up.
class CDevToolsBarReader {
public:
    // Sends a command to the browser itself (not to a session), as its owner does.
    using BrowserCall = std::function<HRESULT(std::string_view method, const nlohmann::json& params,
                                              nlohmann::json* result)>;

    CDevToolsBarReader(CDevToolsClient& client, BrowserCall callBrowser);

    // The bars kept for the target; null when they have not been read.
    const SDevToolsBars* Find(const std::string& strTargetId) const;
    // Reads the target's bars through a session of its own, which it leaves again, and keeps
    // them. `targets` are the browser's targets as last read.
    HRESULT Read(const SDevToolsTarget& target, const std::vector<SDevToolsTarget>& targets);
    // Reads the target's bars through a session already attached to it and keeps them.
    HRESULT Learn(const SDevToolsTarget& target, const std::string& strSessionId,
                  const std::vector<SDevToolsTarget>& targets);
    // Forgets what it knew of targets that are not `live`.
    void Forget(const std::unordered_set<std::string>& live);
    void Clear();

private:
    // The page's own flags.
    HRESULT ReadPageBars(const std::string& strTargetId, const std::string& strSessionId,
                         SDevToolsBars* bars);
    // Whether another page opened the target into a browser window that shows no other page.
    HRESULT IsOpenedIntoOwnWindow(const SDevToolsTarget& target,
                                  const std::vector<SDevToolsTarget>& targets, bool* bOwnWindow);
    // The browser window showing the target; nothing for a target without one.
    HRESULT ReadWindowId(const std::string& strTargetId, std::optional<std::int64_t>* windowId);

    CDevToolsClient& m_client;
    BrowserCall m_callBrowser;
    std::unordered_map<std::string, SDevToolsBars> m_bars;
    std::unordered_map<std::string, std::optional<std::int64_t>> m_windowIds;
};
