// Feeds hostile bytes to the framing of the ad service's replies (HTTPGet):
// the head, Content-Length and chunked bodies, read as they arrive piece by
// piece and once more as if the peer had closed. Every prefix must parse
// without a crash into a body no longer than what arrived, and a malformed
// reply gives no body.
//
// Input: byte 0 is the piece size (0: all at once); the rest is the reply.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Components/Controller/web/WebAds.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const std::string_view raw(reinterpret_cast<const char*>(data) + 1, size - 1);
    const size_t piece = data[0] == 0 ? raw.size() : data[0];
    for (size_t end = piece; ; end += piece)
    {
        const size_t n = end < raw.size() ? end : raw.size();
        const THttpReply reply = ParseHttpReply(raw.substr(0, n), false);
        if (reply.Body.size() > n)
            std::abort();
        if (reply.State == THttpReplyState::Malformed && !reply.Body.empty())
            std::abort();
        if (n == raw.size())
            break;
    }
    const THttpReply closed = ParseHttpReply(raw, true);
    if (closed.Body.size() > raw.size())
        std::abort();
    return 0;
}
