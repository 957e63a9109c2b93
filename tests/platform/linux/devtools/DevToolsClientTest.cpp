#include "platform/linux/devtools/DevToolsClient.h"

#include <gtest/gtest.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include "support/LoopbackServer.h"

using namespace std::chrono_literals;
using nlohmann::json;
using SFrame = CLoopbackServer::SFrame;

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
    CLoopbackServer server(GetParam().answer);
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
                         return std::vector<SFrame>{CLoopbackServer::Result(
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
    CLoopbackServer server([&huge](const json& request) {
        return std::vector<SFrame>{
            {R"({"method":"Target.targetCreated","params":{}})"},
            CLoopbackServer::Result(request, {{"echo", request["params"]}, {"huge", huge}})};
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

TEST(DevToolsClient, LateAnswerIsDroppedAndTheNextCallWorks) {
    int calls = 0;
    json late;
    CLoopbackServer server([&](const json& request) {
        // The first request is answered only together with the second.
        if (++calls == 1) {
            late = request;
            return std::vector<SFrame>{};
        }
        return std::vector<SFrame>{CLoopbackServer::Result(late, {{"which", "first"}}),
                                   CLoopbackServer::Result(request, {{"which", "second"}})};
    });
    CDevToolsClient client(kTimeout, kMaxMessage);
    ASSERT_EQ(client.Connect(server.Endpoint()), S_OK);
    json result;

    EXPECT_EQ(client.Call("A", json::object(), &result), E_TIMEOUT);
    ASSERT_EQ(client.Call("B", json::object(), &result), S_OK);

    EXPECT_EQ(result["which"], "second");
}

TEST(DevToolsClient, HttpEndpointIsResolvedThroughJsonVersion) {
    CLoopbackServer server([](const json& request) {
        return std::vector<SFrame>{CLoopbackServer::Result(request, json::object())};
    });
    CDevToolsClient client(kTimeout, kMaxMessage);

    ASSERT_EQ(client.Connect(server.HttpEndpoint()), S_OK);

    EXPECT_EQ(client.GetWebSocketUrl(), server.Endpoint().Url());
    json result;
    EXPECT_EQ(client.Call("Browser.getVersion", json::object(), &result), S_OK);
}

TEST(DevToolsClient, JsonVersionNamingAnotherHostOrNothingIsRefused) {
    CLoopbackServer server([](const json&) { return std::vector<SFrame>{}; });
    CDevToolsClient client(kTimeout, kMaxMessage);
    for (const char* answer :
         {R"({"webSocketDebuggerUrl":"ws://203.0.113.9:9222/devtools/browser/x"})",
          R"({"webSocketDebuggerUrl":7})", R"({"Browser":"x"})", "not json", ""}) {
        SCOPED_TRACE(answer);
        server.SetPage("/json/version", answer);
        EXPECT_EQ(client.Connect(server.HttpEndpoint()), E_FAIL);
        EXPECT_FALSE(client.IsConnected());
    }
}

TEST(DevToolsClient, PeerThatNeverShakesHandsTimesOut) {
    CLoopbackServer server([](const json&) { return std::vector<SFrame>{}; }, false);
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
