#include "Components/Controller/web/WebAds.h"

#include "Controller/LoopbackServer.h"
#include "platform/SysUtils.h"
#include "support/AppServerProcess.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Ending = LoopbackServer::Ending;

TEST(WebAdsTest, HTTPEncodeTable)
{
    const struct
    {
        std::string in, out;
    } cases[] = {
        {"a b/c", "a+b/c"},
        {"AB12", "AB%31%32"},
        {"x&y", "x%26y"},
        {"E1/U1", "E%31/U%31"},
        {"*-./:=@_", "*-./:=@_"},
        {"~!?#%+", "%7E%21%3F%23%25%2B"},
        {"\xC3\xA9\t", "%C3%A9%09"},
        {std::string("a\0b", 3), "a%00b"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HTTPEncode(c.in), c.out) << c.in;
}

TEST(WebAdsTest, RequestBytesAndHostWithoutPort)
{
    LoopbackServer server({{"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"}}, Ending::Hang);
    std::string result = "old";
    HTTPGet(" 127.0.0.1:" + std::to_string(server.Port()) + " ", "a.php", result);
    EXPECT_EQ(result, "hello");
    EXPECT_EQ(server.Request(), "GET /a.php HTTP/1.1\r\nHost: 127.0.0.1\r\nContentType: text/html\r\n"
                                "Accept: */*\r\nAccept-Language: en-us\r\nUser-Agent: Mozilla/4.0 (compatible)\r\n\r\n");
}

TEST(WebAdsTest, RepliesInPiecesAndFramings)
{
    const std::string head = "HTTP/1.1 200 OK\r\n";
    const struct
    {
        const char* name;
        std::vector<LoopbackServer::Step> steps;
        Ending ending;
        std::string expected;
    } cases[] = {
        {"length in pieces", {{head + "Content-Length: 11\r\n\r\nhel", 0}, {"lo ", 60}, {"world", 60}},
         Ending::Hang, "hello world"},
        {"head split", {{head + "Content-Le", 0}, {"ngth: 2\r\n", 40}, {"\r\nok", 40}}, Ending::Hang, "ok"},
        {"chunked", {{head + "Transfer-Encoding: chunked\r\n\r\n4\r\nWiki\r\n", 0}, {"5;x=y\r\npedia\r\n", 50},
                     {"0\r\nX-Trailer: 1\r\n\r\n", 50}},
         Ending::Hang, "Wikipedia"},
        {"closed framing", {{head + "Content-Type: text/plain\r\n\r\nline1\n", 0}, {"line2\n", 40}},
         Ending::Close, "line1\nline2\n"},
        {"no empty line", {{"just text", 0}}, Ending::Close, "just text"},
        {"length past close", {{head + "Content-Length: 100\r\n\r\nshort", 0}}, Ending::Close, "short"},
        {"malformed chunk", {{head + "Transfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n0\r\n\r\n", 0}},
         Ending::Close, ""},
        {"reset", {{head + "Content-Length: 100\r\n\r\npartial", 0}}, Ending::Reset, ""},
    };
    for (const auto& c : cases)
    {
        LoopbackServer server(c.steps, c.ending);
        std::string result;
        HTTPGet(server.HostAndPort(), "x", result);
        EXPECT_EQ(result, c.expected) << c.name;
    }
}

TEST(WebAdsTest, HungServerGivesNothing)
{
    // The head promises more than is ever sent.
    LoopbackServer server({{"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", 0}}, Ending::Hang);
    std::string result = "old";
    HTTPGet(server.HostAndPort(), "x", result, std::chrono::milliseconds(300));
    EXPECT_EQ(result, "");
}

TEST(WebAdsTest, LargeReplyIsCutOff)
{
    const std::string body(100000, 'b');
    LoopbackServer server({{"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + body, 0}}, Ending::Hang);
    std::string result;
    HTTPGet(server.HostAndPort(), "x", result);
    const size_t headSize = std::string("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n").size();
    EXPECT_EQ(result, body.substr(0, HTTPGetMaxReply - headSize));
}

TEST(WebAdsTest, FailuresGiveEmptyAndBadPortsRaise)
{
    std::string result = "old";
    // Nothing listens on a port just released.
    int port;
    {
        LoopbackServer probe({}, Ending::Close);
        port = probe.Port();
        std::string ignored;
        HTTPGet(probe.HostAndPort(), "x", ignored); // lets the probe end
    }
    HTTPGet("127.0.0.1:" + std::to_string(port), "x", result);
    EXPECT_EQ(result, "");

    result = "old";
    HTTPGet("no-such-host.invalid:8080", "x", result);
    EXPECT_EQ(result, "");

    for (const char* bad : {"localhost:", "localhost:80x", "localhost:0", "localhost:65536", "localhost:-1"})
    {
        result = "old";
        EXPECT_THROW(HTTPGet(bad, "x", result), EConvertError) << bad;
        EXPECT_EQ(result, "") << bad;
    }
}

TEST(WebAdsTest, IndustriesFromTheAdvertisingService)
{
    TAppServerProcess server;
    std::string result;
    HTTPGet("localhost:" + std::to_string(server.Port()), "services/get_industries.php", result);
    EXPECT_EQ(result, "Assisted Living\r\nHome Care\r\nHospice\r\nNursing Home\r\nRehabilitation\r\n");
}

TEST(WebAdsTest, ParseHttpReplyStates)
{
    EXPECT_EQ(ParseHttpReply("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nab", false).State,
              THttpReplyState::Incomplete);
    EXPECT_EQ(ParseHttpReply("HTTP/1.1 200 OK\r\ncontent-length: 3\r\n\r\nabcd", false).Body, "abc");
    EXPECT_EQ(ParseHttpReply("HTTP/1.1 200 OK\r\nContent-Length: 3x\r\n\r\nabc", false).State,
              THttpReplyState::Malformed);
    EXPECT_EQ(ParseHttpReply("HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabc", true).State,
              THttpReplyState::Malformed);
    // Chunked wins over a length.
    const THttpReply r =
        ParseHttpReply("HTTP/1.1 200 OK\r\nContent-Length: 1\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n0\r\n\r\n",
                       false);
    EXPECT_EQ(r.State, THttpReplyState::Complete);
    EXPECT_EQ(r.Body, "ab");
    EXPECT_EQ(ParseHttpReply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabX\r\n", false).State,
              THttpReplyState::Malformed);
    EXPECT_EQ(ParseHttpReply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFF\r\n", false).State,
              THttpReplyState::Malformed);
}

TEST(WebAdsTest, EventObjectRunsOncePerCall)
{
    int calls = 0;
    auto handler = TEventObject::Create([&] { ++calls; });
    EXPECT_EQ(handler->Invoke(DISPID_VALUE), S_OK);
    EXPECT_EQ(handler->Invoke(DISPID_VALUE), S_OK);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(handler->Invoke(5), E_NOTIMPL);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(handler->GetIDsOfNames(), E_NOTIMPL);
    TEventObject unassigned(nullptr);
    EXPECT_EQ(unassigned.Invoke(DISPID_VALUE), S_OK);
}

} // namespace
