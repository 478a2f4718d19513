#pragma once
// The notification server: a WebSocket server (RFC 6455) beside the HTTP
// one, on a port of its own. Each client keeps one link to it and sends
// small JSON commands as text messages:
//   {"command":"set", "parameter":"id", "value":S}    the link belongs to session S
//   {"command":"notify", "message":M}                 M to every other link
//   {"command":"notify", "message":M, "parameter":P, "value":V}
//                                                     M to the links whose P is V
//   {"command":"notify", "message":M, "parameter":P, "values":[V1,V2]}
//                                                     M to the links whose P is one of them
//   {"command":"keepalive"}                           nothing to do
// A link is known by two parameters only, both taken from the session it
// names: "id" (the session id) and "user_id" (its user's counter). Its "set"
// of "id" must name a live session of the HTTP server; until it does, and
// once that session has ended, the link receives nothing and what it sends
// is dropped. The client's own "set" of "user_id" (sent before the "id") is
// taken and ignored: a link cannot claim another user. Other parameters are
// ignored too. "$broadcast", whose answers carry the clients' session ids,
// is relayed only from a link of a system manager (user type "SYS").
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
//                               texts it sent on this link, one per line
//                               (test commands left out): the last
//                               HistoryTexts of them, each cut to
//                               HistoryTextSize bytes. Without the switch no
//                               history is kept.
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
#include "Sessions.h"

#include <deque>
#include <functional>
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
    // What test_history keeps of a link's texts.
    static constexpr size_t HistoryTexts = 64;
    static constexpr size_t HistoryTextSize = 16 * 1024;

    // The live session of an id (null for none), asked without keeping the
    // session alive; the HTTP server's sessions answer it.
    using TSessionLookup = std::function<std::shared_ptr<TSession>(const std::string& Id)>;

    TNotificationServer(const TServerOptions& Options, TSessionLookup Sessions);
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
    // Message to the links whose Parameter ("id" or "user_id") is Value, as a
    // "notify" would.
    void Relay(const std::string& Message, const std::string& Parameter, const std::string& Value);

  private:
    struct TLink
    {
        std::string SessionId;           // '' until a "set" of "id" names a live session
        std::deque<std::string> History; // --test-procedures only
    };

    void Accept(QWebSocketServer* Server);
    void Receive(QWebSocket* From, const std::string& Text);
    void Set(TLink& Link, const QJsonObject& Command, const std::string& Text);
    void Notify(QWebSocket* From, const QJsonObject& Command);
    void Remember(TLink& Link, const std::string& Text);
    // The live session a link names (null when none), and the links whose
    // Parameter is one of Values (every named link but Except when Parameter
    // is empty).
    std::shared_ptr<TSession> SessionOf(const TLink& Link) const;
    std::vector<QWebSocket*> Audience(const std::string& Parameter, const std::vector<std::string>& Values,
                                      QWebSocket* Except) const;
    bool TestCommand(QWebSocket* From, const std::string& Name, const QJsonObject& Command);
    void Send(QWebSocket* To, const std::string& Text);
    void Forget(QWebSocket* Link);
    void Trace(const std::string& Line) const;

    const TServerOptions& m_options;
    TSessionLookup m_sessions;
    std::unique_ptr<QWebSocketServer> m_server;
    std::unique_ptr<QWebSocketServer> m_secureServer;
    std::map<QWebSocket*, TLink> m_links;
};
