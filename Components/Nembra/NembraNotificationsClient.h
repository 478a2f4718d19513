#pragma once
// TNembraNotificationsClient: the client's one WebSocket link to the
// notification server. It names the session on the link ("set" of
// KeyTokenName with KeyToken once the link opens), sends the small JSON
// commands "set", "notify" and "keepalive", and hands every message the
// server pushes to OnMessage. The controller owns the one instance and
// interprets the messages.
//
// Threads: everything runs on the main thread. The link connects and reads
// in the main thread's event loop, so OnConnecting, OnConnected,
// OnDisconnected and OnMessage run there too; an exception escaping them is
// reported at the event loop's boundary.
//
// Life of a link:
// - Connected is True from the moment a link is started until it is torn
//   down; it does not mean that the handshake has completed. A command sent
//   before the link has opened is lost without an error.
// - OnConnected follows the handshake, then the "set" of the key token.
// - A link that the server closes or that fails is noticed by the next
//   keep-alive tick (every max(KeepAliveInterval, 10000) ms while KeepAlive
//   is on), which raises OnDisconnected for it (when it had opened) and
//   starts a new one. An unreachable host gives a link that never opens and
//   is replaced the same way.
// - Destroying the client tears the link down without OnDisconnected.
//
// Messages are UTF-8 both ways. A message that the server splits over
// several frames reaches OnMessage once, whole; one above MaxMessageSize
// ends the link (the next tick replaces it) and is not delivered. Empty
// messages are not delivered.

#include "Components/Nembra/NembraTimer.h"
#include "platform/Component.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

class TWebSocketClient;

using TNembraMessageEvent = std::function<void(TObject* Sender, const std::string& Msg)>;

// The keep-alive tick never runs more often than this (milliseconds).
constexpr uint32_t NembraMinKeepAliveInterval = 10000;
// The largest message the client takes from the server.
constexpr uint64_t NembraMaxNotificationSize = 1024 * 1024;

class TNembraNotificationsClient : public TComponent
{
  public:
    explicit TNembraNotificationsClient(TComponent* AOwner = nullptr);
    ~TNembraNotificationsClient() override;
    std::string ClassName() const override { return "TNembraNotificationsClient"; }

    // Writing it connects or disconnects; writing the value it has does
    // nothing.
    bool Connected() const { return m_connected; }
    void SetConnected(bool Value);
    // Runs the keep-alive timer while connected.
    bool KeepAlive() const { return m_keepAlive; }
    void SetKeepAlive(bool Value);
    // The requested tick in milliseconds; the tick used is the larger of
    // this and NembraMinKeepAliveInterval.
    int32_t KeepAliveInterval() const { return m_keepAliveInterval; }
    void SetKeepAliveInterval(int32_t Value);
    const std::string& Host() const { return m_host; }
    void SetHost(const std::string& Value) { m_host = Value; }
    // Kept as text: the server's reply gives it as text.
    const std::string& Port() const { return m_port; }
    void SetPort(const std::string& Value) { m_port = Value; }
    // TLS on the link ("wss://", the certificate checked as on the main
    // channel): set when the server connection is https. Takes effect at
    // the next link.
    bool Secure() const { return m_secure; }
    void SetSecure(bool Value) { m_secure = Value; }
    // The path of the WebSocket request; empty means "/".
    const std::string& ResourceName() const { return m_resourceName; }
    void SetResourceName(const std::string& Value) { m_resourceName = Value; }
    // The parameter that names this session on the link, and its value.
    const std::string& KeyTokenName() const { return m_keyTokenName; }
    void SetKeyTokenName(const std::string& Value) { m_keyTokenName = Value; }
    const std::string& KeyToken() const { return m_keyToken; }
    void SetKeyToken(const std::string& Value) { m_keyToken = Value; }

    TNotifyEvent OnConnected;    // the link has opened
    TNotifyEvent OnDisconnected; // a link that had opened was torn down
    TNembraMessageEvent OnMessage;
    TNotifyEvent OnConnecting; // a new link is about to be started

    // {"command":"set", "parameter":<Parameter>, "value":<Value>}
    void SetParam(const std::string& Parameter, const std::string& Value);
    // {"command":"notify", "message":<Msg>, "parameter":<Parameter>,
    // "value":<Value>}; with an empty Parameter only {"command":"notify",
    // "message":<Msg>}.
    void SendNotification(const std::string& Msg, const std::string& Parameter, const std::string& Value);
    // {"command":"notify", "message":<Msg>, "parameter":<Parameter>,
    // "values":[<Values>]}. An empty Parameter raises "Parameter name is not
    // specified" before anything is sent.
    void SendNotification(const std::string& Msg, const std::string& Parameter,
                          const std::vector<std::string>& Values);
    // The values written as a list in place ({"a", "b"}, or {} for none),
    // which the two overloads above cannot tell apart.
    void SendNotification(const std::string& Msg, const std::string& Parameter,
                          std::initializer_list<std::string> Values)
    {
        SendNotification(Msg, Parameter, std::vector<std::string>(Values));
    }
    // Sends Text as one text frame. Raises "Unable to perform operation on a
    // disconnected client" while Connected is False; whether the text went
    // out is not looked at.
    void SendText(const std::string& Text);

    // Set by the open event, cleared when OnDisconnected is raised.
    bool Opened() const { return m_opened; }
    // Whether the current link can still receive or send; false without one.
    bool LinkAlive() const;
    // The running keep-alive timer (null while stopped); its window takes
    // the ticks.
    TNembraTimer* KeepAliveTimer() const { return m_keepAliveTimer.get(); }

  protected:
    void Connect();
    void Disconnect();

  private:
    void DoOnOpen();
    void DoOnRead(const std::string& Payload);
    void DoOnDisconnected();
    void StartKeepAliveTimer();
    void StopKeepAliveTimer();
    void DoOnKeepAliveTimer(TObject* Sender);
    uint32_t KeepAliveTick() const;
    bool IsDestroying() const { return ComponentState().Contains(csDestroying); }

    bool m_connected = false;
    bool m_keepAlive = false;
    int32_t m_keepAliveInterval = 0;
    std::string m_host;
    std::string m_port;
    bool m_secure = false;
    std::string m_resourceName;
    std::string m_keyTokenName;
    std::string m_keyToken;

    std::unique_ptr<TWebSocketClient> m_link;
    std::unique_ptr<TNembraTimer> m_keepAliveTimer;
    bool m_opened = false;
    bool m_inKeepAlive = false;
};
