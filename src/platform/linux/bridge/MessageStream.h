#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The framing of browser native messaging, which quellio-bridge also speaks to Quellio: each
// message is a 32-bit length in the machine's byte order followed by that many bytes of
// UTF-8 JSON. Only JSON objects are messages here.

// The largest message either side takes or sends. Browsers refuse a larger one from their
// host, and it keeps a bridge and its buffers small.
inline constexpr std::size_t kMaxMessageSize = 1024 * 1024;

// Whether `text` is a message: well-formed UTF-8 holding one JSON object, at most
// kMaxMessageSize bytes.
bool IsValidMessage(std::string_view text);

// The message with its length in front; empty when `text` is too long to be sent.
std::string FrameMessage(std::string_view text);

// Cuts a byte stream into messages as its bytes arrive, however they are split. A length
// past the limit or a message that is not valid breaks the stream for good: a peer that
// sends it is not to be trusted with anything more.
class CMessageReader {
public:
    enum class EState {
        Open,    // more may come
        Closed,  // the peer closed the stream between two messages
        Broken,  // a bad message, a length past the limit, a read error, or an end mid-message
    };

    // Appends every message that `bytes` completes to `*messages`.
    EState Feed(std::string_view bytes, std::vector<std::string>* messages);
    // Reads what `fd` has now (one read, which waits only when `fd` blocks and has nothing)
    // and feeds it; the end of the stream answers Closed or Broken.
    EState ReadFrom(int fd, std::vector<std::string>* messages);

    EState State() const { return m_eState; }

private:
    EState m_eState = EState::Open;
    std::string m_buffer;
};
