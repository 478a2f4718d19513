#include "Components/Nembra/NembraLib.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <dlfcn.h>
#include <filesystem>
#include <link.h>
#include <sys/stat.h>
#include <syslog.h>
#include <time.h>
#include <unistd.h>

#include <openssl/evp.h>

#include "Components/Nembra/NembraJSON.h"
#include "base/KldProfiler.h"
#include "platform/DateUtils.h"
#include "platform/FileReplaceStream.h"
#include "platform/FileUtils.h"
#include "platform/Guid.h"
#include "platform/Streams.h"
#include "platform/StringList.h"

// ---------------------------------------------------------------------------
// Growable text

void InitBuffer(TStringBuffer& b, int64_t delta)
{
    b.Delta = delta > 0 ? delta : 0;
    b.Used = 0;
    b.Buffer.assign(static_cast<size_t>(b.Delta), '\0');
}

void AppendToBuffer(TStringBuffer& b, std::string_view s)
{
    const int64_t len = static_cast<int64_t>(s.size());
    if (b.Used + len > static_cast<int64_t>(b.Buffer.size()))
        b.Buffer.resize(b.Buffer.size() + static_cast<size_t>(std::max(len, b.Delta)));
    b.Buffer.replace(static_cast<size_t>(b.Used), s.size(), s);
    b.Used += len;
}

std::string DoneBuffer(TStringBuffer& b)
{
    b.Buffer.resize(static_cast<size_t>(b.Used));
    return b.Buffer;
}

// ---------------------------------------------------------------------------
// Streams and files

std::string ReadString(TStream& stream, int64_t count)
{
    const int64_t remaining = std::max<int64_t>(0, stream.Size() - stream.Position());
    if (count <= 0 || count > remaining)
        count = remaining;
    std::string s(static_cast<size_t>(count), '\0');
    if (count > 0)
        stream.ReadBuffer(s.data(), count);
    return s;
}

std::string StreamToString(TStream& stream)
{
    return ReadString(stream, 0);
}

void WriteString(TStream& stream, std::string_view s)
{
    if (!s.empty())
        stream.WriteBuffer(s.data(), static_cast<int64_t>(s.size()));
}

std::string ReadString(const std::string& fileName)
{
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    return StreamToString(stream);
}

void WriteString(const std::string& fileName, std::string_view s)
{
    // Written beside the file and put in its place whole: a failed write
    // leaves the old file as it was.
    TFileReplaceStream stream(fileName);
    WriteString(stream, s);
    stream.Commit();
}

void CopyStream(TStream& source, TStream& dest)
{
    if (auto* text = dynamic_cast<TStringStream*>(&source)) {
        WriteString(dest, text->DataString());
        return;
    }
    if (auto* memory = dynamic_cast<TMemoryStream*>(&source)) {
        memory->SaveToStream(dest);
        return;
    }
    dest.CopyFrom(source, 0);
}

void SaveStreamToFile(TStream& stream, const std::string& fileName)
{
    TFileReplaceStream file(fileName);
    CopyStream(stream, file);
    file.Commit();
}

// ---------------------------------------------------------------------------
// Text and lists

std::string ConcatStrings(const TStrings& strings, std::string_view separator)
{
    std::string out;
    for (int i = 0; i < strings.Count(); ++i) {
        if (i > 0)
            out += separator;
        out += strings.Get(i);
    }
    return out;
}

std::string ConcatStrings(std::string_view s1, std::string_view s2, std::string_view separator)
{
    std::string out(s1);
    if (!s1.empty() && !s2.empty())
        out += separator;
    out += s2;
    return out;
}

std::string JoinWithComma(const TStrings& strings, char quoteChar)
{
    std::string out;
    for (int i = 0; i < strings.Count(); ++i) {
        if (i > 0)
            out += ',';
        if (quoteChar == '\0')
            out += strings.Get(i);
        else
            out += AnsiQuotedStr(strings.Get(i), quoteChar);
    }
    return out;
}

void SplitString(std::string_view s, std::string_view separator, std::string& prefix, bool keepAsPrefix,
                 std::string& postfix)
{
    // A separator in the first place is passed over: the split is at the
    // first one after it.
    const size_t p = separator.empty() || s.empty() ? std::string_view::npos : s.find(separator, 1);
    if (p != std::string_view::npos) {
        prefix = Trim(s.substr(0, p));
        postfix = Trim(s.substr(p + separator.size()));
        return;
    }
    if (keepAsPrefix) {
        prefix = Trim(s);
        postfix.clear();
    } else {
        prefix.clear();
        postfix = Trim(s);
    }
}

void SplitStringPrefix(std::string_view s, std::string_view separator, std::string& prefix,
                       std::string& postfix)
{
    SplitString(s, separator, prefix, false, postfix);
}

void SplitStringPostfix(std::string_view s, std::string_view separator, std::string& prefix,
                        std::string& postfix)
{
    SplitString(s, separator, prefix, true, postfix);
}

std::string PrependString(std::string_view prefix, std::string_view text)
{
    const std::string trimmed = Trim(prefix);
    if (text.size() >= trimmed.size() && AnsiSameText(text.substr(0, trimmed.size()), trimmed))
        return std::string(text);
    return std::string(prefix) + std::string(text);
}

std::string Coalesce(std::string_view a, std::string_view b)
{
    return std::string(a.empty() ? b : a);
}

std::string ValueFromIndex(const TStrings& strings, int index)
{
    if (index < 0)
        return {};
    const std::string line = strings.Get(index);
    const size_t eq = line.find('=');
    return eq == std::string::npos ? line : line.substr(eq + 1);
}

std::string GetMRUValue(std::string_view value, TStrings& list, bool second)
{
    std::string trimmed = Trim(value);
    if (!trimmed.empty() && list.IndexOf(trimmed) < 0) {
        // The second place of an empty list is its first.
        const int at = second ? std::min(1, list.Count()) : 0;
        list.Insert(at, trimmed);
    }
    return trimmed;
}

std::string TrimHtmlTags(std::string_view s)
{
    static const char* const removed[] = {"<head>", "</head>", "<body>", "</body>", "<html>", "</html>",
                                          "<h1>",   "</h1>",   "<h2>",   "</h2>",   "<p>",    "</p>",
                                          "<i>",    "</i>",    "<b>",    "</b>"};
    std::string r(s);
    for (const char* tag : removed)
        r = StringReplace(r, tag, "", rfReplaceAll);
    r = StringReplace(r, "<br>", "\r\n", rfReplaceAll);
    r = StringReplace(r, "<hr width=\"100%\">", "", rfReplaceAll);
    return StringReplace(r, "%", "", rfReplaceAll);
}

std::string ExtractModuleClass(std::string_view s)
{
    const size_t dot = s.find('.');
    if (dot == std::string_view::npos || dot == 0)
        return {};
    return std::string(s.substr(0, dot));
}

Variant VarIfThen(bool condition, const Variant& a, const Variant& b)
{
    return condition ? a : b;
}

void FreeObjects(TStrings& strings)
{
    for (int i = 0; i < strings.Count(); ++i) {
        TObject* object = strings.Objects(i);
        strings.SetObjects(i, nullptr);
        delete object;
    }
}

void FreeObjectsReverse(TStrings& strings)
{
    for (int i = strings.Count() - 1; i >= 0; --i) {
        TObject* object = strings.Objects(i);
        strings.SetObjects(i, nullptr);
        delete object;
    }
}

void InitInstanceFromValues(IStoredProperties& obj, const TStrings& strings)
{
    for (int i = 0; i < strings.Count(); ++i) {
        const std::string line = strings.Get(i);
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string name = line.substr(0, eq);
        if (name.empty() || name[0] == '$')
            continue;
        obj.SetStoredProperty(name, line.substr(eq + 1));
    }
}

// ---------------------------------------------------------------------------
// Form encoding

std::string HTTPEncode(std::string_view s)
{
    std::string out;
    out.reserve(s.size() * 3);
    for (const char ch : s) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            out += ch;
            continue;
        }
        switch (c) {
        case '!':
        case '$':
        case '\'':
        case '(':
        case ')':
        case '*':
        case '-':
        case '.':
        case '@':
        case '_':
            out += ch;
            break;
        case ' ':
            out += '+';
            break;
        default:
            out += '%';
            out += HexDigitChar(c >> 4);
            out += HexDigitChar(c);
            break;
        }
    }
    return out;
}

std::string HTTPDecode(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '+') {
            out += ' ';
        } else if (c != '%') {
            out += c;
        } else if (i + 1 < s.size() && s[i + 1] == '%') {
            out += '%';
            ++i;
        } else if (i + 2 >= s.size()) {
            // A cut-off escape ends the text.
            out += ' ';
            break;
        } else {
            const int hi = HexDigitValue(s[i + 1]);
            const int lo = HexDigitValue(s[i + 2]);
            out += (hi < 0 || lo < 0) ? ' ' : static_cast<char>(hi * 16 + lo);
            i += 2;
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// Dates and times

namespace {
// The wire formats never follow the user's separators.
const TFormatSettings& WireSettings()
{
    static const TFormatSettings settings = [] {
        TFormatSettings s;
        s.DateSeparator = '-';
        s.TimeSeparator = ':';
        s.DecimalSeparator = '.';
        return s;
    }();
    return settings;
}

void PutDigits(char* at, int value, int count)
{
    for (int i = count - 1; i >= 0; --i, value /= 10)
        at[i] = static_cast<char>('0' + value % 10);
}

// The wire text of `value` in `format` (one of the three wire formats), as
// FormatDateTime writes it: every part zero-padded at its fixed place. A
// dataset of dates writes thousands of these, so they are written directly;
// years outside 0..9999 take FormatDateTime's own way.
std::string WireText(TDateTime value, std::string_view format, bool withDate, bool withTime)
{
    int year, month, day, hour, minute, second, msec;
    DecodeDateTime(value, year, month, day, hour, minute, second, msec);
    if (year < 0 || year > 9999)
        return FormatDateTime(format, value, WireSettings());
    std::string out(format);
    char* p = out.data();
    if (withDate) {
        PutDigits(p, year, 4);
        PutDigits(p + 5, month, 2);
        PutDigits(p + 8, day, 2);
        p += 11;
    }
    if (withTime) {
        PutDigits(p, hour, 2);
        PutDigits(p + 3, minute, 2);
        PutDigits(p + 6, second, 2);
    }
    return out;
}
} // namespace

std::string DateToJSONStr(TDateTime value)
{
    return WireText(value, NembraDateFormat, true, false);
}

std::string TimeToJSONStr(TDateTime value)
{
    return WireText(value, NembraTimeFormat, false, true);
}

std::string DateTimeToJSONStr(TDateTime value)
{
    return WireText(value, NembraDateTimeFormat, true, true);
}

TDateTime JSONStrToDate(std::string_view s)
{
    return NembraStrToDateTime(s, NembraDateFormat, true);
}

TDateTime JSONStrToTime(std::string_view s)
{
    return NembraStrToDateTime(s, NembraTimeFormat, true);
}

TDateTime JSONStrToDateTime(std::string_view s)
{
    return NembraStrToDateTime(s, NembraDateTimeFormat, true);
}

namespace {

// The number at the place of `pattern` in `format`; `found` tells whether the
// format has the pattern at all. -1 when the characters there are no number,
// also when the text ends before all of them: "2024-02-3" is a cut-off day,
// not the 3rd.
int ReadPart(std::string_view s, std::string_view format, std::string_view pattern, bool& found)
{
    const size_t at = format.find(pattern);
    found = at != std::string_view::npos;
    if (!found || s.size() < at + pattern.size())
        return -1;
    const std::string_view part = s.substr(at, pattern.size());
    // Wire texts hold plain digits, read here directly; anything else takes
    // the general integer reading, with its answer.
    int32_t value = 0;
    for (const char c : part) {
        if (c < '0' || c > '9') {
            if (!TryStrToInt(part, value))
                return -1;
            return value;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

int ReadDatePart(std::string_view s, std::string_view format, std::string_view pattern, const char* name,
                 bool strict, bool& found)
{
    const int value = ReadPart(s, format, pattern, found);
    if (found && value == -1 && strict)
        throw Exception(Format("Invalid %s value", name));
    return value;
}

// The places of the parts in one of the wire formats (-1: not in it).
struct TWirePlaces
{
    int Year, Month, Day, Hour, Minute, Second;
};

const TWirePlaces* WirePlaces(std::string_view format)
{
    static constexpr TWirePlaces dateTime{0, 5, 8, 11, 14, 17};
    static constexpr TWirePlaces date{0, 5, 8, -1, -1, -1};
    static constexpr TWirePlaces time{-1, -1, -1, 0, 3, 6};
    if (format == NembraDateTimeFormat)
        return &dateTime;
    if (format == NembraDateFormat)
        return &date;
    if (format == NembraTimeFormat)
        return &time;
    return nullptr;
}

enum class TPartRead
{
    Digits,  // the value
    Missing, // the text ends before the part
    Other    // anything else: only the general reading can tell
};

TPartRead ReadDigits(std::string_view s, int at, int length, int& value)
{
    if (s.size() < static_cast<size_t>(at + length))
        return TPartRead::Missing;
    value = 0;
    for (int i = at; i < at + length; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return TPartRead::Other;
        value = value * 10 + (s[i] - '0');
    }
    return TPartRead::Digits;
}

// The wire formats read at their fixed places, for texts that hold plain
// digits there; the answer is what the general reading gives. False leaves
// the text to the general reading (a part that is no plain number, a date
// cut short, another format).
bool TryReadWireText(std::string_view s, std::string_view format, TDateTime& value)
{
    const TWirePlaces* places = WirePlaces(format);
    if (places == nullptr)
        return false;
    int year = 0;
    int month = 0;
    int day = 0;
    if (places->Year >= 0 && (ReadDigits(s, places->Year, 4, year) != TPartRead::Digits ||
                              ReadDigits(s, places->Month, 2, month) != TPartRead::Digits ||
                              ReadDigits(s, places->Day, 2, day) != TPartRead::Digits))
        return false;
    int parts[3] = {0, 0, 0};
    if (places->Hour >= 0) {
        // A missing part makes it and the parts after it 0.
        const int at[3] = {places->Hour, places->Minute, places->Second};
        for (int i = 0; i < 3; ++i) {
            const TPartRead read = ReadDigits(s, at[i], 2, parts[i]);
            if (read == TPartRead::Other)
                return false;
            if (read == TPartRead::Missing) {
                parts[i] = 0;
                break;
            }
        }
    }
    const TDateTime time = EncodeTime(parts[0], parts[1], parts[2], 0);
    value = places->Year < 0 ? time : ComposeDateTime(EncodeDate(year, month, day), time);
    return true;
}

} // namespace

TDateTime NembraStrToDateTime(std::string_view s, std::string_view format, bool strict)
{
    if (TDateTime value; TryReadWireText(s, format, value))
        return value;
    bool hasYear = false;
    bool hasMonth = false;
    bool hasDay = false;
    const int year = ReadDatePart(s, format, "yyyy", "Year", strict, hasYear);
    const int month = ReadDatePart(s, format, "mm", "Month", strict, hasMonth);
    const int day = ReadDatePart(s, format, "dd", "Day", strict, hasDay);

    bool found = false;
    int hour = ReadPart(s, format, "hh", found);
    int minute = 0;
    int second = 0;
    if (hour < 0) {
        hour = 0;
    } else {
        minute = ReadPart(s, format, "nn", found);
        if (minute < 0) {
            minute = 0;
        } else {
            second = ReadPart(s, format, "ss", found);
            if (second < 0)
                second = 0;
        }
    }

    const TDateTime time = EncodeTime(hour, minute, second, 0);
    if (!hasYear && !hasMonth && !hasDay)
        return time;
    return ComposeDateTime(EncodeDate(year, month, day), time);
}

TDateTime SecsToDateTime(double secs)
{
    return secs / 86400.0;
}

TDateTime SecondsToDate(double secs)
{
    return secs / 86400.0;
}

int64_t DateTimeToSecs(TDateTime value)
{
    return static_cast<int64_t>(value * 86400.0);
}

// ---------------------------------------------------------------------------
// JSON texts

std::string StrToJSON(std::string_view s)
{
    std::string out;
    out.reserve(2 * s.size() + 2);
    out += '"';
    size_t plain = 0; // start of the run of bytes written as they are
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c >= 32 && c != '\\' && c != '"')
            continue;
        out.append(s, plain, i - plain);
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
        case '\f':
            out += "\\f";
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
        default:
            out += "\\u00";
            out += HexDigitChar(c >> 4);
            out += HexDigitChar(c);
            break;
        }
        plain = i + 1;
    }
    out.append(s, plain, s.size() - plain);
    out += '"';
    return out;
}

std::string BoolToJSON(bool b)
{
    return b ? "true" : "false";
}

std::string StringsToJSON(const TStrings& strings)
{
    std::string out = "[";
    for (int i = 0; i < strings.Count(); ++i) {
        if (i > 0)
            out += ',';
        out += StrToJSON(strings.Get(i));
    }
    out += ']';
    return out;
}

void JSONToStrings(const TJSONArray& arr, TStrings& strings)
{
    strings.Clear();
    for (int i = 0; i < arr.Count(); ++i)
        strings.Add(arr.GetValue(i).GetAsString());
}

void AddField(std::string& s, std::string_view name, std::string_view value)
{
    if (!s.empty())
        s += ',';
    s += '"';
    s += name;
    s += "\":";
    s += value;
    s += "\r\n";
}

std::string GetJSONObj(std::string_view s)
{
    std::string out;
    out.reserve(s.size() + 2);
    out += '{';
    out += s;
    out += '}';
    return out;
}

// ---------------------------------------------------------------------------
// Base64, XOR and identifiers

std::string EncodeBase64(std::string_view s)
{
    if (s.empty())
        return {};
    std::string out(4 * ((s.size() + 2) / 3) + 1, '\0');
    const int n =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                        reinterpret_cast<const unsigned char*>(s.data()), static_cast<int>(s.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string DecodeBase64(std::string_view s)
{
    std::string clean;
    clean.reserve(s.size() + 3);
    for (const char c : s) {
        if (c == '\r' || c == '\n' || c == ' ' || c == '\t')
            continue;
        clean += c;
    }
    // Padding is only valid at the end, at most two characters of it, and
    // only after a group it completes (alone, or after a whole group, it
    // would be counted off bytes that are not there); the block decoder does
    // not check that itself.
    size_t pad = 0;
    while (pad < clean.size() && clean[clean.size() - 1 - pad] == '=')
        ++pad;
    const size_t rest = (clean.size() - pad) % 4;
    if (pad > 2 || rest == 1 || (pad > 0 && rest == 0) || clean.find('=') < clean.size() - pad)
        throw EConvertError("Invalid Base64 text");
    while (clean.size() % 4 != 0) {
        clean += '=';
        ++pad;
    }
    if (clean.empty())
        return {};
    std::string out(clean.size() / 4 * 3, '\0');
    const int n =
        EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                        reinterpret_cast<const unsigned char*>(clean.data()), static_cast<int>(clean.size()));
    if (n < 0)
        throw EConvertError("Invalid Base64 text");
    // The block decoder counts the padding as zero bytes.
    out.resize(static_cast<size_t>(n) - pad);
    return out;
}

std::string XorString(std::string_view key, std::string_view data)
{
    std::string out(data);
    if (key.empty())
        return out;
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(out[i] ^ key[i % key.size()]);
    return out;
}

std::string Encrypt(std::string_view key, std::string_view data)
{
    return EncodeBase64(XorString(key, data));
}

std::string Decrypt(std::string_view key, std::string_view data)
{
    return XorString(key, DecodeBase64(data));
}

std::string CreateGUIDString()
{
    const std::string text = GUIDToString(CreateGUID());
    std::string out;
    out.reserve(32);
    for (const char c : text) {
        if (c != '{' && c != '}' && c != '-')
            out += c;
    }
    return out;
}

// ---------------------------------------------------------------------------
// Measures

namespace {
std::atomic<int64_t> g_ticksPerMSec{0};
// Milliseconds that put the tick clock on the monotonic clock's scale at the
// moment of calibration, so a measure begun before InitProfiling (or before
// a new calibration) and ended after it still reads true.
std::atomic<int64_t> g_tickOffsetMSec{0};

int64_t ReadTicks()
{
    TProfileData data;
    InitProfile(data);
    BeginProfile(data);
    return data.StartTicks;
}

int64_t MonotonicMSec()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t NowMSec()
{
    const int64_t perMSec = g_ticksPerMSec.load(std::memory_order_acquire);
    if (perMSec <= 0)
        return MonotonicMSec();
    return ReadTicks() / perMSec + g_tickOffsetMSec.load(std::memory_order_relaxed);
}

// Kernel plus user time of a thread of this process, in 100-ns units.
int64_t ThreadCPUTime(uint32_t threadId)
{
    // The kernel's per-thread CPU clock of a thread id: ~tid << 3 | per-thread | sched.
    const clockid_t clock = static_cast<clockid_t>((~static_cast<clockid_t>(threadId) << 3) | 4 | 2);
    timespec ts{};
    if (clock_gettime(clock, &ts) != 0)
        return 0;
    return static_cast<int64_t>(ts.tv_sec) * 10000000 + ts.tv_nsec / 100;
}
} // namespace

void InitProfiling()
{
    const int64_t perMSec = CalcProcFrequency(100) / 1000;
    if (perMSec <= 0)
        return;
    g_tickOffsetMSec.store(MonotonicMSec() - ReadTicks() / perMSec, std::memory_order_relaxed);
    g_ticksPerMSec.store(perMSec, std::memory_order_release);
}

int64_t ProfilingTicksPerMSec()
{
    return g_ticksPerMSec.load(std::memory_order_relaxed);
}

void BeginMeasure(int64_t& t)
{
    t = NowMSec();
}

int64_t EndMeasure(int64_t& t)
{
    t = NowMSec() - t;
    return t;
}

void BeginMeasureCPU(uint32_t threadId, int64_t& t)
{
    t = ThreadCPUTime(threadId);
}

int64_t EndMeasureCPU(uint32_t threadId, int64_t& t)
{
    t = std::max<int64_t>(NSecToMSec(ThreadCPUTime(threadId) - t), 10);
    return t;
}

int64_t NSecToMSec(int64_t hundredNs)
{
    // Rounds half to even, like the run-time library's Round.
    return static_cast<int64_t>(std::nearbyint(static_cast<double>(hundredNs) / 10000.0));
}

// ---------------------------------------------------------------------------
// Files and system

namespace {
constexpr size_t kMaxModuleName = 1023;
// 100-ns units between 1601-01-01 and 1970-01-01.
constexpr int64_t kUnixEpochAsFileTime = 116444736000000000LL;
// Days between 1601-01-01 and 1899-12-30.
constexpr double kFileTimeDayOffset = 109205.0;

std::string CleanModuleName(std::string name)
{
    if (name.size() > kMaxModuleName)
        name.resize(kMaxModuleName);
    name = Trim(name);
    if (name.rfind("\\\\?\\", 0) == 0)
        name.erase(0, 4);
    return name;
}

int64_t StatToFileTime(const struct stat& st)
{
    return kUnixEpochAsFileTime + static_cast<int64_t>(st.st_mtim.tv_sec) * 10000000 +
           st.st_mtim.tv_nsec / 100;
}
} // namespace

std::string GetLibFileName(HMODULE module)
{
    if (!module)
        return GetAppFileName();
    struct link_map* map = nullptr;
    if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name)
        return {};
    if (map->l_name[0] == '\0')
        return GetAppFileName();
    return CleanModuleName(map->l_name);
}

std::string GetAppFileName()
{
    return CleanModuleName(GetModuleFileName());
}

void ForEachFile(const std::string& dir, const std::string& mask, const TForEachFileCallback& callback,
                 void* data)
{
    if (!callback)
        return;
    const std::string base = IncludeTrailingPathDelimiter(dir);
    std::vector<TNembraSearchRec> entries;
    std::error_code ec;
    auto add = [&](const std::string& name) {
        if (!MatchesMask(name, mask))
            return;
        TNembraSearchRec rec;
        rec.Name = name;
        struct stat st
        {
        };
        if (::stat((base + name).c_str(), &st) == 0) {
            rec.Directory = S_ISDIR(st.st_mode);
            rec.Size = rec.Directory ? 0 : static_cast<int64_t>(st.st_size);
            rec.WriteTime = StatToFileTime(st);
        }
        entries.push_back(std::move(rec));
    };
    std::filesystem::directory_iterator it(base, ec);
    if (ec)
        return;
    add(".");
    add("..");
    for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        add(it->path().filename().string());
    }
    for (const auto& rec : entries)
        callback(base, rec, data);
}

int64_t GetSearchRecWriteTime(const TNembraSearchRec& rec)
{
    return rec.WriteTime;
}

int64_t GetFileWriteTime(const std::string& path)
{
    return std::max<int64_t>(0, FileAgeFileTime(path));
}

int64_t FileTimeToInt64(const TFileTime& ft)
{
    return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

TFileTime Int64ToFileTime(int64_t value)
{
    TFileTime ft;
    ft.dwLowDateTime = static_cast<uint32_t>(static_cast<uint64_t>(value) & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<uint32_t>(static_cast<uint64_t>(value) >> 32);
    return ft;
}

TDateTime WindowsFileTimeStampToDateTime(int64_t fileTime)
{
    return static_cast<double>(fileTime) / 864000000000.0 - kFileTimeDayOffset;
}

bool GetFileInfo(const std::string& path, TDateTime& time, int64_t& size)
{
    if (!FileExists(path))
        return false;
    const int64_t written = FileAgeFileTime(path);
    const int64_t bytes = FileSize(path);
    if (written < 0 || bytes < 0)
        return false;
    time = WindowsFileTimeStampToDateTime(written);
    size = bytes;
    return true;
}

bool DeleteDirectory(const std::string& path)
{
    try {
        // A link is not followed: only a folder itself is deleted.
        std::error_code ec;
        if (path.empty() || std::filesystem::is_symlink(path, ec) || !DirectoryExists(path))
            return false;
        return DeleteDirectoryTree(path);
    } catch (...) {
        return false;
    }
}

bool WriteEventLog(const std::string& message, const std::string& server, const std::string& source,
                   uint16_t category, uint32_t eventId, uint16_t eventType)
{
    if (!server.empty() || source.empty())
        return false;
    int priority = LOG_INFO;
    switch (eventType) {
    case EVENTLOG_ERROR_TYPE:
        priority = LOG_ERR;
        break;
    case EVENTLOG_WARNING_TYPE:
    case EVENTLOG_AUDIT_FAILURE:
        priority = LOG_WARNING;
        break;
    case EVENTLOG_AUDIT_SUCCESS:
        priority = LOG_NOTICE;
        break;
    default:
        priority = LOG_INFO;
        break;
    }
    // openlog keeps the identity pointer: it must live until closelog.
    const std::string ident = source;
    openlog(ident.c_str(), LOG_PID, LOG_USER);
    syslog(priority, "[%u/%u] %s", static_cast<unsigned>(category), static_cast<unsigned>(eventId),
           message.c_str());
    closelog();
    return true;
}

// ---------------------------------------------------------------------------
// Statistics

void ClearStats(TNembraStats& stats)
{
    stats = TNembraStats{};
}

void ClearDeltaStats(TNembraDeltaStats& delta)
{
    delta = TNembraDeltaStats{};
}

void UpdateDeltaStats(TNembraDeltaStats& delta, const TNembraStats& current, int32_t value)
{
    UpdateDeltaStatsAt(delta, current, value, Now());
}

void UpdateDeltaStatsAt(TNembraDeltaStats& delta, const TNembraStats& current, int32_t value, TDateTime now)
{
    const TNembraStats& prev = delta.Previous;
    delta.Delta.Counter1 = current.Counter1 - prev.Counter1;
    delta.Delta.Counter2 = current.Counter2 - prev.Counter2;
    delta.Delta.Counter3 = current.Counter3 - prev.Counter3;
    delta.Delta.Counter4 = current.Counter4 - prev.Counter4;
    delta.Delta.Counter5 = current.Counter5 - prev.Counter5;
    delta.Delta.Counter6 = current.Counter6 - prev.Counter6;
    const double elapsedMs = std::round((now - delta.Time) * 86400000.0);
    delta.Previous = current;
    delta.Time = now;
    if (elapsedMs <= 0)
        delta.Rate = 0;
    else
        delta.Rate = static_cast<int32_t>(
            std::nearbyint(std::min(100.0, 100.0 * static_cast<double>(delta.Delta.Counter2) / elapsedMs)));
    delta.CallerValue = value;
}
