#pragma once
// The HTTP/1.1 client object of one remote exchange (`TNembraTransport`), the
// stream class of decoded replies, and the decoding of reply texts.
//
// A transport is used by one thread at a time: the connection takes it from
// its pool for one call and gives it back afterwards (NembraConnection.h).
// It keeps its TCP connection (and TLS session) open between calls, so that
// a pooled transport reaches the server without a new handshake.
//
// What it does on the wire:
// - HTTP/1.1 (or 1.0 when Protocol says so) over libcurl; redirects are not
//   followed, no proxy is used, only http and https addresses are reached,
//   and https checks the server's certificate against the system store.
// - The request carries the header lines of Headers, the content type
//   MimeType, and one Cookie header made of the Cookies list (see CookiesFor).
//   Set-Cookie lines of the reply update that list: the name=value before
//   the first ";" replaces the cookie of that name, and an empty value
//   removes it. A name or value holding a control character, or a pair
//   longer than MaxCookieSize, is ignored; the list holds at most MaxCookies
//   (a new one beyond pushes the oldest out). CookieHosts records the host
//   that set each cookie, and a cookie goes only to that host.
// - The reply body is taken as it comes: a gzip body stays compressed
//   (Content-Encoding is the caller's to decode) and a chunked body is
//   decoded here, block by block, so that the status hook sees each chunk.
//
// The status hook (OnStatus) is how the caller watches an exchange:
// - HR_WriteCount with the byte count after each block of the body is handed
//   to the socket (blocks of SendChunk bytes when it is above 0);
// - HR_ReadCount with an empty value before each block of a reply body whose
//   size is known and above 0: an identity body of known length, and every
//   chunk of a chunked body. DownloadSize is that block's size at that moment;
//   a block of size 0 (the last chunk) raises nothing;
// - HR_ReadCount with the byte count after bytes of the body arrived.
// Abort, from any thread, stops the exchange at its next socket event;
// HTTPMethod then answers false. An exception raised by the hook ends the
// exchange and reaches the caller of HTTPMethod.
//
// Hostile replies: a malformed status line, header or chunk framing, a body
// or header block beyond its limit, and a reply cut short all end the
// exchange as failed, with the reason in ErrorText. At most 4 MiB are set
// aside for a body from the length the server declares; beyond that a body
// takes only the room of the bytes that came.

#include "platform/DateUtils.h"
#include "platform/StringList.h"
#include "platform/Streams.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TNembraRequest;

// The largest reply body accepted, raw or after gzip decoding (1 GiB).
constexpr int64_t NembraMaxReplySize = int64_t(1) << 30;

// Reasons of the socket status hook.
enum THookSocketReason
{
    HR_ReadCount,
    HR_WriteCount
};
using THookSocketStatus = std::function<void(THookSocketReason Reason, const std::string& Value)>;

// Decoded replies. A memory stream of its own so that a reply buffer can be
// handed from the transport to the request without copying it.
class TNembraMemoryStream : public TMemoryStream
{
  public:
    std::string ClassName() const override { return "TNembraMemoryStream"; }

    void Reserve(int64_t Capacity);
    // Exchanges content and position with other.
    void Swap(TNembraMemoryStream& Other) noexcept;
    // The whole content as text, whatever the position.
    std::string_view View() const;
    // Appends at the end, whatever the position.
    void Append(const char* Data, size_t Size);
};

class TNembraTransport
{
  public:
    TNembraTransport();
    virtual ~TNembraTransport();
    TNembraTransport(const TNembraTransport&) = delete;
    TNembraTransport& operator=(const TNembraTransport&) = delete;

    // --- Settings of the HTTP client
    const std::string& Protocol() const { return m_protocol; }
    void SetProtocol(const std::string& Value) { m_protocol = Value; }
    // Milliseconds that connecting, and any silence of the peer, may take
    // (a reply that keeps flowing may take longer). Over every stretch of
    // ten time-outs at least 256 bytes must move, so that a server sending a
    // byte now and then cannot hold a call open for ever.
    int Timeout() const { return m_timeoutMs; }
    void SetTimeout(int Ms) { m_timeoutMs = Ms > 0 ? Ms : DefaultTimeout; }
    // Bytes handed to the socket at a time (0: as many as it takes).
    int SendChunk() const { return m_sendChunk; }
    void SetSendChunk(int Bytes) { m_sendChunk = Bytes; }
    const std::string& MimeType() const { return m_mimeType; }
    void SetMimeType(const std::string& Value) { m_mimeType = Value; }
    static constexpr int DefaultTimeout = 90000;

    // --- One exchange
    // Header lines sent with the request ("Name:value").
    TStringList& Headers() { return m_headers; }
    // The session's cookies as name=value lines.
    TStringList& Cookies() { return m_cookies; }
    // name=host: the host that set each cookie (lower case, without port).
    // A cookie without a line here is the program's own and goes to any host.
    TStringList& CookieHosts() { return m_cookieHosts; }
    // The cookies sent to URL (name=value), in the list's order.
    std::vector<std::string> CookiesFor(const std::string& URL) const;
    static constexpr int MaxCookies = 50;
    static constexpr int MaxCookieSize = 4096;
    // The body to send; after HTTPMethod, the reply body (chunks decoded).
    TNembraMemoryStream& Document() { return m_document; }

    // Sends Document with Method to URL and reads the reply. False when the
    // exchange failed (no connection, time-out, abort, a broken reply).
    bool HTTPMethod(const std::string& Method, const std::string& URL);

    int ResultCode() const { return m_resultCode; }
    const std::string& ResultString() const { return m_resultString; }
    // The reply's header lines as received ("Name: value"), without the status line.
    TStringList& ResponseHeaders() { return m_responseHeaders; }
    // The trimmed value of the first reply header of that name (matched
    // without regard to case, as HTTP header names are); '' when none.
    std::string GetResponseHeader(std::string_view Name) const;
    bool Chunked() const { return m_bodyMode == BodyMode::Chunked; }
    // The size of the body being sent.
    int64_t SendSize() const { return m_outgoing.Size(); }
    // The size of the body block being read (see the status hook).
    int64_t DownloadSize() const { return m_downloadSize; }
    // Why the last exchange failed.
    const std::string& ErrorText() const { return m_errorText; }

    // Stops the running exchange at its next socket event; any thread.
    void Abort() { m_abort = true; }
    bool Aborting() const { return m_abort; }
    // Drops the TCP connection; the next exchange connects anew.
    void CloseSocket();

    THookSocketStatus OnStatus;

    // --- The remote call this transport serves
    TNembraRequest* Request() const { return m_request; }
    void SetRequest(TNembraRequest* Value) { m_request = Value; }
    TDateTime LastUsed() const { return m_lastUsed; }
    void SetLastUsed(TDateTime Value) { m_lastUsed = Value; }
    // The reply announced a progress stream ("X-NEMBRA-PROGRESS: YES").
    bool ProgressMode() const { return m_progressMode; }
    void SetProgressMode(bool Value) { m_progressMode = Value; }
    // Where in Document the next progress chunk's text begins.
    int64_t ProgressOffset() const { return m_progressOffset; }
    void SetProgressOffset(int64_t Value) { m_progressOffset = Value; }

    // The progress handler of remote calls, installed as OnStatus: it turns
    // socket events into the bound request's state, progress and byte counts,
    // reads the chunks of a progress stream, and aborts the exchange when the
    // request was aborted. Does nothing while no request is bound.
    void SocketStatus(THookSocketReason Reason, const std::string& Value);

  protected:
    // Sends the request and feeds the reply through the Reply* steps below.
    // The default talks HTTP through libcurl; a replacement (a recorded or
    // generated reply) feeds them itself. False when the exchange failed.
    virtual bool Transfer(const std::string& Method, const std::string& URL);

    // The next block of the body to send, at most Max bytes (0 at the end),
    // raising the write-count event. Sets the abort flag's effect: answers 0
    // with Aborting() true when the exchange is to stop.
    size_t NextBodyBlock(char* Buffer, size_t Max);
    // One header line of the reply (the line end may be included). A status
    // line starts a new reply, so interim replies (1xx) are read over.
    bool ReplyHeaderLine(std::string_view Line);
    // Bytes of the reply body as they arrive.
    bool ReplyBody(const char* Data, size_t Size);
    // The peer finished: false when the body is cut short.
    bool EndReply();
    // Records the reason of a failure; answers false.
    bool Fail(std::string Reason);
    // Raises the status hook; false when the exchange is to stop. An
    // exception from the hook is kept and raised again by HTTPMethod.
    bool Raise(THookSocketReason Reason, const std::string& Value);

  private:
    enum class BodyMode
    {
        None,       // no body (HEAD, 1xx, 204, 304)
        Identity,   // Content-Length bytes
        Chunked,    // chunked framing, decoded here
        UntilClose, // everything until the peer closes
    };
    enum class ChunkState
    {
        Size,      // reading the chunk-size line
        Data,      // reading chunk data
        DataEnd,   // the CR LF after the data
        Trailer,   // trailer lines after the last chunk
        Done,
    };

    void BeginExchange(const std::string& Method);
    bool StartBody();
    bool ChunkedBody(const char* Data, size_t Size);
    bool ChunkSizeLine();
    bool AppendBody(const char* Data, size_t Size);
    bool ParseStatusLine(std::string_view Line);
    void StoreCookie(std::string_view Value);

    // libcurl callbacks
    static size_t CurlHeader(char* Data, size_t Size, size_t Count, void* Self);
    static size_t CurlWrite(char* Data, size_t Size, size_t Count, void* Self);
    static size_t CurlRead(char* Buffer, size_t Size, size_t Count, void* Self);
    static int CurlProgress(void* Self, int64_t, int64_t, int64_t, int64_t);

    // The CURL easy handle, made and given its fixed options on first use.
    void* Handle();

    void* m_curl = nullptr;
    char m_errorBuffer[256] = {};
    std::string m_protocol = "1.1";
    int m_timeoutMs = DefaultTimeout;
    int m_sendChunk = 0;
    std::string m_mimeType = "text/html";

    TStringList m_headers;
    TStringList m_cookies;
    TStringList m_cookieHosts;
    std::string m_exchangeHost;
    TNembraMemoryStream m_document;
    TStringList m_responseHeaders;
    int m_resultCode = 0;
    std::string m_resultString;
    std::string m_errorText;
    std::atomic<bool> m_abort{false};
    std::exception_ptr m_hookError;

    // Time-out of waits: when bytes last moved, and how many had.
    uint64_t m_lastActivity = 0;
    int64_t m_bytesMoved = 0;
    // The lowest rate: when the current window began, and the bytes moved by then.
    uint64_t m_windowStart = 0;
    int64_t m_windowBytes = 0;
    // Upload
    TNembraMemoryStream m_outgoing;
    int64_t m_sendPos = 0;
    // Reply reading
    std::string m_method;
    bool m_statusSeen = false;
    bool m_headersDone = false;
    int64_t m_headerBytes = 0;
    BodyMode m_bodyMode = BodyMode::None;
    bool m_progressAnnounced = false; // "X-NEMBRA-PROGRESS: YES" in the header
    int64_t m_contentLength = -1;
    int64_t m_bodyReceived = 0;
    int64_t m_downloadSize = 0;
    ChunkState m_chunkState = ChunkState::Size;
    std::string m_chunkLine;
    int64_t m_chunkLeft = 0;

    TNembraRequest* m_request = nullptr;
    TDateTime m_lastUsed = 0;
    bool m_progressMode = false;
    int64_t m_progressOffset = 0;
};

// The host of an address, lower case, without user, port or path.
std::string HostOfURL(std::string_view URL);

// The text of a reply for reading: a leading UTF-8 byte-order mark is
// dropped, and a text that is not valid UTF-8 (a server still sending its
// Windows code page) is converted from Windows-1252.
std::string ReplyTextToUTF8(std::string_view Bytes);
// The same in place when nothing is to be done: answers the view itself when
// Bytes is valid UTF-8 without a byte-order mark, else converts into Storage
// and answers a view of it.
std::string_view ReplyTextView(std::string_view Bytes, std::string& Storage);
// Inflates a gzip body (several members are read one after the other) into
// Out. False, with Out emptied, when the data is broken or cut short, or when
// it would inflate beyond MaxSize (a small reply must not become gigabytes).
bool GunzipReply(std::string_view Compressed, TNembraMemoryStream& Out, int64_t MaxSize = NembraMaxReplySize);

// A plain GET of URL with a transport of its own (no pool, no envelope, no
// progress): the reply body as it came. Raises Exception "Unable to retrieve
// document by URL: %s" when the exchange fails.
std::string HttpGetString(const std::string& URL);
