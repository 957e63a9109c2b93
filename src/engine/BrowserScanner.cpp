#include "engine/BrowserScanner.h"

#include <algorithm>
#include <vector>

#include "engine/KillReport.h"
#include "engine/UrlList.h"

CBrowserScanner::CBrowserScanner(IBrowserWindowsFactory& factory, const CUrlList& blackList,
                                 const CUrlList& whiteList, IKillReport& report)
    : m_factory(factory), m_blackList(blackList), m_whiteList(whiteList), m_report(report) {}

void CBrowserScanner::ConnectBrowserWindows() {
    DisconnectBrowserWindows();
    std::unique_ptr<IBrowserWindows> spWindows;
    if (SUCCEEDED(m_factory.CreateBrowserWindows(&spWindows))) {
        m_spBrowserWindows = std::move(spWindows);
    }
}

void CBrowserScanner::DisconnectBrowserWindows() {
    m_spBrowserWindows.reset();
    m_bWatching = false;
}

HRESULT CBrowserScanner::ScanBrowserWindows() {
    const HRESULT hr = ScanOnce();
    m_lastPassEnd = std::chrono::steady_clock::now();
    return hr;
}

HRESULT CBrowserScanner::ScanOnce() {
    if (!m_spBrowserWindows) {
        return E_POINTER;
    }
    long nCount = 0;
    HRESULT hr = m_spBrowserWindows->GetCount(&nCount);
    if (FAILED(hr)) {
        return hr;
    }
    // The count is read once: windows closed during the pass are still visited by index and
    // answer from the collection's look at the start of the pass.
    for (long i = 0; i < nCount; ++i) {
        std::unique_ptr<IBrowserItem> spItem;
        hr = m_spBrowserWindows->Item(i, &spItem);
        if (FAILED(hr)) {
            return hr;
        }
        if (spItem) {
            hr = JudgeItem(*spItem);
            if (FAILED(hr)) {
                return hr;
            }
        }
    }
    return S_OK;
}

HRESULT CBrowserScanner::JudgeItem(IBrowserItem& item) {
    std::unique_ptr<IBrowserWindow> spBrowser;
    HRESULT hr = item.QueryBrowser(&spBrowser);
    if (hr == E_NOINTERFACE) {
        return S_OK;
    }
    if (FAILED(hr)) {
        return hr;
    }
    // A window whose bars or address cannot be read is left for the next pass: judging it
    // on made-up values could close a window the user wants.
    bool bAddressBar = true;
    bool bToolBar = true;
    std::string url;
    if (FAILED(spBrowser->GetAddressBar(&bAddressBar)) ||
        FAILED(spBrowser->GetToolBar(&bToolBar)) || FAILED(spBrowser->GetLocationUrl(&url))) {
        return S_OK;
    }
    if (IsInList(url, m_blackList)) {
        hr = KillBrowserWindow(*spBrowser, url);
        if (FAILED(hr)) {
            return hr;
        }
    }
    // The pop-up rule applies even when the black list has just closed the window, so a
    // black-listed pop-up is reported twice.
    if ((!bAddressBar || !bToolBar) && !IsInList(url, m_whiteList)) {
        return KillBrowserWindow(*spBrowser, url);
    }
    return S_OK;
}

void CBrowserScanner::WatchBrowserEvents(bool bWatch) {
    m_bWatching = bWatch && m_spBrowserWindows;
    if (m_spBrowserWindows) {
        m_spBrowserWindows->WatchEvents(bWatch);
    }
}

int CBrowserScanner::GetBrowserEventHandle() const {
    return m_spBrowserWindows ? m_spBrowserWindows->GetEventHandle() : -1;
}

std::optional<std::chrono::milliseconds> CBrowserScanner::TakeBrowserEvents() {
    if (!m_spBrowserWindows) {
        return std::nullopt;
    }
    std::vector<std::unique_ptr<IBrowserItem>> announced;
    const HRESULT hr = m_spBrowserWindows->TakeEvents(&announced);
    // Each is judged on its own: one that cannot be closed now is left to the passes, and
    // keeps none of the others waiting.
    for (const auto& spItem : announced) {
        if (m_bWatching && spItem) {
            JudgeItem(*spItem);
        }
    }
    if (hr != S_OK) {
        return std::nullopt;
    }
    const auto since = std::chrono::steady_clock::now() - m_lastPassEnd;
    return std::clamp(std::chrono::ceil<std::chrono::milliseconds>(kEventPassGap - since),
                      std::chrono::milliseconds(0), kEventPassGap);
}

HRESULT CBrowserScanner::KillBrowserWindow(IBrowserWindow& browser, const std::string& url) {
    const HRESULT hr = browser.Quit();
    if (FAILED(hr)) {
        return hr;
    }
    m_report.AddLog(url);
    m_report.SignalKill();
    return S_OK;
}
