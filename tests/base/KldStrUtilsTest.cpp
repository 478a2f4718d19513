#include "base/KldStrUtils.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct EscapeCase
{
    const char* Desc;
    std::string Input;
    std::string Expected;
};

TEST(EscapeStr, WritesEscapesAndQuotesOnDelimiter)
{
    const std::vector<EscapeCase> cases = {
        {"empty", "", ""},
        {"plain text", "hello world", "hello world"},
        {"delimiter forces quoting", "a,b", "\"a,b\""},
        {"quote without delimiter stays single", "a\"b", "a\"b"},
        {"quote with delimiter is doubled", "a\"b,c", "\"a\"\"b,c\""},
        {"backslash is doubled", "\\n", "\\\\n"},
        {"CR LF as hex", "\r\n", "\\0D\\0A"},
        {"tab", "a\tb", "a\\09b"},
        {"NUL byte", std::string("a\0b", 3), "a\\00b"},
        {"unit separator 31", "\x1F", "\\1F"},
        {"space is not escaped", " ", " "},
        {"DEL and UTF-8 pass", "\x7F\xC3\xA9", "\x7F\xC3\xA9"},
        {"only delimiter", ",", "\",\""},
        {"escape and quoting together", "x,\n", "\"x,\\0A\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(EscapeStr(c.Input, ',', '"'), c.Expected);
    }
}

TEST(EscapeStr, DelimiterAndQuoteAreParameters)
{
    EXPECT_EQ(EscapeStr("a;b", ';', '\''), "'a;b'");
    EXPECT_EQ(EscapeStr("it's;", ';', '\''), "'it''s;'");
    EXPECT_EQ(EscapeStr("a,b", ';', '\''), "a,b");
}

TEST(UnEscapeStr, UndoesEscapesAndQuoting)
{
    const std::vector<EscapeCase> cases = {
        {"empty", "", ""},
        {"plain", "abc", "abc"},
        {"quoted", "\"a,b\"", "a,b"},
        {"doubled quotes inside", "\"a\"\"b,c\"", "a\"b,c"},
        {"text after closing quote is ignored", "\"ab\"cd", "ab"},
        {"double backslash", "\\\\n", "\\n"},
        {"hex upper case", "\\0D\\0A", "\r\n"},
        {"hex lower case", "\\0d\\0a", "\r\n"},
        {"high byte", "\\FF", "\xFF"},
        {"trailing single backslash kept", "abc\\", "abc\\"},
        {"lone backslash", "\\", "\\"},
        {"lone quote taken as is", "\"", "\""},
        {"two quotes taken as is", "\"\"", "\"\""},
        {"empty quoted part taken as is", "\"\"x", "\"\"x"},
        {"quote not at start stays", "a\"b", "a\"b"},
        {"escapes inside quotes", "\"x,\\0A\"", "x,\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(UnEscapeStr(c.Input, '"'), c.Expected);
    }
}

// The rules for input that EscapeStr never writes.
TEST(UnEscapeStr, DamagedInputRules)
{
    const std::vector<EscapeCase> cases = {
        {"unterminated quote keeps the rest", "\"abc", "abc"},
        {"unterminated quote with doubled quote", "\"a\"\"b", "a\"b"},
        {"unterminated quote with escape", "\"a\\09", "a\t"},
        {"backslash and one character at the end", "ab\\4", "ab?"},
        {"backslash and one bad character at the end", "ab\\z", "ab?"},
        {"first digit not hex", "\\G1xy", "?xy"},
        {"second digit not hex", "\\1Gxy", "?xy"},
        {"both digits bad", "\\zzxy", "?xy"},
        {"sign is not a digit", "\\-1", "?"},
        {"bad escape consumes two characters, even a backslash", "\\q\\41", "?41"},
        {"bad escape then a good one", "\\qq\\41", "?A"},
        {"backslash then backslash at the end", "\\\\", "\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(UnEscapeStr(c.Input, '"'), c.Expected);
    }
}

TEST(UnEscapeStr, RoundTripsEscapeStr)
{
    std::string allBytes;
    for (int i = 1; i < 256; ++i)
        allBytes += static_cast<char>(i);
    const std::vector<std::string> texts = {
        "",
        "plain",
        "a,b",
        "a\"b",
        "a\"b,c",
        "\\n",
        "line one\r\nline two",
        "tab\there, and \"quotes\"",
        "ends with backslash\\",
        std::string("nul\0inside", 10),
        "caf\xC3\xA9, \xE2\x82\xAC",
        ",\"",
        allBytes,
    };
    for (const auto& text : texts) {
        SCOPED_TRACE(text);
        EXPECT_EQ(UnEscapeStr(EscapeStr(text, ',', '"'), '"'), text);
    }
}

// The one known exception to the round trip: a text that begins with the
// quote character and holds no delimiter is not quoted by EscapeStr, so
// UnEscapeStr reads its first character as an opening quote.
TEST(UnEscapeStr, LeadingQuoteWithoutDelimiterDoesNotRoundTrip)
{
    const std::string text = "\"hi\" there";
    const std::string escaped = EscapeStr(text, ',', '"');
    EXPECT_EQ(escaped, text);
    EXPECT_EQ(UnEscapeStr(escaped, '"'), "hi");
}

} // namespace
