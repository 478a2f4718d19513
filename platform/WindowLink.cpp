#include "platform/WindowLink.h"

#include "platform/Threads.h"

#include <QByteArray>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <algorithm>

#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr char Magic[4] = {'K', 'L', 'W', '1'};
constexpr int ConnectTimeoutMs = 1000;
// A sender writes its frames at once and goes; a connection left open
// longer is dropped, and no more than this many are kept at a time, so that
// idle connections cannot use up the descriptors and block the hand-over.
constexpr int ConnectionLifeMs = 1000;
constexpr int MaxConnections = 32;

void PutLE(std::string& out, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += char((value >> (8 * i)) & 0xFF);
}

uint64_t GetLE(const char* data, int bytes)
{
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= uint64_t(static_cast<unsigned char>(data[i])) << (8 * i);
    return value;
}

// True when the process at the other end runs as this user.
bool PeerIsThisUser(const QLocalSocket& socket)
{
    ucred credentials{};
    socklen_t length = sizeof(credentials);
    const int fd = int(socket.socketDescriptor());
    return fd >= 0 && ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0 &&
           credentials.uid == ::getuid();
}

bool Connect(QLocalSocket& socket, const std::string& socketName)
{
    if (socketName.empty())
        return false;
    socket.connectToServer(QString::fromStdString(socketName));
    if (!socket.waitForConnected(ConnectTimeoutMs))
        return false;
    if (PeerIsThisUser(socket))
        return true;
    socket.abort();
    return false;
}

bool SendFrame(const std::string& socketName, const TWindowLink::Frame& frame)
{
    QLocalSocket socket;
    if (!Connect(socket, socketName))
        return false;
    const std::string bytes = TWindowLink::EncodeFrame(frame);
    if (socket.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()))
        return false;
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(ConnectTimeoutMs))
            return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(ConnectTimeoutMs);
    return true;
}

} // namespace

namespace TWindowLink {

std::string EncodeFrame(const Frame& frame)
{
    std::string out(Magic, sizeof(Magic));
    PutLE(out, frame.kind, 4);
    PutLE(out, frame.msg, 4);
    PutLE(out, 0, 4);
    PutLE(out, frame.wParam, 8);
    PutLE(out, frame.lParam, 8);
    return out;
}

bool DecodeFrame(const char* data, Frame& frame)
{
    if (std::memcmp(data, Magic, sizeof(Magic)) != 0)
        return false;
    frame.kind = uint32_t(GetLE(data + 4, 4));
    frame.msg = uint32_t(GetLE(data + 8, 4));
    frame.wParam = GetLE(data + 16, 8);
    frame.lParam = GetLE(data + 24, 8);
    return (frame.kind == KindPost || frame.kind == KindRaise) && GetLE(data + 12, 4) == 0;
}

bool Probe(const std::string& socketName)
{
    QLocalSocket socket;
    if (!Connect(socket, socketName))
        return false;
    socket.disconnectFromServer();
    return true;
}

bool SendPost(const std::string& socketName, uint32_t msg, uint64_t wParam, uint64_t lParam)
{
    return SendFrame(socketName, Frame{KindPost, msg, wParam, lParam});
}

bool SendRaise(const std::string& socketName)
{
    return SendFrame(socketName, Frame{KindRaise, 0, 0, 0});
}

} // namespace TWindowLink

TWindowLinkServer::TWindowLinkServer(const std::string& socketName, PostHandler onPost, RaiseHandler onRaise)
    : m_onPost(std::move(onPost)), m_onRaise(std::move(onRaise))
{
    // A live listener of another copy keeps the name; a file left behind by
    // a copy that crashed is removed so that this one can listen.
    if (TWindowLink::Probe(socketName))
        return;
    const QString name = QString::fromStdString(socketName);
    QLocalServer::removeServer(name);
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(name)) {
        ReportBoundaryError("WindowLink",
                            "Cannot listen on " + socketName + ": " + server->errorString().toStdString());
        return;
    }
    QObject::connect(server.get(), &QLocalServer::newConnection, server.get(), [this] { AcceptPending(); });
    m_server = std::move(server);
}

TWindowLinkServer::~TWindowLinkServer()
{
    if (m_server)
        m_server->close();
}

bool TWindowLinkServer::Listening() const
{
    return m_server && m_server->isListening();
}

void TWindowLinkServer::AcceptPending()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        if (!PeerIsThisUser(*socket)) {
            ReportBoundaryError("WindowLink", "Connection from another user refused");
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // At the limit the oldest connection goes, so that a flood of idle
        // connections cannot shut out the sender that comes next.
        m_connections.erase(std::remove(m_connections.begin(), m_connections.end(), nullptr),
                            m_connections.end());
        if (m_connections.size() >= std::size_t(MaxConnections)) {
            if (QLocalSocket* oldest = m_connections.front()) {
                oldest->abort();
                oldest->deleteLater();
            }
            m_connections.pop_front();
        }
        m_connections.emplace_back(socket);
        QTimer::singleShot(ConnectionLifeMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            // Whole frames only; a partial frame waits for its rest.
            while (socket->bytesAvailable() >= qint64(TWindowLink::FrameSize)) {
                const QByteArray bytes = socket->read(qint64(TWindowLink::FrameSize));
                TWindowLink::Frame frame;
                if (!TWindowLink::DecodeFrame(bytes.constData(), frame)) {
                    ReportBoundaryError("WindowLink", "Malformed window message frame; connection closed");
                    socket->abort();
                    return;
                }
                try {
                    if (frame.kind == TWindowLink::KindPost && m_onPost)
                        m_onPost(frame.msg, frame.wParam, frame.lParam);
                    else if (frame.kind == TWindowLink::KindRaise && m_onRaise)
                        m_onRaise();
                } catch (...) {
                    ReportCurrentException("WindowLink");
                }
            }
        });
    }
}
