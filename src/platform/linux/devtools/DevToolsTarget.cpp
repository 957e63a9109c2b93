#include "platform/linux/devtools/DevToolsTarget.h"

#include <nlohmann/json.hpp>

bool ReadJsonString(const nlohmann::json& object, const char* key, std::string* value,
                    bool bOptional) {
    auto found = object.find(key);
    if (found == object.end()) {
        return bOptional;
    }
    if (!found->is_string()) {
        return false;
    }
    *value = found->get<std::string>();
    return true;
}

bool ParseDevToolsTarget(const nlohmann::json& info, SDevToolsTarget* target) {
    if (!info.is_object() || !ReadJsonString(info, "targetId", &target->strId, false) ||
        !ReadJsonString(info, "type", &target->strType, false) ||
        !ReadJsonString(info, "url", &target->strUrl, false) ||
        !ReadJsonString(info, "subtype", &target->strSubtype, true) ||
        !ReadJsonString(info, "openerId", &target->strOpenerId, true) || target->strId.empty()) {
        return false;
    }
    auto access = info.find("canAccessOpener");
    if (access != info.end()) {
        if (!access->is_boolean()) {
            return false;
        }
        target->bCanAccessOpener = access->get<bool>();
    }
    return true;
}
