// Reading replies without a server: chunk framing and its socket events,
// cookies, header names, gzip and the charset of reply texts, each with the
// bytes split in every way a socket may deliver them.
#include "Components/Nembra/NembraClient.h"
#include "Components/Nembra/NembraJSON.h"

#include "support/ErrorOf.h"
#include "support/ScriptedTransport.h"
#include "support/Visible.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace {

std::string Gzip(const std::string& text)
{
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, static_cast<uLong>(text.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Runs one exchange of a scripted transport without a request bound.
struct TOneExchange
{
    TScript Script;
    TScriptedTransport Transport{Script};
    bool Ok = false;

    TOneExchange(const std::string& Reply, size_t PieceSize)
    {
        Script.Replies.push_back(Reply);
        Script.PieceSize = PieceSize;
        Ok = Transport.HTTPMethod("POST", "http://127.0.0.1/x");
    }
    std::string Body() { return std::string(Transport.Document().View()); }
};

} // namespace

TEST(NembraTransport, ChunkedBodyRaisesOneEventBeforeEachChunkWhateverTheSplit)
{
    const std::string reply =
        HttpReply(200, {"Transfer-Encoding: chunked"}, Chunked({"10 a", "55 half way", "{\"handle\":\"h\"}"}));
    const std::vector<std::string> expected = {"R:@4", "R:4", "R:@11", "R:11", "R:@14", "R:14"};
    for (size_t piece = 1; piece <= reply.size(); ++piece) {
        SCOPED_TRACE(piece);
        TOneExchange x(reply, piece);
        ASSERT_TRUE(x.Ok) << x.Transport.ErrorText();
        EXPECT_EQ(x.Body(), "10 a55 half way{\"handle\":\"h\"}");
        // Data events may come in several parts; the chunk events stay put.
        std::vector<std::string> merged;
        for (const std::string& e : x.Script.Events) {
            if (!merged.empty() && e.rfind("R:", 0) == 0 && e[2] != '@' && merged.back()[2] != '@') {
                merged.back() = "R:" + std::to_string(std::stoi(merged.back().substr(2)) + std::stoi(e.substr(2)));
                continue;
            }
            merged.push_back(e);
        }
        EXPECT_EQ(merged, expected);
        EXPECT_TRUE(x.Transport.Chunked());
    }
}

TEST(NembraTransport, IdentityBodyAnnouncesItsLength)
{
    TOneExchange x(HttpReply(200, {"Content-Length: 5"}, "hello"), 2);
    ASSERT_TRUE(x.Ok);
    EXPECT_EQ(x.Body(), "hello");
    EXPECT_EQ(x.Script.Events, (std::vector<std::string>{"R:@5", "R:2", "R:2", "R:1"}));

    TOneExchange empty(HttpReply(200, {"Content-Length: 0"}, ""), 0);
    ASSERT_TRUE(empty.Ok);
    EXPECT_TRUE(empty.Script.Events.empty()) << "an empty body raises nothing";
}

TEST(NembraTransport, ChunkExtensionsAndTrailersAreReadOver)
{
    TOneExchange x(HttpReply(200, {"Transfer-Encoding: chunked"}, "3;name=value\r\nabc\r\n0\r\nX-Trailer: 1\r\n\r\n"),
                   0);
    ASSERT_TRUE(x.Ok) << x.Transport.ErrorText();
    EXPECT_EQ(x.Body(), "abc");
}

TEST(NembraTransport, BrokenRepliesFailWithAReason)
{
    struct Case
    {
        const char* Desc;
        std::string Reply;
    };
    const Case cases[] = {
        {"no status line", "garbage\r\n\r\nbody"},
        {"status without code", "HTTP/1.1 OK\r\n\r\n"},
        {"status code not digits", "HTTP/1.1 2x0 OK\r\n\r\n"},
        {"chunk size not hexadecimal", HttpReply(200, {"Transfer-Encoding: chunked"}, "zz\r\nabc\r\n0\r\n\r\n")},
        {"chunk size too long", HttpReply(200, {"Transfer-Encoding: chunked"}, "1000000000000000\r\n")},
        {"chunk size above the reply limit", HttpReply(200, {"Transfer-Encoding: chunked"}, "7fffffff\r\nab")},
        {"chunk data not followed by its line end", HttpReply(200, {"Transfer-Encoding: chunked"}, "3\r\nabcX\r\n")},
        {"chunked body cut short", HttpReply(200, {"Transfer-Encoding: chunked"}, "3\r\nab")},
        {"chunked body without its last chunk", HttpReply(200, {"Transfer-Encoding: chunked"}, "3\r\nabc\r\n")},
        {"identity body cut short", HttpReply(200, {"Content-Length: 10"}, "abc")},
        {"length not a number", HttpReply(200, {"Content-Length: 1x"}, "abc")},
        {"length beyond the reply limit", HttpReply(200, {"Content-Length: 99999999999"}, "abc")},
        {"header never ends", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n"},
        {"chunk-size line without end", HttpReply(200, {"Transfer-Encoding: chunked"}, std::string(5000, '1'))},
        {"header block too large", HttpReply(200, std::vector<std::string>(3000, "X-Filler: " + std::string(100, 'x')),
                                             "")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        for (size_t piece : {size_t(0), size_t(1), size_t(7)}) {
            TOneExchange x(c.Reply, piece);
            EXPECT_FALSE(x.Ok);
            EXPECT_FALSE(x.Transport.ErrorText().empty());
        }
    }
}

TEST(NembraTransport, InterimRepliesAreReadOver)
{
    TOneExchange x("HTTP/1.1 100 Continue\r\n\r\n" + HttpReply(200, {"Content-Length: 2", "X-A: 1"}, "ok"), 0);
    ASSERT_TRUE(x.Ok) << x.Transport.ErrorText();
    EXPECT_EQ(x.Transport.ResultCode(), 200);
    EXPECT_EQ(x.Body(), "ok");
    EXPECT_EQ(x.Transport.GetResponseHeader("x-a"), "1");
}

TEST(NembraTransport, SetCookieUpdatesTheCookieList)
{
    struct Case
    {
        const char* Desc;
        std::vector<std::string> Before;
        std::string Header;
        std::vector<std::string> After;
    };
    const Case cases[] = {
        {"new cookie, attributes dropped", {}, "Set-Cookie: WSID=abc; Path=/; HttpOnly", {"WSID=abc"}},
        {"same name replaced", {"WSID=old", "X=1"}, "set-cookie: WSID=new", {"WSID=new", "X=1"}},
        {"empty value removes it", {"WSID=old", "X=1"}, "Set-Cookie: WSID=; Max-Age=0", {"X=1"}},
        {"value keeps its own equals signs", {}, "Set-Cookie: T=a=b", {"T=a=b"}},
        {"blanks around name and value", {}, "Set-Cookie:  A = 1 ;x", {"A=1"}},
        {"no equals sign is ignored", {"X=1"}, "Set-Cookie: junk", {"X=1"}},
        {"empty name is ignored", {"X=1"}, "Set-Cookie: =v", {"X=1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TScript script;
        script.Replies.push_back(HttpReply(200, {c.Header, "Content-Length: 0"}, ""));
        TScriptedTransport t(script);
        for (const std::string& cookie : c.Before)
            t.Cookies().Add(cookie);
        ASSERT_TRUE(t.HTTPMethod("POST", "http://127.0.0.1/x"));
        std::vector<std::string> after;
        for (int i = 0; i < t.Cookies().Count(); ++i)
            after.push_back(t.Cookies().Get(i));
        EXPECT_EQ(after, c.After);
        // What was sent carried the cookies held before.
        EXPECT_EQ(script.Sent.at(0).Cookies, c.Before);
    }
}

TEST(NembraTransport, TheCookieStoreKeepsFiftySmallCookiesAndRefusesControlCharacters)
{
    // One reply setting 4,000 cookies: the last 50 stay, in their order.
    std::vector<std::string> header;
    for (int i = 0; i < 4000; ++i)
        header.push_back("Set-Cookie: c" + std::to_string(i) + "=v" + std::to_string(i) + "; Path=/");
    header.push_back("Content-Length: 0");
    TScript script;
    script.Replies.push_back(HttpReply(200, header, ""));
    script.Replies.push_back(HttpReply(200, {"Content-Length: 0"}, ""));
    TScriptedTransport t(script);
    ASSERT_TRUE(t.HTTPMethod("POST", "http://127.0.0.1/x"));
    ASSERT_EQ(t.Cookies().Count(), 50);
    EXPECT_EQ(t.Cookies().Get(0), "c3950=v3950");
    EXPECT_EQ(t.Cookies().Get(49), "c3999=v3999");
    ASSERT_TRUE(t.HTTPMethod("POST", "http://127.0.0.1/x"));
    EXPECT_EQ(script.Sent.at(1).Cookies.size(), 50u);

    struct Case
    {
        const char* Desc;
        std::string Header;
        bool Kept;
    };
    const std::string big(4096 - 2, 'b'); // "B=" and the value: 4,096 bytes
    const Case cases[] = {
        {"a bare CR in the value", "Set-Cookie: A=x\ry", false},
        {"a NUL in the value", std::string("Set-Cookie: A=x\0y", 17), false},
        {"a tab in the name", "Set-Cookie: A\tB=1", false},
        {"DEL in the value", "Set-Cookie: A=x\x7fy", false},
        {"4,096 bytes", "Set-Cookie: B=" + big, true},
        {"4,097 bytes", "Set-Cookie: B=" + big + "b", false},
        {"plain", "Set-Cookie: A=x y", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        TScript one;
        one.Replies.push_back(HttpReply(200, {c.Header, "Content-Length: 0"}, ""));
        TScriptedTransport u(one);
        u.Cookies().Add("X=1");
        ASSERT_TRUE(u.HTTPMethod("POST", "http://127.0.0.1/x"));
        EXPECT_EQ(u.Cookies().Count(), c.Kept ? 2 : 1);
        for (int i = 0; i < u.Cookies().Count(); ++i)
            EXPECT_EQ(u.Cookies().Get(i).find_first_of("\r\n\t\x7f"), std::string::npos);
    }
}

TEST(NembraTransport, ACookieGoesOnlyToTheHostThatSetIt)
{
    TScript script;
    script.Replies.push_back(HttpReply(200, {"Set-Cookie: WSID=s1", "Content-Length: 0"}, ""));
    for (int i = 0; i < 3; ++i)
        script.Replies.push_back(HttpReply(200, {"Content-Length: 0"}, ""));
    TScriptedTransport t(script);
    t.Cookies().Add("OWN=1"); // the program's own: any host
    ASSERT_TRUE(t.HTTPMethod("POST", "http://Server.example:8080/a"));
    ASSERT_TRUE(t.HTTPMethod("POST", "https://server.EXAMPLE/b"));
    ASSERT_TRUE(t.HTTPMethod("POST", "http://other.example:8080/a"));
    ASSERT_TRUE(t.HTTPMethod("POST", "http://user@server.example.evil/a"));
    EXPECT_EQ(script.Sent.at(1).Cookies, (std::vector<std::string>{"OWN=1", "WSID=s1"})) << "same host, any port";
    EXPECT_EQ(script.Sent.at(2).Cookies, (std::vector<std::string>{"OWN=1"}));
    EXPECT_EQ(script.Sent.at(3).Cookies, (std::vector<std::string>{"OWN=1"}));
    EXPECT_EQ(HostOfURL("http://u:p@[::1]:80/x?y"), "[::1]");
}

TEST(NembraTransport, GunzipReadsMembersAndRefusesBrokenOrOversizedData)
{
    const std::string text = std::string(5000, 'a') + "end";
    TNembraMemoryStream out;
    ASSERT_TRUE(GunzipReply(Gzip(text), out));
    EXPECT_EQ(out.View(), text);
    EXPECT_EQ(out.Position(), 0);

    ASSERT_TRUE(GunzipReply(Gzip("one ") + Gzip("two"), out)) << "several gzip members";
    EXPECT_EQ(out.View(), "one two");

    const std::string packed = Gzip(text);
    struct Case
    {
        const char* Desc;
        std::string Data;
    };
    const Case broken[] = {
        {"cut short", packed.substr(0, packed.size() / 2)},
        {"without its trailer", packed.substr(0, packed.size() - 4)},
        {"not gzip at all", "plain text"},
        {"empty", ""},
        {"a damaged byte", [&] {
             std::string d = packed;
             d[d.size() / 2] ^= 0x55;
             return d;
         }()},
    };
    for (const Case& c : broken) {
        SCOPED_TRACE(c.Desc);
        EXPECT_FALSE(GunzipReply(c.Data, out));
        EXPECT_EQ(out.Size(), 0);
    }
    EXPECT_FALSE(GunzipReply(packed, out, 4096)) << "inflates beyond the cap";
    EXPECT_TRUE(GunzipReply(packed, out, static_cast<int64_t>(text.size())));
}

TEST(NembraTransport, ReplyTextIsUTF8WithoutByteOrderMark)
{
    struct Case
    {
        const char* Desc;
        std::string Bytes;
        std::string Text;
    };
    const Case cases[] = {
        {"UTF-8 unchanged", "caf\xC3\xA9 \xE2\x82\xAC", "caf\xC3\xA9 \xE2\x82\xAC"},
        {"byte-order mark dropped", "\xEF\xBB\xBF{\"a\":1}", "{\"a\":1}"},
        {"Windows-1252 converted", "caf\xE9 \x80 \x93x\x94", "caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D"},
        {"code-page gaps kept as their code points", "\x81", "\xC2\x81"},
        {"overlong UTF-8 is not UTF-8", "\xC0\xAF", "\xC3\x80\xC2\xAF"},
        {"empty", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(Visible(ReplyTextToUTF8(c.Bytes)), Visible(c.Text));
    }
}
