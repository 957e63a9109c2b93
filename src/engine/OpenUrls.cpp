#include "engine/OpenUrls.h"

#include <memory>
#include <string_view>

#include "platform/BrowserWindows.h"

namespace {

// Folder windows of the file manager show addresses of this scheme; they are no web pages
// to list. Compared over its four letters, letter case significant.
constexpr std::string_view kSkippedPrefix = "file";

}  // namespace

std::optional<std::vector<std::string>> ReadOpenUrls(IBrowserWindows* pWindows) {
    long nCount = 0;
    if (pWindows == nullptr || FAILED(pWindows->GetCount(&nCount))) {
        return std::nullopt;
    }
    std::vector<std::string> urls;
    for (long i = 0; i < nCount; ++i) {
        std::unique_ptr<IBrowserItem> spItem;
        if (FAILED(pWindows->Item(i, &spItem))) {
            break;
        }
        // An item that is no browser window (a worker of a page, a window still waiting
        // for its first address) is passed over: the windows after it are still listed.
        if (!spItem) {
            continue;
        }
        std::unique_ptr<IBrowserWindow> spBrowser;
        const HRESULT hr = spItem->QueryBrowser(&spBrowser);
        if (hr == E_NOINTERFACE) {
            continue;
        }
        if (FAILED(hr) || !spBrowser) {
            break;
        }
        std::string url;
        spBrowser->GetLocationUrl(&url);
        if (url.compare(0, kSkippedPrefix.size(), kSkippedPrefix) != 0) {
            urls.push_back(std::move(url));
        }
    }
    return urls;
}
