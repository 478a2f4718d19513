#pragma once
// The small web pieces of the ad panels and the enterprise editor:
// - HTTPGet: a blocking HTTP/1.1 GET on plain sockets (not the remote calls'
//   client), for the advertising service's pages and lists;
// - HTTPEncode: the URL encoding of the ad request's query values;
// - TEventObject: an object a page calls as an event handler.
//
// HTTPGet never raises for network failures: any failure gives "". It reads
// the reply until it is complete (Content-Length bytes of body, a chunked
// body up to its last chunk, or the peer's close), all within 10 s of
// sending and at most HTTPGetMaxReply bytes (more is cut off); the time
// running out first gives "". An unknown host gives "" without connecting.
// A port that is not a number from 1 to 65535 raises EConvertError after the
// socket has been closed.

#include "platform/ComTypes.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

constexpr size_t HTTPGetMaxReply = 65507;

void HTTPGet(const std::string& HostAndPort, const std::string& Path, std::string& Result);
// The same with another time limit (tests of the time-out use a short one).
void HTTPGet(const std::string& HostAndPort, const std::string& Path, std::string& Result,
             std::chrono::milliseconds Timeout);

// The exact request bytes HTTPGet sends.
std::string HTTPGetRequest(const std::string& Host, const std::string& Path);

// Letters and "*-./:=@_" stay, a space becomes "+", every other byte (digits
// too) becomes "%" and two upper-case hexadecimal digits.
std::string HTTPEncode(const std::string& Value);

// How far a reply read so far has come.
enum class THttpReplyState
{
    Incomplete, // more bytes are expected
    Complete,   // the framing says the reply is whole
    Malformed   // the framing cannot be read (a bad length or chunk line)
};

struct THttpReply
{
    THttpReplyState State = THttpReplyState::Incomplete;
    // Without an empty line the raw bytes, headers included; otherwise the
    // body with the framing removed (as much of it as has arrived).
    std::string Body;
};

// Reads the framing of the raw bytes received so far. `PeerClosed` says the
// peer has closed: a reply framed by the close is then complete, one whose
// length or chunks promise more stays incomplete.
THttpReply ParseHttpReply(std::string_view Raw, bool PeerClosed);

// An object a page calls as an event handler: its default member (DISPID 0)
// runs the handler. Reference-counted: it lives while the page holds it.
class TEventObject
{
  public:
    explicit TEventObject(std::function<void()> Handler);
    static std::shared_ptr<TEventObject> Create(std::function<void()> Handler);

    HRESULT Invoke(DISPID DispId);
    HRESULT GetIDsOfNames() const { return E_NOTIMPL; }
    HRESULT GetTypeInfo() const { return E_NOTIMPL; }
    HRESULT GetTypeInfoCount() const { return E_NOTIMPL; }

  private:
    std::function<void()> m_handler;
};
