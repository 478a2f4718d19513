#include "Components/Nembra/NembraJSON.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <random>

#include "platform/Streams.h"
#include "platform/StringList.h"
#include "support/ErrorOf.h"
#include "support/Visible.h"

TEST(JSONParser, ReadsEveryKindOfValue)
{
    TJSONObject obj(R"({"s":"text", "i":42, "b":true, "n":null, "o":{"x":1}, "a":[1,"two",false]})");
    ASSERT_EQ(obj.GetPropCount(), 6);
    EXPECT_EQ(obj.GetValues("s").GetValueType(), jvtString);
    EXPECT_EQ(obj.GetValues("s").GetAsString(), "text");
    EXPECT_EQ(obj.GetValues("i").GetValueType(), jvtNumber);
    EXPECT_EQ(obj.GetValues("i").GetAsInteger(), 42);
    EXPECT_EQ(obj.GetValues("b").GetValueType(), jvtBoolean);
    EXPECT_TRUE(obj.GetValues("b").GetAsBoolean());
    EXPECT_TRUE(obj.GetValues("n").GetIsNull());
    EXPECT_EQ(obj.GetValues("n").GetValueType(), jvtNULL);
    EXPECT_EQ(obj.GetValues("o").GetAsObject().GetValues("x").GetAsInteger(), 1);
    TJSONArray& arr = obj.GetValues("a").GetAsArray();
    ASSERT_EQ(arr.Count(), 3);
    EXPECT_EQ(arr.GetValue(1).GetAsString(), "two");
    EXPECT_FALSE(arr.GetValue(2).GetAsBoolean());
    EXPECT_EQ(obj.GetPropCount(), 6) << "reading existing members adds none";
}

TEST(JSONParser, Tokens)
{
    // A colon, "{" and "[" do not end a bare token; bytes 1 to 32 separate tokens.
    const std::string text = "\x01{\"a\":[x:y{z,12\t-3\r\nTRUE fAlse NULL \"s\\\"t\"]}";
    TJSONParser parser(text);
    struct Token
    {
        char Type;
        std::string Text;
    };
    const Token expected[] = {{'{', "{"},    {'A', "a"},    {':', ":"},  {'[', "["},    {'N', "x:y{z"},
                              {',', ","},    {'I', "12"},   {'N', "-3"}, {'T', "TRUE"}, {'F', "fAlse"},
                              {'0', "NULL"}, {'A', "s\"t"}, {']', "]"},  {'}', "}"}};
    for (const auto& e : expected) {
        parser.NextToken();
        SCOPED_TRACE(e.Text);
        EXPECT_EQ(parser.TokenType(), e.Type);
        EXPECT_EQ(parser.TokenText(), e.Text);
    }
    parser.NextToken();
    EXPECT_EQ(parser.TokenType(), 0);
    EXPECT_EQ(parser.ReadIndex(), static_cast<int>(text.size()) + 1);
    parser.NextToken();
    EXPECT_EQ(parser.TokenType(), 0) << "the end stays the end";
}

TEST(JSONParser, RepeatedNamesMergeWithoutCase)
{
    TJSONObject obj(R"({"a":1,"A":2})");
    ASSERT_EQ(obj.GetPropCount(), 1);
    EXPECT_EQ(obj.GetPropName(0), "a");
    EXPECT_EQ(obj.GetPropValue(0).GetAsInteger(), 2);

    // Latin-1 letters fold too, in UTF-8.
    TJSONObject latin("{\"\xC3\xA9t\xC3\xA9\":1,\"\xC3\x89T\xC3\x89\":\"x\",\"b\":3}");
    ASSERT_EQ(latin.GetPropCount(), 2);
    EXPECT_EQ(latin.GetPropValue(0).GetAsString(), "x");
    EXPECT_EQ(latin.IndexOfName("\xC3\x89t\xC3\xA9"), 0);
    EXPECT_EQ(latin.IndexOfName("B"), 1);
    EXPECT_EQ(latin.IndexOfName("c"), -1);
}

TEST(JSONParser, WideObjectsKeepLookupWithoutCase)
{
    std::string text = "{";
    for (int i = 0; i < 200; ++i)
        text += Format("\"Name%d\":%d,", i, i);
    text += "\"NAME150\":-1}";
    TJSONObject obj(text);
    ASSERT_EQ(obj.GetPropCount(), 200);
    EXPECT_EQ(obj.GetValues("name150").GetAsInteger(), -1);
    EXPECT_EQ(obj.GetPropName(150), "Name150");
    EXPECT_EQ(obj.IndexOfName("nAmE7"), 7);
    obj.GetValues("Extra");
    EXPECT_EQ(obj.IndexOfName("EXTRA"), 200);
    obj.GetValues("\xC3\x89mile").SetAsInteger(7); // Émile
    EXPECT_EQ(obj.GetValues("\xC3\xA9MILE").GetAsInteger(), 7)
        << "Latin-1 letters fold in the lookup table too";
    EXPECT_EQ(obj.GetPropCount(), 202);

    TJSONObject copy;
    copy.AssignObject(&obj);
    EXPECT_EQ(copy.IndexOfName("name199"), 199);
    copy.Clear();
    EXPECT_EQ(copy.IndexOfName("name199"), -1);
}

TEST(JSONParser, TrailingCommasAccepted)
{
    TJSONObject obj(R"({"a":[1,2,],"b":{},"c":{"d":1,},})");
    EXPECT_EQ(obj.GetPropCount(), 3);
    EXPECT_EQ(obj.GetValues("a").GetAsArray().Count(), 2);
    EXPECT_EQ(obj.GetValues("b").GetAsObject().GetPropCount(), 0);
    EXPECT_EQ(obj.GetValues("c").GetAsObject().GetPropCount(), 1);
}

TEST(JSONParser, NumberKinds)
{
    struct Case
    {
        const char* Desc;
        const char* Input;
        TVarType Type;
        double Value;
    } cases[] = {
        {"small integer", "5", varInteger, 5},
        {"zero", "0", varInteger, 0},
        {"largest 32-bit kept", "2147483646", varInteger, 2147483646.0},
        {"int max goes 64-bit", "2147483647", varInt64, 2147483647.0},
        {"big integer", "9007199254740993", varInt64, 9007199254740992.0},
        {"int64 max", "9223372036854775807", varInt64, 9223372036854775807.0},
        {"leading zeros", "0000000000000000000000042", varInteger, 42},
        {"minus five", "-5", varDouble, -5},
        {"one and a half", "1.5", varDouble, 1.5},
        {"exponent", "1e3", varDouble, 1000},
        {"upper exponent with sign", "1.5E+2", varDouble, 150},
        {"negative exponent", "25e-1", varDouble, 2.5},
        {"leading plus", "+7", varDouble, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        TJSONObject obj(std::string("{\"v\":") + c.Input + "}");
        const TJSONValue& v = obj.GetValues("v");
        EXPECT_EQ(v.GetValueType(), jvtNumber);
        EXPECT_EQ(VarType(v.GetAsVariant()), c.Type);
        EXPECT_DOUBLE_EQ(v.GetAsNumber(), c.Value);
    }
    TJSONObject exact(R"({"v":9223372036854775807})");
    EXPECT_EQ(exact.GetValues("v").GetAsInt64(), INT64_MAX);
}

TEST(JSONParser, NumbersOutOfRangeOrMalformedFail)
{
    struct Case
    {
        const char* Desc;
        const char* Input;
        const char* Error;
    } cases[] = {
        {"one past int64", "9223372036854775808", "'9223372036854775808' is not a valid integer value"},
        {"far past int64", "123456789012345678901234567890",
         "'123456789012345678901234567890' is not a valid integer value"},
        {"word", "abc", "'abc' is not a valid floating point value"},
        {"two points", "1.2.3", "'1.2.3' is not a valid floating point value"},
        {"lone minus", "-", "'-' is not a valid floating point value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        try {
            TJSONObject obj(std::string("{\"v\":") + c.Input + "}");
            ADD_FAILURE() << "no error";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), c.Error);
        }
    }
}

TEST(JSONParser, NumbersIgnoreTheLocale)
{
    TFormatSettings saved = FormatSettings;
    FormatSettings.DecimalSeparator = ',';
    TJSONObject obj(R"({"v":1.25})");
    std::string written = obj.ToJSONString();
    std::string readable = obj.GetValues("v").GetAsString();
    FormatSettings = saved;
    EXPECT_DOUBLE_EQ(obj.GetValues("v").GetAsNumber(), 1.25);
    EXPECT_EQ(written, "{\"v\":1.25}");
    EXPECT_EQ(readable, "1.25");
}

TEST(JSONParser, NumbersReadAsAFullConversionReadsThem)
{
    // Every number of a reply must come out as the nearest double, whether it
    // is read on the quick path (up to 19 digits, exponent within 22) or not.
    std::vector<std::string> texts = {
        "0.1", "0.2", "0.3", "1.7976931348623157e308", "2.2250738585072014e-308", "4.9e-324", "9007199254740992.0",
        "9007199254740993.0", "9007199254740995.5", "1e22", "1e23", "1e-22", "1e-23", "123456789012345678.9",
        "1234567890123456789.5", "0.000000000000000000001", "-0.0", "-0", "5e-0", "1.5E+22", "8.98846567431158e307",
        "3.14159265358979323846", "00000.5", "1.0000000000000002", "0.30000000000000004"};
    std::mt19937_64 random(15);
    for (int i = 0; i < 3000; ++i) {
        const double d = std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 140) - 110);
        char buf[64];
        const int precision = 1 + static_cast<int>(random() % 18);
        std::snprintf(buf, sizeof buf, i % 3 == 0 ? "%.*e" : (i % 3 == 1 ? "%.*f" : "%.*g"), precision,
                      i % 2 ? -d : d);
        texts.emplace_back(buf);
    }
    std::string reply = "{\"v\":[";
    for (const auto& t : texts)
        reply += t + ",";
    reply += "]}";
    TJSONObject obj(reply);
    const TJSONArray& arr = obj.GetValues("v").GetAsArray();
    ASSERT_EQ(arr.Count(), static_cast<int>(texts.size()));
    for (size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE(texts[i]);
        double expected = 0;
        const auto res = std::from_chars(texts[i].data(), texts[i].data() + texts[i].size(), expected);
        ASSERT_EQ(res.ptr, texts[i].data() + texts[i].size());
        const double read = arr.GetValue(static_cast<int>(i)).GetAsNumber();
        EXPECT_EQ(std::memcmp(&read, &expected, sizeof read), 0) << read << " != " << expected;
    }
}

TEST(JSONParser, StringsOfEveryLengthWithAnEscapeAnywhere)
{
    // Strings are scanned a word at a time and short ones copied whole: the
    // end of the string, an escape and the end of the reply may fall on any
    // byte of a word, and nothing past the reply may be read.
    for (size_t n = 0; n <= 40; ++n) {
        for (size_t at = 0; at <= n; ++at) {
            std::string expected;
            for (size_t i = 0; i < n; ++i)
                expected += static_cast<char>('a' + i % 26);
            std::string literal = expected;
            if (at < n) {
                expected[at] = '"';
                literal.replace(at, 1, "\\\"");
            }
            for (const char* tail : {"]}", "], \"x\":0, \"padding padding padding padding\":1}"}) {
                SCOPED_TRACE(literal + tail);
                // A block of the reply's exact size: a read past it is caught.
                const std::string text = "{\"v\":[\"" + literal + "\"" + tail;
                const std::vector<char> exact(text.begin(), text.end());
                TJSONObject obj(std::string_view(exact.data(), exact.size()));
                EXPECT_EQ(obj.GetValues("v").GetAsArray().GetValue(0).GetAsString(), expected);
            }
        }
    }
}

TEST(JSONParser, LiteralsInAnyCase)
{
    TJSONObject obj(R"({"a":TRUE,"b":False,"c":NuLl,"d":[tRuE,FALSE,NULL]})");
    EXPECT_EQ(obj.GetValues("a").GetValueType(), jvtBoolean);
    EXPECT_TRUE(obj.GetValues("a").GetAsBoolean());
    EXPECT_FALSE(obj.GetValues("b").GetAsBoolean());
    EXPECT_EQ(obj.GetValues("b").GetValueType(), jvtBoolean);
    EXPECT_TRUE(obj.GetValues("c").GetIsNull());
    const TJSONArray& d = obj.GetValues("d").GetAsArray();
    EXPECT_TRUE(d.GetValue(0).GetAsBoolean());
    EXPECT_EQ(d.GetValue(1).GetValueType(), jvtBoolean);
    EXPECT_TRUE(d.GetValue(2).GetIsNull());
}

TEST(JSONParser, StringEscapes)
{
    struct Case
    {
        const char* Desc;
        const char* Input; // the JSON literal, quotes included
        std::string Expected;
    } cases[] = {
        {"backslash-n is CR LF", R"("a\nb")", "a\r\nb"},
        {"backslash-r is a lone LF", R"("a\rb")", "a\nb"},
        {"tab, backspace, form feed", R"("\t\b\f")", "\t\b\f"},
        {"quote, backslash, slash", R"("\"\\\/")", "\"\\/"},
        {"unknown escape is the character", R"("\q\x")", "qx"},
        {"latin small e acute", R"("\u00e9")", "\xC3\xA9"},
        {"euro sign, upper-case hex", R"("\u20AC")", "\xE2\x82\xAC"},
        {"ascii", R"("\u0041")", "A"},
        {"surrogate pair is one character", R"("\ud83d\ude00")", "\xF0\x9F\x98\x80"},
        {"lone high surrogate", R"("\ud83dx")",
         "\xEF\xBF\xBD"
         "x"},
        {"lone low surrogate", R"("\ude00")", "\xEF\xBF\xBD"},
        {"non-hex digits give code 0", R"("\uzz12|")", std::string("\0|", 2)},
        {"UTF-8 passes unchanged", "\"\xC3\xA9\xE2\x82\xAC\"", "\xC3\xA9\xE2\x82\xAC"},
        {"raw control bytes kept", "\"a\tb\x01\"", "a\tb\x01"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        TJSONObject obj(std::string("{\"v\":") + c.Input + "}");
        EXPECT_EQ(Visible(obj.GetValues("v").GetAsString()), Visible(c.Expected));
    }
}

TEST(JSONParser, EscapedNamesAreTakenWhole)
{
    TJSONObject obj(R"({"a\"b":1,"c\u00e9":2})");
    EXPECT_EQ(obj.GetPropName(0), "a\"b");
    EXPECT_EQ(obj.GetPropName(1), "c\xC3\xA9");
}

TEST(JSONParser, TextEndingEarly)
{
    struct Case
    {
        const char* Desc;
        std::string Input;
        std::string Expected;
    } cases[] = {
        {"inside a string", "\"abc", "abc"},
        {"after a backslash", "\"abc\\", "abc"},
        {"inside a \\u escape", "\"abc\\u00", "abc"},
        {"right after \\u", "\"abc\\u", "abc"},
        {"inside a surrogate pair", "\"x\\ud83d\\ude0", "x\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(Visible(UnencodeJSONStr(c.Input)), Visible(c.Expected));
    }
    // Inside an object the cut-off string still leaves the object unclosed.
    EXPECT_EQ(ErrorOf([] { TJSONObject obj("{\"a\":\"abc"); }),
              "Invalid JSON around position: 10; TokenType: }");
}

TEST(JSONParser, OnlyTheFirstTopLevelObjectIsRead)
{
    TJSONObject obj(R"({"a":1} trailing garbage {"b":2} [ "unclosed)");
    EXPECT_EQ(obj.GetPropCount(), 1);
    EXPECT_EQ(obj.GetValues("a").GetAsInteger(), 1);

    // A NUL byte ends the input like the end of the text.
    TJSONObject nul(std::string("{\"a\":1}\0{", 9));
    EXPECT_EQ(nul.GetPropCount(), 1);
    EXPECT_EQ(ErrorOf([] { TJSONObject obj(std::string("{\"a\":\0 1}", 9)); }),
              "Unexpected token () or end of stream");
}

TEST(JSONParser, ErrorTexts)
{
    struct Case
    {
        const char* Desc;
        const char* Input;
        const char* Error;
    } cases[] = {
        {"empty text", "", "Invalid JSON around position: 1; TokenType: {"},
        {"array at top level", "[1]", "Invalid JSON around position: 2; TokenType: {"},
        {"unquoted member name", "{a:1}", "Invalid JSON around position: 5; TokenType: }"},
        {"missing colon", "{\"a\" 1}", "Invalid JSON around position: 7; TokenType: :"},
        {"missing comma", "{\"a\":1 \"b\":2}", "Invalid JSON around position: 11; TokenType: }"},
        {"missing comma in array", "{\"a\":[1 2]}", "Invalid JSON around position: 10; TokenType: ]"},
        {"unclosed object", "{\"a\":1", "Invalid JSON around position: 7; TokenType: }"},
        {"value is a closing brace", "{\"a\":}", "Unexpected token (}) or end of stream"},
        {"value is a colon", "{\"a\"::1}", "Unexpected token (:) or end of stream"},
        {"value is a comma", "{\"a\":[1,,2]}", "Unexpected token (,) or end of stream"},
        {"value missing at the end", "{\"a\":", "Unexpected token () or end of stream"},
        {"array missing at the end", "{\"a\":[1,", "Unexpected token () or end of stream"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(ErrorOf([&] { TJSONObject obj(c.Input); }), c.Error);
    }
}

TEST(JSONParser, NestingDepthIsLimited)
{
    auto nested = [](int depth) {
        std::string text = "{\"a\":";
        for (int i = 1; i < depth; ++i)
            text += "[";
        text += "1";
        for (int i = 1; i < depth; ++i)
            text += "]";
        return text + "}";
    };
    TJSONObject deepest(nested(JSONMaxDepth));
    EXPECT_EQ(deepest.GetValues("a").GetAsArray().Count(), 1);
    EXPECT_EQ(ErrorOf([&] { TJSONObject obj(nested(JSONMaxDepth + 1)); }),
              Format("Invalid JSON around position: %d; TokenType: [", JSONMaxDepth + 6));
    // A hostile reply fails cleanly instead of exhausting the stack.
    EXPECT_NE(ErrorOf([&] { TJSONObject obj(std::string("{\"a\":") + std::string(1000000, '[')); }), "");
    std::string objects;
    for (int i = 0; i < 100000; ++i)
        objects += "{\"a\":";
    EXPECT_NE(ErrorOf([&] { TJSONObject obj(objects); }), "");
}

TEST(JSONParser, PartlyParsedObjectKeepsItsMembers)
{
    TStringStream stream(R"({"a":1,"b":"two","c":})");
    TJSONObject obj;
    obj.GetValues("old");
    EXPECT_THROW(obj.ParseFromStream(stream), Exception);
    ASSERT_EQ(obj.GetPropCount(), 3) << "cleared first, then a, b and the member being read";
    EXPECT_EQ(obj.GetPropName(0), "a");
    EXPECT_EQ(obj.GetValues("b").GetAsString(), "two");
}

TEST(JSONParser, StreamsAreReadFromTheirPosition)
{
    TStringStream stream(R"(xxxxx{"a":"from stream"})");
    stream.SetPosition(5);
    TJSONObject obj(stream);
    EXPECT_EQ(obj.GetValues("a").GetAsString(), "from stream");
    EXPECT_GE(obj.ParseTime(), 0);

    TJSONObject again;
    again.GetValues("stale").SetAsInteger(1);
    stream.SetPosition(5);
    again.ParseFromStream(stream);
    EXPECT_EQ(again.IndexOfName("stale"), -1);
    EXPECT_EQ(again.GetPropCount(), 1);
    EXPECT_EQ(TJSONObject().ParseTime(), 0);
}

TEST(JSONParser, UnencodeJSONStrReadsAnyValue)
{
    EXPECT_EQ(UnencodeJSONStr(R"("line\nnext \"q\"")"), "line\r\nnext \"q\"");
    EXPECT_EQ(UnencodeJSONStr("123"), "123");
    EXPECT_EQ(UnencodeJSONStr("true"), "True");
    EXPECT_EQ(UnencodeJSONStr("null"), "");
    EXPECT_EQ(UnencodeJSONStr("[1, \"a\"]"), "[1, a]");
    EXPECT_EQ(UnencodeJSONStr(R"({"k":"v"})"), "k: v");
    EXPECT_EQ(ErrorOf([] { UnencodeJSONStr(""); }), "Unexpected token () or end of stream");
}

// ---------------------------------------------------------------------------

TEST(JSONModel, MissingMemberIsAddedAsNull)
{
    TJSONObject obj(R"({"a":1})");
    EXPECT_EQ(obj.GetValues("missing").GetAsInteger(), 0);
    EXPECT_EQ(obj.GetValues("other").GetAsString(), "");
    EXPECT_FALSE(obj.GetValues("third").GetAsBoolean());
    EXPECT_EQ(obj.GetPropCount(), 4);
    EXPECT_EQ(obj.ToJSONString(), "{\"a\":1,\r\n\"missing\":NULL,\r\n\"other\":NULL,\r\n\"third\":NULL}");
}

TEST(JSONModel, WrongKindErrors)
{
    TJSONObject obj(R"({"n":null,"s":"x","a":[],"o":{}})");
    EXPECT_EQ(ErrorOf([&] { obj.GetValues("n").GetAsArray(); }), "Value is not an array");
    EXPECT_EQ(ErrorOf([&] { obj.GetValues("n").GetAsObject(); }), "Value is not an object");
    EXPECT_EQ(ErrorOf([&] { obj.GetValues("a").GetAsObject(); }), "Value is not an object");
    EXPECT_EQ(ErrorOf([&] { obj.GetValues("o").GetAsArray(); }), "Value is not an array");
    EXPECT_THROW(obj.GetValues("s").GetAsInteger(), EVariantError);
    EXPECT_THROW(obj.GetValues("o").GetAsInteger(), EVariantError);

    TJSONValue date;
    date.SetAsVariant(Variant::FromDate(45000.5));
    EXPECT_EQ(ErrorOf([&] { date.GetValueType(); }), "Invalid value type");
    EXPECT_EQ(ErrorOf([&] { date.ToJSONString(); }), "Invalid value type");
    EXPECT_FALSE(date.GetIsNull());
    EXPECT_EQ(VarType(date.GetAsVariant()), varDate);
}

TEST(JSONModel, TypedAccessFollowsVariantRules)
{
    TJSONObject obj(
        R"({"num":"12","real":"2.5","yes":"True","no":"false","t":true,"f":false,"i":7,"d":2.5})");
    EXPECT_EQ(obj.GetValues("num").GetAsInteger(), 12);
    EXPECT_EQ(obj.GetValues("num").GetAsInt64(), 12);
    EXPECT_DOUBLE_EQ(obj.GetValues("real").GetAsNumber(), 2.5);
    EXPECT_TRUE(obj.GetValues("yes").GetAsBoolean());
    EXPECT_FALSE(obj.GetValues("no").GetAsBoolean());
    EXPECT_EQ(obj.GetValues("t").GetAsInteger(), -1);
    EXPECT_EQ(obj.GetValues("f").GetAsInteger(), 0);
    EXPECT_TRUE(obj.GetValues("i").GetAsBoolean());
    EXPECT_EQ(obj.GetValues("i").GetAsString(), "7");
    EXPECT_EQ(obj.GetValues("d").GetAsInteger(), 2) << "rounds half to even";
    EXPECT_EQ(obj.GetValues("t").GetAsString(), "True");
    EXPECT_EQ(obj.GetValues("f").GetAsString(), "False");
}

TEST(JSONModel, SettersReplaceContent)
{
    TJSONValue v;
    EXPECT_TRUE(v.GetIsNull());
    v.CreateAsObject().GetValues("x").SetAsInteger(1);
    EXPECT_EQ(v.GetValueType(), jvtObject);
    v.SetAsString("s");
    EXPECT_EQ(v.GetValueType(), jvtString);
    v.SetAsInt64(1LL << 40);
    EXPECT_EQ(v.GetAsInt64(), 1LL << 40);
    v.SetAsNumber(0.5);
    EXPECT_EQ(v.GetValueType(), jvtNumber);
    v.SetAsBoolean(true);
    EXPECT_EQ(v.GetValueType(), jvtBoolean);
    v.CreateAsArray().Add().SetAsString("e");
    EXPECT_EQ(v.ToJSONString(), "[\"e\"]");
    v.SetAsVariant(Variant("text"));
    EXPECT_EQ(v.GetValueType(), jvtString);
    v.SetAsVariant(Variant(static_cast<long long>(5)));
    EXPECT_EQ(VarType(v.GetAsVariant()), varInt64);
    v.SetAsVariant(Variant::FromCurrency(12345));
    EXPECT_EQ(v.GetValueType(), jvtNumber);
    EXPECT_EQ(v.ToJSONString(), "1.2345");
    v.SetAsVariant(Variant::Null());
    EXPECT_TRUE(v.GetIsNull());
    v.SetAsInteger(3);
    v.Clear();
    EXPECT_TRUE(v.GetIsNull());
    EXPECT_TRUE(VarIsNull(v.GetAsVariant()));
}

TEST(JSONModel, CopiesAreDeep)
{
    TJSONObject source(R"({"o":{"x":1},"a":[1,[2]]})");
    TJSONObject target;
    target.SetValues("copy", source.GetValues("o"));
    source.GetValues("o").GetAsObject().GetValues("x").SetAsInteger(99);
    EXPECT_EQ(target.GetValues("copy").GetAsObject().GetValues("x").GetAsInteger(), 1);

    TJSONValue v;
    v.SetAsArray(&source.GetValues("a").GetAsArray());
    source.GetValues("a").GetAsArray().Clear();
    EXPECT_EQ(v.ToJSONString(), "[1,[2]]");

    TJSONValue fromObject;
    fromObject.Assign(&source);
    EXPECT_EQ(fromObject.GetValueType(), jvtObject);
    source.Clear();
    EXPECT_EQ(fromObject.GetAsObject().GetValues("o").GetAsObject().GetValues("x").GetAsInteger(), 99);

    TJSONValue fromValue;
    fromValue.Assign(&fromObject);
    fromObject.Clear();
    EXPECT_EQ(fromValue.GetAsObject().GetPropCount(), 2);
    fromValue.Assign(static_cast<const TJSONValue*>(nullptr));
    EXPECT_TRUE(fromValue.GetIsNull());

    TJSONObject assigned;
    assigned.Assign(target);
    EXPECT_EQ(assigned.ToJSONString(), target.ToJSONString());
    assigned.AssignObject(nullptr);
    EXPECT_EQ(assigned.GetPropCount(), 0);
}

TEST(JSONModel, AssigningFromInsideItselfIsSafe)
{
    TJSONObject obj(R"({"inner":{"deep":{"x":1}},"arr":[[1,2],3]})");
    obj.AssignObject(&obj.GetValues("inner").GetAsObject());
    EXPECT_EQ(obj.ToJSONString(), "{\"deep\":{\"x\":1}}");

    TJSONValue v;
    v.CreateAsObject().GetValues("child").CreateAsObject().GetValues("y").SetAsInteger(2);
    v.Assign(&v.GetAsObject().GetValues("child"));
    EXPECT_EQ(v.ToJSONString(), "{\"y\":2}");

    TJSONValue list;
    list.SetAsArray(&TJSONObject(R"({"a":[[1,2],3]})").GetValues("a").GetAsArray());
    list.GetAsArray().AssignArray(&list.GetAsArray().GetValue(0).GetAsArray());
    EXPECT_EQ(list.ToJSONString(), "[1,2]");

    TJSONObject self(R"({"a":1})");
    self.SetValues("a", self.GetValues("a"));
    EXPECT_EQ(self.GetValues("a").GetAsInteger(), 1);
}

TEST(JSONModel, ForeignClassesAreRefused)
{
    TStringList list;
    TJSONValue v;
    EXPECT_EQ(ErrorOf([&] { v.Assign(list); }), "Cannot assign a TStringList to a TJSONValue");
    TJSONObject obj;
    EXPECT_EQ(ErrorOf([&] { obj.Assign(list); }), "Cannot assign a TStringList to a TJSONObject");
    TJSONObject source(R"({"a":1})");
    obj.Assign(static_cast<const TPersistent&>(source));
    EXPECT_EQ(obj.GetValues("a").GetAsInteger(), 1);
}

TEST(JSONModel, PropertyAccessByPosition)
{
    TJSONObject obj(R"({"a":1,"b":2})");
    TJSONValue v;
    v.SetAsString("new");
    obj.SetPropValue(1, v);
    EXPECT_EQ(obj.GetValues("b").GetAsString(), "new");
    EXPECT_THROW(obj.GetPropName(2), EListError);
    EXPECT_THROW(obj.GetPropValue(-1), EListError);
    EXPECT_EQ(ErrorOf([&] { obj.SetPropValue(5, v); }), "List index out of bounds (5)");
}

TEST(JSONModel, ArrayOwnsItsElements)
{
    TJSONArray arr;
    TJSONValue& first = arr.Add();
    first.SetAsInteger(1);
    for (int i = 0; i < 1000; ++i)
        arr.Add().SetAsInteger(i);
    EXPECT_EQ(first.GetAsInteger(), 1) << "adding does not move existing elements";
    EXPECT_EQ(&arr.GetValue(0), &first);

    auto replacement = std::make_unique<TJSONValue>();
    replacement->CreateAsObject().GetValues("k").SetAsString("r");
    TJSONValue& slot = arr.SetValue(0, std::move(replacement));
    EXPECT_EQ(&slot, &first) << "the content moves into the slot";
    EXPECT_EQ(arr.GetValue(0).GetAsObject().GetValues("k").GetAsString(), "r");
    arr.SetValue(1, nullptr);
    EXPECT_TRUE(arr.GetValue(1).GetIsNull());
    arr.Add(std::make_unique<TJSONValue>()).SetAsInteger(1000);
    EXPECT_EQ(arr.GetValue(1001).GetAsInteger(), 1000);

    arr.Delete(0);
    EXPECT_EQ(arr.Count(), 1001);
    EXPECT_TRUE(arr.GetValue(0).GetIsNull()) << "later elements move down";
    EXPECT_EQ(arr.GetValue(1).GetAsInteger(), 1);
    EXPECT_EQ(arr.GetValue(1000).GetAsInteger(), 1000);
    arr.Delete(1000);
    EXPECT_EQ(arr.Count(), 1000);
    EXPECT_EQ(ErrorOf([&] { arr.GetValue(1000); }), "List index out of bounds (1000)");
    EXPECT_EQ(arr.GetValue(999).GetAsInteger(), 999);
    EXPECT_THROW(arr.GetValue(-1), EListError);
    EXPECT_THROW(arr.Delete(1000), EListError);
    arr.Clear();
    EXPECT_EQ(arr.Count(), 0);
}

TEST(JSONModel, TextsOfEveryLengthSurviveCopiesAndMoves)
{
    // Short texts are kept inside the value, long ones apart: both must come
    // through copying, moving between slots and replacing unchanged.
    std::vector<std::string> texts;
    for (size_t n : {0, 1, 7, 8, 22, 29, 30, 31, 32, 100, 5000}) {
        std::string t;
        for (size_t i = 0; i < n; ++i)
            t += static_cast<char>('a' + i % 26);
        if (n > 2)
            t[n / 2] = '\0';
        texts.push_back(t);
    }
    TJSONArray arr;
    for (const auto& t : texts)
        arr.Add().SetAsString(t);
    TJSONValue holder;
    holder.SetAsArray(&arr);
    const TJSONArray& copy = holder.GetAsArray();
    for (size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE(texts[i].size());
        EXPECT_EQ(copy.GetValue(static_cast<int>(i)).GetAsString(), texts[i]);
        EXPECT_EQ(VarToStr(copy.GetValue(static_cast<int>(i)).GetAsVariant()), texts[i]);
    }
    arr.Delete(0); // every later text moves down a slot
    for (size_t i = 1; i < texts.size(); ++i)
        EXPECT_EQ(arr.GetValue(static_cast<int>(i - 1)).GetAsString(), texts[i]);
    auto moved = std::make_unique<TJSONValue>();
    moved->SetAsString(texts.back());
    arr.SetValue(0, std::move(moved));
    EXPECT_EQ(arr.GetValue(0).GetAsString(), texts.back());
    arr.GetValue(1).Assign(arr.GetValue(0));
    EXPECT_EQ(arr.GetValue(1).GetAsString(), texts.back());
    arr.GetValue(0).SetAsInteger(5);
    EXPECT_EQ(arr.GetValue(0).GetAsInteger(), 5);
    arr.GetValue(1).SetAsString("short");
    EXPECT_EQ(arr.GetValue(1).ToJSONString(), "\"short\"");

    TJSONObject obj;
    obj.GetValues(std::string(40, 'n')).SetAsString(texts.back());
    TJSONObject other;
    other.AssignObject(&obj);
    EXPECT_EQ(other.GetValues(std::string(40, 'N')).GetAsString(), texts.back());
}

// ---------------------------------------------------------------------------

TEST(JSONWriter, WritesTheModelsOwnText)
{
    TJSONObject obj;
    obj.GetValues("int").SetAsInteger(-3);
    obj.GetValues("big").SetAsInt64(9000000000LL);
    obj.GetValues("real").SetAsNumber(0.1);
    obj.GetValues("huge").SetAsNumber(1e20);
    obj.GetValues("t").SetAsBoolean(true);
    obj.GetValues("f").SetAsBoolean(false);
    obj.GetValues("n");
    obj.GetValues("we\"ird");
    TJSONArray& arr = obj.GetValues("arr").CreateAsArray();
    arr.Add().SetAsInteger(1);
    arr.Add().SetAsString("two");
    arr.Add().CreateAsObject();
    EXPECT_EQ(obj.ToJSONString(), "{\"int\":-3,\r\n\"big\":9000000000,\r\n\"real\":0.1,\r\n\"huge\":1E20,\r\n"
                                  "\"t\":true,\r\n\"f\":false,\r\n\"n\":NULL,\r\n\"we\"\"ird\":NULL,\r\n"
                                  "\"arr\":[1,\"two\",{}]}");
}

TEST(JSONWriter, StringValuesGoThroughTheExpressionBuilder)
{
    struct Case
    {
        const char* Desc;
        std::string Value;
        std::string Written;
    } cases[] = {
        {"plain text", "hello", "\"hello\""},
        {"double quotes become single", "say \"hi\"", "\"say 'hi'\""},
        {"backslash stays single", "a\\b", "\"a\\b\""},
        {"percent and a name is a bare name", "%Name", "Name"},
        {"line breaks become backslash-n", "a\r\nb\rc\nd", "\"a\\nb\\nc\\nd\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        TJSONValue v;
        v.SetAsString(c.Value);
        EXPECT_EQ(v.ToJSONString(), c.Written);
    }
}

TEST(JSONWriter, ExpressionBuilder)
{
    struct Case
    {
        const char* Desc;
        std::string Input;
        std::string Expected;
    } cases[] = {
        {"empty", "", "\"\""},
        {"placeholder in the middle", "Total %1 items", "\"Total \"+%1+\" items\""},
        {"placeholder alone", "%1", "%1"},
        {"placeholder first", "%12 left", "%12+\" left\""},
        {"placeholder last", "Count: %3", "\"Count: \"+%3"},
        {"placeholder running to the end", "x%1abc", "\"x\"+%1abc"},
        {"delimiter right after the digit", "a%1,b", "\"a\"+%1+\",b\""},
        {"a semicolon disables placeholders", "a;%1 b", "\"a;%1 b\""},
        {"percent not followed by a digit", "50% off", "\"50% off\""},
        {"percent last", "50%", "\"50%\""},
        {"reference by name", "%Field", "Field"},
        {"percent and a digit-led name", "%1abc", "%1abc"},
        {"percent and a non-letter", "%_x", "\"%_x\""},
        {"pattern",
         "\x03"
         "abc",
         "/abc/"},
        {"pattern already slashed", "\x03/ab+c/i", "/ab+c/i"},
        {"empty pattern", "\x03", "//"},
        {"quotes then placeholder", "\"%1\"", "\"'\"+%1+\"'\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(NembraJSON::StrToJSON(c.Input), c.Expected);
    }
}

TEST(JSONWriter, NumbersAsFloatToStrWritesThem)
{
    const double values[] = {0.0,  1.0,    -2.5, 0.1 + 0.2, 1.0 / 3.0, 123456789012345.0,
                             1e15, 1.5e-5, 1e-4, -1e300};
    for (double d : values) {
        SCOPED_TRACE(d);
        TJSONValue v;
        v.SetAsNumber(d);
        EXPECT_EQ(v.ToJSONString(), FloatToStr(d));
        EXPECT_EQ(v.GetAsString(), FloatToStr(d));
    }
    TJSONValue third;
    third.SetAsNumber(1.0 / 3.0);
    EXPECT_EQ(third.ToJSONString(), "0.333333333333333");
    TJSONValue carry;
    carry.SetAsNumber(9.9999999999999999e22);
    EXPECT_EQ(carry.ToJSONString(), "1E23") << "rounding carries into the exponent";
}

TEST(JSONWriter, NumbersMatchFloatToStrOverAWideSample)
{
    // Random mantissas over many magnitudes, integers, and values on the
    // rounding edge of the 15th digit.
    std::mt19937_64 random(20241210);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> exponent(-25, 25);
    std::vector<double> values;
    for (int i = 0; i < 20000; ++i)
        values.push_back((i % 2 ? -1 : 1) * mantissa(random) * std::pow(10.0, exponent(random)));
    for (int i = 0; i < 2000; ++i)
        values.push_back(static_cast<double>(random() % 100000000000000000ULL));
    for (int i = 0; i < 2000; ++i)
        values.push_back(static_cast<double>(random() % 1000000000000000ULL) / 1e15 + 5e-16);
    for (double d : {1e-4, 9.99999999999999e-5, 0.001, 1e15, 999999999999999.0, 999999999999999.5, 1e-300,
                     1.7976931348623157e308, 5e-324, 123.456, 0.30000000000000004})
        values.push_back(d);
    int mismatches = 0;
    for (double d : values) {
        TJSONValue v;
        v.SetAsNumber(d);
        if (v.ToJSONString() != FloatToStr(d) && ++mismatches < 10)
            ADD_FAILURE() << Format("%.17g: %s, FloatToStr %s", d, v.ToJSONString(), FloatToStr(d));
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(JSONWriter, WrittenTextParsesBack)
{
    const char* text = R"({"name":"Ann","n":[1,2.5,-3,true,null,{"x":"y"}],"nested":{"a":{"b":[]}}})";
    TJSONObject first(text);
    const std::string written = first.ToJSONString();
    TJSONObject second(written);
    EXPECT_EQ(second.ToJSONString(), written);
    EXPECT_DOUBLE_EQ(second.GetValues("n").GetAsArray().GetValue(1).GetAsNumber(), 2.5);
    // "NULL" is this writer's spelling; the parser reads it in any case.
    EXPECT_TRUE(second.GetValues("n").GetAsArray().GetValue(4).GetIsNull());
}

TEST(JSONReadable, Texts)
{
    TJSONObject obj(R"({"name":"Ann","list":[1,"b",true,null],"ok":false,"none":null,"o":{"k":1,"l":2}})");
    EXPECT_EQ(obj.GetValues("list").GetAsString(), "[1, b, True, ]");
    EXPECT_EQ(obj.GetAsString(),
              "name: Ann\r\nlist: [1, b, True, ]\r\nok: False\r\nnone: \r\no:\r\nk: 1\r\nl: 2");
    EXPECT_EQ(TJSONObject().GetAsString(), "");
}

TEST(JSONReadable, LongValuesWrapOntoTheirOwnLines)
{
    std::string words;
    while (words.size() < 200)
        words += "word" + std::to_string(words.size()) + " ";
    words.resize(200);
    TJSONObject obj;
    obj.GetValues("Message").SetAsString(words);
    obj.GetValues("Short").SetAsString("x");
    const std::string text = obj.GetAsString();
    ASSERT_EQ(text.rfind("Message:\r\n", 0), 0u) << text;
    const std::string body = text.substr(std::string("Message:\r\n").size());
    TStringList lines;
    lines.SetText(body);
    ASSERT_GE(lines.Count(), 3);
    for (int i = 0; i < lines.Count() - 1; ++i)
        EXPECT_LE(lines[i].size(), 130u) << lines[i];
    EXPECT_EQ(lines[lines.Count() - 1], "Short: x");

    // 130 characters exactly stay on the member's line.
    TJSONObject exact;
    exact.GetValues("m").SetAsString(std::string(130, 'a'));
    EXPECT_EQ(exact.GetAsString(), "m: " + std::string(130, 'a'));
}
