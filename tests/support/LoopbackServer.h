#pragma once
// A raw TCP server on 127.0.0.1 for tests of how the client bears a peer
// that the local application server will not play: one that answers slowly,
// falls silent or drips. Each accepted connection runs Serve on a thread of
// its own with the connection's socket; the server stops (closing the
// listening socket and joining the threads) when the object goes.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TLoopbackServer
{
  public:
    using TServe = std::function<void(int Socket)>;

    explicit TLoopbackServer(TServe Serve) : m_serve(std::move(Serve))
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        socklen_t size = sizeof addr;
        if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(m_listen, 8) != 0 || ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &size) != 0)
            return;
        m_port = ntohs(addr.sin_port);
        m_acceptor = std::thread([this] { AcceptLoop(); });
    }
    ~TLoopbackServer()
    {
        m_stop = true;
        if (m_acceptor.joinable())
            m_acceptor.join();
        std::lock_guard<std::mutex> guard(m_lock);
        for (std::thread& t : m_connections)
            t.join();
        if (m_listen >= 0)
            ::close(m_listen);
    }
    TLoopbackServer(const TLoopbackServer&) = delete;
    TLoopbackServer& operator=(const TLoopbackServer&) = delete;

    int Port() const { return m_port; }
    std::string URL(const std::string& Path = "/") const
    {
        return "http://127.0.0.1:" + std::to_string(m_port) + Path;
    }
    bool Stopping() const { return m_stop; }

    // Reads the request's header (up to the blank line) and answers it.
    static std::string ReadRequestHeader(int Socket)
    {
        std::string text;
        char c;
        while (text.size() < 65536 && ::recv(Socket, &c, 1, 0) == 1) {
            text += c;
            if (text.size() >= 4 && text.compare(text.size() - 4, 4, "\r\n\r\n") == 0)
                break;
        }
        return text;
    }
    // False once the peer has gone.
    static bool Send(int Socket, const std::string& Data)
    {
        size_t done = 0;
        while (done < Data.size()) {
            const ssize_t n = ::send(Socket, Data.data() + done, Data.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }

  private:
    void AcceptLoop()
    {
        while (!m_stop) {
            pollfd p{m_listen, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            std::lock_guard<std::mutex> guard(m_lock);
            m_connections.emplace_back([this, fd] {
                m_serve(fd);
                ::close(fd);
            });
        }
    }

    TServe m_serve;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_acceptor;
    std::mutex m_lock;
    std::vector<std::thread> m_connections;
};
