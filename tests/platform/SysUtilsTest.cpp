#include "platform/SysUtils.h"

#include "platform/Variants.h"
#include "support/ErrorOf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

// ---------------------------------------------------------------------------
// Exceptions

TEST(Exceptions, AbortIsSilentEAbort)
{
    try {
        Abort();
        FAIL() << "Abort returned";
    } catch (const Exception& e) {
        EXPECT_EQ(e.ClassName(), "EAbort");
        EXPECT_EQ(e.Message(), "Operation aborted");
        EXPECT_NE(dynamic_cast<const EAbort*>(&e), nullptr);
    }
}

TEST(Exceptions, AssertionNamesUnitAndCondition)
{
    int rows = 3;
    try {
        KLD_ASSERT("KldData", rows == 4);
        FAIL() << "assertion did not raise";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.ClassName(), "EAssertionFailed");
        EXPECT_NE(e.Message().find("KldData"), std::string::npos) << e.Message();
        EXPECT_NE(e.Message().find("rows == 4"), std::string::npos) << e.Message();
    }
    EXPECT_NO_THROW(KLD_ASSERT("KldData", rows == 3));
}

// ---------------------------------------------------------------------------
// Format

struct FormatCase
{
    const char* Desc;
    const char* Format;
    std::vector<FormatArg> Args;
    std::string Expected;
};

TEST(Format, Directives)
{
    const FormatCase cases[] = {
        {"plain integer", "%d", {42}, "42"},
        {"negative integer", "%d", {-42}, "-42"},
        {"upper-case type letter", "%D", {7}, "7"},
        {"width right-aligns", "[%5d]", {42}, "[   42]"},
        {"minus left-aligns", "[%-5d]", {42}, "[42   ]"},
        {"width smaller than text", "[%1d]", {12345}, "[12345]"},
        {"precision gives minimum digits", "%.5d", {-12}, "-00012"},
        {"precision and width", "[%7.4d]", {12}, "[   0012]"},
        {"64-bit integer", "%d", {int64_t(-9000000000LL)}, "-9000000000"},
        {"unsigned argument", "%d", {uint64_t(18446744073709551615ULL)}, "18446744073709551615"},
        {"Boolean counts as integer", "%d", {true}, "1"},
        {"hex digits are upper case", "%x", {255}, "FF"},
        {"hex with minimum digits", "%.4x", {255}, "00FF"},
        {"negative 32-bit in hex", "%x", {-1}, "FFFFFFFF"},
        {"negative 64-bit in hex", "%x", {int64_t(-4294967297LL)}, "FFFFFFFEFFFFFFFF"},
        {"unsigned of negative", "%u", {-1}, "4294967295"},
        {"text", "%s", {"abc"}, "abc"},
        {"text precision cuts", "%.2s", {"abcdef"}, "ab"},
        {"text width", "[%5s]", {"abc"}, "[  abc]"},
        {"text left", "[%-5s]", {"abc"}, "[abc  ]"},
        {"width counts characters, not bytes", "[%-4s]", {"\xC3\xA9t\xC3\xA9"}, "[\xC3\xA9t\xC3\xA9 ]"},
        {"precision cuts characters", "%.1s", {"\xC3\xA9t\xC3\xA9"}, "\xC3\xA9"},
        {"percent sign", "100%%", {}, "100%"},
        {"literal text around", "a%sb%dc", {"-", 1}, "a-b1c"},
        {"a character is text", "[%s]", {'x'}, "[x]"},
        {"index specifier", "%1:s %0:s", {"a", "b"}, "b a"},
        {"index then sequence", "%1:s %s %0:s", {"a", "b", "c"}, "b c a"},
        {"star width", "[%*d]", {5, 42}, "[   42]"},
        {"star width and precision", "[%-*.*f]", {8, 1, 3.14159}, "[3.1     ]"},
        {"fixed default two decimals", "%f", {1.5}, "1.50"},
        {"fixed rounds half away from zero", "%.0f", {2.5}, "3"},
        {"fixed negative half", "%.0f", {-2.5}, "-3"},
        {"fixed exact tie", "%.2f", {0.125}, "0.13"},
        {"fixed below the tie", "%.2f", {1.005}, "1.00"},
        {"fixed of an integer argument", "%.1f", {3}, "3.0"},
        {"fixed tiny negative is zero", "%.2f", {-0.001}, "0.00"},
        {"exponent default", "%e", {1234.5}, "1.23450000000000E+003"},
        {"exponent precision", "%.3e", {1234.5}, "1.23E+003"},
        {"exponent negative", "%.2e", {-0.00012}, "-1.2E-004"},
        {"general", "%g", {1234.5}, "1234.5"},
        {"general small", "%g", {0.25}, "0.25"},
        {"number with separators", "%n", {1234567.891}, "1,234,567.89"},
        {"number no decimals", "%.0n", {1234.5}, "1,235"},
        {"money", "%m", {1234.5}, "$1,234.50"},
        {"negative money", "%m", {-5.0}, "($5.00)"},
        {"pointer", "%p", {static_cast<const void*>(nullptr)}, "0000000000000000"},
        {"float width", "[%8.2f]", {-3.14159}, "[   -3.14]"},
        {"special values", "%f %f", {std::nan(""), -std::numeric_limits<double>::infinity()}, "NAN -INF"},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(FormatList(c.Format, c.Args), c.Expected);
    }
}

TEST(Format, VariadicFrontEnd)
{
    EXPECT_EQ(Format("%s has %d rows (%.1f%%)", std::string("T1"), 12, 37.25), "T1 has 12 rows (37.3%)");
    EXPECT_EQ(Format("List index out of bounds (%d)", 5), "List index out of bounds (5)");
}

TEST(Format, VariantArguments)
{
    EXPECT_EQ(Format("%d", Variant(12)), "12");
    EXPECT_EQ(Format("%s", Variant(12)), "12");
    EXPECT_EQ(Format("%.1f", Variant(2.25)), "2.3");
    EXPECT_EQ(Format("%s", Variant("abc")), "abc");
    EXPECT_EQ(Format("%s", Variant(true)), "True");
    EXPECT_EQ(Format("%x", Variant(255)), "FF");
    EXPECT_THROW(Format("%d", Variant("abc")), EConvertError);
    EXPECT_THROW(Format("%s", Variant::Null()), EVariantError);
}

TEST(Format, Errors)
{
    struct ErrorCase
    {
        const char* Desc;
        const char* Format;
        std::vector<FormatArg> Args;
        std::string Message;
    };
    const ErrorCase cases[] = {
        {"text for %d", "%d", {"x"}, "Format '%d' invalid or incompatible with argument"},
        {"float for %d", "n=%d", {1.5}, "Format 'n=%d' invalid or incompatible with argument"},
        {"number for %s", "%s", {5}, "Format '%s' invalid or incompatible with argument"},
        {"text for %f", "%f", {"1.5"}, "Format '%f' invalid or incompatible with argument"},
        {"text for %x", "%x", {"1"}, "Format '%x' invalid or incompatible with argument"},
        {"unknown type", "%q", {1}, "Format '%q' invalid or incompatible with argument"},
        {"lone percent at end", "50%", {}, "Format '50%' invalid or incompatible with argument"},
        {"unfinished directive", "%-5", {1}, "Format '%-5' invalid or incompatible with argument"},
        {"text for a star", "%*d", {"x", 1}, "Format '%*d' invalid or incompatible with argument"},
        {"number for %p", "%p", {1}, "Format '%p' invalid or incompatible with argument"},
        {"character for %d", "%d", {'1'}, "Format '%d' invalid or incompatible with argument"},
        {"missing argument", "%d %d", {1}, "No argument for format '%d %d'"},
        {"index beyond the arguments", "%3:s", {"a"}, "No argument for format '%3:s'"},
        {"huge width", "%99999999999d", {1}, "Format '%99999999999d' invalid or incompatible with argument"},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(ErrorOf<EConvertError>([&] { FormatList(c.Format, c.Args); }), c.Message);
    }
}

TEST(Format, FollowsSeparatorSettings)
{
    TFormatSettings fs;
    fs.DecimalSeparator = ',';
    fs.ThousandSeparator = '.';
    fs.CurrencyString = "EUR";
    fs.CurrencyFormat = 3;
    fs.NegCurrFormat = 8;
    EXPECT_EQ(FormatList("%n", {1234.5}, fs), "1.234,50");
    EXPECT_EQ(FormatList("%m", {1234.5}, fs), "1.234,50 EUR");
    EXPECT_EQ(FormatList("%m", {-1.0}, fs), "-1,00 EUR");
    // The global settings are untouched.
    EXPECT_EQ(Format("%n", 1234.5), "1,234.50");
}

// ---------------------------------------------------------------------------
// Float texts

TEST(FloatToStr, ShortestFifteenDigitText)
{
    struct Case
    {
        const char* Desc;
        double Input;
        std::string Expected;
    };
    const Case cases[] = {
        {"zero", 0.0, "0"},
        {"negative zero", -0.0, "0"},
        {"integer", 100.0, "100"},
        {"negative fraction", -12.5, "-12.5"},
        {"tenth without noise", 0.1, "0.1"},
        {"sum with binary noise", 0.1 + 0.2, "0.3"},
        {"third", 1.0 / 3.0, "0.333333333333333"},
        {"two thirds rounds", 2.0 / 3.0, "0.666666666666667"},
        {"fraction kept", 1234567.125, "1234567.125"},
        {"fifteen integer digits fixed", 1e14, "100000000000000"},
        {"more than fifteen is scientific", 1e15, "1E15"},
        {"large", 1e20, "1E20"},
        {"large with digits", 123456789012345678.0, "1.23456789012346E17"},
        {"small fixed", 0.0001, "0.0001"},
        {"small scientific", 1.5e-5, "1.5E-5"},
        {"tiny", 1e-300, "1E-300"},
        {"not a number", std::nan(""), "NAN"},
        {"infinity", std::numeric_limits<double>::infinity(), "INF"},
        {"negative infinity", -std::numeric_limits<double>::infinity(), "-INF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(FloatToStr(c.Input), c.Expected);
    }
}

TEST(FloatToStr, ReadsBackWithinFifteenDigits)
{
    std::mt19937_64 random(20261210);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> exponent(-30, 30);
    for (int k = 0; k < 20000; ++k) {
        double v = mantissa(random) * std::pow(10.0, exponent(random)) * (k % 2 ? -1 : 1);
        std::string text = FloatToStr(v);
        SCOPED_TRACE(text);
        double back = StrToFloat(text);
        ASSERT_LE(std::fabs(back - v), std::fabs(v) * 5e-15);
        size_t digits = 0;
        for (char c : text.substr(0, text.find('E')))
            digits += c >= '0' && c <= '9';
        ASSERT_LE(digits, 15u + (text.find("0.") != std::string::npos ? 4u : 0u));
        // Fixed decimals agree between Format and a picture of the same size
        // while the digits fit the picture's fifteen.
        if (std::fabs(v) < 1e12) {
            ASSERT_EQ(Format("%.2f", v), FormatFloat("0.00", v));
        }
    }
}

TEST(FloatToStr, FloatToStrFForms)
{
    EXPECT_EQ(FloatToStrF(1234.5, ffFixed, 15, 2), "1234.50");
    EXPECT_EQ(FloatToStrF(1234.5, ffNumber, 15, 1), "1,234.5");
    EXPECT_EQ(FloatToStrF(1234.5, ffExponent, 4, 2), "1.235E+03");
    EXPECT_EQ(FloatToStrF(0.0, ffExponent, 3, 0), "0.00E+0");
    EXPECT_EQ(FloatToStrF(1234.5, ffGeneral, 3, 0), "1.23E3");
    EXPECT_EQ(FloatToStrF(99.95, ffCurrency, 15, 1), "$100.0");
    // More integer digits than the precision: the general form.
    EXPECT_EQ(FloatToStrF(123456.0, ffFixed, 4, 2), "1.235E5");
}

TEST(StrToFloat, Texts)
{
    struct Case
    {
        const char* Desc;
        const char* Input;
        double Expected;
    };
    const Case cases[] = {
        {"decimal", "1.5", 1.5},
        {"blanks around", "  1.5  ", 1.5},
        {"negative exponent form", "-1e3", -1000.0},
        {"plus sign", "+2", 2.0},
        {"leading point", ".5", 0.5},
        {"trailing point", "5.", 5.0},
        {"exponent with sign", "1E+2", 100.0},
        {"underflow reads as zero", "1e-400", 0.0},
        {"long mantissa", "3.14159265358979323846264338327950288", 3.141592653589793},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_DOUBLE_EQ(StrToFloat(c.Input), c.Expected);
    }
    for (const char* bad : {"", " ", "1,5", "abc", "1e", "1.5x", "--1", "1e400", "INF", "1 000", ".", "-"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(ErrorOf<EConvertError>([&] { StrToFloat(bad); }),
                  std::string("'") + bad + "' is not a valid floating point value");
        double v = 7;
        EXPECT_FALSE(TryStrToFloat(bad, v));
        EXPECT_EQ(v, 7) << "a failed TryStrToFloat must leave the value alone";
        EXPECT_EQ(StrToFloatDef(bad, -1.0), -1.0);
    }
}

TEST(StrToFloat, DecimalSeparatorFromSettings)
{
    TFormatSettings fs;
    fs.DecimalSeparator = ',';
    EXPECT_DOUBLE_EQ(StrToFloat("1,25", fs), 1.25);
    EXPECT_THROW(StrToFloat("1.25", fs), EConvertError);
    EXPECT_EQ(FloatToStr(1.25, fs), "1,25");
}

// ---------------------------------------------------------------------------
// FormatFloat

TEST(FormatFloat, Pictures)
{
    struct Case
    {
        const char* Desc;
        const char* Format;
        double Input;
        std::string Expected;
    };
    const Case cases[] = {
        {"grouped optional digits of zero are empty", "#,##", 0, ""},
        {"grouped optional digits", "#,##", 1234, "1,234"},
        {"grouped optional digits round to zero", "#,##", 0.4, ""},
        {"single optional digit of zero", "#", 0, ""},
        {"grouped with a zero digit", "#,##0", 0, "0"},
        {"millions", "#,##0", 1234567, "1,234,567"},
        {"negative grouped", "#,##0", -1234.567, "-1,235"},
        {"half away from zero", "0", 2.5, "3"},
        {"negative half away from zero", "0", -2.5, "-3"},
        {"exact tie in decimals", "0.00", 0.125, "0.13"},
        {"negative rounding to zero has no sign", "0", -0.4, "0"},
        {"negative zero decimals", "0.0", -0.04, "0.0"},
        {"carry through nines", "0.0", 9.96, "10.0"},
        {"carry into a new group", "#,##0.0", 999999.96, "1,000,000.0"},
        {"fixed decimals", "0.00", 3.14159, "3.14"},
        {"optional decimals dropped", "0.##", 3.1, "3.1"},
        {"optional decimals all dropped with the point", "0.##", 3, "3"},
        {"no integer zero", "#.##", 0.5, ".5"},
        {"leading zeros", "000", 7, "007"},
        {"more digits than placeholders", "00", 12345, "12345"},
        {"literal between digits", "00-00", 5, "00-05"},
        {"negative section", "0;(0)", -5, "(5)"},
        {"zero section", "0;(0);\"zero\"", 0, "zero"},
        {"zero section after rounding", "0;(0);nil", 0.2, "nil"},
        {"empty negative section uses positive", "0;;z", -3, "-3"},
        {"empty negative section and zero", "0;;z", 0, "z"},
        {"quoted suffix", "#,##0.00 \"kg\"", 1234.5, "1,234.50 kg"},
        {"single-quoted prefix", "'$'#,##0", -12, "-$12"},
        {"semicolon inside quotes", "0' ; '0", 12, "1 ; 2"},
        {"scientific", "0.00E+00", 1234, "1.23E+03"},
        {"scientific minus form", "0.00E-00", 1234, "1.23E03"},
        {"scientific negative exponent", "0.00E-00", 0.000123, "1.23E-04"},
        {"scientific of zero", "0.00e+0", 0, "0.00e+0"},
        {"scientific two integer digits", "00.0E+0", 1234, "12.3E+2"},
        {"E without sign is a literal", "0E", 5, "5E"},
        {"empty format is FloatToStr", "", 1.5, "1.5"},
        {"large fixed", "0", 1e20, "100000000000000000000"},
        {"three-digit group", "#,##0", 999, "999"},
        {"special value", "0.00", std::nan(""), "NAN"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(FormatFloat(c.Format, c.Input), c.Expected);
    }
}

TEST(FormatFloat, SeparatorsFromSettings)
{
    TFormatSettings fs;
    fs.DecimalSeparator = ',';
    fs.ThousandSeparator = ' ';
    EXPECT_EQ(FormatFloat("#,##0.00", 1234567.891, fs), "1 234 567,89");
}

// ---------------------------------------------------------------------------
// Integer and Boolean texts

TEST(StrToInt, Texts)
{
    struct Case
    {
        const char* Desc;
        const char* Input;
        int32_t Expected;
    };
    const Case cases[] = {
        {"decimal", "123", 123},
        {"leading blanks", "  123", 123},
        {"negative", "-5", -5},
        {"plus", "+5", 5},
        {"dollar hex", "$FF", 255},
        {"0x hex", "0x1f", 31},
        {"x hex", "X10", 16},
        {"negative hex", "-$10", -16},
        {"hex wraps", "$FFFFFFFF", -1},
        {"largest", "2147483647", 2147483647},
        {"smallest", "-2147483648", INT32_MIN},
        {"leading zeros", "007", 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(StrToInt(c.Input), c.Expected);
    }
    for (const char* bad : {"", " ", "2147483648", "-2147483649", "123 ", "abc", "12a", "$", "0x", "1.5",
                            "- 5", "\t5", "$100000000", "99999999999999999999999"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(ErrorOf<EConvertError>([&] { StrToInt(bad); }),
                  std::string("'") + bad + "' is not a valid integer value");
        EXPECT_EQ(StrToIntDef(bad, -7), -7);
    }
}

TEST(StrToInt, SixtyFourBit)
{
    EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(StrToInt64("$FFFFFFFFFFFFFFFF"), -1);
    EXPECT_EQ(StrToInt64("4294967296"), 4294967296LL);
    EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
    EXPECT_THROW(StrToInt64("$1FFFFFFFFFFFFFFFF"), EConvertError);
    EXPECT_EQ(StrToInt64Def("x", 3), 3);
}

TEST(IntToStr, AndHex)
{
    EXPECT_EQ(IntToStr(0), "0");
    EXPECT_EQ(IntToStr(-123), "-123");
    EXPECT_EQ(IntToStr(int64_t(INT64_MIN)), "-9223372036854775808");
    EXPECT_EQ(IntToHex(255, 4), "00FF");
    EXPECT_EQ(IntToHex(0, 0), "0");
    EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFF");
    EXPECT_EQ(IntToHex(int64_t(-1), 2), "FFFFFFFFFFFFFFFF");
    EXPECT_EQ(IntToHex(uint32_t(0xABCDEF), 8), "00ABCDEF");
}

TEST(StrToBool, Texts)
{
    struct Case
    {
        const char* Input;
        bool Expected;
    };
    const Case cases[] = {{"True", true}, {"true", true}, {"TRUE", true}, {"False", false}, {"fALSE", false},
                          {"1", true},    {"0", false},   {"-1", true},   {"2.5", true},    {"0.0", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Input);
        EXPECT_EQ(StrToBool(c.Input), c.Expected);
    }
    EXPECT_EQ(ErrorOf<EConvertError>([] { StrToBool("yes"); }), "'yes' is not a valid boolean value");
    EXPECT_THROW(StrToBool(""), EConvertError);
    EXPECT_TRUE(StrToBoolDef("maybe", true));
    EXPECT_EQ(BoolToStr(true), "-1");
    EXPECT_EQ(BoolToStr(false), "0");
    EXPECT_EQ(BoolToStr(true, true), "True");
    EXPECT_EQ(BoolToStr(false, true), "False");
}

// ---------------------------------------------------------------------------
// Texts

TEST(Text, CompareAndSame)
{
    EXPECT_EQ(CompareText("abc", "ABD"), 'C' - 'D');
    EXPECT_EQ(CompareText("abc", "ABC"), 0);
    EXPECT_EQ(CompareText("ab", "abc"), -1);
    EXPECT_GT(CompareText("b", "A"), 0);
    EXPECT_GT(CompareText("_", "a"), 0) << "letters compare as upper case";
    EXPECT_LT(CompareStr("_", "a"), 0);
    EXPECT_EQ(CompareStr("a", "B"), 'a' - 'B');
    EXPECT_EQ(CompareStr("abc", "abc"), 0);
    EXPECT_TRUE(SameText("Counter", "COUNTER"));
    EXPECT_FALSE(SameText("Counter", "Counte"));
    EXPECT_FALSE(SameText("\xC3\xA9", "\xC3\x89")) << "SameText folds ASCII only";
    EXPECT_TRUE(AnsiSameText("Caf\xC3\xA9", "CAF\xC3\x89"));
    EXPECT_FALSE(AnsiSameText("Cafe", "Caf\xC3\xA9"));
    EXPECT_LT(AnsiCompareText("apple", "Banana"), 0);
    EXPECT_GT(AnsiCompareText("\xC3\xA9", "f"), 0);
    EXPECT_EQ(AnsiCompareText("\xC3\xBC"
                              "ber",
                              "\xC3\x9C"
                              "BER"),
              0);
    EXPECT_LT(AnsiCompareStr("A", "a"), 0);
    EXPECT_GT(AnsiCompareText("ab", "a"), 0);
    EXPECT_EQ(AnsiCompareText("a\xC3", "A\xC3"), 0) << "a cut sequence compares as its byte";
    EXPECT_GT(AnsiCompareText("a\xC3", "a"), 0);
    EXPECT_NE(AnsiCompareText("a\xC3", "a\xC3\xA9"), 0);
}

TEST(Text, CaseMapping)
{
    struct Case
    {
        const char* Desc;
        std::string Input;
        std::string Upper;
        std::string Lower;
    };
    const Case cases[] = {
        {"ASCII", "Hello, World 1", "HELLO, WORLD 1", "hello, world 1"},
        {"Latin-1 letters",
         "gr\xC3\xBC\xC3\x9F"
         "e \xC3\xA0\xC3\x89",
         "GR\xC3\x9C\xC3\x9F"
         "E \xC3\x80\xC3\x89",
         "gr\xC3\xBC\xC3\x9F"
         "e \xC3\xA0\xC3\xA9"},
        {"multiplication and division signs stay", "\xC3\x97\xC3\xB7", "\xC3\x97\xC3\xB7",
         "\xC3\x97\xC3\xB7"},
        {"other scripts stay", "\xD0\xB4\xE2\x82\xAC", "\xD0\xB4\xE2\x82\xAC", "\xD0\xB4\xE2\x82\xAC"},
        {"damaged UTF-8 stays", "a\xC3", "A\xC3", "a\xC3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(AnsiUpperCase(c.Input), c.Upper);
        EXPECT_EQ(AnsiLowerCase(c.Input), c.Lower);
    }
    EXPECT_EQ(UpperCase("abc\xC3\xA9"), "ABC\xC3\xA9");
    EXPECT_EQ(LowerCase("ABC\xC3\x89"), "abc\xC3\x89");
}

TEST(Text, Trim)
{
    EXPECT_EQ(Trim("\t a b \r\n"), "a b");
    EXPECT_EQ(TrimLeft("\x01 a "), "a ");
    EXPECT_EQ(TrimRight(" a \x1f"), " a");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim("\xC3\xA9 "), "\xC3\xA9") << "UTF-8 bytes are no blanks";
}

TEST(Text, Quoting)
{
    EXPECT_EQ(QuotedStr("it's"), "'it''s'");
    EXPECT_EQ(QuotedStr(""), "''");
    EXPECT_EQ(AnsiQuotedStr("a\"b", '"'), "\"a\"\"b\"");

    struct Case
    {
        const char* Desc;
        const char* Input;
        std::string Expected;
    };
    const Case cases[] = {
        {"quoted", "'it''s'", "it's"},
        {"not quoted", "abc", "abc"},
        {"unterminated stays", "'abc", "'abc"},
        {"empty quoted", "''", ""},
        {"text after the closing quote is dropped", "'a'b", "a"},
        {"lone quote stays", "'", "'"},
        {"empty", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(AnsiDequotedStr(c.Input, '\''), c.Expected);
    }

    std::string_view src = "'ab''c'rest";
    EXPECT_EQ(AnsiExtractQuotedStr(src, '\''), "ab'c");
    EXPECT_EQ(src, "rest");
    std::string_view unterminated = "\"open";
    EXPECT_EQ(AnsiExtractQuotedStr(unterminated, '"'), "open");
    EXPECT_TRUE(unterminated.empty());
    std::string_view plain = "plain";
    EXPECT_EQ(AnsiExtractQuotedStr(plain, '"'), "");
    EXPECT_EQ(plain, "plain");
}

TEST(Text, StringReplace)
{
    struct Case
    {
        const char* Desc;
        std::string Input, Old, New;
        TReplaceFlags Flags;
        std::string Expected;
    };
    const Case cases[] = {
        {"first only", "aXbXc", "X", "-", 0, "a-bXc"},
        {"all", "aXbXc", "X", "-", rfReplaceAll, "a-b-c"},
        {"case matters by default", "aXbxc", "x", "-", rfReplaceAll, "aXb-c"},
        {"ignore case", "aXbxc", "x", "-", rfReplaceAll | rfIgnoreCase, "a-b-c"},
        {"ignore case on Latin-1", "\xC3\x89t\xC3\xA9", "\xC3\xA9", "e", rfReplaceAll | rfIgnoreCase, "ete"},
        {"empty pattern", "abc", "", "x", rfReplaceAll, "abc"},
        {"no overlap", "aaa", "aa", "b", rfReplaceAll, "ba"},
        {"delete at end", "abc", "c", "", rfReplaceAll, "ab"},
        {"replacement holds the pattern", "ab", "a", "aa", rfReplaceAll, "aab"},
        {"not found", "abc", "z", "y", rfReplaceAll, "abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(StringReplace(c.Input, c.Old, c.New, c.Flags), c.Expected);
    }
}

TEST(Text, PositionsAndCopy)
{
    EXPECT_EQ(Pos("b", "abc"), 2);
    EXPECT_EQ(Pos("x", "abc"), 0);
    EXPECT_EQ(Pos("", "abc"), 0);
    EXPECT_EQ(Pos("abcd", "abc"), 0);
    EXPECT_EQ(PosEx("a", "aba", 2), 3);
    EXPECT_EQ(PosEx("a", "aba", 4), 0);
    EXPECT_EQ(PosEx("a", "aba", 0), 0);
    EXPECT_EQ(Copy("abcdef", 2, 3), "bcd");
    EXPECT_EQ(Copy("abcdef", 0, 2), "ab");
    EXPECT_EQ(Copy("abcdef", -5, 2), "ab");
    EXPECT_EQ(Copy("abcdef", 5, 100), "ef");
    EXPECT_EQ(Copy("abcdef", 7, 1), "");
    EXPECT_EQ(Copy("abcdef", 2, -1), "");
    EXPECT_EQ(Copy("abcdef", 3), "cdef");
    EXPECT_EQ(StringOfChar('x', 3), "xxx");
    EXPECT_EQ(StringOfChar('x', -1), "");
}

TEST(Text, WrapText)
{
    struct Case
    {
        const char* Desc;
        std::string Input;
        int MaxCol;
        std::string Expected;
    };
    const Case cases[] = {
        {"short line stays", "hello world", 45, "hello world"},
        {"break after the last blank", "The quick brown fox jumps", 10, "The quick \r\nbrown fox \r\njumps"},
        {"break after a hyphen", "well-known-fact", 6, "well-\r\nknown-\r\nfact"},
        {"no break character stays long", "abcdefghijkl", 5, "abcdefghijkl"},
        {"long word then a blank", "abcdefghij klm", 5, "abcdefghij \r\nklm"},
        {"quoted text is never broken", "say 'hello there world' now", 10,
         "say \r\n'hello there world' \r\nnow"},
        {"double quotes too", "a \"b c d e f\" g", 4, "a \r\n\"b c d e f\" \r\ng"},
        {"existing break starts a new line", "aaa bbb\r\nccc ddd", 5, "aaa \r\nbbb\r\nccc \r\nddd"},
        {"blanks at a new line are dropped", "aaaa    bbbb", 5, "aaaa  \r\nbbbb"},
        {"no break added at the end", "aaaa  ", 4, "aaaa "},
        {"characters, not bytes", "\xC3\xA9\xC3\xA9\xC3\xA9 \xC3\xA9\xC3\xA9\xC3\xA9", 4,
         "\xC3\xA9\xC3\xA9\xC3\xA9 \r\n\xC3\xA9\xC3\xA9\xC3\xA9"},
        {"tab is a break character", "ab\tcd", 3, "ab\t\r\ncd"},
        {"a hyphen opening the text is no break point", "-abcdefgh", 5, "-abcdefgh"},
        {"nor one opening a line after a break", "ab\r\n-cdefgh ij", 5, "ab\r\n-cdefgh \r\nij"},
        {"empty", "", 5, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(WrapText(c.Input, c.MaxCol), c.Expected);
    }
    EXPECT_EQ(WrapText("a,b,c,d", "\n", ",", 3), "a,b,\nc,d");
    const std::string sentence = "This sentence is a little longer than forty-five characters in all.";
    EXPECT_EQ(WrapText(sentence), "This sentence is a little longer than forty-\r\nfive characters in all.");
}

TEST(FileNames, Parts)
{
    struct Case
    {
        const char* Input;
        std::string Path, Dir, Name, Ext, Changed;
    };
    const Case cases[] = {
        {"/a/b/c.txt", "/a/b/", "/a/b", "c.txt", ".txt", "/a/b/c.ini"},
        {"/a.b/c", "/a.b/", "/a.b", "c", "", "/a.b/c.ini"},
        {"c", "", "", "c", "", "c.ini"},
        {"/c.txt", "/", "/", "c.txt", ".txt", "/c.ini"},
        {"archive.tar.gz", "", "", "archive.tar.gz", ".gz", "archive.tar.ini"},
        {"dir/", "dir/", "dir", "", "", "dir/.ini"},
        {"file.", "", "", "file.", ".", "file.ini"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Input);
        EXPECT_EQ(ExtractFilePath(c.Input), c.Path);
        EXPECT_EQ(ExtractFileDir(c.Input), c.Dir);
        EXPECT_EQ(ExtractFileName(c.Input), c.Name);
        EXPECT_EQ(ExtractFileExt(c.Input), c.Ext);
        EXPECT_EQ(ChangeFileExt(c.Input, ".ini"), c.Changed);
    }
    EXPECT_EQ(IncludeTrailingPathDelimiter("/tmp"), "/tmp/");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/tmp/"), "/tmp/");
    EXPECT_EQ(IncludeTrailingPathDelimiter(""), "/");
    EXPECT_EQ(ExcludeTrailingPathDelimiter("/tmp/"), "/tmp");
    EXPECT_EQ(ExcludeTrailingPathDelimiter("/tmp"), "/tmp");
}

} // namespace
