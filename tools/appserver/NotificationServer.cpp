#include "NotificationServer.h"

#include "Wire.h"

#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebSocket>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QWebSocketServer>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iostream>

namespace {

std::string ToStd(const QString& s)
{
    return s.toStdString();
}

// The text a value compares by: strings as they are, numbers in decimal,
// true/false; anything else (null, arrays, objects) is no value at all.
bool ValueText(const QJsonValue& value, std::string& text)
{
    if (value.isString()) {
        text = ToStd(value.toString());
        return true;
    }
    if (value.isDouble()) {
        const double d = value.toDouble();
        text = d == std::floor(d) && std::fabs(d) < 1e15 ? std::to_string(static_cast<long long>(d))
                                                         : ToStd(QString::number(d, 'g', 17));
        return true;
    }
    if (value.isBool()) {
        text = value.toBool() ? "true" : "false";
        return true;
    }
    return false;
}

// The command word of a message as the client reads it: the text up to the
// first blank after its first character, without the control characters and
// blanks around it.
std::string CommandWord(const std::string& message)
{
    std::string word = message.substr(0, message.find(' ', 1));
    const auto blank = [](unsigned char c) { return c <= ' '; };
    while (!word.empty() && blank(static_cast<unsigned char>(word.back())))
        word.pop_back();
    const auto first = std::find_if_not(word.begin(), word.end(), blank);
    return std::string(first, word.end());
}

bool SameWord(const std::string& a, const std::string& b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

} // namespace

TNotificationServer::TNotificationServer(const TServerOptions& Options, TSessionLookup Sessions)
    : m_options(Options), m_sessions(std::move(Sessions)),
      m_server(std::make_unique<QWebSocketServer>("appserver", QWebSocketServer::NonSecureMode))
{
    QObject::connect(m_server.get(), &QWebSocketServer::newConnection, m_server.get(),
                     [this] { Accept(m_server.get()); });
}

TNotificationServer::~TNotificationServer()
{
    for (auto& [link, state] : m_links) {
        QObject::disconnect(link, nullptr, nullptr, nullptr);
        delete link;
    }
}

int TNotificationServer::Listen(int Port)
{
    if (!m_server->listen(QHostAddress::LocalHost, static_cast<quint16>(Port)))
        return -1;
    return m_server->serverPort();
}

int TNotificationServer::ListenSecure(int Port, const std::string& CertificateFile, const std::string& KeyFile,
                                      std::string& Error)
{
    const QList<QSslCertificate> chain = QSslCertificate::fromPath(QString::fromStdString(CertificateFile));
    QFile keyFile(QString::fromStdString(KeyFile));
    if (chain.isEmpty()) {
        Error = "no certificate in " + CertificateFile;
        return -1;
    }
    if (!keyFile.open(QIODevice::ReadOnly)) {
        Error = "cannot read " + KeyFile;
        return -1;
    }
    QSslKey key(&keyFile, QSsl::Rsa);
    if (key.isNull())
        key = QSslKey(keyFile.seek(0) ? keyFile.readAll() : QByteArray(), QSsl::Ec);
    if (key.isNull()) {
        Error = "no RSA or EC key in " + KeyFile;
        return -1;
    }
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificateChain(chain);
    tls.setPrivateKey(key);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone); // clients bring no certificate
    m_secureServer = std::make_unique<QWebSocketServer>("appserver", QWebSocketServer::SecureMode);
    m_secureServer->setSslConfiguration(tls);
    QObject::connect(m_secureServer.get(), &QWebSocketServer::newConnection, m_secureServer.get(),
                     [this] { Accept(m_secureServer.get()); });
    QObject::connect(m_secureServer.get(), &QWebSocketServer::sslErrors, m_secureServer.get(),
                     [this](const QList<QSslError>& errors) {
                         for (const QSslError& e : errors)
                             Trace("TLS: " + ToStd(e.errorString()));
                     });
    if (!m_secureServer->listen(QHostAddress::LocalHost, static_cast<quint16>(Port))) {
        Error = "cannot listen on 127.0.0.1:" + std::to_string(Port);
        return -1;
    }
    return m_secureServer->serverPort();
}

void TNotificationServer::Accept(QWebSocketServer* Server)
{
    while (QWebSocket* link = Server->nextPendingConnection()) {
        link->setParent(nullptr);
        link->setMaxAllowedIncomingMessageSize(MaxMessageSize);
        link->setMaxAllowedIncomingFrameSize(MaxMessageSize);
        if (m_options.NotifyFrameSize > 0)
            link->setOutgoingFrameSize(static_cast<quint64>(m_options.NotifyFrameSize));
        m_links[link];
        QObject::connect(link, &QWebSocket::textMessageReceived, link,
                         [this, link](const QString& text) { Receive(link, text.toStdString()); });
        QObject::connect(link, &QWebSocket::disconnected, link, [this, link] { Forget(link); });
        Trace("link opened (" + ToStd(link->requestUrl().path()) + ")");
    }
}

void TNotificationServer::Forget(QWebSocket* Link)
{
    if (m_links.erase(Link) == 0)
        return;
    QObject::disconnect(Link, nullptr, nullptr, nullptr);
    Link->deleteLater();
    Trace("link closed");
}

void TNotificationServer::Receive(QWebSocket* From, const std::string& Text)
{
    const auto link = m_links.find(From);
    if (link == m_links.end())
        return;
    QJsonParseError error;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(Wire::ToStandardEscapes(Text)), &error);
    if (!document.isObject()) {
        Trace("not a command: " + Text.substr(0, 200));
        return;
    }
    const QJsonObject command = document.object();
    const std::string name = ToStd(command.value("command").toString());
    if (m_options.TestProcedures && TestCommand(From, name, command))
        return;
    if (m_options.TestProcedures)
        Remember(link->second, Text);
    if (name == "set") {
        Set(link->second, command, Text);
    } else if (name == "notify") {
        Notify(From, command);
    } else if (name != "keepalive") {
        Trace("unknown command: " + Text.substr(0, 200));
    }
}

void TNotificationServer::Remember(TLink& Link, const std::string& Text)
{
    Link.History.push_back(Text.substr(0, HistoryTextSize));
    while (Link.History.size() > HistoryTexts)
        Link.History.pop_front();
}

void TNotificationServer::Set(TLink& Link, const QJsonObject& Command, const std::string& Text)
{
    std::string value;
    const std::string parameter = ToStd(Command.value("parameter").toString());
    if (parameter.empty() || !ValueText(Command.value("value"), value)) {
        Trace("set without parameter or value: " + Text.substr(0, 200));
        return;
    }
    if (parameter != "id") {
        // "user_id" comes from the session; a link names no other user.
        Trace("set " + parameter + " ignored");
        return;
    }
    const std::shared_ptr<TSession> session = m_sessions ? m_sessions(value) : nullptr;
    if (!session) {
        Trace("set id: no live session has that id");
        return;
    }
    Link.SessionId = session->Id;
    Trace("link named by a session of user " + std::to_string(session->UserCounter));
}

std::shared_ptr<TSession> TNotificationServer::SessionOf(const TLink& Link) const
{
    return Link.SessionId.empty() || !m_sessions ? nullptr : m_sessions(Link.SessionId);
}

std::vector<QWebSocket*> TNotificationServer::Audience(const std::string& Parameter,
                                                       const std::vector<std::string>& Values,
                                                       QWebSocket* Except) const
{
    std::vector<QWebSocket*> targets;
    if (!Parameter.empty() && Parameter != "id" && Parameter != "user_id")
        return targets;
    for (const auto& [link, state] : m_links) {
        if (link == Except)
            continue;
        const std::shared_ptr<TSession> session = SessionOf(state);
        if (!session)
            continue;
        const std::string known = Parameter == "id" ? session->Id : std::to_string(session->UserCounter);
        if (Parameter.empty() || std::find(Values.begin(), Values.end(), known) != Values.end())
            targets.push_back(link);
    }
    return targets;
}

void TNotificationServer::Notify(QWebSocket* From, const QJsonObject& Command)
{
    const std::shared_ptr<TSession> sender = SessionOf(m_links[From]);
    if (!sender) {
        Trace("notify from a link without a live session dropped");
        return;
    }
    if (!Command.value("message").isString()) {
        Trace("notify without message");
        return;
    }
    const std::string message = ToStd(Command.value("message").toString());
    if (SameWord(CommandWord(message), "$broadcast") && sender->UserType != "SYS") {
        Trace("$broadcast from a session that is not a system manager's dropped");
        return;
    }
    const std::string parameter = ToStd(Command.value("parameter").toString());
    std::vector<std::string> wanted;
    std::string value;
    if (Command.value("values").isArray()) {
        for (const QJsonValue& v : Command.value("values").toArray())
            if (ValueText(v, value))
                wanted.push_back(value);
    } else if (ValueText(Command.value("value"), value)) {
        wanted.push_back(value);
    }
    // Collected first: a send may end a link and so change the list.
    const std::vector<QWebSocket*> targets = Audience(parameter, wanted, parameter.empty() ? From : nullptr);
    Trace("notify \"" + message.substr(0, 200) + "\" to " + std::to_string(targets.size()) + " link(s)");
    for (QWebSocket* link : targets)
        if (m_links.count(link))
            Send(link, message);
}

void TNotificationServer::Relay(const std::string& Message, const std::string& Parameter, const std::string& Value)
{
    const std::vector<QWebSocket*> targets =
        Parameter.empty() ? std::vector<QWebSocket*>() : Audience(Parameter, {Value}, nullptr);
    Trace("relay \"" + Message + "\" to " + std::to_string(targets.size()) + " link(s)");
    for (QWebSocket* link : targets)
        if (m_links.count(link))
            Send(link, Message);
}

bool TNotificationServer::TestCommand(QWebSocket* From, const std::string& Name, const QJsonObject& Command)
{
    if (Name == "test_history") {
        std::string lines = "[history]";
        for (const std::string& text : m_links[From].History)
            lines += "\n" + text;
        Send(From, lines);
        return true;
    }
    if (Name == "test_binary") {
        const QString message = Command.value("message").toString();
        From->sendBinaryMessage(message.toLatin1());
        return true;
    }
    if (Name == "test_drop") {
        Trace("dropping a link");
        From->abort();
        Forget(From);
        return true;
    }
    return false;
}

void TNotificationServer::Send(QWebSocket* To, const std::string& Text)
{
    To->sendTextMessage(QString::fromStdString(Text));
}

void TNotificationServer::Trace(const std::string& Line) const
{
    if (m_options.Verbose)
        std::cerr << "notifications: " << Line << std::endl;
}
