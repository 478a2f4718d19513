#pragma once
// A WebSocket client link (RFC 6455, protocol version 13): the notification
// client's connection to the notification server.
//
// The link belongs to the thread that creates it, which must run a Qt event
// loop (the main thread): connecting, the handshake and reading go on in that
// loop, and OnOpen and OnMessage run there, one at a time. An exception that
// escapes a handler is reported through the boundary error handler
// (platform/Threads.h).
//
// - Text goes out as UTF-8 in one final text frame; received text frames are
//   UTF-8 (a peer sending anything else is disconnected by the library).
// - A message that the peer splits over several frames reaches OnMessage
//   whole, once its last frame has arrived. Binary messages arrive the same
//   way, as their bytes.
// - A message (or a single frame) larger than MaxMessageSize ends the link
//   (close code 1009) instead of growing without bound; nothing of it is
//   delivered.
// - The link is never re-opened: a closed or failed link stays dead, and the
//   owner replaces it with a new object.
// - Destroying the link ends it: an open link sends its close frame first.
//   A handler may destroy the link that called it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TWebSocketClient
{
  public:
    // The largest message a link takes when the owner sets no other limit.
    static constexpr uint64_t DefaultMaxMessageSize = 1024 * 1024;

    // Host and Port as given (the port is text). ResourceName is the path of
    // the request with an optional query; empty means "/". Secure links use
    // TLS ("wss://"): the peer's certificate and name are checked against
    // the trusted certificates of the process (the system's), and a link
    // whose check fails never opens.
    TWebSocketClient(const std::string& Host, const std::string& Port, const std::string& ResourceName,
                     bool Secure = false);
    ~TWebSocketClient();
    TWebSocketClient(const TWebSocketClient&) = delete;
    TWebSocketClient& operator=(const TWebSocketClient&) = delete;

    // "ws://host:port/resource" ("wss://" when secure). Empty when the host is empty or the port is
    // not a number from 1 to 65535: such a link never opens.
    std::string URL() const;
    uint64_t MaxMessageSize() const { return m_maxMessageSize; }
    // Set before Start.
    void SetMaxMessageSize(uint64_t Value) { m_maxMessageSize = Value; }

    // Starts connecting; OnOpen follows once the handshake has completed.
    // Only the first call does anything.
    void Start();
    // Whether messages can still arrive (open, or closing with the peer).
    bool CanReceive() const;
    // Whether a message sent now goes out (open).
    bool CanSend() const;
    // Sends Text as one final text frame; false when the link is not open
    // (the text is dropped).
    bool SendText(const std::string& Text);

    std::function<void()> OnOpen;
    std::function<void(const std::string& Payload)> OnMessage;

  private:
    struct TState;
    void Dispatch(const std::function<void()>& Event);

    std::string m_url;
    uint64_t m_maxMessageSize = DefaultMaxMessageSize;
    bool m_started = false;
    // Shared with the handlers bound to the socket, so that a handler that
    // destroys the link still finds its dispatch count afterwards.
    std::shared_ptr<TState> m_state;
};
