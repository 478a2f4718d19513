#pragma once
// A transport that answers from recorded replies instead of a socket, and a
// connection that uses it: for tests of how replies are read (chunk framing,
// cookies, gzip, progress streams) with every way of splitting the bytes,
// and for the fuzz target of reply reading.
//
// Each exchange takes the next reply: the raw bytes of a whole HTTP reply
// (status line, header lines, blank line, body as it travels). The body is
// fed in pieces of PieceSize bytes (0: all at once). What the exchange sent
// is recorded.

#include "Components/Nembra/NembraClient.h"
#include "Components/Nembra/NembraLib.h"

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct TSentRequest
{
    std::string Method;
    std::string URL;
    std::string Body;
    std::vector<std::string> Headers;
    std::vector<std::string> Cookies;
};

struct TScript
{
    std::deque<std::string> Replies;
    std::vector<TSentRequest> Sent;
    size_t PieceSize = 0;
    // Each exchange's socket events, as "W:n", "R:" (with DownloadSize as
    // "R:@size") and "R:n".
    std::vector<std::string> Events;
};

class TScriptedTransport : public TNembraTransport
{
  public:
    explicit TScriptedTransport(TScript& Script) : m_script(Script)
    {
        THookSocketStatus progress = OnStatus;
        OnStatus = [this, progress](THookSocketReason reason, const std::string& value) {
            if (reason == HR_WriteCount)
                m_script.Events.push_back("W:" + value);
            else if (value.empty())
                m_script.Events.push_back("R:@" + std::to_string(DownloadSize()));
            else
                m_script.Events.push_back("R:" + value);
            progress(reason, value);
        };
    }

  protected:
    bool Transfer(const std::string& Method, const std::string& URL) override
    {
        TSentRequest sent;
        sent.Method = Method;
        sent.URL = URL;
        for (int i = 0; i < Headers().Count(); ++i)
            sent.Headers.push_back(Headers().Get(i));
        sent.Cookies = CookiesFor(URL);
        char block[4096];
        for (size_t n; (n = NextBodyBlock(block, sizeof block)) > 0;)
            sent.Body.append(block, n);
        m_script.Sent.push_back(sent);
        if (Aborting())
            return Fail("Aborted");
        if (m_script.Replies.empty())
            return Fail("Connection refused");
        const std::string reply = m_script.Replies.front();
        m_script.Replies.pop_front();
        return Feed(reply);
    }

  private:
    bool Feed(const std::string& reply)
    {
        size_t pos = 0;
        // Header lines up to and including the blank line.
        while (pos < reply.size()) {
            size_t end = reply.find('\n', pos);
            end = end == std::string::npos ? reply.size() : end + 1;
            const std::string line = reply.substr(pos, end - pos);
            pos = end;
            if (!ReplyHeaderLine(line))
                return false;
            // The blank line ends the header, unless of an interim reply (1xx).
            if ((line == "\r\n" || line == "\n") && (ResultCode() < 100 || ResultCode() >= 200))
                break;
        }
        const size_t piece = m_script.PieceSize == 0 ? reply.size() : m_script.PieceSize;
        while (pos < reply.size()) {
            const size_t n = std::min(piece, reply.size() - pos);
            if (!ReplyBody(reply.data() + pos, n))
                return false;
            pos += n;
        }
        return EndReply();
    }

    TScript& m_script;
};

class TScriptedConnection : public TNembraConnection
{
  public:
    TScript Script;
    // Signs out through the scripted transports while Script still exists.
    ~TScriptedConnection() override { BeforeDestruction(); }

  protected:
    std::unique_ptr<TNembraTransport> CreateTransport() override
    {
        return std::make_unique<TScriptedTransport>(Script);
    }
};

// A reply with the given status, header lines and body (sent as it is: for
// a chunked body, write the chunk framing yourself).
inline std::string HttpReply(int Status, const std::vector<std::string>& HeaderLines, const std::string& Body)
{
    std::string reply = "HTTP/1.1 " + std::to_string(Status) + (Status == 200 ? " OK" : " Error") + "\r\n";
    for (const std::string& line : HeaderLines)
        reply += line + "\r\n";
    return reply + "\r\n" + Body;
}

// Chunk framing for each part, then the last chunk.
inline std::string Chunked(const std::vector<std::string>& Parts)
{
    static const char digits[] = "0123456789abcdef";
    std::string body;
    for (const std::string& part : Parts) {
        std::string size;
        for (size_t n = part.size(); n > 0 || size.empty(); n /= 16)
            size.insert(size.begin(), digits[n % 16]);
        body += size + "\r\n" + part + "\r\n";
    }
    return body + "0\r\n\r\n";
}

// A JSON reply with a length header.
inline std::string JsonReply(const std::string& Json, const std::vector<std::string>& Extra = {})
{
    std::vector<std::string> headers = {"Content-Length: " + std::to_string(Json.size())};
    headers.insert(headers.end(), Extra.begin(), Extra.end());
    return HttpReply(200, headers, Json);
}

// The form parameters of a sent body, by name.
using TSentForm = std::map<std::string, std::string>;
inline TSentForm FormOf(const std::string& body)
{
    TSentForm form;
    size_t start = 0;
    while (start < body.size()) {
        const size_t end = std::min(body.find('&', start), body.size());
        const std::string part = body.substr(start, end - start);
        const size_t eq = part.find('=');
        form[HTTPDecode(part.substr(0, eq))] = eq == std::string::npos ? "" : HTTPDecode(part.substr(eq + 1));
        start = end + 1;
    }
    return form;
}
