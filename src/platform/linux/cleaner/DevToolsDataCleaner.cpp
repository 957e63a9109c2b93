#include "platform/linux/cleaner/DevToolsDataCleaner.h"

#include "platform/linux/devtools/DevToolsDiscovery.h"

#include <string>

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
        json attached;
        if (HRESULT hr = m_Client.Call(
                "Target.attachToTarget",
                {{"targetId", info["targetId"].get<std::string>()}, {"flatten", true}}, &attached);
            FAILED(hr)) {
            return hr;
        }
        auto session = attached.find("sessionId");
        if (session == attached.end() || !session->is_string()) {
            return E_FAIL;
        }
        const std::string strSessionId = session->get<std::string>();
        json ignored;
        const HRESULT hr =
            m_Client.Call("Network.clearBrowserCache", json::object(), &ignored, strSessionId);
        m_Client.Call("Target.detachFromTarget", {{"sessionId", strSessionId}}, &ignored);
        return hr;
    }
    return E_FAIL;
}
