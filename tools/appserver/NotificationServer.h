#pragma once
// The notification server: a WebSocket server (RFC 6455) beside the HTTP
// one, on a port of its own. Each client keeps one link to it and sends
// small JSON commands as text messages:
//   {"command":"set", "parameter":P, "value":V}       the link's P is V
//   {"command":"notify", "message":M}                 M to every other link
//   {"command":"notify", "message":M, "parameter":P, "value":V}
//                                                     M to the links whose P is V
//   {"command":"notify", "message":M, "parameter":P, "values":[V1,V2]}
//                                                     M to the links whose P is one of them
//   {"command":"keepalive"}                           nothing to do
// Strings in the commands follow the client's convention for line breaks (\n
// is CR LF, \r a lone LF; see Wire::SuiteString), so a message with line
// breaks is relayed as it was written.
// A relayed message goes out as its bare text (for example "$check_mail 42"),
// which is what the client reads. Values compare as texts (a number as its
// decimal text), names exactly. Anything else is ignored (logged with
// --verbose).
//
// With --test-procedures three more commands serve the client's tests:
//   {"command":"test_history"}  answers the sender with "[history]" and the
//                               texts it sent on this link so far, one per
//                               line (test commands left out)
//   {"command":"test_binary", "message":M}
//                               answers the sender with M in one binary
//                               frame, one byte per character (Latin-1), as
//                               a server writing its code page would
//   {"command":"test_drop"}     ends the sender's link at once, without a
//                               close frame, as a failing network would
// --notify-frame-size N splits every message the server sends into frames of
// at most N bytes.
//
// The relay serves plain links (ws://) and, when given a certificate and its
// key (--notify-tls-cert, --notify-tls-key), TLS links (wss://) on a second
// port (--notify-tls-port): a client whose server connection is https opens
// its link with TLS. Both kinds of link are one audience.
//
// Runs in the thread of the Qt event loop (the program's main thread).

#include "ServerOptions.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class QJsonObject;
class QWebSocket;
class QWebSocketServer;

class TNotificationServer
{
  public:
    // The largest message a link may send.
    static constexpr unsigned long long MaxMessageSize = 4 * 1024 * 1024;

    explicit TNotificationServer(const TServerOptions& Options);
    ~TNotificationServer();
    TNotificationServer(const TNotificationServer&) = delete;
    TNotificationServer& operator=(const TNotificationServer&) = delete;

    // Listens on 127.0.0.1 at the port (a free one for 0); answers the port,
    // or -1 when it cannot listen there.
    int Listen(int Port);
    // Listens for TLS links with the PEM certificate (chain) and key files;
    // answers the port, or -1 with the reason in Error.
    int ListenSecure(int Port, const std::string& CertificateFile, const std::string& KeyFile, std::string& Error);
    // What the server itself relays (a procedure's "$check_mail <counter>"):
    // Message to the links whose Parameter is Value, as a "notify" would.
    void Relay(const std::string& Message, const std::string& Parameter, const std::string& Value);

  private:
    struct TLink
    {
        std::map<std::string, std::string> Params;
        std::vector<std::string> History;
    };

    void Accept(QWebSocketServer* Server);
    void Receive(QWebSocket* From, const std::string& Text);
    void Notify(QWebSocket* From, const QJsonObject& Command);
    bool TestCommand(QWebSocket* From, const std::string& Name, const QJsonObject& Command);
    void Send(QWebSocket* To, const std::string& Text);
    void Forget(QWebSocket* Link);
    void Trace(const std::string& Line) const;

    const TServerOptions& m_options;
    std::unique_ptr<QWebSocketServer> m_server;
    std::unique_ptr<QWebSocketServer> m_secureServer;
    std::map<QWebSocket*, TLink> m_links;
};
