#include "platform/linux/bridge/ExtensionBrowserWindows.h"

#include "platform/linux/GuardedCall.h"

namespace {

// A tab seen as a browser window. Dropping it lets the tab's held first page go on when it
// comes from a pass of the watching collection.
class CExtensionTabWindow : public IBrowserWindow {
public:
    CExtensionTabWindow(std::shared_ptr<CExtensionBrowser> pBrowser, SExtensionTab tab,
                        bool bJudging)
        : m_pBrowser(std::move(pBrowser)), m_tab(std::move(tab)), m_bJudging(bJudging) {}
    ~CExtensionTabWindow() override {
        if (m_bJudging && m_tab.bHeld) {
            m_pBrowser->LetGo(m_tab.nId);
        }
    }
    CExtensionTabWindow(const CExtensionTabWindow&) = delete;
    CExtensionTabWindow& operator=(const CExtensionTabWindow&) = delete;
    HRESULT GetAddressBar(bool* shown) override { return GetBar(shown); }
    HRESULT GetToolBar(bool* shown) override { return GetBar(shown); }
    HRESULT GetLocationUrl(std::string* url) override {
        if (url == nullptr) {
            return E_POINTER;
        }
        return GuardedCall([&] {
            *url = m_tab.strUrl;
            return S_OK;
        });
    }
    HRESULT Quit() override {
        return GuardedCall([&] { return m_pBrowser->Close(m_tab); });
    }

private:
    HRESULT GetBar(bool* shown) const {
        if (shown == nullptr) {
            return E_POINTER;
        }
        *shown = !m_tab.bPopup;
        return S_OK;
    }

    std::shared_ptr<CExtensionBrowser> m_pBrowser;
    SExtensionTab m_tab;
    bool m_bJudging;
};

// The item that holds a tab.
class CExtensionTabItem : public IBrowserItem {
public:
    CExtensionTabItem(std::shared_ptr<CExtensionBrowser> pBrowser, SExtensionTab tab, bool bJudging)
        : m_pBrowser(std::move(pBrowser)), m_tab(std::move(tab)), m_bJudging(bJudging) {}

    HRESULT QueryBrowser(std::unique_ptr<IBrowserWindow>* browser) override {
        if (browser == nullptr) {
            return E_POINTER;
        }
        return GuardedCall([&] {
            *browser = std::make_unique<CExtensionTabWindow>(m_pBrowser, m_tab, m_bJudging);
            return S_OK;
        });
    }

private:
    std::shared_ptr<CExtensionBrowser> m_pBrowser;
    SExtensionTab m_tab;
    bool m_bJudging;
};

}  // namespace

CExtensionBrowserWindows::CExtensionBrowserWindows(std::shared_ptr<CExtensionBrowsers> pBrowsers)
    : m_pBrowsers(std::move(pBrowsers)) {}

HRESULT CExtensionBrowserWindows::GetCount(long* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    return GuardedCall([&] {
        m_items.clear();
        m_pBrowsers->Pump();
        for (const auto& pBrowser : m_pBrowsers->Browsers()) {
            for (SExtensionTab& tab : pBrowser->Tabs()) {
                m_items.push_back({pBrowser, std::move(tab)});
            }
        }
        *count = static_cast<long>(m_items.size());
        return S_OK;
    });
}

HRESULT CExtensionBrowserWindows::Item(long index, std::unique_ptr<IBrowserItem>* item) {
    if (item == nullptr) {
        return E_POINTER;
    }
    return GuardedCall([&] {
        item->reset();
        if (index >= 0 && static_cast<std::size_t>(index) < m_items.size()) {
            const SItem& found = m_items[static_cast<std::size_t>(index)];
            if (!found.tab.bAwaiting) {
                *item = std::make_unique<CExtensionTabItem>(found.pBrowser, found.tab, m_bWatching);
            }
        }
        return S_OK;
    });
}

void CExtensionBrowserWindows::WatchEvents(bool bWatch) {
    m_bWatching = bWatch;
    m_pBrowsers->Watch(bWatch);
}

int CExtensionBrowserWindows::GetEventHandle() {
    return m_pBrowsers->GetEventHandle();
}

HRESULT CExtensionBrowserWindows::TakeEvents(
    std::vector<std::unique_ptr<IBrowserItem>>* announced) {
    if (announced == nullptr) {
        return E_POINTER;
    }
    return GuardedCall([&] {
        const bool bDue = m_pBrowsers->Pump();
        for (const auto& pBrowser : m_pBrowsers->Browsers()) {
            for (SExtensionTab& tab : pBrowser->TakeAnnounced()) {
                announced->push_back(
                    std::make_unique<CExtensionTabItem>(pBrowser, std::move(tab), m_bWatching));
            }
        }
        return bDue ? S_OK : S_FALSE;
    });
}
