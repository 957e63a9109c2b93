#include <gtest/gtest.h>

#include "platform/linux/cleaner/ExtensionDataCleaner.h"
#include "support/PlayedExtensions.h"
#include "support/WaitUntil.h"

namespace {

using nlohmann::json;
using Reply = CPlayedExtensions::Reply;

// Answers to the request, each with its fields and the request's id plus an offset.
Reply Answers(const std::vector<std::pair<int, json>>& answers) {
    return [answers](const json& request) {
        std::vector<json> messages;
        for (const auto& [nOffset, fields] : answers) {
            messages.push_back(fields);
            messages.back()["type"] = "answer";
            messages.back()["id"] = request.at("id").get<int>() + nOffset;
        }
        return messages;
    };
}

// Only a plain "done" to the request, from the browser asked, counts as cleaned; every other
// answer, or none, is a failure, and ends the call by its timeout at the latest.
TEST(ExtensionDataCleaner, OnlyTheBrowsersYesCounts) {
    // Long enough for any answer that comes; short where none is to come.
    constexpr std::chrono::milliseconds kLong = kWaitLimit;
    constexpr std::chrono::milliseconds kShort{200};
    const json done = {{"done", true}};
    const struct {
        const char* name;
        Reply reply;
        std::chrono::milliseconds timeout;
        HRESULT hr;
    } cases[] = {
        {"done", Answers({{0, done}}), kLong, S_OK},
        {"done after an answer to something else and a message not known",
         [&](const json& request) {
             std::vector<json> messages = *Answers({{100, {{"done", false}}}, {0, done}})(request);
             messages.insert(messages.begin() + 1, json{{"type", "news"}});
             return messages;
         },
         kLong, S_OK},
        {"failed with the browser's error",
         Answers({{0, {{"done", false}, {"error", "not allowed"}}}}), kLong, E_FAIL},
        {"failed, then done too late", Answers({{0, {{"done", false}}}, {0, done}}), kLong, E_FAIL},
        {"done in words", Answers({{0, {{"done", "true"}}}}), kLong, E_FAIL},
        {"no word on it", Answers({{0, json::object()}}), kLong, E_FAIL},
        {"an answer without an id breaks the connection",
         [](const json&) {
             return std::vector<json>{{{"type", "answer"}, {"done", true}}};
         },
         kLong, E_FAIL},
        {"the extension goes", [](const json&) { return std::optional<std::vector<json>>(); },
         kLong, E_FAIL},
        {"silence", Answers({}), kShort, E_FAIL},
        {"an answer to another id", Answers({{1, done}}), kShort, E_FAIL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CPlayedExtensions extensions;
        // Another browser answers every request it sees, and it is never asked.
        extensions.Connect(7, "other", Answers({{0, done}}));
        const std::uint64_t nKey = extensions.Connect(42, "asked", c.reply);
        EXPECT_EQ(extensions.Serve<HRESULT>([&] {
            return CExtensionDataCleaner(*extensions.Requests(), nKey, c.timeout)
                .Clear(CExtensionDataCleaner::EData::History);
        }),
                  c.hr);
        EXPECT_EQ(extensions.Received().size(), 1U);
        for (const json& request : extensions.Received()) {
            EXPECT_EQ(request.value("type", ""), "clean");
            EXPECT_EQ(request.value("data", ""), "history");
        }
    }
}

}  // namespace
