#include "Components/Controller/web/WebAds.h"

#include "platform/SysUtils.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Closes the socket on every way out, the conversion error of the port too.
class TSocket
{
  public:
    TSocket() : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~TSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TSocket(const TSocket&) = delete;
    TSocket& operator=(const TSocket&) = delete;
    int Fd() const { return m_fd; }

  private:
    int m_fd;
};

bool ResolveIPv4(const std::string& host, in_addr& address)
{
    if (host.empty())
        return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        return false;
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return true;
}

bool SendAll(int fd, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size())
    {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

std::string_view TrimView(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// A decimal length of at most 15 digits (a reply is never near that).
bool ParseLength(std::string_view text, size_t& value)
{
    text = TrimView(text);
    if (text.empty() || text.size() > 15)
        return false;
    value = 0;
    for (char c : text)
    {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<size_t>(c - '0');
    }
    return true;
}

// A chunk-size line: hexadecimal digits, then optionally ";" and extensions.
bool ParseChunkSize(std::string_view line, size_t& value)
{
    const size_t semicolon = line.find(';');
    if (semicolon != std::string_view::npos)
        line = line.substr(0, semicolon);
    line = TrimView(line);
    if (line.empty() || line.size() > 8)
        return false;
    value = 0;
    for (char c : line)
    {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return false;
        value = value * 16 + static_cast<size_t>(digit);
    }
    return true;
}

// Decodes a chunked body; `body` gets every chunk byte that has arrived.
THttpReplyState DecodeChunked(std::string_view data, std::string& body)
{
    size_t pos = 0;
    for (;;)
    {
        const size_t lineEnd = data.find("\r\n", pos);
        if (lineEnd == std::string_view::npos)
            return THttpReplyState::Incomplete;
        size_t size = 0;
        if (!ParseChunkSize(data.substr(pos, lineEnd - pos), size))
            return THttpReplyState::Malformed;
        pos = lineEnd + 2;
        if (size == 0)
        {
            // Trailer fields up to an empty line.
            for (;;)
            {
                const size_t end = data.find("\r\n", pos);
                if (end == std::string_view::npos)
                    return THttpReplyState::Incomplete;
                if (end == pos)
                    return THttpReplyState::Complete;
                pos = end + 2;
            }
        }
        const size_t available = data.size() - pos;
        body.append(data.substr(pos, std::min(size, available)));
        if (available < size + 2)
            return THttpReplyState::Incomplete;
        if (data.substr(pos + size, 2) != "\r\n")
            return THttpReplyState::Malformed;
        pos += size + 2;
    }
}

} // namespace

std::string HTTPGetRequest(const std::string& Host, const std::string& Path)
{
    return "GET /" + Path + " HTTP/1.1\r\nHost: " + Host +
           "\r\nContentType: text/html\r\nAccept: */*\r\nAccept-Language: en-us\r\n"
           "User-Agent: Mozilla/4.0 (compatible)\r\n\r\n";
}

THttpReply ParseHttpReply(std::string_view Raw, bool PeerClosed)
{
    THttpReply reply;
    const size_t headEnd = Raw.find("\r\n\r\n");
    if (headEnd == std::string_view::npos)
    {
        // Without an empty line the reply is taken whole, headers included.
        reply.Body.assign(Raw);
        reply.State = PeerClosed ? THttpReplyState::Complete : THttpReplyState::Incomplete;
        return reply;
    }
    const std::string_view head = Raw.substr(0, headEnd);
    const std::string_view data = Raw.substr(headEnd + 4);

    bool chunked = false;
    bool hasLength = false;
    size_t length = 0;
    size_t lineStart = head.find("\r\n"); // the status line has no field
    while (lineStart != std::string_view::npos)
    {
        lineStart += 2;
        const size_t lineEnd = head.find("\r\n", lineStart);
        const std::string_view line = head.substr(lineStart, lineEnd == std::string_view::npos
                                                                 ? std::string_view::npos
                                                                 : lineEnd - lineStart);
        const size_t colon = line.find(':');
        if (colon != std::string_view::npos)
        {
            const std::string_view name = TrimView(line.substr(0, colon));
            const std::string_view value = TrimView(line.substr(colon + 1));
            if (EqualsNoCase(name, "Transfer-Encoding"))
            {
                const size_t comma = value.rfind(',');
                chunked = EqualsNoCase(TrimView(comma == std::string_view::npos ? value : value.substr(comma + 1)),
                                       "chunked");
            }
            else if (EqualsNoCase(name, "Content-Length"))
            {
                size_t value2 = 0;
                if (!ParseLength(value, value2) || (hasLength && value2 != length))
                {
                    reply.State = THttpReplyState::Malformed;
                    return reply;
                }
                hasLength = true;
                length = value2;
            }
        }
        lineStart = lineEnd;
    }

    if (chunked)
    {
        reply.State = DecodeChunked(data, reply.Body);
        if (reply.State == THttpReplyState::Malformed)
            reply.Body.clear();
        return reply;
    }
    if (hasLength)
    {
        reply.Body.assign(data.substr(0, std::min(length, data.size())));
        reply.State = data.size() >= length ? THttpReplyState::Complete : THttpReplyState::Incomplete;
        return reply;
    }
    reply.Body.assign(data);
    reply.State = PeerClosed ? THttpReplyState::Complete : THttpReplyState::Incomplete;
    return reply;
}

void HTTPGet(const std::string& HostAndPort, const std::string& Path, std::string& Result)
{
    HTTPGet(HostAndPort, Path, Result, std::chrono::seconds(10));
}

void HTTPGet(const std::string& HostAndPort, const std::string& Path, std::string& Result,
             std::chrono::milliseconds Timeout)
{
    Result.clear();
    TSocket socket;
    if (socket.Fd() < 0)
        return;

    const std::string hostAndPort = Trim(HostAndPort);
    std::string host = hostAndPort;
    int32_t port = 80;
    const size_t colon = hostAndPort.find(':');
    if (colon != std::string::npos)
    {
        const std::string portText = Trim(std::string_view(hostAndPort).substr(colon + 1));
        host = hostAndPort.substr(0, colon);
        port = StrToInt(portText);
        // A port the socket address cannot hold would reach another port.
        if (port < 1 || port > 65535)
            throw EConvertError(Format("'%s' is not a valid integer value", portText));
    }

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    // An unknown host is not "any address": on this system 0.0.0.0 is the
    // machine itself.
    if (!ResolveIPv4(host, address.sin_addr))
        return;
    int rc;
    do
        rc = ::connect(socket.Fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    while (rc != 0 && errno == EINTR);
    if (rc != 0)
        return;

    if (!SendAll(socket.Fd(), HTTPGetRequest(host, Path)))
        return;

    const auto deadline = std::chrono::steady_clock::now() + Timeout;
    std::string raw;
    char buffer[16384];
    for (;;)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return; // the time ran out first
        pollfd p{socket.Fd(), POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return;
        const size_t room = HTTPGetMaxReply - raw.size();
        const ssize_t n = ::recv(socket.Fd(), buffer, std::min(room, sizeof buffer), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return; // a failed receive (a reset) is a failure
        raw.append(buffer, static_cast<size_t>(n));
        const bool closed = n == 0;
        const bool full = raw.size() >= HTTPGetMaxReply;
        THttpReply reply = ParseHttpReply(raw, closed);
        if (reply.State == THttpReplyState::Malformed)
            return;
        // The peer's close ends the reply whatever its framing promised.
        if (reply.State == THttpReplyState::Complete || full || closed)
        {
            Result = std::move(reply.Body);
            return;
        }
    }
}

std::string HTTPEncode(const std::string& Value)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(Value.size() * 3);
    for (const char c : Value)
    {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b != 0 && std::strchr("*-./:=@_", b) != nullptr))
            result += c;
        else if (b == ' ')
            result += '+';
        else
        {
            result += '%';
            result += hex[b >> 4];
            result += hex[b & 0xF];
        }
    }
    return result;
}

TEventObject::TEventObject(std::function<void()> Handler) : m_handler(std::move(Handler)) {}

std::shared_ptr<TEventObject> TEventObject::Create(std::function<void()> Handler)
{
    return std::make_shared<TEventObject>(std::move(Handler));
}

HRESULT TEventObject::Invoke(DISPID DispId)
{
    if (DispId != DISPID_VALUE)
        return E_NOTIMPL;
    if (m_handler)
        m_handler();
    return S_OK;
}
