#include "platform/linux/cleaner/ExtensionDataCleaner.h"

#include <gtest/gtest.h>

#include "support/PlayedExtensions.h"
#include "support/WaitUntil.h"

namespace {

using nlohmann::json;
using EData = CExtensionDataCleaner::EData;
using Reply = CPlayedExtensions::Reply;

// Long enough for any answer that comes; short where none is to come.
constexpr std::chrono::milliseconds kLong = kWaitLimit;
constexpr std::chrono::milliseconds kShort{200};

json Answer(const json& request, json fields) {
    fields["type"] = "answer";
    fields["id"] = request.at("id");
    return fields;
}

struct SCase {
    const char* name;
    Reply reply;
    std::chrono::milliseconds timeout;
    HRESULT hr;
};

void PrintTo(const SCase& c, std::ostream* out) {
    *out << c.name;
}

class ExtensionDataCleanerAnswers : public testing::TestWithParam<SCase> {};

// Only a plain "done" to the request, from the browser asked, counts as cleaned; every other
// answer, or none, is a failure, and ends the call by its timeout at the latest.
TEST_P(ExtensionDataCleanerAnswers, OnlyTheBrowsersYesCounts) {
    CPlayedExtensions extensions;
    // Another browser answers every request it sees, and it is never asked.
    extensions.Connect(7, "other", [](const json& request) {
        return std::vector<json>{Answer(request, {{"done", true}})};
    });
    const std::uint64_t nKey = extensions.Connect(42, "asked", GetParam().reply);
    const HRESULT hr = extensions.Serve<HRESULT>([&] {
        return CExtensionDataCleaner(*extensions.Requests(), nKey, GetParam().timeout)
            .Clear(EData::History);
    });
    EXPECT_EQ(hr, GetParam().hr);
    ASSERT_EQ(extensions.Received().size(), 1U);
    EXPECT_EQ(extensions.Received()[0].value("type", ""), "clean");
    EXPECT_EQ(extensions.Received()[0].value("data", ""), "history");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExtensionDataCleanerAnswers,
    testing::Values(
        SCase{"done",
              [](const json& request) {
                  return std::vector<json>{Answer(request, {{"done", true}})};
              },
              kLong, S_OK},
        SCase{"done after an answer to something else and a message not known",
              [](const json& request) {
                  return std::vector<json>{
                      Answer({{"id", request.at("id").get<int>() + 100}}, {{"done", false}}),
                      {{"type", "news"}},
                      Answer(request, {{"done", true}})};
              },
              kLong, S_OK},
        SCase{"failed with the browser's error",
              [](const json& request) {
                  return std::vector<json>{
                      Answer(request, {{"done", false}, {"error", "not allowed"}})};
              },
              kLong, E_FAIL},
        SCase{"failed, then done too late",
              [](const json& request) {
                  return std::vector<json>{Answer(request, {{"done", false}}),
                                           Answer(request, {{"done", true}})};
              },
              kLong, E_FAIL},
        SCase{"done in words",
              [](const json& request) {
                  return std::vector<json>{Answer(request, {{"done", "true"}})};
              },
              kLong, E_FAIL},
        SCase{"no word on it",
              [](const json& request) { return std::vector<json>{Answer(request, {})}; }, kLong,
              E_FAIL},
        SCase{"an answer without an id breaks the connection",
              [](const json&) {
                  return std::vector<json>{{{"type", "answer"}, {"done", true}}};
              },
              kLong, E_FAIL},
        SCase{"the extension goes", [](const json&) { return std::optional<std::vector<json>>(); },
              kLong, E_FAIL},
        SCase{"silence", [](const json&) { return std::vector<json>{}; }, kShort, E_FAIL},
        SCase{"an answer to another id",
              [](const json& request) {
                  return std::vector<json>{
                      Answer({{"id", request.at("id").get<int>() + 1}}, {{"done", true}})};
              },
              kShort, E_FAIL}));

}  // namespace
