#pragma once
// A one-connection HTTP peer on 127.0.0.1 for the tests of the ad service's
// client and the light view: it reads the request head, keeps it, then plays
// a script of pieces (with pauses) and ends with a close, a reset or a hang.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

// One-connection loopback server: reads the request head, keeps it, then
// plays a script of pieces against the client.
class LoopbackServer
{
  public:
    struct Step
    {
        std::string Bytes;
        int PauseMs = 0;
    };
    enum class Ending
    {
        Close, // an orderly close
        Reset, // a reset (SO_LINGER 0)
        Hang   // keeps the connection open until the test ends
    };

    LoopbackServer(std::vector<Step> steps, Ending ending) : m_steps(std::move(steps)), m_ending(ending)
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        socklen_t len = sizeof a;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        ::listen(m_listen, 4);
        m_thread = std::thread([this] { Run(); });
    }
    ~LoopbackServer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_listen);
    }
    int Port() const { return m_port; }
    std::string HostAndPort() const { return "127.0.0.1:" + std::to_string(m_port); }
    const std::string& Request() const { return m_request; }
    bool Accepted() const { return m_accepted; }

  private:
    bool WaitReadable(int fd)
    {
        while (!m_stop)
        {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0)
                return true;
        }
        return false;
    }
    void Run()
    {
        if (!WaitReadable(m_listen))
            return;
        const int fd = ::accept(m_listen, nullptr, nullptr);
        m_accepted = true;
        std::string request;
        char buf[4096];
        while (request.find("\r\n\r\n") == std::string::npos && WaitReadable(fd))
        {
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            request.append(buf, static_cast<size_t>(n));
        }
        m_request = request;
        for (const Step& s : m_steps)
        {
            if (s.PauseMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(s.PauseMs));
            ::send(fd, s.Bytes.data(), s.Bytes.size(), MSG_NOSIGNAL);
        }
        if (m_ending == Ending::Reset)
        {
            linger l{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        }
        else if (m_ending == Ending::Hang)
        {
            while (!m_stop)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::close(fd);
    }

    std::vector<Step> m_steps;
    Ending m_ending;
    int m_listen = -1;
    int m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_accepted{false};
    std::string m_request;
};

