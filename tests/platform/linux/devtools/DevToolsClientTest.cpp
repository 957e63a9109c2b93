#include "platform/linux/devtools/DevToolsClient.h"

#include <gtest/gtest.h>

#include <poll.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include "support/FakeDevToolsServer.h"

using namespace std::chrono_literals;
using nlohmann::json;
using SFrame = CFakeDevToolsServer::SFrame;

namespace {

constexpr auto kTimeout = 300ms;
constexpr std::size_t kMaxMessage = std::size_t{64} * 1024;

std::string Id(const json& request) {
    return request.at("id").dump();
}

struct SHostileCase {
    const char* name;
    std::function<std::vector<SFrame>(const json& request)> answer;
    HRESULT expected;
    bool bStaysConnected;
};

void PrintTo(const SHostileCase& c, std::ostream* os) {
    *os << c.name;
}

class HostileAnswer : public testing::TestWithParam<SHostileCase> {};

TEST_P(HostileAnswer, FailsTheCallWithoutHarm) {
    CFakeDevToolsServer server(GetParam().answer);
    CDevToolsClient client(kTimeout, kMaxMessage);
    ASSERT_EQ(client.Connect(server.Endpoint()), S_OK);
    json result = "untouched";

    EXPECT_EQ(client.Call("Target.getTargets", json::object(), &result), GetParam().expected);

    EXPECT_EQ(result, "untouched");
    EXPECT_EQ(client.IsConnected(), GetParam().bStaysConnected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HostileAnswer,
    testing::Values(
        SHostileCase{"NotJson", [](const json&) { return std::vector<SFrame>{{"{id: 1,"}}; },
                     E_FAIL, false},
        SHostileCase{"NotAnObject", [](const json&) { return std::vector<SFrame>{{"[1,2]"}}; },
                     E_FAIL, false},
        SHostileCase{"IdNeverAsked",
                     [](const json&) { return std::vector<SFrame>{{R"({"id":999,"result":{}})"}}; },
                     E_FAIL, false},
        SHostileCase{"IdAsText",
                     [](const json& r) {
                         return std::vector<SFrame>{{R"({"id":")" + Id(r) + R"(","result":{}})"}};
                     },
                     E_FAIL, false},
        SHostileCase{"NegativeId",
                     [](const json&) { return std::vector<SFrame>{{R"({"id":-1,"result":{}})"}}; },
                     E_FAIL, false},
        SHostileCase{
            "BinaryFrame",
            [](const json& r) {
                return std::vector<SFrame>{{R"({"id":)" + Id(r) + R"(,"result":{}})", true}};
            },
            E_FAIL, false},
        SHostileCase{"InvalidUtf8",
                     [](const json& r) {
                         return std::vector<SFrame>{
                             {R"({"id":)" + Id(r) + R"(,"result":{"url":"\xff\xfe"}})"}};
                     },
                     E_FAIL, false},
        SHostileCase{"OverTheSizeLimit",
                     [](const json& r) {
                         return std::vector<SFrame>{CFakeDevToolsServer::Result(
                             r, {{"url", std::string(2 * kMaxMessage, 'a')}})};
                     },
                     E_FAIL, false},
        SHostileCase{"ResultNotAnObject",
                     [](const json& r) {
                         return std::vector<SFrame>{{R"({"id":)" + Id(r) + R"(,"result":"x"})"}};
                     },
                     E_FAIL, false},
        SHostileCase{"EventWithoutMethod",
                     [](const json&) { return std::vector<SFrame>{{R"({"params":{}})"}}; }, E_FAIL,
                     false},
        SHostileCase{"EventParamsNotAnObject",
                     [](const json&) {
                         return std::vector<SFrame>{{R"({"method":"Target.x","params":[1]})"}};
                     },
                     E_FAIL, false},
        SHostileCase{"EventSessionNotText",
                     [](const json&) {
                         return std::vector<SFrame>{
                             {R"({"method":"Target.x","params":{},"sessionId":5})"}};
                     },
                     E_FAIL, false},
        SHostileCase{"ErrorAnswer",
                     [](const json& r) {
                         return std::vector<SFrame>{
                             {R"({"id":)" + Id(r) + R"(,"error":{"code":-32000,"message":"no"}})"}};
                     },
                     E_FAIL, true},
        SHostileCase{"Silence", [](const json&) { return std::vector<SFrame>{}; }, E_TIMEOUT,
                     true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DevToolsClient, AnswersSkipEventsAndCarryLargeStringsWhole) {
    const std::string huge(kMaxMessage / 2, 'u');
    CFakeDevToolsServer server([&huge](const json& request) {
        return std::vector<SFrame>{
            {R"({"method":"Target.targetCreated","params":{}})"},
            CFakeDevToolsServer::Result(request, {{"echo", request["params"]}, {"huge", huge}})};
    });
    CDevToolsClient client(kTimeout, kMaxMessage);
    ASSERT_EQ(client.Connect(server.Endpoint()), S_OK);
    json result;

    ASSERT_EQ(client.Call("Target.closeTarget", {{"targetId", "A"}}, &result, "S1"), S_OK);

    EXPECT_EQ(result["echo"], json({{"targetId", "A"}}));
    EXPECT_EQ(result["huge"], huge);
    EXPECT_EQ(client.GetRoundTrips(), 1U);
    EXPECT_EQ(server.Methods(), std::vector<std::string>{"Target.closeTarget"});
}

// Events read with an answer go to the handler during the call; those sent after it, at
// the next Poll, whether they were read with the answer or arrive later on the socket.
TEST(DevToolsClient, EventsReachTheHandlerDuringCallsAndByPoll) {
    CFakeDevToolsServer server([](const json& request) {
        return std::vector<SFrame>{{R"({"method":"Before","params":{"n":1},"sessionId":"S"})"},
                                   CFakeDevToolsServer::Result(request, json::object()),
                                   {R"({"method":"After"})"}};
    });
    CDevToolsClient client(kTimeout, kMaxMessage);
    ASSERT_EQ(client.Poll(), E_FAIL) << "not connected";
    EXPECT_EQ(client.GetNativeHandle(), -1);
    std::vector<std::string> events;
    client.SetEventHandler(
        [&events](const std::string& method, const json& params, const std::string& session) {
            events.push_back(method + params.dump() + session);
        });
    ASSERT_EQ(client.Connect(server.Endpoint()), S_OK);
    json result;

    ASSERT_EQ(client.Call("Target.getTargets", json::object(), &result), S_OK);
    EXPECT_EQ(events, std::vector<std::string>{R"(Before{"n":1}S)"});
    for (int tries = 0; events.size() < 2 && tries < 500; ++tries) {
        pollfd readable{client.GetNativeHandle(), POLLIN, 0};
        ::poll(&readable, 1, 10);
        ASSERT_EQ(client.Poll(), S_OK);
    }

    EXPECT_EQ(events, (std::vector<std::string>{R"(Before{"n":1}S)", "After{}"}));
}

TEST(DevToolsClient, LateAnswerIsDroppedAndTheNextCallWorks) {
    int calls = 0;
    json late;
    CFakeDevToolsServer server([&](const json& request) {
        // The first request is answered only together with the second.
        if (++calls == 1) {
            late = request;
            return std::vector<SFrame>{};
        }
        return std::vector<SFrame>{CFakeDevToolsServer::Result(late, {{"which", "first"}}),
                                   CFakeDevToolsServer::Result(request, {{"which", "second"}})};
    });
    CDevToolsClient client(kTimeout, kMaxMessage);
    ASSERT_EQ(client.Connect(server.Endpoint()), S_OK);
    json result;

    EXPECT_EQ(client.Call("A", json::object(), &result), E_TIMEOUT);
    ASSERT_EQ(client.Call("B", json::object(), &result), S_OK);

    EXPECT_EQ(result["which"], "second");
}

TEST(DevToolsClient, HttpEndpointIsResolvedThroughJsonVersion) {
    CFakeDevToolsServer server([](const json& request) {
        return std::vector<SFrame>{CFakeDevToolsServer::Result(request, json::object())};
    });
    CDevToolsClient client(kTimeout, kMaxMessage);

    ASSERT_EQ(client.Connect(server.HttpEndpoint()), S_OK);

    EXPECT_EQ(client.GetWebSocketUrl(), server.Endpoint().Url());
    json result;
    EXPECT_EQ(client.Call("Browser.getVersion", json::object(), &result), S_OK);
}

TEST(DevToolsClient, JsonVersionNamingAnotherHostOrNothingIsRefused) {
    CFakeDevToolsServer server([](const json&) { return std::vector<SFrame>{}; });
    CDevToolsClient client(kTimeout, kMaxMessage);
    for (const char* answer :
         {R"({"webSocketDebuggerUrl":"ws://203.0.113.9:9222/devtools/browser/x"})",
          R"({"webSocketDebuggerUrl":7})", R"({"Browser":"x"})", "not json", ""}) {
        SCOPED_TRACE(answer);
        server.SetVersionAnswer(answer);
        EXPECT_EQ(client.Connect(server.HttpEndpoint()), E_FAIL);
        EXPECT_FALSE(client.IsConnected());
    }
}

TEST(DevToolsClient, PeerThatNeverShakesHandsTimesOut) {
    CFakeDevToolsServer server([](const json&) { return std::vector<SFrame>{}; }, false);
    CDevToolsClient client(kTimeout, kMaxMessage);
    EXPECT_EQ(client.Connect(server.Endpoint()), E_TIMEOUT);
    EXPECT_EQ(client.Connect(server.HttpEndpoint()), E_TIMEOUT);
    EXPECT_FALSE(client.IsConnected());
}

TEST(DevToolsClient, ClosedPortIsRefused) {
    boost::asio::io_context ioc;
    boost::asio::ip::tcp::acceptor acceptor(ioc, {boost::asio::ip::make_address("127.0.0.1"), 0});
    const std::uint16_t port = acceptor.local_endpoint().port();
    acceptor.close();
    CDevToolsClient client(kTimeout, kMaxMessage);
    EXPECT_EQ(client.Connect({"127.0.0.1", port, "/devtools/browser/x"}), E_FAIL);
    json result;
    EXPECT_EQ(client.Call("Target.getTargets", json::object(), &result), E_FAIL);
}

}  // namespace
