#include "platform/linux/devtools/DevToolsClient.h"

#include <gtest/gtest.h>

#include "support/LoopbackServer.h"

using namespace std::chrono_literals;
using nlohmann::json;
using Frames = std::vector<CLoopbackServer::SFrame>;

namespace {

constexpr auto kTimeout = 300ms;
constexpr std::size_t kMaxMessage = std::size_t{64} * 1024;

// Only an error answer or silence keeps the connection. "ID" stands for the request's id.
TEST(DevToolsClient, AHostileAnswerFailsTheCallWithoutHarm) {
    const std::string huge =
        R"({"id":ID,"result":{"url":")" + std::string(2 * kMaxMessage, 'a') + R"("}})";
    const struct {
        const char* name;
        std::string answer;  // none: silence
        HRESULT hrExpected;
        bool bBinary;
        bool bStaysConnected;
    } cases[] = {
        {"not JSON", "{id: 1,", E_FAIL, false, false},
        {"not an object", "[1,2]", E_FAIL, false, false},
        {"id never asked", R"({"id":999,"result":{}})", E_FAIL, false, false},
        {"id as text", R"({"id":"ID","result":{}})", E_FAIL, false, false},
        {"negative id", R"({"id":-1,"result":{}})", E_FAIL, false, false},
        {"binary frame", R"({"id":ID,"result":{}})", E_FAIL, true, false},
        {"invalid UTF-8", "{\"id\":ID,\"result\":{\"url\":\"\xff\xfe\"}}", E_FAIL, false, false},
        {"over the size limit", huge, E_FAIL, false, false},
        {"result not an object", R"({"id":ID,"result":"x"})", E_FAIL, false, false},
        {"event without method", R"({"params":{}})", E_FAIL, false, false},
        {"event params not an object", R"({"method":"Target.x","params":[1]})", E_FAIL, false,
         false},
        {"event session not text", R"({"method":"Target.x","params":{},"sessionId":5})", E_FAIL,
         false, false},
        {"error answer", R"({"id":ID,"error":{"code":-32000,"message":"no"}})", E_FAIL, false,
         true},
        {"silence", "", E_TIMEOUT, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CLoopbackServer server([&c](const json& request) {
            std::string text = c.answer;
            if (const auto at = text.find("ID"); at != std::string::npos) {
                text.replace(at, 2, request["id"].dump());
            }
            return text.empty() ? Frames{} : Frames{{text, c.bBinary}};
        });
        CDevToolsClient client(kTimeout, kMaxMessage);
        ASSERT_EQ(client.Connect(server.Endpoint()), S_OK);
        json result = "untouched";
        EXPECT_EQ(client.Call("Target.getTargets", json::object(), &result), c.hrExpected);
        EXPECT_EQ(result, "untouched");
        EXPECT_EQ(client.IsConnected(), c.bStaysConnected);
    }
}

// An answer that comes after its call timed out does not spoil the next call.
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

// /json/version must name a WebSocket on the loopback interface.
TEST(DevToolsClient, ConnectsOnlyToALoopbackServiceThatAnswers) {
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

    std::uint16_t nPort = 0;
    {
        // Listening, the system takes the connections, and no one ever answers them.
        boost::asio::io_context ioc;
        const boost::asio::ip::tcp::acceptor silent(
            ioc, {boost::asio::ip::make_address("127.0.0.1"), 0});
        nPort = silent.local_endpoint().port();
        EXPECT_EQ(client.Connect({"127.0.0.1", nPort, "/devtools/browser/x"}), E_TIMEOUT);
        EXPECT_EQ(client.Connect({"127.0.0.1", nPort, ""}), E_TIMEOUT);
        EXPECT_FALSE(client.IsConnected());
    }
    EXPECT_EQ(client.Connect({"127.0.0.1", nPort, "/devtools/browser/x"}), E_FAIL);
    EXPECT_EQ(client.Call("Target.getTargets", json::object(), &result), E_FAIL);
}

}  // namespace
