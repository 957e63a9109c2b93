#include "platform/linux/bridge/MessageStream.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

namespace {

using EState = CMessageReader::EState;
using Strings = std::vector<std::string>;

std::string Length(std::uint32_t length) {
    std::string bytes(sizeof length, '\0');
    std::memcpy(bytes.data(), &length, sizeof length);
    return bytes;
}

struct SStream {
    const char* name;
    std::string bytes;
    Strings messages;  // taken before the state
    EState state;
};

std::string Big(std::size_t size) {
    std::string text = R"({"u":")";
    text.append(size - text.size() - 2, 'x');
    return text + R"("})";
}

void PrintTo(const SStream& stream, std::ostream* out) {
    *out << stream.name;
}

class MessageReaderTable : public testing::TestWithParam<SStream> {};

// Whatever the peer sends, the good messages before a bad one come out, and nothing after it;
// however the bytes are split, the outcome is the same.
TEST_P(MessageReaderTable, CutsTheStreamIntoMessagesAndBreaksOnTheFirstBadOne) {
    const SStream& stream = GetParam();
    for (std::size_t nChunk : {stream.bytes.size() + 1, std::size_t{1}, std::size_t{3}}) {
        CMessageReader reader;
        Strings messages;
        EState state = EState::Open;
        for (std::size_t i = 0; i < stream.bytes.size(); i += nChunk) {
            state = reader.Feed(std::string_view(stream.bytes).substr(i, nChunk), &messages);
        }
        EXPECT_EQ(messages, stream.messages) << "chunks of " << nChunk;
        EXPECT_EQ(state, stream.state) << "chunks of " << nChunk;
    }
}

const std::string kGood = R"({"type":"tab","url":"h\u00e9"})";
INSTANTIATE_TEST_SUITE_P(
    Streams, MessageReaderTable,
    testing::Values(
        SStream{"two", FrameMessage(kGood) + FrameMessage("{}"), {kGood, "{}"}, EState::Open},
        SStream{"partial",
                FrameMessage(kGood) + FrameMessage(kGood).substr(0, 7),
                {kGood},
                EState::Open},
        SStream{
            "at limit", FrameMessage(Big(kMaxMessageSize)), {Big(kMaxMessageSize)}, EState::Open},
        // The length alone condemns the stream: no megabytes are waited for.
        SStream{
            "past limit", FrameMessage("{}") + Length(kMaxMessageSize + 1), {"{}"}, EState::Broken},
        SStream{"huge length", Length(0xFFFFFFFFU) + "{}", {}, EState::Broken},
        SStream{"bad UTF-8",
                FrameMessage("{}") + FrameMessage("{\"u\":\"\xC3\x28\"}") + FrameMessage("{}"),
                {"{}"},
                EState::Broken},
        SStream{"overlong UTF-8", FrameMessage("{\"u\":\"\xC0\xAF\"}"), {}, EState::Broken},
        SStream{"not JSON", FrameMessage("{type: tab}"), {}, EState::Broken},
        SStream{"trailing bytes", FrameMessage("{} x"), {}, EState::Broken},
        SStream{"array", FrameMessage("[1]"), {}, EState::Broken},
        SStream{"empty", Length(0), {}, EState::Broken},
        SStream{"NUL", FrameMessage(std::string("{}\0", 3)), {}, EState::Broken},
        SStream{
            "NUL in string", FrameMessage(std::string("{\"u\":\"\0\"}", 9)), {}, EState::Broken}),
    [](const auto& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), ' ', '_');
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

// A stream that ends between two messages is closed; one that ends inside a message is
// broken, and so is one that cannot be read. A message too long to send is not framed.
TEST(MessageReader, TellsAnEndBetweenMessagesFromAnEndInsideOne) {
    for (const auto& [tail, expected] :
         {std::pair{std::string(), EState::Closed}, std::pair{Length(10) + "{", EState::Broken}}) {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        const std::string bytes = FrameMessage("{}") + tail;
        ASSERT_EQ(::write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(fds[1]);
        CMessageReader reader;
        Strings messages;
        EState state = EState::Open;
        while (state == EState::Open) {
            state = reader.ReadFrom(fds[0], &messages);
        }
        ::close(fds[0]);
        EXPECT_EQ(state, expected);
        EXPECT_EQ(messages, Strings{"{}"});
    }
    CMessageReader reader;
    Strings messages;
    EXPECT_EQ(reader.ReadFrom(-1, &messages), EState::Broken);
    EXPECT_EQ(FrameMessage(Big(kMaxMessageSize + 1)), "");
}

}  // namespace
