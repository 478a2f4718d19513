// The transport's time-out against a real socket: it measures the peer's
// silence, not the length of the call, and a peer that only drips is cut off.
#include "Components/Nembra/NembraTransport.h"

#include "support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Waits until the client has gone (or the server stops), so that what the
// client sees is its own decision, not a closed connection.
void WaitForClientToLeave(TLoopbackServer& Server, int Socket)
{
    char buffer[256];
    while (!Server.Stopping()) {
        pollfd p{Socket, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0 && ::recv(Socket, buffer, sizeof buffer, 0) <= 0)
            return;
    }
}

// Sends a reply of Blocks blocks of BlockSize bytes, one every Pause,
// after a header that announces them all; then Silence of nothing.
struct TPacedReply
{
    int Blocks = 0;
    size_t BlockSize = 0;
    std::chrono::milliseconds Pause{};
    int Announced = 0; // blocks announced in Content-Length (0: Blocks)
};

class TPacedServer
{
  public:
    explicit TPacedServer(TPacedReply Reply)
        : m_reply(Reply), m_server([this](int Socket) { Serve(Socket); })
    {
    }
    std::string URL() const { return m_server.URL("/slow"); }

  private:
    void Serve(int Socket)
    {
        TLoopbackServer::ReadRequestHeader(Socket);
        const int announced = m_reply.Announced > 0 ? m_reply.Announced : m_reply.Blocks;
        const std::string header = "HTTP/1.1 200 OK\r\nContent-Length: " +
                                   std::to_string(announced * m_reply.BlockSize) + "\r\n\r\n";
        if (!TLoopbackServer::Send(Socket, header))
            return;
        for (int i = 0; i < m_reply.Blocks && !m_server.Stopping(); ++i) {
            std::this_thread::sleep_for(m_reply.Pause);
            if (!TLoopbackServer::Send(Socket, std::string(m_reply.BlockSize, char('a' + i % 26))))
                return;
        }
        WaitForClientToLeave(m_server, Socket);
    }

    TPacedReply m_reply;
    TLoopbackServer m_server;
};

} // namespace

TEST(NembraTransportTimeout, AReplyThatKeepsFlowingOutlastsTheTimeOut)
{
    // Ten blocks a third of the time-out apart: the call takes three
    // time-outs, yet the server is never silent for one.
    TPacedServer server({10, 100, 300ms});
    TNembraTransport t;
    t.SetTimeout(1000);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(t.HTTPMethod("GET", server.URL())) << t.ErrorText();
    EXPECT_GT(std::chrono::steady_clock::now() - start, 1000ms) << "the call did outlast the time-out";
    EXPECT_EQ(t.ResultCode(), 200);
    EXPECT_EQ(t.Document().Size(), 1000);
}

TEST(NembraTransportTimeout, AServerThatFallsSilentFailsAtTheTimeOut)
{
    // One block, then nothing of the nine announced.
    TPacedServer server({1, 100, 0ms, 10});
    TNembraTransport t;
    t.SetTimeout(1000);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(t.HTTPMethod("GET", server.URL()));
    EXPECT_EQ(t.ErrorText(), "No answer from the server within 1000 ms");
    EXPECT_GE(std::chrono::steady_clock::now() - start, 1000ms);
}

TEST(NembraTransportTimeout, AServerThatOnlyDripsIsCutOff)
{
    // A byte every third of the time-out would hold the call for a minute:
    // ten time-outs pass with fewer than 256 bytes, and the call ends.
    TPacedServer server({600, 1, 100ms});
    TNembraTransport t;
    t.SetTimeout(300);
    EXPECT_FALSE(t.HTTPMethod("GET", server.URL()));
    EXPECT_EQ(t.ErrorText(), "The server sent fewer than 256 bytes in 3000 ms");
}
