#include "Wire.h"

#include "Database.h"

#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sqlite3.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <memory>

namespace Wire {

namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string_view Trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::tm LocalNow(int& millis)
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t secs = std::chrono::system_clock::to_time_t(now);
    millis = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm tm{};
    localtime_r(&secs, &tm);
    return tm;
}

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

} // namespace

std::string DecodeURL(std::string_view s, bool plusIsBlank)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '+' && plusIsBlank) {
            out += ' ';
        } else if (c == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

TParams DecodeForm(std::string_view body)
{
    TParams params;
    size_t start = 0;
    while (start < body.size()) {
        size_t end = body.find('&', start);
        if (end == std::string_view::npos)
            end = body.size();
        const std::string_view part = body.substr(start, end - start);
        if (!part.empty()) {
            const size_t eq = part.find('=');
            if (eq == std::string_view::npos)
                params.emplace_back(DecodeURL(part, true), std::string());
            else
                params.emplace_back(DecodeURL(part.substr(0, eq), true), DecodeURL(part.substr(eq + 1), true));
        }
        start = end + 1;
    }
    return params;
}

std::string CookieValue(std::string_view cookieHeader, std::string_view name)
{
    size_t start = 0;
    while (start < cookieHeader.size()) {
        size_t end = cookieHeader.find(';', start);
        if (end == std::string_view::npos)
            end = cookieHeader.size();
        const std::string_view pair = Trimmed(cookieHeader.substr(start, end - start));
        const size_t eq = pair.find('=');
        if (eq != std::string_view::npos && Trimmed(pair.substr(0, eq)) == name)
            return std::string(Trimmed(pair.substr(eq + 1)));
        start = end + 1;
    }
    return {};
}

std::string ErrorText(int code, const std::string& message)
{
    return "#" + std::to_string(code) + " " + message;
}

std::string RandomHex(int bytes)
{
    std::vector<unsigned char> raw(static_cast<size_t>(bytes));
    if (RAND_bytes(raw.data(), bytes) != 1)
        throw std::runtime_error("no random bytes for an identifier");
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : raw) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::string Base64(std::string_view data)
{
    std::string out(4 * ((data.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string RequestProof(std::string_view sessionId, std::string_view secretKey)
{
    std::string mixed(sessionId);
    if (!secretKey.empty())
        for (size_t i = 0; i < mixed.size(); ++i)
            mixed[i] = static_cast<char>(mixed[i] ^ secretKey[i % secretKey.size()]);
    return Base64(mixed);
}

std::string Gzip(std::string_view data)
{
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("cannot start gzip");
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (rc != Z_STREAM_END)
        throw std::runtime_error("gzip failed");
    return out;
}

std::string NowText()
{
    int ms = 0;
    const std::tm tm = LocalNow(ms);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

std::string TodayText()
{
    return NowText().substr(0, 10);
}

double NowAsDateTime()
{
    int ms = 0;
    const std::tm tm = LocalNow(ms);
    const int64_t days = DaysFromCivil(tm.tm_year + 1900, static_cast<unsigned>(tm.tm_mon + 1),
                                       static_cast<unsigned>(tm.tm_mday)) +
                         25569;
    const double seconds = tm.tm_hour * 3600.0 + tm.tm_min * 60.0 + tm.tm_sec + ms / 1000.0;
    return static_cast<double>(days) + seconds / 86400.0;
}

std::string SuiteString(std::string_view s)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(s.size() + 2);
    out += '"';
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\r':
            if (i + 1 < s.size() && s[i + 1] == '\n') {
                out += "\\n";
                ++i;
            } else {
                out += "\\u000D";
            }
            break;
        case '\n':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
    return out;
}

std::string ToStandardEscapes(std::string_view json)
{
    std::string out;
    out.reserve(json.size() + 16);
    bool inString = false;
    for (size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (!inString) {
            inString = c == '"';
            out += c;
            continue;
        }
        if (c == '"') {
            inString = false;
            out += c;
        } else if (c == '\\' && i + 1 < json.size()) {
            const char e = json[++i];
            if (e == 'n')
                out += "\\r\\n";
            else if (e == 'r')
                out += "\\n";
            else {
                out += c;
                out += e;
            }
        } else {
            out += c;
        }
    }
    return out;
}

void Member(TJsonWriter& json, const char* key, const std::string& value)
{
    json.Key(key);
    json.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
}

void WriteColumns(TJsonWriter& json, TStatement& rows, const std::vector<std::string>& skip)
{
    const int count = rows.ColumnCount();
    std::vector<std::string> names;
    std::vector<bool> used;
    for (int c = 0; c < count; ++c) {
        names.push_back(rows.ColumnName(c));
        used.push_back(std::find(skip.begin(), skip.end(), names.back()) == skip.end());
    }
    // Rows come one at a time and the reply wants columns: each column's
    // values are written into a buffer of its own first.
    std::vector<std::unique_ptr<rapidjson::StringBuffer>> buffers;
    std::vector<std::unique_ptr<TJsonWriter>> writers;
    for (int c = 0; c < count; ++c) {
        buffers.push_back(std::make_unique<rapidjson::StringBuffer>());
        writers.push_back(std::make_unique<TJsonWriter>(*buffers.back()));
        writers.back()->StartArray();
    }
    while (rows.Step()) {
        for (int c = 0; c < count; ++c) {
            if (!used[static_cast<size_t>(c)])
                continue;
            TJsonWriter& w = *writers[static_cast<size_t>(c)];
            switch (rows.ColumnType(c)) {
                case SQLITE_NULL:
                    w.Null();
                    break;
                case SQLITE_INTEGER:
                    w.Int64(rows.Int(c));
                    break;
                case SQLITE_FLOAT:
                    w.Double(rows.Float(c));
                    break;
                case SQLITE_BLOB:
                    w.String(Base64(rows.Text(c)).c_str());
                    break;
                default: {
                    const std::string text = rows.Text(c);
                    w.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
                }
            }
        }
    }
    json.StartObject();
    for (int c = 0; c < count; ++c) {
        if (!used[static_cast<size_t>(c)])
            continue;
        writers[static_cast<size_t>(c)]->EndArray();
        json.Key(names[static_cast<size_t>(c)].c_str());
        json.RawValue(buffers[static_cast<size_t>(c)]->GetString(), buffers[static_cast<size_t>(c)]->GetSize(),
                      rapidjson::kArrayType);
    }
    json.EndObject();
}

std::string JsonEnvelope(std::string members, const std::string& error, int64_t serverMs)
{
    rapidjson::StringBuffer tail;
    TJsonWriter w(tail);
    // A one-member object gives the escaped pair; its braces are dropped.
    w.StartObject();
    w.Key("Error");
    w.String(error.data(), static_cast<rapidjson::SizeType>(error.size()));
    w.Key("ServerProcessing");
    w.Int64(serverMs);
    w.EndObject();
    std::string pairs(tail.GetString() + 1, tail.GetSize() - 2);
    if (members.size() > 1)
        members += ',';
    return members + pairs + "}";
}

void SendBody(httplib::Response& res, std::string body, const char* contentType, bool gzip)
{
    if (gzip) {
        body = Gzip(body);
        res.set_header("Content-Encoding", "gzip");
    }
    res.set_content(std::move(body), contentType);
}

void SendBodyAndClose(httplib::Response& res, std::string body, const char* contentType)
{
    res.set_header("Connection", "close");
    const size_t length = body.size();
    auto text = std::make_shared<std::string>(std::move(body));
    res.set_content_provider(length, contentType, [text](size_t offset, size_t, httplib::DataSink& sink) {
        // The library ends the connection when a provider fails; this one
        // fails only once the whole body went out.
        if (offset == 0 && !text->empty())
            sink.write(text->data(), text->size());
        return false;
    });
}

void SetSessionCookie(httplib::Response& res, const std::string& id)
{
    res.set_header("Set-Cookie", std::string(SessionCookie) + "=" + id + "; Path=/; HttpOnly");
}

void ClearSessionCookie(httplib::Response& res)
{
    res.set_header("Set-Cookie", std::string(SessionCookie) + "=; Path=/; Max-Age=0");
}

void SendErrorPage(httplib::Response& res, int status, const std::string& title, const std::string& detail)
{
    res.status = status;
    res.set_content("<html><body><h1>" + title + "</h1><br>" + detail + "</body></html>", HtmlType);
}

void SendDropped(httplib::Response& res, std::string body, const char* contentType)
{
    const size_t length = body.size();
    auto text = std::make_shared<std::string>(std::move(body));
    res.set_content_provider(length, contentType,
                             [text](size_t offset, size_t, httplib::DataSink& sink) {
                                 // Half of what the header announced, then the
                                 // connection goes.
                                 if (offset == 0)
                                     sink.write(text->data(), text->size() / 2);
                                 return false;
                             });
}

void SendTruncatedGzip(httplib::Response& res, const std::string& body, const char* contentType)
{
    std::string packed = Gzip(body);
    packed.resize(packed.size() / 2);
    res.set_header("Content-Encoding", "gzip");
    res.set_content(std::move(packed), contentType);
}

} // namespace Wire
