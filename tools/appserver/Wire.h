#pragma once
// The wire format of the application server, in one place: what a call looks
// like (form-encoded POST to /bin/orvane.dll/<procedure>, the "WSID" session
// cookie, the request proof "Secret"), and how replies are written (the JSON
// object with its "Error" envelope and "ServerProcessing", gzip when the
// client asks, the progress stream, and the faulty replies of the fault
// switches).

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace httplib {
struct Response;
}
class TStatement;

namespace Wire {

// A text as a JSON string literal the way the client reads JSON strings: a
// CR LF line break is \n, a lone LF \r, a lone CR \u000D, other control
// bytes \uXXXX, and bytes from 128 on go as they are.
std::string SuiteString(std::string_view text);
// A JSON text that the client wrote in that convention (parameter objects,
// notification commands) with the standard escapes, for a standard parser:
// its \n becomes \r\n and its \r \n; everything else is as JSON has it.
std::string ToStandardEscapes(std::string_view json);

} // namespace Wire

// The writer of every reply: strings and keys are written as SuiteString
// writes them (standard escapes would turn a CR LF into two line breaks on
// the client and a lone LF into a CR LF).
class TJsonWriter : public rapidjson::Writer<rapidjson::StringBuffer>
{
  public:
    using Base = rapidjson::Writer<rapidjson::StringBuffer>;
    using Base::Base;

    bool String(const char* text, rapidjson::SizeType length, bool /*copy*/ = false)
    {
        Prefix(rapidjson::kStringType);
        const std::string literal = Wire::SuiteString(std::string_view(text, length));
        for (const char c : literal)
            os_->Put(c);
        return EndValue(true);
    }
    bool String(const char* text) { return String(text, static_cast<rapidjson::SizeType>(std::strlen(text))); }
    bool String(const std::string& text) { return String(text.data(), static_cast<rapidjson::SizeType>(text.size())); }
    bool Key(const char* text, rapidjson::SizeType length, bool copy = false) { return String(text, length, copy); }
    bool Key(const char* text) { return String(text); }
    bool Key(const std::string& text) { return String(text); }
};

namespace Wire {

// Calls arrive at this path followed by the procedure name.
inline constexpr std::string_view ProcedurePath = "/bin/orvane.dll/";
inline constexpr const char* SessionCookie = "WSID";
inline constexpr const char* ProgressHeader = "X-NEMBRA-PROGRESS";
// The whole body of the second request of a progress stream.
inline constexpr const char* ResponseHandleParam = "ResponseHandle";
inline constexpr const char* JsonType = "application/json; charset=utf-8";
inline constexpr const char* TextType = "text/plain; charset=utf-8";
inline constexpr const char* HtmlType = "text/html; charset=utf-8";
// A file sent as it is (the remote file system's VRS.GetFile).
inline constexpr const char* DownloadType = "application/download";

// Error codes of the "#code message" error text.
enum ErrorCode : int
{
    ErrGeneral = 1000,
    ErrUnknownProcedure = 1001,
    ErrMissingParameter = 1002,
    ErrUnknownHandle = 1003,
    ErrNoSession = 1005,
    ErrRequestProof = 1010,
    ErrInvalidLogin = 2001,
    ErrPasswordExpiry = 2004, // a sign-in warning, not an error
    ErrAlreadySignedIn = 2009,
    ErrAccountRefused = 2012,
};

// A procedure's failure; the reply carries it as "#code message".
class EProcedureError : public std::runtime_error
{
  public:
    EProcedureError(int code, const std::string& message) : std::runtime_error(message), m_code(code) {}
    int Code() const { return m_code; }

  private:
    int m_code;
};

// An error text sent as it is, without a code of its own (for tests of how
// the client reads error texts).
class ERawError : public std::runtime_error
{
  public:
    using std::runtime_error::runtime_error;
};

using TParams = std::vector<std::pair<std::string, std::string>>;

// application/x-www-form-urlencoded: name=value parts joined by "&"; "+" is
// a blank and %XX a byte, in names and values alike.
TParams DecodeForm(std::string_view body);
std::string DecodeURL(std::string_view s, bool plusIsBlank);
// The value of a cookie in a Cookie header ('' when absent).
std::string CookieValue(std::string_view cookieHeader, std::string_view name);
// "#code message".
std::string ErrorText(int code, const std::string& message);
// Random hexadecimal text of 2 x bytes digits (session ids, handles).
std::string RandomHex(int bytes);
std::string Base64(std::string_view data);
// The request proof: Base64 of the session id XOR-ed byte by byte with the
// secret key, the key repeated as often as needed.
std::string RequestProof(std::string_view sessionId, std::string_view secretKey);
std::string Gzip(std::string_view data);
// Local time as "yyyy-mm-dd hh:nn:ss" and "yyyy-mm-dd", and as the client's
// date-time number (days since 1899-12-30, the time of day as fraction).
std::string NowText();
std::string TodayText();
double NowAsDateTime();

// "key": "value" in the object being written.
void Member(TJsonWriter& json, const char* key, const std::string& value);

// Writes every row of the statement as one object of column arrays:
// {"COL": [row0, row1, ...], ...}; NULL is null, numbers stay numbers,
// texts are strings and blobs Base64 text. Columns named in `skip` are left out.
void WriteColumns(TJsonWriter& json, TStatement& rows, const std::vector<std::string>& skip = {});

// --- Replies
// The reply object: `members` is the procedure's own members (a JSON object
// text without its closing brace, as TCall builds it).
std::string JsonEnvelope(std::string members, const std::string& error, int64_t serverMs);
void SendBody(httplib::Response& res, std::string body, const char* contentType, bool gzip);
// The whole body, then the connection ends: for a refusal sent before the
// request's own body was read, whose rest must never be read (the library
// would otherwise take it for the next request and hold it all).
void SendBodyAndClose(httplib::Response& res, std::string body, const char* contentType);
void SetSessionCookie(httplib::Response& res, const std::string& id);
void ClearSessionCookie(httplib::Response& res);
// Faulty replies.
void SendErrorPage(httplib::Response& res, int status, const std::string& title, const std::string& detail);
void SendDropped(httplib::Response& res, std::string body, const char* contentType);
void SendTruncatedGzip(httplib::Response& res, const std::string& body, const char* contentType);

} // namespace Wire
