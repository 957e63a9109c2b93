#include "platform/linux/bridge/MessageStream.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "support/FramedPeer.h"

namespace {

using EState = CMessageReader::EState;
using Strings = std::vector<std::string>;

std::string Big(std::size_t size) {
    std::string text = R"({"u":")";
    text.append(size - text.size() - 2, 'x');
    return text + R"("})";
}

// Whatever the peer sends, the good messages before a bad one come out, and nothing after it;
// however the bytes are split, the outcome is the same. The length alone condemns a stream:
// no megabytes are waited for.
TEST(MessageReader, CutsTheStreamIntoMessagesAndBreaksOnTheFirstBadOne) {
    const std::string good = R"({"type":"tab","url":"h\u00e9"})";
    const struct {
        const char* name;
        std::string bytes;
        Strings messages;  // taken before the state
        EState state;
    } cases[] = {
        {"two", FrameMessage(good) + FrameMessage("{}"), {good, "{}"}, EState::Open},
        {"partial", FrameMessage(good) + FrameMessage(good).substr(0, 7), {good}, EState::Open},
        {"at limit", FrameMessage(Big(kMaxMessageSize)), {Big(kMaxMessageSize)}, EState::Open},
        {"past limit",
         FrameMessage("{}") + FrameLength(kMaxMessageSize + 1),
         {"{}"},
         EState::Broken},
        {"huge length", FrameLength(0xFFFFFFFFU) + "{}", {}, EState::Broken},
        {"bad UTF-8",
         FrameMessage("{}") + FrameMessage("{\"u\":\"\xC3\x28\"}") + FrameMessage("{}"),
         {"{}"},
         EState::Broken},
        {"overlong UTF-8", FrameMessage("{\"u\":\"\xC0\xAF\"}"), {}, EState::Broken},
        {"not JSON", FrameMessage("{type: tab}"), {}, EState::Broken},
        {"trailing bytes", FrameMessage("{} x"), {}, EState::Broken},
        {"array", FrameMessage("[1]"), {}, EState::Broken},
        {"empty", FrameLength(0), {}, EState::Broken},
        {"NUL", FrameMessage(std::string("{}\0", 3)), {}, EState::Broken},
        {"NUL in string", FrameMessage(std::string("{\"u\":\"\0\"}", 9)), {}, EState::Broken},
    };
    for (const auto& c : cases) {
        for (std::size_t nChunk : {c.bytes.size() + 1, std::size_t{1}, std::size_t{3}}) {
            SCOPED_TRACE(std::string(c.name) + ", chunks of " + std::to_string(nChunk));
            CMessageReader reader;
            Strings messages;
            EState state = EState::Open;
            for (std::size_t i = 0; i < c.bytes.size(); i += nChunk) {
                state = reader.Feed(std::string_view(c.bytes).substr(i, nChunk), &messages);
            }
            EXPECT_EQ(messages, c.messages);
            EXPECT_EQ(state, c.state);
        }
    }
}

// A stream that ends between two messages is closed; one that ends inside a message is
// broken, and so is one that cannot be read. A message too long to send is not framed.
TEST(MessageReader, TellsAnEndBetweenMessagesFromAnEndInsideOne) {
    for (const auto& [tail, expected] : {std::pair{std::string(), EState::Closed},
                                         std::pair{FrameLength(10) + "{", EState::Broken}}) {
        auto [reading, writing] = SocketPair();
        const std::string bytes = FrameMessage("{}") + tail;
        ASSERT_EQ(::write(writing.Get(), bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
        writing.Reset();
        CMessageReader reader;
        Strings messages;
        EState state = EState::Open;
        while (state == EState::Open) {
            state = reader.ReadFrom(reading.Get(), &messages);
        }
        EXPECT_EQ(state, expected);
        EXPECT_EQ(messages, Strings{"{}"});
    }
    CMessageReader reader;
    Strings messages;
    EXPECT_EQ(reader.ReadFrom(-1, &messages), EState::Broken);
    EXPECT_EQ(FrameMessage(Big(kMaxMessageSize + 1)), "");
}

}  // namespace
