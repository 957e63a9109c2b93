#include "platform/linux/cleaner/ExtensionDataCleaner.h"

#include <nlohmann/json.hpp>

#include "platform/linux/bridge/ExtensionRequests.h"

namespace {

const char* DataName(CExtensionDataCleaner::EData data) {
    switch (data) {
        case CExtensionDataCleaner::EData::Cookies:
            return "cookies";
        case CExtensionDataCleaner::EData::Cache:
            return "cache";
        case CExtensionDataCleaner::EData::History:
            return "history";
        case CExtensionDataCleaner::EData::Favorites:
            break;
    }
    return "favorites";
}

}  // namespace

CExtensionDataCleaner::CExtensionDataCleaner(CExtensionRequests& requests, std::uint64_t nKey,
                                             std::chrono::milliseconds timeout)
    : m_Requests(requests), m_nKey(nKey), m_timeout(timeout) {}

HRESULT CExtensionDataCleaner::Clear(EData data) {
    const std::optional<nlohmann::json> answer =
        m_Requests.Ask(m_nKey, {{"type", "clean"}, {"data", DataName(data)}}, m_timeout);
    // Only a plain yes counts: anything else may have left the data where it was.
    return answer && answer->value("done", nlohmann::json()) == true ? S_OK : E_FAIL;
}
