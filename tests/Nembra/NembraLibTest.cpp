#include "Components/Nembra/NembraLib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>

#include "Components/Nembra/NembraJSON.h"
#include "platform/DateUtils.h"
#include "platform/FileUtils.h"
#include "platform/Streams.h"
#include "platform/StringList.h"
#include "platform/Threads.h"
#include "support/ErrorOf.h"
#include "support/TempFolder.h"
#include "support/Visible.h"

// ---------------------------------------------------------------------------
// Wire JSON literal

TEST(NembraStrToJSON, Escapes)
{
    struct Case
    {
        const char* Desc;
        std::string Input;
        std::string Expected;
    } cases[] = {
        {"empty", "", "\"\""},
        {"CR LF between words", "one\r\ntwo", "\"one\\ntwo\""},
        {"lone LF", "one\ntwo", "\"one\\rtwo\""},
        {"lone CR", "one\rtwo", "\"one\\u000Dtwo\""},
        {"LF CR is LF then lone CR", "a\n\rb", "\"a\\r\\u000Db\""},
        {"backslash and quote", "a\\b\"c", "\"a\\\\b\\\"c\""},
        {"tab, backspace, form feed", "\t\b\f", "\"\\t\\b\\f\""},
        {"other control bytes", std::string("\x01\x1F\0", 3), "\"\\u0001\\u001F\\u0000\""},
        {"UTF-8 unchanged", "\xC3\xA9\xE2\x82\xAC", "\"\xC3\xA9\xE2\x82\xAC\""},
        {"slash and DEL unchanged", "/\x7F", "\"/\x7F\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(Visible(StrToJSON(c.Input)), Visible(c.Expected));
    }
}

TEST(NembraStrToJSON, ParserGivesTheTextBack)
{
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += static_cast<char>(c);
    const std::string texts[] = {
        "plain", "line\r\nbreak", "lone\nfeed", "lone\rreturn", "mixed\r\n\n\r\r\n", "q\"uo\\te", all,
    };
    for (const auto& text : texts) {
        SCOPED_TRACE(Visible(text));
        EXPECT_EQ(Visible(UnencodeJSONStr(StrToJSON(text))), Visible(text));
        TJSONObject obj("{\"v\":" + StrToJSON(text) + "}");
        EXPECT_EQ(obj.GetValues("v").GetAsString(), text);
    }
}

TEST(NembraJSONTexts, SmallBuilders)
{
    EXPECT_EQ(BoolToJSON(true), "true");
    EXPECT_EQ(BoolToJSON(false), "false");
    EXPECT_EQ(GetJSONObj("\"a\":1"), "{\"a\":1}");

    std::string s;
    AddField(s, "a", "1");
    AddField(s, "b", "\"x\"");
    EXPECT_EQ(s, "\"a\":1\r\n,\"b\":\"x\"\r\n");
    TJSONObject obj(GetJSONObj(s));
    EXPECT_EQ(obj.GetValues("b").GetAsString(), "x");

    TStringList lines;
    EXPECT_EQ(StringsToJSON(lines), "[]");
    lines.Add("one");
    lines.Add("t\"wo");
    lines.Add("3\r\n");
    const std::string arr = StringsToJSON(lines);
    EXPECT_EQ(arr, "[\"one\",\"t\\\"wo\",\"3\\n\"]");

    TJSONObject parsed("{\"a\":" + arr + "}");
    TStringList back;
    back.Add("stale");
    JSONToStrings(parsed.GetValues("a").GetAsArray(), back);
    ASSERT_EQ(back.Count(), 3);
    EXPECT_EQ(back[1], "t\"wo");
    EXPECT_EQ(back[2], "3\r\n");
}

// ---------------------------------------------------------------------------
// Form encoding

TEST(NembraHTTP, Encode)
{
    struct Case
    {
        const char* Desc;
        std::string Input;
        std::string Expected;
    } cases[] = {
        {"letters and digits", "AZaz09", "AZaz09"},
        {"safe signs", "!$'()*-.@_", "!$'()*-.@_"},
        {"blank", "a b", "a+b"},
        {"reserved signs", "&=+%/?#:;,\"~", "%26%3D%2B%25%2F%3F%23%3A%3B%2C%22%7E"},
        {"control bytes", std::string("\0\r\n", 3), "%00%0D%0A"},
        {"UTF-8 bytes", "\xC3\xA9", "%C3%A9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(HTTPEncode(c.Input), c.Expected);
    }
}

TEST(NembraHTTP, Decode)
{
    struct Case
    {
        const char* Desc;
        std::string Input;
        std::string Expected;
    } cases[] = {
        {"plus is a blank", "a+b", "a b"},
        {"hex escape", "%41%c3%A9", "A\xC3\xA9"},
        {"double percent", "100%%", "100%"},
        {"percent at the end", "abc%", "abc "},
        {"one character after percent", "abc%4", "abc "},
        {"cut escape drops the rest", "%4", " "},
        {"not hexadecimal", "%4gz", " z"},
        {"zero byte", "%00", std::string("\0", 1)},
        {"plain", "x", "x"},
        {"empty", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(Visible(HTTPDecode(c.Input)), Visible(c.Expected));
    }
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += static_cast<char>(c);
    EXPECT_EQ(HTTPDecode(HTTPEncode(all)), all);
}

TEST(NembraText, TrimHtmlTags)
{
    EXPECT_EQ(TrimHtmlTags("<html><head></head><body><h1>Title</h1><p>One<br>Two</p><i>i</i><b>b</b>"
                           "<hr width=\"100%\"><h2>x</h2></body></html>"),
              "TitleOne\r\nTwoibx");
    EXPECT_EQ(TrimHtmlTags("<P>kept</P> <br/> 50% done"), "<P>kept</P> <br/> 50 done");
    EXPECT_EQ(TrimHtmlTags("<<b>p>"), "<p>") << "one pass per tag, in a fixed order";
    EXPECT_EQ(TrimHtmlTags("<<p>b>"), "");
}

// ---------------------------------------------------------------------------
// Dates and times

TEST(NembraDates, WireTexts)
{
    const TDateTime dt = EncodeDateTime(2024, 2, 29, 7, 5, 9, 0);
    TFormatSettings saved = FormatSettings;
    FormatSettings.DateSeparator = '.';
    FormatSettings.TimeSeparator = '#';
    const std::string date = DateToJSONStr(dt);
    const std::string time = TimeToJSONStr(dt);
    const std::string both = DateTimeToJSONStr(dt);
    FormatSettings = saved;
    EXPECT_EQ(date, "2024-02-29");
    EXPECT_EQ(time, "07:05:09");
    EXPECT_EQ(both, "2024-02-29 07:05:09");
    EXPECT_DOUBLE_EQ(JSONStrToDateTime(both), EncodeDateTime(2024, 2, 29, 7, 5, 9, 0));
}

TEST(NembraDates, Parse)
{
    struct Case
    {
        const char* Desc;
        std::string Input;
        std::string_view Format;
        bool Strict;
        TDateTime Expected;
    } cases[] = {
        {"date and time", "2024-01-05 13:45:30", NembraDateTimeFormat, true,
         EncodeDateTime(2024, 1, 5, 13, 45, 30, 0)},
        {"date only is midnight", "2024-01-05", NembraDateTimeFormat, true, EncodeDate(2024, 1, 5)},
        {"seconds missing", "2024-01-05 13:45", NembraDateTimeFormat, true,
         EncodeDateTime(2024, 1, 5, 13, 45, 0, 0)},
        {"minutes cut off count as missing", "2024-01-05 13:4", NembraDateTimeFormat, true,
         EncodeDateTime(2024, 1, 5, 13, 0, 0, 0)},
        {"minutes not numeric", "2024-01-05 13:xx:30", NembraDateTimeFormat, true,
         EncodeDateTime(2024, 1, 5, 13, 0, 0, 0)},
        {"hour not numeric", "2024-01-05 ab:45:30", NembraDateTimeFormat, true, EncodeDate(2024, 1, 5)},
        {"time of day has no date", "07:30:15", NembraTimeFormat, true, EncodeTime(7, 30, 15, 0)},
        {"trailing text ignored", "2024-01-05T10", NembraDateFormat, true, EncodeDate(2024, 1, 5)},
        {"separators are not looked at", "2024x01y05", NembraDateFormat, true, EncodeDate(2024, 1, 5)},
        {"own format", "05/01/2024", "dd/mm/yyyy", true, EncodeDate(2024, 1, 5)},
        {"before 1899 the time still counts forward", "1899-12-29 06:00:00", NembraDateTimeFormat, true,
         -1.25},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_DOUBLE_EQ(NembraStrToDateTime(c.Input, c.Format, c.Strict), c.Expected);
    }
    EXPECT_DOUBLE_EQ(JSONStrToTime("07:30:15"), EncodeTime(7, 30, 15, 0));
    EXPECT_DOUBLE_EQ(JSONStrToDate("2024-01-05"), EncodeDate(2024, 1, 5));
}

TEST(NembraDates, ParseErrors)
{
    struct Case
    {
        const char* Desc;
        std::string Input;
        std::string_view Format;
        bool Strict;
        const char* Error; // nullptr: the platform's encoding error
    } cases[] = {
        {"year holds no number", "24-02-2024", NembraDateFormat, true, "Invalid Year value"},
        {"month holds no number", "2024-ab-01", NembraDateFormat, true, "Invalid Month value"},
        {"day holds no number", "2024-01-xx", NembraDateFormat, true, "Invalid Day value"},
        {"text ends before the month", "2024", NembraDateFormat, true, "Invalid Month value"},
        {"text ends inside the day", "2024-01-", NembraDateFormat, true, "Invalid Day value"},
        {"text ends after one digit of the day", "2024-02-3", NembraDateFormat, true, "Invalid Day value"},
        {"text ends after one digit of the month", "2024-1", NembraDateFormat, true, "Invalid Month value"},
        {"empty text", "", NembraDateTimeFormat, true, "Invalid Year value"},
        {"impossible day", "2024-02-30", NembraDateFormat, true, nullptr},
        {"impossible month", "2024-13-01", NembraDateFormat, true, nullptr},
        {"impossible hour", "2024-01-01 24:00:00", NembraDateTimeFormat, true, nullptr},
        {"not strict: no number reaches the encoder", "24-02-2024", NembraDateFormat, false, nullptr},
        {"not strict: short text", "20", NembraDateFormat, false, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        try {
            NembraStrToDateTime(c.Input, c.Format, c.Strict);
            ADD_FAILURE() << "no error";
        } catch (const EConvertError& e) {
            EXPECT_EQ(c.Error, nullptr) << e.Message();
        } catch (const Exception& e) {
            ASSERT_NE(c.Error, nullptr) << e.Message();
            EXPECT_EQ(e.Message(), c.Error);
        }
    }
}

TEST(NembraDates, WireTextsAreWhatFormatDateTimeWrites)
{
    // The wire texts are written directly; they must not differ from the
    // general formatter's, also at the edges of its rounding and range.
    TFormatSettings wire;
    wire.DateSeparator = '-';
    wire.TimeSeparator = ':';
    std::vector<TDateTime> values = {0,
                                     -1.25,
                                     -693593.0,
                                     2958465.999,
                                     2958466.5,
                                     -700000.0,
                                     EncodeDateTime(2024, 2, 29, 23, 59, 59, 999),
                                     EncodeDateTime(2024, 2, 29, 23, 59, 59, 500),
                                     EncodeTime(0, 0, 0, 1),
                                     45000.99999999};
    for (int i = 0; i < 2000; ++i)
        values.push_back(-1000.0 + i * 61.37912345);
    for (const TDateTime v : values) {
        SCOPED_TRACE(v);
        EXPECT_EQ(DateToJSONStr(v), FormatDateTime("yyyy-mm-dd", v, wire));
        EXPECT_EQ(TimeToJSONStr(v), FormatDateTime("hh:nn:ss", v, wire));
        EXPECT_EQ(DateTimeToJSONStr(v), FormatDateTime("yyyy-mm-dd hh:nn:ss", v, wire));
    }
}

TEST(NembraDates, WireFormatsReadAsTheGeneralReadingReadsThem)
{
    // The wire formats are read at their fixed places; the same places in a
    // format with other separators take the general reading, which must
    // answer the same value or the same error.
    const std::string texts[] = {"2024-01-05 13:45:30",
                                 "2024-01-05",
                                 "2024-01-05 13",
                                 "2024-01-05 13:4",
                                 "2024-01-05 1",
                                 "2024-01-05  7:30:00",
                                 "2024-01-05 +7:30:00",
                                 "$7E8-01-05",
                                 "2024-02-30",
                                 "2024-01-05 24:00:00",
                                 "24-01-2024",
                                 "",
                                 "2024-0",
                                 "0000-01-01",
                                 "9999-12-31 23:59:59",
                                 "2024-01-05 13:xx:30",
                                 "07:30:15",
                                 "7:30:15",
                                 "07:30",
                                 "07",
                                 "ab:30:15",
                                 "07:30:1"};
    const std::pair<std::string_view, std::string_view> formats[] = {
        {NembraDateTimeFormat, "yyyy/mm/dd.hh;nn;ss"},
        {NembraDateFormat, "yyyy/mm/dd"},
        {NembraTimeFormat, "hh;nn;ss"},
    };
    auto read = [](const std::string& text, std::string_view format, bool strict) {
        try {
            return FloatToStr(NembraStrToDateTime(text, format, strict));
        } catch (const Exception& e) {
            return e.ClassName() + ": " + e.Message();
        }
    };
    for (const auto& [wire, general] : formats) {
        for (const std::string& text : texts) {
            SCOPED_TRACE(std::string(wire) + " <- " + text);
            for (bool strict : {true, false})
                EXPECT_EQ(read(text, wire, strict), read(text, general, strict));
        }
    }
}

TEST(NembraDates, Seconds)
{
    EXPECT_DOUBLE_EQ(SecsToDateTime(43200), 0.5);
    EXPECT_DOUBLE_EQ(SecondsToDate(86400 * 2), 2.0);
    EXPECT_EQ(DateTimeToSecs(0.5), 43200);
    EXPECT_EQ(DateTimeToSecs(EncodeTime(0, 0, 59, 999)), 59) << "truncated";
}

// ---------------------------------------------------------------------------
// Base64, XOR and identifiers

TEST(NembraBase64, KnownVectors)
{
    struct Case
    {
        const char* Plain;
        const char* Encoded;
    } cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"\xFF\xFE", "//4="},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Plain);
        EXPECT_EQ(EncodeBase64(c.Plain), c.Encoded);
        EXPECT_EQ(DecodeBase64(c.Encoded), c.Plain);
    }
    std::string all;
    for (int i = 0; i < 1000; ++i)
        all += static_cast<char>(i * 7);
    const std::string encoded = EncodeBase64(all);
    EXPECT_EQ(encoded.find('\n'), std::string::npos) << "no line breaks";
    EXPECT_EQ(DecodeBase64(encoded), all);
}

TEST(NembraBase64, LenientAndStrictDecoding)
{
    EXPECT_EQ(DecodeBase64("Zg"), "f") << "missing padding";
    EXPECT_EQ(DecodeBase64("Zm9v\r\nYmFy"), "foobar") << "line breaks";
    EXPECT_EQ(DecodeBase64(" Zm8= "), "fo");
    const char* bad[] = {"Z", "Zm9v!", "Zm9v!A==", "Zg===", "Z=g=", "Zm9vY", "=Zg=", "====", "=", "==", "Zm9v=", "Zm9v=="};
    for (const char* b : bad) {
        SCOPED_TRACE(b);
        EXPECT_EQ(ErrorOf([&] { DecodeBase64(b); }), "Invalid Base64 text");
    }
}

TEST(NembraCrypt, XorEncryptDecrypt)
{
    EXPECT_EQ(XorString("", "data"), "data");
    EXPECT_EQ(XorString("k", ""), "");
    const std::string x = XorString("AB", "abcde");
    ASSERT_EQ(x.size(), 5u);
    const std::string expected = {static_cast<char>('a' ^ 'A'), static_cast<char>('b' ^ 'B'),
                                  static_cast<char>('c' ^ 'A'), static_cast<char>('d' ^ 'B'),
                                  static_cast<char>('e' ^ 'A')};
    EXPECT_EQ(x, expected);
    EXPECT_EQ(XorString("AB", x), "abcde");

    EXPECT_EQ(Encrypt("key", "secret"), EncodeBase64(XorString("key", "secret")));
    EXPECT_EQ(Encrypt("\x01", "AAA"), "QEBA");
    EXPECT_EQ(Decrypt("key", Encrypt("key", "session-cookie-value")), "session-cookie-value");
}

TEST(NembraCrypt, GUIDString)
{
    const std::string a = CreateGUIDString();
    const std::string b = CreateGUIDString();
    ASSERT_EQ(a.size(), 32u);
    for (char c : a)
        EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << a;
    EXPECT_NE(a, b);
}

// ---------------------------------------------------------------------------
// Measures

TEST(NembraMeasures, WorkBeforeAndAfterCalibration)
{
    int64_t t = 0;
    BeginMeasure(t);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const int64_t elapsed = EndMeasure(t);
    EXPECT_EQ(elapsed, t);
    EXPECT_GE(elapsed, 25);

    InitProfiling();
    EXPECT_GT(ProfilingTicksPerMSec(), 0);
    BeginMeasure(t);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    // The calibration sleeps too; on a busy machine it may overshoot, which
    // makes the calibrated measure read short. Only its order is checked.
    EXPECT_GE(EndMeasure(t), 10);
}

TEST(NembraMeasures, AMeasureAcrossACalibrationStaysTrue)
{
    // Begun on the clock in use now, ended on the one of a new calibration
    // (which itself sleeps 100 ms).
    int64_t t = 0;
    BeginMeasure(t);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    InitProfiling();
    const int64_t elapsed = EndMeasure(t);
    EXPECT_GE(elapsed, 120);
    EXPECT_LT(elapsed, 5000) << "the two clocks were not put on one scale";
}

TEST(NembraMeasures, CPUTimeOfAThread)
{
    EXPECT_EQ(NSecToMSec(14999), 1);
    EXPECT_EQ(NSecToMSec(15000), 2);
    EXPECT_EQ(NSecToMSec(25000), 2) << "half to even";
    EXPECT_EQ(NSecToMSec(0), 0);

    const uint32_t self = GetCurrentThreadId();
    int64_t t = 0;
    BeginMeasureCPU(self, t);
    EXPECT_GT(t, 0) << "this thread has used some time already";
    EXPECT_EQ(EndMeasureCPU(self, t), 10) << "a short section reports at least 10";

    // Spin until the thread itself has used 60 ms, however busy the machine is.
    auto cpuNow = [] {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
    };
    BeginMeasureCPU(self, t);
    const int64_t until = cpuNow() + 60;
    volatile double sink = 0;
    while (cpuNow() < until)
        sink = sink + std::sqrt(sink + 1);
    const int64_t used = EndMeasureCPU(self, t);
    EXPECT_GE(used, 59);
    EXPECT_LT(used, 10000);
}

// ---------------------------------------------------------------------------
// Growable text, streams and files

TEST(NembraBuffer, GrowsAndCuts)
{
    TStringBuffer b;
    InitBuffer(b, 4);
    EXPECT_EQ(b.Buffer.size(), 4u);
    AppendToBuffer(b, "ab");
    AppendToBuffer(b, "cd");
    EXPECT_EQ(b.Buffer.size(), 4u);
    AppendToBuffer(b, "e");
    EXPECT_EQ(b.Buffer.size(), 8u) << "grows by Delta";
    AppendToBuffer(b, "0123456789");
    EXPECT_EQ(b.Buffer.size(), 18u) << "grows by the longer text";
    EXPECT_EQ(DoneBuffer(b), "abcde0123456789");

    TStringBuffer empty;
    InitBuffer(empty, 0);
    AppendToBuffer(empty, "x");
    EXPECT_EQ(DoneBuffer(empty), "x");
}

TEST(NembraStreams, ReadWriteCopy)
{
    TMemoryStream mem;
    WriteString(mem, "hello world");
    mem.SetPosition(6);
    EXPECT_EQ(ReadString(mem, 3), "wor");
    EXPECT_EQ(ReadString(mem, 100), "ld") << "more than remains";
    mem.SetPosition(0);
    EXPECT_EQ(ReadString(mem, -1), "hello world");
    mem.SetPosition(6);
    EXPECT_EQ(StreamToString(mem), "world");
    EXPECT_EQ(StreamToString(mem), "");

    // A memory stream is copied whole whatever its position.
    TMemoryStream dest;
    CopyStream(mem, dest);
    dest.SetPosition(0);
    EXPECT_EQ(StreamToString(dest), "hello world");

    TStringStream text("text stream");
    text.SetPosition(5);
    TMemoryStream fromText;
    CopyStream(text, fromText);
    fromText.SetPosition(0);
    EXPECT_EQ(StreamToString(fromText), "text stream");

    TTempFolder dir;
    WriteString(dir / "a.txt", std::string("bytes\0more", 10));
    EXPECT_EQ(ReadString(dir / "a.txt"), std::string("bytes\0more", 10));
    WriteString(dir / "a.txt", "short");
    EXPECT_EQ(ReadString(dir / "a.txt"), "short") << "replaced";
    {
        TFileStream file(dir / "a.txt", fmOpenRead);
        file.SetPosition(2);
        TMemoryStream fromFile;
        CopyStream(file, fromFile);
        fromFile.SetPosition(0);
        EXPECT_EQ(StreamToString(fromFile), "short") << "any other stream is copied from its start";
    }
    SaveStreamToFile(dest, dir / "b.txt");
    EXPECT_EQ(ReadString(dir / "b.txt"), "hello world");
    EXPECT_THROW(ReadString(dir / "missing.txt"), EFOpenError);
}

namespace {
// A source of 64 KiB that fails after its first block, as a dropped download does.
class TBreakingStream : public TStream
{
  public:
    int64_t Read(void* buffer, int64_t count) override
    {
        if (m_position >= 4096)
            throw EReadError("Stream read error");
        const int64_t n = std::min<int64_t>(count, 4096 - m_position);
        std::memset(buffer, 'x', static_cast<size_t>(n));
        m_position += n;
        return n;
    }
    int64_t Write(const void*, int64_t) override { return 0; }
    int64_t Seek(int64_t offset, int origin) override
    {
        m_position = origin == soFromBeginning ? offset : origin == soFromEnd ? 65536 + offset : m_position + offset;
        return m_position;
    }

  private:
    int64_t m_position = 0;
};
} // namespace

TEST(NembraStreams, AFailedSaveLeavesTheOldFileWhole)
{
    TTempFolder dir;
    WriteString(dir / "b.txt", "old content");
    TBreakingStream broken;
    EXPECT_THROW(SaveStreamToFile(broken, dir / "b.txt"), EReadError);
    EXPECT_EQ(ReadString(dir / "b.txt"), "old content");
    EXPECT_EQ(FindFiles(dir.Path(), "*").size(), 1u) << "no part-written file is left beside it";
}

// ---------------------------------------------------------------------------
// Text and list helpers

TEST(NembraText, ConcatAndJoin)
{
    TStringList list;
    EXPECT_EQ(ConcatStrings(list, ", "), "");
    list.Add("a");
    list.Add("b\"c");
    list.Add("");
    EXPECT_EQ(ConcatStrings(list, ", "), "a, b\"c, ");
    EXPECT_EQ(JoinWithComma(list, '"'), "\"a\",\"b\"\"c\",\"\"");
    EXPECT_EQ(JoinWithComma(list, '\0'), "a,b\"c,");
    EXPECT_EQ(JoinWithComma(list, '\''), "'a','b\"c',''");

    EXPECT_EQ(ConcatStrings("a", "b", "-"), "a-b");
    EXPECT_EQ(ConcatStrings("", "b", "-"), "b");
    EXPECT_EQ(ConcatStrings("a", "", "-"), "a");
    EXPECT_EQ(Coalesce("", "b"), "b");
    EXPECT_EQ(Coalesce("a", "b"), "a");
}

TEST(NembraText, Split)
{
    struct Case
    {
        const char* Desc;
        const char* Input;
        bool KeepAsPrefix;
        const char* Prefix;
        const char* Postfix;
    } cases[] = {
        {"split and trimmed", " key = value = x ", true, "key", "value = x"},
        {"separator first is no split, kept as prefix", "=value", true, "=value", ""},
        {"separator first is no split, to postfix", "=value", false, "", "=value"},
        {"a separator first is passed over for the next one", "=a = b ", false, "=a", "b"},
        {"no separator, to prefix", " alone ", true, "alone", ""},
        {"no separator, to postfix", " alone ", false, "", "alone"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        std::string prefix = "old";
        std::string postfix = "old";
        SplitString(c.Input, "=", prefix, c.KeepAsPrefix, postfix);
        EXPECT_EQ(prefix, c.Prefix);
        EXPECT_EQ(postfix, c.Postfix);
    }
    std::string a, b;
    SplitString("Module.Applet", "::", a, true, b);
    EXPECT_EQ(a, "Module.Applet");
    SplitString("x::y", "::", a, true, b);
    EXPECT_EQ(a, "x");
    EXPECT_EQ(b, "y");
    SplitStringPrefix("single", ".", a, b);
    EXPECT_EQ(a, "");
    EXPECT_EQ(b, "single");
    SplitStringPostfix("single", ".", a, b);
    EXPECT_EQ(a, "single");
    EXPECT_EQ(b, "");
}

TEST(NembraText, SmallHelpers)
{
    EXPECT_EQ(PrependString("http://", "HTTP://host"), "HTTP://host");
    EXPECT_EQ(PrependString("http://", "host"), "http://host");
    EXPECT_EQ(PrependString(" x ", "xy"), "xy") << "the prefix is trimmed for the test";
    EXPECT_EQ(PrependString(" x ", "y"), " x y");

    EXPECT_EQ(ExtractModuleClass("Module.Class"), "Module");
    EXPECT_EQ(ExtractModuleClass(".Class"), "");
    EXPECT_EQ(ExtractModuleClass("NoDot"), "");
    EXPECT_EQ(ExtractModuleClass("a.b.c"), "a");

    EXPECT_EQ(VarIfThen(true, Variant(1), Variant(2)).AsInteger(), 1);
    EXPECT_EQ(VarIfThen(false, Variant(1), Variant(2)).AsInteger(), 2);
    EXPECT_TRUE(VarIsNull(VarIfThen(false, Variant(1))));

    TStringList list;
    list.Add("a=1");
    list.Add("b");
    list.Add("c=x=y");
    EXPECT_EQ(ValueFromIndex(list, 0), "1");
    EXPECT_EQ(ValueFromIndex(list, 1), "b");
    EXPECT_EQ(ValueFromIndex(list, 2), "x=y");
    EXPECT_EQ(ValueFromIndex(list, -1), "");
    EXPECT_THROW(ValueFromIndex(list, 3), EListError);
}

TEST(NembraText, MostRecentlyUsed)
{
    TStringList list;
    EXPECT_EQ(GetMRUValue("  first ", list, true), "first");
    ASSERT_EQ(list.Count(), 1) << "second place of an empty list is the first";
    EXPECT_EQ(GetMRUValue("second", list, false), "second");
    EXPECT_EQ(list[0], "second");
    EXPECT_EQ(GetMRUValue("third", list, true), "third");
    EXPECT_EQ(list[1], "third");
    EXPECT_EQ(GetMRUValue("FIRST", list, false), "FIRST");
    EXPECT_EQ(list.Count(), 3) << "already in the list (without case)";
    EXPECT_EQ(GetMRUValue("   ", list, false), "");
    EXPECT_EQ(list.Count(), 3);
}

namespace {
class Counted : public TObject
{
  public:
    explicit Counted(std::vector<int>& log, int id) : m_log(log), m_id(id) {}
    ~Counted() override { m_log.push_back(m_id); }

  private:
    std::vector<int>& m_log;
    int m_id;
};

class Recorder : public IStoredProperties
{
  public:
    bool SetStoredProperty(const std::string& name, const std::string& value) override
    {
        Seen.push_back(name + "->" + value);
        return name != "Unknown";
    }
    std::vector<std::string> Seen;
};
} // namespace

TEST(NembraText, FreeObjectsOfAList)
{
    std::vector<int> log;
    TStringList list;
    for (int i = 0; i < 3; ++i)
        list.AddObject("line" + std::to_string(i), new Counted(log, i));
    list.Add("no object");
    FreeObjects(list);
    EXPECT_EQ(log, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(list.Count(), 4) << "the lines stay";
    EXPECT_EQ(list.Objects(0), nullptr) << "no slot points at freed memory";
    FreeObjects(list);
    EXPECT_EQ(log.size(), 3u) << "a second call frees nothing twice";

    log.clear();
    for (int i = 0; i < 3; ++i)
        list.SetObjects(i, new Counted(log, i));
    FreeObjectsReverse(list);
    EXPECT_EQ(log, (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(list.Objects(2), nullptr);
}

TEST(NembraText, InitInstanceFromValues)
{
    TStringList values;
    values.Add("Caption=Hello");
    values.Add("$Hidden=1");
    values.Add("=nameless");
    values.Add("no separator");
    values.Add("Width=a=b");
    values.Add("Unknown=1");
    Recorder obj;
    InitInstanceFromValues(obj, values);
    EXPECT_EQ(obj.Seen, (std::vector<std::string>{"Caption->Hello", "Width->a=b", "Unknown->1"}));
}

// ---------------------------------------------------------------------------
// Files and system

TEST(NembraFiles, FileTimes)
{
    EXPECT_DOUBLE_EQ(WindowsFileTimeStampToDateTime(0), EncodeDate(1601, 1, 1));
    EXPECT_DOUBLE_EQ(WindowsFileTimeStampToDateTime(116444736000000000LL), EncodeDate(1970, 1, 1));
    EXPECT_DOUBLE_EQ(WindowsFileTimeStampToDateTime(116444736000000000LL + 36000000000LL * 3),
                     EncodeDateTime(1970, 1, 1, 3, 0, 0, 0));

    const int64_t value = 0x0123456789ABCDEFLL;
    const TFileTime ft = Int64ToFileTime(value);
    EXPECT_EQ(ft.dwLowDateTime, 0x89ABCDEFu);
    EXPECT_EQ(ft.dwHighDateTime, 0x01234567u);
    EXPECT_EQ(FileTimeToInt64(ft), value);

    TTempFolder dir;
    const std::string file = dir / "f.bin";
    WriteText(file, "12345");
    const auto mtime = std::filesystem::file_time_type::clock::now() - std::chrono::hours(48);
    std::filesystem::last_write_time(file, mtime);
    const int64_t written = GetFileWriteTime(file);
    EXPECT_GT(written, 116444736000000000LL);
    EXPECT_EQ(GetFileWriteTime(dir / "missing"), 0);

    TDateTime when = 0;
    int64_t size = 0;
    ASSERT_TRUE(GetFileInfo(file, when, size));
    EXPECT_EQ(size, 5);
    EXPECT_DOUBLE_EQ(when, WindowsFileTimeStampToDateTime(written));
    EXPECT_NEAR(when, EncodeDate(1970, 1, 1) + static_cast<double>(std::time(nullptr) - 48 * 3600) / 86400.0,
                0.01);
    EXPECT_FALSE(GetFileInfo(dir.Path(), when, size)) << "a directory is no file";
    EXPECT_FALSE(GetFileInfo(dir / "missing", when, size));
}

TEST(NembraFiles, ForEachFile)
{
    TTempFolder dir;
    WriteText(dir / "a.txt", "a");
    WriteText(dir / "b.txt", "bb");
    WriteText(dir / "c.log", "c");
    std::filesystem::create_directory(dir / "sub.txt");

    std::vector<std::string> names;
    int marker = 0;
    ForEachFile(
        dir.Path(), "*.txt",
        [&](const std::string& base, const TNembraSearchRec& rec, void* data) {
            EXPECT_EQ(base, IncludeTrailingPathDelimiter(dir.Path()));
            EXPECT_EQ(data, &marker);
            EXPECT_GT(GetSearchRecWriteTime(rec), 0);
            names.push_back(rec.Name + (rec.Directory ? "/" : ":" + std::to_string(rec.Size)));
        },
        &marker);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt:1", "b.txt:2", "sub.txt/"}));

    names.clear();
    ForEachFile(
        dir.Path(), "?.TXT",
        [&](const std::string&, const TNembraSearchRec& rec, void*) { names.push_back(rec.Name); }, nullptr);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "b.txt"})) << "masks match without case";

    names.clear();
    ForEachFile(
        dir.Path(), "*",
        [&](const std::string&, const TNembraSearchRec& rec, void*) { names.push_back(rec.Name); }, nullptr);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "a.txt", "b.txt", "c.log", "sub.txt"}));

    names.clear();
    ForEachFile(
        dir / "missing", "*",
        [&](const std::string&, const TNembraSearchRec& rec, void*) { names.push_back(rec.Name); }, nullptr);
    EXPECT_TRUE(names.empty());
}

TEST(NembraFiles, DeleteDirectory)
{
    TTempFolder dir;
    const std::string target = dir / "tree";
    std::filesystem::create_directories(target + "/a/b");
    WriteText(target + "/a/b/f.txt", "x");
    WriteText(target + "/g.txt", "y");
    EXPECT_TRUE(DeleteDirectory(target));
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_FALSE(DeleteDirectory(target)) << "already gone";
    WriteText(dir / "file", "z");
    EXPECT_FALSE(DeleteDirectory(dir / "file")) << "not a folder";
    EXPECT_TRUE(std::filesystem::exists(dir / "file"));
    EXPECT_FALSE(DeleteDirectory(""));

    std::filesystem::create_directories(dir / "kept/inner");
    WriteText(dir / "kept/inner/f.txt", "keep");
    std::filesystem::create_directory_symlink(dir / "kept", dir / "link");
    EXPECT_FALSE(DeleteDirectory(dir / "link")) << "a link is not followed";
    EXPECT_TRUE(std::filesystem::exists(dir / "kept/inner/f.txt"));
}

TEST(NembraFiles, ModuleNames)
{
    const std::string app = GetAppFileName();
    EXPECT_FALSE(app.empty());
    EXPECT_TRUE(std::filesystem::exists(app)) << app;
    EXPECT_EQ(GetLibFileName(nullptr), app);
}

TEST(NembraSystem, WriteEventLog)
{
    EXPECT_FALSE(WriteEventLog("m", "remote-host", "Tallowin tests", 0, 1, EVENTLOG_ERROR_TYPE));
    EXPECT_FALSE(WriteEventLog("m", "", "", 0, 1, EVENTLOG_ERROR_TYPE));
    EXPECT_TRUE(WriteEventLog("event log check from the unit tests", "", "Tallowin tests", 2, 100,
                              EVENTLOG_INFORMATION_TYPE));
}

// ---------------------------------------------------------------------------
// Statistics

TEST(NembraStats, Deltas)
{
    TNembraDeltaStats delta;
    ClearDeltaStats(delta);
    const TDateTime t0 = EncodeDateTime(2024, 1, 1, 12, 0, 0, 0);
    TNembraStats current;
    current.Counter1 = 100;
    current.Counter2 = 500;
    current.Counter5 = 7;
    UpdateDeltaStatsAt(delta, current, 42, t0);
    EXPECT_EQ(delta.Delta.Counter1, 100);
    EXPECT_EQ(delta.Rate, 0) << "first update: the time since 1899 is long";
    EXPECT_EQ(delta.CallerValue, 42);
    EXPECT_DOUBLE_EQ(delta.Time, t0);

    current.Counter1 = 150;
    current.Counter2 = 800; // 300 more over 1000 ms: 30 %
    current.Counter6 = -2;
    UpdateDeltaStatsAt(delta, current, 43, t0 + 1.0 / 86400.0);
    EXPECT_EQ(delta.Delta.Counter1, 50);
    EXPECT_EQ(delta.Delta.Counter2, 300);
    EXPECT_EQ(delta.Delta.Counter5, 0);
    EXPECT_EQ(delta.Delta.Counter6, -2);
    EXPECT_EQ(delta.Rate, 30);
    EXPECT_EQ(delta.Previous.Counter2, 800);

    current.Counter2 = 5000;
    UpdateDeltaStatsAt(delta, current, 0, t0 + 2.0 / 86400.0);
    EXPECT_EQ(delta.Rate, 100) << "capped";

    current.Counter2 = 6000;
    UpdateDeltaStatsAt(delta, current, 0, t0 + 2.0 / 86400.0);
    EXPECT_EQ(delta.Rate, 0) << "no time passed";

    current.Counter2 = 6005; // 5 over 1000 ms: 0.5 % rounds to even
    UpdateDeltaStatsAt(delta, current, 0, t0 + 3.0 / 86400.0);
    EXPECT_EQ(delta.Rate, 0);

    TNembraStats stats = current;
    ClearStats(stats);
    EXPECT_EQ(stats.Counter2, 0);
    EXPECT_EQ(stats.Counter6, 0);
    UpdateDeltaStats(delta, current, 1);
    EXPECT_NEAR(delta.Time, Now(), 1.0 / 86400.0);
}

TEST(NembraWireTypes, BinaryFieldTypes)
{
    int binary = 0;
    for (int t = 0; t < FieldTypeCount; ++t)
        binary += IsBinaryFieldType(static_cast<TFieldType>(t)) ? 1 : 0;
    EXPECT_EQ(binary, 14);
    for (TFieldType t : {ftBytes, ftVarBytes, ftBlob, ftGraphic, ftParadoxOle, ftDBaseOle, ftTypedBinary,
                         ftCursor, ftADT, ftArray, ftReference, ftDataSet, ftOraBlob, ftOraClob})
        EXPECT_TRUE(IsBinaryFieldType(t)) << FieldTypeName(t);
    EXPECT_FALSE(IsBinaryFieldType(ftMemo)) << "memo types travel as text";
    EXPECT_FALSE(IsBinaryFieldType(ftFmtMemo));
    EXPECT_FALSE(IsBinaryFieldType(ftString));
}
