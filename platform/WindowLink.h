#pragma once
// The local socket link that lets a process post messages to a top-level
// window of another process of the same user (see platform/Messages.h).
// Used by the window registry only.
//
// A frame is 32 bytes, little-endian: the magic "KLW1", the kind (1 post a
// message, 2 raise the window), the message number, 4 reserved bytes, wParam
// and lParam as 64-bit values. A connection that sends anything else is
// closed; what came before it stays delivered. A connection lives at most
// about a second, and at most 32 are open at a time (a new one pushes out
// the oldest).

#include <QLocalSocket>
#include <QPointer>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

class QLocalServer;

namespace TWindowLink {

constexpr std::size_t FrameSize = 32;
constexpr uint32_t KindPost = 1;
constexpr uint32_t KindRaise = 2;

struct Frame
{
    uint32_t kind = 0;
    uint32_t msg = 0;
    uint64_t wParam = 0;
    uint64_t lParam = 0;
};

std::string EncodeFrame(const Frame& frame);
// False when the 32 bytes are not a valid frame.
bool DecodeFrame(const char* data, Frame& frame);

// True when a window listens on `socketName` now.
bool Probe(const std::string& socketName);
bool SendPost(const std::string& socketName, uint32_t msg, uint64_t wParam, uint64_t lParam);
bool SendRaise(const std::string& socketName);

} // namespace TWindowLink

// Listens for frames in the creating thread (which must run a Qt event loop).
// When another live process already listens on the name this one does not.
class TWindowLinkServer
{
  public:
    using PostHandler = std::function<void(uint32_t msg, uint64_t wParam, uint64_t lParam)>;
    using RaiseHandler = std::function<void()>;

    TWindowLinkServer(const std::string& socketName, PostHandler onPost, RaiseHandler onRaise);
    ~TWindowLinkServer();
    TWindowLinkServer(const TWindowLinkServer&) = delete;
    TWindowLinkServer& operator=(const TWindowLinkServer&) = delete;

    bool Listening() const;

  private:
    void AcceptPending();

    // Connections open now, oldest first (null once gone).
    std::deque<QPointer<QLocalSocket>> m_connections;
    std::unique_ptr<QLocalServer> m_server;
    PostHandler m_onPost;
    RaiseHandler m_onRaise;
};
