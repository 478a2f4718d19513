#pragma once
// A plain TCP connection to 127.0.0.1 for tests that speak HTTP to the local
// application server by hand: bodies it must refuse, or a call without a
// client connection of its own. Closed when the object goes.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <string>

class TLoopbackClient
{
  public:
    explicit TLoopbackClient(int Port) : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(Port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (m_fd >= 0 && ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~TLoopbackClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TLoopbackClient(const TLoopbackClient&) = delete;
    TLoopbackClient& operator=(const TLoopbackClient&) = delete;

    bool Connected() const { return m_fd >= 0; }
    int Socket() const { return m_fd; }

    // False when not all of it went out (the peer closed, or a send timeout ran out).
    bool Send(const char* Data, size_t Size) const
    {
        return m_fd >= 0 && ::send(m_fd, Data, Size, MSG_NOSIGNAL) == static_cast<ssize_t>(Size);
    }
    bool Send(const std::string& Data) const { return Send(Data.data(), Data.size()); }

    // What comes back until the peer closes, falls silent for 20 s, or
    // `Whole` says the reply so far is complete.
    std::string Receive(const std::function<bool(const std::string&)>& Whole = {}) const
    {
        std::string reply;
        char buffer[4096];
        while (m_fd >= 0) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20000) <= 0)
                break;
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            reply.append(buffer, static_cast<size_t>(n));
            if (Whole && Whole(reply))
                break;
        }
        return reply;
    }

  private:
    int m_fd;
};
