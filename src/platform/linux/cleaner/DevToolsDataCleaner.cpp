#include "platform/linux/cleaner/DevToolsDataCleaner.h"

#include <string>

#include "platform/linux/devtools/DevToolsDiscovery.h"

using nlohmann::json;

CDevToolsDataCleaner::CDevToolsDataCleaner(std::chrono::milliseconds timeout) : m_Client(timeout) {}

bool CDevToolsDataCleaner::Connect(const std::filesystem::path& userDataDir) {
    const auto endpoint =
        CDevToolsDiscovery::ReadPortFile(userDataDir / CDevToolsDiscovery::kPortFileName);
    return endpoint && SUCCEEDED(m_Client.Connect(*endpoint));
}

HRESULT CDevToolsDataCleaner::ClearCookies() {
    json result;
    return m_Client.Call("Storage.clearCookies", json::object(), &result);
}

HRESULT CDevToolsDataCleaner::ClearCache() {
    json targets;
    if (HRESULT hr = m_Client.Call("Target.getTargets", json::object(), &targets); FAILED(hr)) {
        return hr;
    }
    auto infos = targets.find("targetInfos");
    if (infos == targets.end() || !infos->is_array()) {
        return E_FAIL;
    }
    for (const json& info : *infos) {
        if (!info.is_object() || info.value("type", json()) != "page" ||
            !info.value("targetId", json()).is_string()) {
            continue;
        }
        return WithTargetSession(
            [this](std::string_view method, const json& params, json* result) {
                return m_Client.Call(method, params, result);
            },
            info["targetId"].get<std::string>(),
            [this](const std::string& strSessionId) {
                json ignored;
                return m_Client.Call("Network.clearBrowserCache", json::object(), &ignored,
                                     strSessionId);
            });
    }
    return E_FAIL;
}
