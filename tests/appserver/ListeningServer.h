#pragma once
// An httplib server of the server's own tests listening on a free port of
// 127.0.0.1 on a thread of its own. Stop (or the end of the object) stops
// and joins it, also when a failed assertion leaves the test early.

#include <httplib.h>

#include <chrono>
#include <thread>

class TListeningServer
{
  public:
    // Port is 0 when no port could be bound or the server did not start
    // listening within 20 s.
    explicit TListeningServer(httplib::Server& Server) : m_server(Server)
    {
        const int port = m_server.bind_to_any_port("127.0.0.1");
        if (port <= 0)
            return;
        m_listener = std::thread([this] { m_server.listen_after_bind(); });
        // stop() reaches only a server that is running.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!m_server.is_running() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        if (m_server.is_running())
            Port = port;
    }
    ~TListeningServer() { Stop(); }
    TListeningServer(const TListeningServer&) = delete;
    TListeningServer& operator=(const TListeningServer&) = delete;

    void Stop()
    {
        m_server.stop();
        if (m_listener.joinable())
            m_listener.join();
    }

    int Port = 0;

  private:
    httplib::Server& m_server;
    std::thread m_listener;
};
