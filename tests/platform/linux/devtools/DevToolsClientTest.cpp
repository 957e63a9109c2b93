#include "platform/linux/devtools/DevToolsClient.h"

#include "support/LoopbackServer.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using nlohmann::json;
using SFrame = CLoopbackServer::SFrame;
using Frames = std::vector<SFrame>;

namespace {

constexpr auto kTimeout = 300ms;
constexpr std::size_t kMaxMessage = std::size_t{64} * 1024;

// An answer to the request `r` with `rest` after its id.
SFrame Reply(const json& r, const std::string& rest) {
    return {R"({"id":)" + r.at("id").dump() + rest};
}

// Every malformed or hostile answer fails the call and leaves the result alone; only an
// error answer or silence keeps the connection.
TEST(DevToolsClient, AHostileAnswerFailsTheCallWithoutHarm) {
    const struct {
        const char* name;
        std::function<Frames(const json&)> answer;
        HRESULT hrExpected;
        bool bStaysConnected;
    } cases[] = {
        {"not JSON", [](const json&) { return Frames{{"{id: 1,"}}; }, E_FAIL, false},
        {"not an object", [](const json&) { return Frames{{"[1,2]"}}; }, E_FAIL, false},
        {"id never asked", [](const json&) { return Frames{{R"({"id":999,"result":{}})"}}; },
         E_FAIL, false},
        {"id as text",
         [](const json& r) {
             return Frames{{R"({"id":")" + r["id"].dump() + R"(","result":{}})"}};
         },
         E_FAIL, false},
        {"negative id", [](const json&) { return Frames{{R"({"id":-1,"result":{}})"}}; }, E_FAIL,
         false},
        {"binary frame",
         [](const json& r) {
             return Frames{{Reply(r, R"(,"result":{}})").text, true}};
         },
         E_FAIL, false},
        {"invalid UTF-8",
         [](const json& r) { return Frames{Reply(r, R"(,"result":{"url":"\xff\xfe"}})")}; }, E_FAIL,
         false},
        {"over the size limit",
         [](const json& r) {
             return Frames{
                 CLoopbackServer::Result(r, {{"url", std::string(2 * kMaxMessage, 'a')}})};
         },
         E_FAIL, false},
        {"result not an object",
         [](const json& r) { return Frames{Reply(r, R"(,"result":"x"})")}; }, E_FAIL, false},
        {"event without method", [](const json&) { return Frames{{R"({"params":{}})"}}; }, E_FAIL,
         false},
        {"event params not an object",
         [](const json&) { return Frames{{R"({"method":"Target.x","params":[1]})"}}; }, E_FAIL,
         false},
        {"event session not text",
         [](const json&) { return Frames{{R"({"method":"Target.x","params":{},"sessionId":5})"}}; },
         E_FAIL, false},
        {"error answer",
         [](const json& r) {
             return Frames{Reply(r, R"(,"error":{"code":-32000,"message":"no"}})")};
         },
         E_FAIL, true},
        {"silence", [](const json&) { return Frames{}; }, E_TIMEOUT, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CLoopbackServer server(c.answer);
        CDevToolsClient client(kTimeout, kMaxMessage);
        ASSERT_EQ(client.Connect(server.Endpoint()), S_OK);
        json result = "untouched";
        EXPECT_EQ(client.Call("Target.getTargets", json::object(), &result), c.hrExpected);
        EXPECT_EQ(result, "untouched");
        EXPECT_EQ(client.IsConnected(), c.bStaysConnected);
    }
}

// Events before the answer go to the event handler, not to the call; large strings come
// whole, and an answer that comes after its call timed out is dropped without spoiling the
// next call.
TEST(DevToolsClient, AnswersSkipEventsAndLateAnswersAreDropped) {
    const std::string huge(kMaxMessage / 2, 'u');
    json late;
    CLoopbackServer server([&](const json& request) {
        if (request["method"] == "Late") {
            late = request;
            return Frames{};
        }
        Frames frames{{R"({"method":"Target.targetCreated","params":{}})"}};
        if (!late.is_null()) {
            frames.push_back(CLoopbackServer::Result(late, {{"which", "late"}}));
        }
        frames.push_back(
            CLoopbackServer::Result(request, {{"echo", request["params"]}, {"huge", huge}}));
        return frames;
    });
    CDevToolsClient client(kTimeout, kMaxMessage);
    EXPECT_EQ(client.Poll(), E_FAIL) << "not connected";
    int nEvents = 0;
    client.SetEventHandler(
        [&nEvents](const std::string&, const json&, const std::string&) { ++nEvents; });
    ASSERT_EQ(client.Connect(server.Endpoint()), S_OK);
    json result;
    ASSERT_EQ(client.Call("Target.closeTarget", {{"targetId", "A"}}, &result, "S1"), S_OK);
    EXPECT_EQ(nEvents, 1) << "handed on during the call";
    EXPECT_EQ(result["echo"], json({{"targetId", "A"}}));
    EXPECT_EQ(result["huge"], huge);
    EXPECT_EQ(client.GetRoundTrips(), 1U);

    EXPECT_EQ(client.Call("Late", json::object(), &result), E_TIMEOUT);
    ASSERT_EQ(client.Call("Next", {{"n", 2}}, &result), S_OK);
    EXPECT_EQ(result["echo"], json({{"n", 2}}));
    EXPECT_EQ(server.Methods(), (std::vector<std::string>{"Target.closeTarget", "Late", "Next"}));
}

// An http:// endpoint is resolved through /json/version, which must name a WebSocket on
// the loopback interface.
TEST(DevToolsClient, AnHttpEndpointIsResolvedThroughJsonVersion) {
    CLoopbackServer server([](const json& request) {
        return Frames{CLoopbackServer::Result(request, json::object())};
    });
    CDevToolsClient client(kTimeout, kMaxMessage);
    ASSERT_EQ(client.Connect(server.HttpEndpoint()), S_OK);
    EXPECT_EQ(client.GetWebSocketUrl(), server.Endpoint().Url());
    json result;
    EXPECT_EQ(client.Call("Browser.getVersion", json::object(), &result), S_OK);

    for (const char* answer :
         {R"({"webSocketDebuggerUrl":"ws://203.0.113.9:9222/devtools/browser/x"})",
          R"({"webSocketDebuggerUrl":7})", R"({"Browser":"x"})", "not json", ""}) {
        SCOPED_TRACE(answer);
        server.SetPage("/json/version", answer);
        EXPECT_EQ(client.Connect(server.HttpEndpoint()), E_FAIL);
        EXPECT_FALSE(client.IsConnected());
    }
}

// A peer that takes the connection and says nothing times out; a closed port is refused.
TEST(DevToolsClient, ASilentPeerTimesOutAndAClosedPortIsRefused) {
    std::uint16_t nPort = 0;
    {
        CLoopbackServer server({}, false);
        CDevToolsClient client(kTimeout, kMaxMessage);
        EXPECT_EQ(client.Connect(server.Endpoint()), E_TIMEOUT);
        EXPECT_EQ(client.Connect(server.HttpEndpoint()), E_TIMEOUT);
        EXPECT_FALSE(client.IsConnected());
        nPort = server.Endpoint().nPort;
    }
    CDevToolsClient client(kTimeout, kMaxMessage);
    EXPECT_EQ(client.Connect({"127.0.0.1", nPort, "/devtools/browser/x"}), E_FAIL);
    json result;
    EXPECT_EQ(client.Call("Target.getTargets", json::object(), &result), E_FAIL);
}

}  // namespace
