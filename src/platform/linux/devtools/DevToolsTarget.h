#pragma once

#include <string>

#include <nlohmann/json_fwd.hpp>

// What the browser says of one of its targets.
struct SDevToolsTarget {
    std::string strId;
    std::string strType;     // "page", "browser_ui", "service_worker", ...
    std::string strSubtype;  // e.g. "prerender"; empty for an ordinary page
    std::string strUrl;
    std::string strOpenerId;  // the page that opened it, if any
    bool bCanAccessOpener = false;

    // A window the user sees, as opposed to browser UI, workers or prerendered pages.
    bool IsWindow() const { return strType == "page" && strSubtype.empty(); }
};

// Reads a target's description (a TargetInfo); false when it is malformed.
bool ParseDevToolsTarget(const nlohmann::json& info, SDevToolsTarget* target);

// Reads the string `key` of `object`: false when it is not a string, or missing unless
// `bOptional`.
bool ReadJsonString(const nlohmann::json& object, const char* key, std::string* value,
                    bool bOptional);
