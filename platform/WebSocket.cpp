#include "platform/WebSocket.h"

#include "platform/Threads.h"

#include <QNetworkRequest>
#include <QUrl>
#include <QWebSocket>

struct TWebSocketClient::TState
{
    std::unique_ptr<QWebSocket> Socket;
    int Dispatching = 0; // handlers running now
};

namespace {

// A port is a whole number from 1 to 65535 written in decimal, nothing else
// (a port "80x" must not quietly become 80).
int ParsePort(const std::string& Port)
{
    if (Port.empty() || Port.size() > 5)
        return 0;
    int value = 0;
    for (const char c : Port) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value <= 65535 ? value : 0;
}

QUrl MakeURL(const std::string& Host, const std::string& Port, const std::string& ResourceName, bool Secure)
{
    const int port = ParsePort(Port);
    if (Host.empty() || port == 0)
        return {};
    const std::string resource = ResourceName.empty() ? "/" : ResourceName;
    const size_t query = resource.find('?');
    QUrl url;
    url.setScheme(Secure ? "wss" : "ws");
    url.setHost(QString::fromStdString(Host));
    url.setPort(port);
    url.setPath(QString::fromStdString(resource.substr(0, query)));
    if (query != std::string::npos)
        url.setQuery(QString::fromStdString(resource.substr(query + 1)));
    return url.isValid() ? url : QUrl();
}

} // namespace

TWebSocketClient::TWebSocketClient(const std::string& Host, const std::string& Port,
                                   const std::string& ResourceName, bool Secure)
    : m_state(std::make_shared<TState>())
{
    const QUrl url = MakeURL(Host, Port, ResourceName, Secure);
    if (!url.isEmpty())
        m_url = url.toString().toStdString();
    // No origin, no sub-protocol, no extension, no cookie.
    m_state->Socket = std::make_unique<QWebSocket>(QString(), QWebSocketProtocol::Version13);
}

TWebSocketClient::~TWebSocketClient()
{
    QWebSocket* socket = m_state->Socket.get();
    QObject::disconnect(socket, nullptr, nullptr, nullptr);
    if (socket->state() == QAbstractSocket::ConnectedState) {
        socket->close(QWebSocketProtocol::CloseCodeNormal);
        socket->flush();
    }
    // The library is still inside the socket when a handler destroys the
    // link from an event: the socket goes once that call has returned.
    if (m_state->Dispatching > 0)
        m_state->Socket.release()->deleteLater();
}

std::string TWebSocketClient::URL() const
{
    return m_url;
}

void TWebSocketClient::Start()
{
    if (m_started)
        return;
    m_started = true;
    if (m_url.empty())
        return;
    QWebSocket* socket = m_state->Socket.get();
    socket->setMaxAllowedIncomingMessageSize(m_maxMessageSize);
    socket->setMaxAllowedIncomingFrameSize(m_maxMessageSize);
    // One final frame per message, whatever its size.
    socket->setOutgoingFrameSize(QWebSocket::maxOutgoingFrameSize());
    QObject::connect(socket, &QWebSocket::connected, socket, [this] {
        Dispatch([this] {
            if (OnOpen)
                OnOpen();
        });
    });
    QObject::connect(socket, &QWebSocket::textMessageReceived, socket, [this](const QString& message) {
        const QByteArray bytes = message.toUtf8();
        Dispatch([this, &bytes] {
            if (OnMessage)
                OnMessage(std::string(bytes.constData(), size_t(bytes.size())));
        });
    });
    QObject::connect(socket, &QWebSocket::binaryMessageReceived, socket, [this](const QByteArray& message) {
        Dispatch([this, &message] {
            if (OnMessage)
                OnMessage(std::string(message.constData(), size_t(message.size())));
        });
    });
    socket->open(QNetworkRequest(QUrl(QString::fromStdString(m_url))));
}

void TWebSocketClient::Dispatch(const std::function<void()>& Event)
{
    // The handler may destroy this object: only the shared state is touched
    // after it returns.
    const std::shared_ptr<TState> state = m_state;
    ++state->Dispatching;
    try {
        Event();
    } catch (...) {
        ReportCurrentException("TWebSocketClient");
    }
    --state->Dispatching;
}

bool TWebSocketClient::CanReceive() const
{
    const QAbstractSocket::SocketState state = m_state->Socket->state();
    return state == QAbstractSocket::ConnectedState || state == QAbstractSocket::ClosingState;
}

bool TWebSocketClient::CanSend() const
{
    return m_state->Socket->state() == QAbstractSocket::ConnectedState;
}

bool TWebSocketClient::SendText(const std::string& Text)
{
    if (!CanSend())
        return false;
    return m_state->Socket->sendTextMessage(QString::fromUtf8(Text.data(), qsizetype(Text.size()))) >= 0;
}
