#include "Components/Nembra/NembraTransport.h"

#include "Components/Nembra/NembraDebugMode.h"
#include "Components/Nembra/NembraRequest.h"

#include "platform/SysUtils.h"
#include "platform/Threads.h"

#include <curl/curl.h>
#include <unicode/ucnv.h>
#include <unicode/utf8.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>

namespace {

// Limits on what a server may send before the body.
constexpr int64_t kMaxHeaderBytes = 256 * 1024;
constexpr size_t kMaxChunkLine = 4096;
// The most room made for a body from its declared length before it arrives.
constexpr int64_t kMaxReserve = 4 * 1024 * 1024;
// A server that keeps a call open by sending a byte now and then, just
// before each time-out, is cut off: over every stretch of this many
// time-outs at least kMinBytesPerWindow bytes must move. A progress stream
// of a long procedure (a chunk every few seconds) stays well above it.
constexpr int kDripWindowTimeouts = 10;
constexpr int64_t kMinBytesPerWindow = 256;

std::string_view StripLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    return line;
}

std::string_view TrimView(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}

// The value of a "Name: value" line when its name is Name (without regard to case).
bool HeaderNamed(std::string_view line, std::string_view name, std::string_view& value)
{
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || !SameText(TrimView(line.substr(0, colon)), name))
        return false;
    value = TrimView(line.substr(colon + 1));
    return true;
}

bool ParseDecimal(std::string_view s, int64_t& value)
{
    if (s.empty() || s.size() > 18)
        return false;
    value = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

void InitCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool IsValidUTF8(std::string_view s)
{
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    const size_t length = s.size();
    size_t i = 0;
    while (i < length) {
        // Replies are mostly ASCII: eight bytes at a time while no high bit is set.
        if (i + 8 <= length) {
            uint64_t block;
            std::memcpy(&block, p + i, 8);
            if ((block & 0x8080808080808080ull) == 0) {
                i += 8;
                continue;
            }
        }
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        if (length - i > static_cast<size_t>(INT32_MAX))
            return false;
        // A multi-byte character: checked by ICU (overlong forms, surrogates).
        int32_t k = 0;
        const int32_t rest = static_cast<int32_t>(std::min<size_t>(length - i, 4));
        UChar32 c;
        U8_NEXT(p + i, k, rest, c);
        if (c < 0)
            return false;
        i += static_cast<size_t>(k);
    }
    return true;
}

std::string Windows1252ToUTF8(std::string_view s)
{
    // Up to three bytes of UTF-8 per byte of the code page.
    std::string out(s.size() * 3 + 1, '\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_convert("UTF-8", "windows-1252", out.data(), static_cast<int32_t>(out.size()),
                                   s.data(), static_cast<int32_t>(s.size()), &status);
    if (U_FAILURE(status))
        return std::string(s);
    out.resize(static_cast<size_t>(n));
    return out;
}

} // namespace

// ---------------------------------------------------------------------------
// TNembraMemoryStream

void TNembraMemoryStream::Reserve(int64_t Capacity)
{
    if (Capacity > 0)
        m_data.reserve(static_cast<size_t>(Capacity));
}

void TNembraMemoryStream::Swap(TNembraMemoryStream& Other) noexcept
{
    m_data.swap(Other.m_data);
    std::swap(m_position, Other.m_position);
}

std::string_view TNembraMemoryStream::View() const
{
    return std::string_view(reinterpret_cast<const char*>(m_data.data()), m_data.size());
}

void TNembraMemoryStream::Append(const char* Data, size_t Size)
{
    const auto* p = reinterpret_cast<const uint8_t*>(Data);
    m_data.insert(m_data.end(), p, p + Size);
}

// ---------------------------------------------------------------------------
// Reply texts

std::string_view ReplyTextView(std::string_view Bytes, std::string& Storage)
{
    static constexpr std::string_view bom = "\xEF\xBB\xBF";
    if (Bytes.substr(0, 3) == bom)
        Bytes.remove_prefix(3);
    if (IsValidUTF8(Bytes))
        return Bytes;
    Storage = Windows1252ToUTF8(Bytes);
    return Storage;
}

std::string ReplyTextToUTF8(std::string_view Bytes)
{
    std::string storage;
    return std::string(ReplyTextView(Bytes, storage));
}

bool GunzipReply(std::string_view Compressed, TNembraMemoryStream& Out, int64_t MaxSize)
{
    Out.Clear();
    // The usual ratio of a compressed reply, so that most replies inflate
    // without growing the buffer.
    Out.Reserve(std::min<int64_t>(static_cast<int64_t>(Compressed.size()) * 3, MaxSize));
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK)
        return false;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(Compressed.data()));
    z.avail_in = static_cast<uInt>(Compressed.size());
    char buffer[64 * 1024];
    bool ok = false;
    for (;;) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        const int rc = inflate(&z, Z_NO_FLUSH);
        const size_t produced = sizeof buffer - z.avail_out;
        if (Out.Size() + static_cast<int64_t>(produced) > MaxSize)
            break;
        Out.Append(buffer, produced);
        if (rc == Z_STREAM_END) {
            // Another gzip member may follow; anything else ends the body.
            if (z.avail_in >= 2 && z.next_in[0] == 0x1F && z.next_in[1] == 0x8B) {
                inflateReset(&z);
                continue;
            }
            ok = true;
            break;
        }
        if (rc != Z_OK || (produced == 0 && z.avail_in == 0))
            break; // broken, or the data ended before the stream did
    }
    inflateEnd(&z);
    if (!ok)
        Out.Clear();
    Out.SetPosition(0);
    return ok;
}

// ---------------------------------------------------------------------------
// TNembraTransport

TNembraTransport::TNembraTransport()
{
    OnStatus = [this](THookSocketReason reason, const std::string& value) { SocketStatus(reason, value); };
}

TNembraTransport::~TNembraTransport()
{
    CloseSocket();
}

void TNembraTransport::CloseSocket()
{
    if (m_curl) {
        curl_easy_cleanup(static_cast<CURL*>(m_curl));
        m_curl = nullptr;
    }
}

std::string TNembraTransport::GetResponseHeader(std::string_view Name) const
{
    for (int i = 0; i < m_responseHeaders.Count(); ++i) {
        const std::string line = m_responseHeaders.Get(i);
        std::string_view value;
        if (HeaderNamed(line, Name, value))
            return std::string(value);
    }
    return {};
}

bool TNembraTransport::Fail(std::string Reason)
{
    if (m_errorText.empty())
        m_errorText = std::move(Reason);
    return false;
}

bool TNembraTransport::Raise(THookSocketReason Reason, const std::string& Value)
{
    if (m_abort)
        return Fail("Aborted");
    if (OnStatus) {
        try {
            OnStatus(Reason, Value);
        } catch (...) {
            m_hookError = std::current_exception();
            m_abort = true;
        }
    }
    return !m_abort || Fail("Aborted");
}

void TNembraTransport::BeginExchange(const std::string& Method)
{
    m_method = Method;
    m_responseHeaders.Clear();
    m_resultCode = 0;
    m_resultString.clear();
    m_errorText.clear();
    m_hookError = nullptr;
    m_sendPos = 0;
    m_statusSeen = false;
    m_headersDone = false;
    m_headerBytes = 0;
    m_bodyMode = BodyMode::None;
    m_progressAnnounced = false;
    m_contentLength = -1;
    m_bodyReceived = 0;
    m_downloadSize = 0;
    m_chunkState = ChunkState::Size;
    m_chunkLine.clear();
    m_chunkLeft = 0;
}

bool TNembraTransport::HTTPMethod(const std::string& Method, const std::string& URL)
{
    // An abort asked for before the exchange began still counts.
    BeginExchange(Method);
    m_exchangeHost = HostOfURL(URL);
    // The body goes out from a buffer of its own; Document receives the reply.
    m_outgoing.Clear();
    m_outgoing.Swap(m_document);
    m_outgoing.SetPosition(0);
    const bool ok = Transfer(Method, URL);
    m_outgoing.Clear();
    m_abort = false;
    if (m_hookError) {
        std::exception_ptr error = m_hookError;
        m_hookError = nullptr;
        std::rethrow_exception(error);
    }
    return ok;
}

size_t TNembraTransport::NextBodyBlock(char* Buffer, size_t Max)
{
    if (m_abort)
        return 0;
    const int64_t left = m_outgoing.Size() - m_sendPos;
    size_t n = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(Max)));
    if (m_sendChunk > 0)
        n = std::min(n, static_cast<size_t>(m_sendChunk));
    if (n == 0)
        return 0;
    std::memcpy(Buffer, m_outgoing.Memory() + m_sendPos, n);
    m_sendPos += static_cast<int64_t>(n);
    if (!Raise(HR_WriteCount, std::to_string(n)))
        return 0;
    return n;
}

bool TNembraTransport::ParseStatusLine(std::string_view Line)
{
    // "HTTP/1.1 200 OK": the version, a blank, three digits, then the reason.
    if (Line.substr(0, 5) != "HTTP/")
        return Fail("Invalid status line in the reply");
    const size_t blank = Line.find(' ');
    if (blank == std::string_view::npos || Line.size() < blank + 4)
        return Fail("Invalid status line in the reply");
    int code = 0;
    for (size_t i = blank + 1; i < blank + 4; ++i) {
        if (Line[i] < '0' || Line[i] > '9')
            return Fail("Invalid status line in the reply");
        code = code * 10 + (Line[i] - '0');
    }
    if (Line.size() > blank + 4 && Line[blank + 4] != ' ')
        return Fail("Invalid status line in the reply");
    m_resultCode = code;
    m_resultString = std::string(TrimView(Line.substr(blank + 4)));
    m_responseHeaders.Clear();
    m_statusSeen = true;
    m_headersDone = false;
    return true;
}

bool TNembraTransport::ReplyHeaderLine(std::string_view Line)
{
    m_headerBytes += static_cast<int64_t>(Line.size());
    if (m_headerBytes > kMaxHeaderBytes)
        return Fail("The reply's header is too large");
    Line = StripLineEnd(Line);
    if (Line.substr(0, 5) == "HTTP/")
        return ParseStatusLine(Line);
    if (!m_statusSeen)
        return Fail("Invalid status line in the reply");
    if (Line.empty()) {
        // The end of an interim reply (1xx) is not the end of the exchange.
        if (m_resultCode >= 100 && m_resultCode < 200)
            return true;
        m_headersDone = true;
        return StartBody();
    }
    std::string_view value;
    if (HeaderNamed(Line, "Set-Cookie", value))
        StoreCookie(value);
    m_responseHeaders.Add(std::string(Line));
    return true;
}

void TNembraTransport::StoreCookie(std::string_view Value)
{
    const std::string_view pair = Value.substr(0, Value.find(';'));
    const size_t eq = pair.find('=');
    if (eq == std::string_view::npos)
        return;
    const std::string name(TrimView(pair.substr(0, eq)));
    const std::string value(TrimView(pair.substr(eq + 1)));
    // A control character (a bare CR above all) would be sent back inside
    // the Cookie header; a server has no business setting one.
    auto control = [](const std::string& s) {
        return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
    };
    if (name.empty() || control(name) || control(value) ||
        name.size() + 1 + value.size() > static_cast<size_t>(MaxCookieSize))
        return;
    if (value.empty()) {
        const int i = m_cookies.IndexOfName(name);
        if (i >= 0)
            m_cookies.Delete(i);
        const int h = m_cookieHosts.IndexOfName(name);
        if (h >= 0)
            m_cookieHosts.Delete(h);
        return;
    }
    if (m_cookies.IndexOfName(name) < 0) {
        // Room for a new one: the oldest goes.
        while (m_cookies.Count() >= MaxCookies) {
            const int h = m_cookieHosts.IndexOfName(m_cookies.Names(0));
            if (h >= 0)
                m_cookieHosts.Delete(h);
            m_cookies.Delete(0);
        }
    }
    m_cookies.SetValues(name, value);
    m_cookieHosts.SetValues(name, m_exchangeHost);
}

std::vector<std::string> TNembraTransport::CookiesFor(const std::string& URL) const
{
    const std::string host = HostOfURL(URL);
    std::vector<std::string> cookies;
    for (int i = 0; i < m_cookies.Count(); ++i) {
        // A cookie of unknown origin is one the program set itself.
        const int h = m_cookieHosts.IndexOfName(m_cookies.Names(i));
        if (h < 0 || m_cookieHosts.ValueFromIndex(h) == host)
            cookies.push_back(m_cookies.Get(i));
    }
    return cookies;
}

std::string HostOfURL(std::string_view URL)
{
    const size_t scheme = URL.find("://");
    if (scheme != std::string_view::npos)
        URL.remove_prefix(scheme + 3);
    URL = URL.substr(0, URL.find_first_of("/?#"));
    const size_t at = URL.rfind('@');
    if (at != std::string_view::npos)
        URL.remove_prefix(at + 1);
    // The port is no part of the host: "[::1]:8080", "host:8080".
    if (!URL.empty() && URL.front() == '[')
        URL = URL.substr(0, URL.find(']') + 1);
    else
        URL = URL.substr(0, URL.find(':'));
    return LowerCase(std::string(URL));
}

bool TNembraTransport::StartBody()
{
    const bool noBody = SameText(m_method, "HEAD") || m_resultCode == 204 || m_resultCode == 304;
    m_progressAnnounced = SameText(GetResponseHeader("X-NEMBRA-PROGRESS"), "YES");
    const std::string encoding = GetResponseHeader("Transfer-Encoding");
    const std::string length = GetResponseHeader("Content-Length");
    if (noBody) {
        m_bodyMode = BodyMode::None;
    } else if (!encoding.empty() && encoding.find("hunked") != std::string::npos) {
        m_bodyMode = BodyMode::Chunked;
    } else if (!length.empty()) {
        if (!ParseDecimal(length, m_contentLength))
            return Fail("Invalid Content-Length in the reply");
        if (m_contentLength > NembraMaxReplySize)
            return Fail("The reply is too large");
        m_bodyMode = BodyMode::Identity;
        // Room for the body in one piece, up to a size that a lying header
        // cannot turn into a burden.
        m_document.Reserve(std::min<int64_t>(m_contentLength, kMaxReserve));
        if (m_contentLength > 0) {
            m_downloadSize = m_contentLength;
            return Raise(HR_ReadCount, "");
        }
    } else {
        m_bodyMode = BodyMode::UntilClose;
    }
    return true;
}

bool TNembraTransport::AppendBody(const char* Data, size_t Size)
{
    if (Size == 0)
        return true;
    if (m_document.Size() + static_cast<int64_t>(Size) > NembraMaxReplySize)
        return Fail("The reply is too large");
    m_document.Append(Data, Size);
    m_bodyReceived += static_cast<int64_t>(Size);
    return Raise(HR_ReadCount, std::to_string(Size));
}

bool TNembraTransport::ReplyBody(const char* Data, size_t Size)
{
    if (!m_headersDone)
        return Fail("Reply body before the end of its header");
    switch (m_bodyMode) {
        case BodyMode::None:
            return true;
        case BodyMode::Identity: {
            const int64_t room = m_contentLength - m_bodyReceived;
            return AppendBody(Data, static_cast<size_t>(std::min<int64_t>(room, static_cast<int64_t>(Size))));
        }
        case BodyMode::UntilClose:
            return AppendBody(Data, Size);
        case BodyMode::Chunked:
            return ChunkedBody(Data, Size);
    }
    return true;
}

bool TNembraTransport::ChunkSizeLine()
{
    // Hex digits, then optional extensions after ";" (ignored).
    std::string_view line = TrimView(std::string_view(m_chunkLine).substr(0, m_chunkLine.find(';')));
    if (line.empty() || line.size() > 15)
        return Fail("Invalid chunk size in the reply");
    int64_t size = 0;
    for (char c : line) {
        const int d = HexDigitValue(c);
        if (d < 0)
            return Fail("Invalid chunk size in the reply");
        size = size * 16 + d;
    }
    m_chunkLine.clear();
    if (size > NembraMaxReplySize)
        return Fail("The reply is too large");
    if (size == 0) {
        m_chunkState = ChunkState::Trailer;
        return true;
    }
    m_chunkLeft = size;
    m_chunkState = ChunkState::Data;
    m_downloadSize = size;
    return Raise(HR_ReadCount, "");
}

bool TNembraTransport::ChunkedBody(const char* Data, size_t Size)
{
    size_t i = 0;
    while (i < Size) {
        switch (m_chunkState) {
            case ChunkState::Size:
            case ChunkState::Trailer: {
                const char c = Data[i++];
                if (c != '\n') {
                    if (m_chunkLine.size() >= kMaxChunkLine)
                        return Fail("Invalid chunk framing in the reply");
                    m_chunkLine += c;
                    break;
                }
                if (!m_chunkLine.empty() && m_chunkLine.back() == '\r')
                    m_chunkLine.pop_back();
                if (m_chunkState == ChunkState::Size) {
                    if (!ChunkSizeLine())
                        return false;
                } else if (m_chunkLine.empty()) {
                    m_chunkState = ChunkState::Done;
                } else {
                    m_chunkLine.clear(); // a trailer field, not used
                }
                break;
            }
            case ChunkState::Data: {
                const size_t n = static_cast<size_t>(std::min<int64_t>(m_chunkLeft, static_cast<int64_t>(Size - i)));
                if (!AppendBody(Data + i, n))
                    return false;
                i += n;
                m_chunkLeft -= static_cast<int64_t>(n);
                if (m_chunkLeft == 0)
                    m_chunkState = ChunkState::DataEnd;
                break;
            }
            case ChunkState::DataEnd: {
                const char c = Data[i++];
                if (c == '\r')
                    break;
                if (c != '\n')
                    return Fail("Invalid chunk framing in the reply");
                m_chunkState = ChunkState::Size;
                break;
            }
            case ChunkState::Done:
                return true; // nothing belongs to this reply after the last chunk
        }
    }
    return true;
}

bool TNembraTransport::EndReply()
{
    if (!m_statusSeen || !m_headersDone)
        return Fail("The connection closed before the reply's header was complete");
    if (m_bodyMode == BodyMode::Identity && m_bodyReceived < m_contentLength)
        return Fail("The connection closed before the reply was complete");
    if (m_bodyMode == BodyMode::Chunked && m_chunkState != ChunkState::Done)
        return Fail("The connection closed before the reply was complete");
    return true;
}

// --- The progress handler of remote calls

namespace {

void DebugSleep()
{
    if (NembraClientDebugMode && NembraClientDebugSocketSleep > 0)
        Sleep(static_cast<uint32_t>(NembraClientDebugSocketSleep));
}

int Percent(int64_t part, int64_t whole)
{
    return static_cast<int>(std::min<double>(100.0, std::nearbyint(static_cast<double>(part) * 100.0 / whole)));
}

// "55 Loading rows": the percentage before the first blank and the trimmed
// message after it. Without a blank past the first character the whole
// trimmed text is the percentage. Not a number counts as 0; the result is
// kept within 0..100.
void ReadProgressChunk(std::string_view text, int& percent, std::string& message)
{
    const size_t blank = text.find(' ');
    std::string number;
    if (blank == std::string_view::npos || blank == 0) {
        number = Trim(text);
        message.clear();
    } else {
        number = std::string(text.substr(0, blank));
        message = Trim(text.substr(blank + 1));
    }
    percent = std::clamp(StrToIntDef(number, 0), 0, 100);
}

} // namespace

void TNembraTransport::SocketStatus(THookSocketReason Reason, const std::string& Value)
{
    TNembraRequest* r = m_request;
    if (!r)
        return;
    TNembraProfiling& profiling = r->Profiling();
    if (Reason == HR_WriteCount) {
        r->SetState(vrsSending);
        profiling.BytesSent += StrToIntDef(Value, 0);
        if (SendSize() > 0)
            r->SetProgress(Percent(profiling.BytesSent, SendSize()));
        r->DoProgress();
        if (r->Aborted())
            Abort();
        DebugSleep();
        return;
    }
    if (Reason != HR_ReadCount || m_downloadSize == 0)
        return;
    if (!m_progressMode)
        m_progressMode = m_progressAnnounced;
    const TNembraRequestState state = r->State();
    if (Chunked() && m_progressMode && (state == vrsSending || state == vrsProcessing)) {
        // One event with an empty value comes before each chunk: what was
        // buffered since the last one is the previous chunk's text.
        if (!Value.empty())
            return;
        int percent = 0;
        std::string message;
        ReadProgressChunk(m_document.View().substr(static_cast<size_t>(m_progressOffset)), percent, message);
        r->SetState(vrsProcessing);
        r->SetProgress(percent);
        r->SetProgressMessage(message);
        r->DoProgress();
        if (r->Aborted())
            Abort();
        m_document.Clear();
        if (r->Progress() >= 100)
            r->SetState(vrsReceiving);
        m_progressOffset = m_document.Size();
        return;
    }
    r->SetState(vrsReceiving);
    profiling.BytesReceived += StrToIntDef(Value, 0);
    r->SetProgress(Percent(profiling.BytesReceived, m_downloadSize));
    r->DoProgress();
    if (r->Aborted())
        Abort();
    DebugSleep();
}

// --- libcurl

size_t TNembraTransport::CurlHeader(char* Data, size_t Size, size_t Count, void* Self)
{
    auto* t = static_cast<TNembraTransport*>(Self);
    const size_t n = Size * Count;
    return t->ReplyHeaderLine(std::string_view(Data, n)) ? n : 0;
}

size_t TNembraTransport::CurlWrite(char* Data, size_t Size, size_t Count, void* Self)
{
    auto* t = static_cast<TNembraTransport*>(Self);
    const size_t n = Size * Count;
    return t->ReplyBody(Data, n) ? n : 0;
}

size_t TNembraTransport::CurlRead(char* Buffer, size_t Size, size_t Count, void* Self)
{
    auto* t = static_cast<TNembraTransport*>(Self);
    const size_t n = t->NextBodyBlock(Buffer, Size * Count);
    return t->m_abort ? CURL_READFUNC_ABORT : n;
}

int TNembraTransport::CurlProgress(void* Self, int64_t, int64_t DownloadNow, int64_t, int64_t UploadNow)
{
    // Called often, also while the peer is silent: an abort of the request
    // (from any thread) ends a wait for the server, and so does a wait longer
    // than the time-out without a byte moving either way, or a call that
    // moves too little over a long stretch (see kDripWindowTimeouts).
    auto* t = static_cast<TNembraTransport*>(Self);
    if (t->m_request && t->m_request->Aborted())
        t->m_abort = true;
    if (t->m_abort)
        return 1;
    const uint64_t now = GetTickCount64();
    // Header lines count as well: libcurl's own counts are of the body only.
    const int64_t moved = DownloadNow + UploadNow + t->m_headerBytes;
    if (moved != t->m_bytesMoved) {
        t->m_bytesMoved = moved;
        t->m_lastActivity = now;
    } else if (now - t->m_lastActivity > static_cast<uint64_t>(t->m_timeoutMs)) {
        return t->Fail("No answer from the server within " + std::to_string(t->m_timeoutMs) + " ms") ? 0 : 1;
    }
    const uint64_t window = static_cast<uint64_t>(t->m_timeoutMs) * kDripWindowTimeouts;
    if (now - t->m_windowStart >= window) {
        if (moved - t->m_windowBytes < kMinBytesPerWindow)
            return t->Fail("The server sent fewer than " + std::to_string(kMinBytesPerWindow) + " bytes in " +
                           std::to_string(window) + " ms")
                       ? 0
                       : 1;
        t->m_windowStart = now;
        t->m_windowBytes = moved;
    }
    return 0;
}

void* TNembraTransport::Handle()
{
    if (m_curl)
        return m_curl;
    InitCurlOnce();
    CURL* curl = curl_easy_init();
    if (!curl)
        return nullptr;
    // What stays the same for every exchange of this handle.
    m_errorBuffer[0] = 0;
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, m_errorBuffer);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    // The body comes raw: chunks are read here (one status event per chunk)
    // and gzip is the caller's to decode.
    curl_easy_setopt(curl, CURLOPT_HTTP_TRANSFER_DECODING, 0L);
    curl_easy_setopt(curl, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &TNembraTransport::CurlHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &TNembraTransport::CurlWrite);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, &TNembraTransport::CurlRead);
    curl_easy_setopt(curl, CURLOPT_READDATA, this);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &TNembraTransport::CurlProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    m_curl = curl;
    return m_curl;
}

bool TNembraTransport::Transfer(const std::string& Method, const std::string& URL)
{
    CURL* curl = static_cast<CURL*>(Handle());
    if (!curl)
        return Fail("Cannot create an HTTP client");
    m_errorBuffer[0] = 0;
    curl_easy_setopt(curl, CURLOPT_URL, URL.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION,
                     m_protocol == "1.0" ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    // Every wait for the peer is bounded by the time-out: connecting here,
    // any stretch in which not a byte moves in CurlProgress. A reply that
    // flows, however slowly, is not cut off by it.
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_timeoutMs));
    m_lastActivity = GetTickCount64();
    m_bytesMoved = 0;
    m_windowStart = m_lastActivity;
    m_windowBytes = 0;

    // The method of the previous exchange is undone first.
    const int64_t bodySize = m_outgoing.Size();
    const bool post = SameText(Method, "POST");
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, nullptr);
    curl_easy_setopt(curl, CURLOPT_NOBODY, 0L);
    if (post || bodySize > 0) {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(bodySize));
        if (!post)
            curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, Method.c_str());
    } else if (SameText(Method, "HEAD")) {
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
        if (!SameText(Method, "GET"))
            curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, Method.c_str());
    }

    struct SList
    {
        curl_slist* list = nullptr;
        ~SList() { curl_slist_free_all(list); }
        void Add(const std::string& line) { list = curl_slist_append(list, line.c_str()); }
    } headers;
    for (int i = 0; i < m_headers.Count(); ++i)
        headers.Add(m_headers.Get(i));
    if (post || bodySize > 0)
        headers.Add("Content-Type: " + m_mimeType);
    // No "Expect: 100-continue" round trip before a large body.
    headers.Add("Expect:");
    const std::vector<std::string> cookies = CookiesFor(URL);
    if (!cookies.empty()) {
        std::string cookie = "Cookie: ";
        for (size_t i = 0; i < cookies.size(); ++i) {
            if (i > 0)
                cookie += "; ";
            cookie += cookies[i];
        }
        headers.Add(cookie);
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.list);

    const CURLcode rc = curl_easy_perform(curl);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    if (rc != CURLE_OK) {
        if (m_errorText.empty())
            m_errorText = m_errorBuffer[0] ? m_errorBuffer : curl_easy_strerror(rc);
        return false;
    }
    return EndReply();
}

std::string HttpGetString(const std::string& URL)
{
    TNembraTransport transport;
    transport.OnStatus = nullptr; // no call to report to
    if (!transport.HTTPMethod("GET", URL))
        throw Exception(Format("Unable to retrieve document by URL: %s", URL));
    return std::string(transport.Document().View());
}
