#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <utility>

#include "platform/BrowserWindows.h"
#include "platform/linux/UniqueFd.h"
#include "platform/linux/bridge/ExtensionBrowserWindows.h"
#include "platform/linux/devtools/DevToolsBrowserWindows.h"

// Every browser Quellio reaches, as one collection: first the tabs of the browsers connected
// through the companion extension, then the pages of those reached over DevTools. A browser
// reached both ways is guarded through its extension alone: a DevTools browser whose process
// is the one that started a bridge is left out of the DevTools side (neither listed nor
// watched) once that extension has told its state. A count fails when either side fails.
// The event descriptor gathers both sides' (an epoll set).
class CAllBrowserWindows : public IBrowserWindows {
public:
    CAllBrowserWindows(std::unique_ptr<CExtensionBrowserWindows> pExtension,
                       std::unique_ptr<CDevToolsBrowserWindows> pDevTools);

    HRESULT GetCount(long* count) override;
    HRESULT Item(long index, std::unique_ptr<IBrowserItem>* item) override;
    void WatchEvents(bool bWatch) override;
    int GetEventHandle() override;
    HRESULT TakeEvents(std::vector<std::unique_ptr<IBrowserItem>>* announced) override;

private:
    // Whether a browser connected through its extension listens on the DevTools endpoint.
    bool IsGuardedByExtension(const SDevToolsEndpoint& endpoint);
    void AddToEvents(int fd);

    std::unique_ptr<CExtensionBrowserWindows> m_pExtension;
    std::unique_ptr<CDevToolsBrowserWindows> m_pDevTools;
    long m_nExtensionCount = 0;
    CUniqueFd m_events;
    // What is known of (browser process, DevTools port) pairs: a process keeps its sockets.
    std::map<std::pair<pid_t, std::uint16_t>, bool> m_listens;
};

// Whether process `pid` holds a TCP socket listening on `port` (any local address).
bool ProcessListensOn(pid_t pid, std::uint16_t port);
