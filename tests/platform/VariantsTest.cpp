#include "platform/Variants.h"

#include "platform/DateUtils.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

namespace {
struct TypeCase
{
    const char* Desc;
    Variant Value;
    TVarType Expected;
};

TEST(Variant, ConstructorsGiveTheLibraryTypeCodes)
{
    const std::vector<TypeCase> cases = {
        {"default is Empty", Variant(), varEmpty},
        {"Null", Variant::Null(), varNull},
        {"bool", Variant(true), varBoolean},
        {"int16", Variant(int16_t(7)), varSmallint},
        {"int", Variant(7), varInteger},
        {"int64", Variant(int64_t(7)), varInt64},
        {"long long", Variant(7LL), varInt64},
        {"double", Variant(1.5), varDouble},
        {"C text", Variant("abc"), varString},
        {"std::string", Variant(std::string("abc")), varString},
        {"string_view", Variant(std::string_view("abc")), varString},
        {"currency", Variant::FromCurrency(15000), varCurrency},
        {"date", Variant::FromDate(45000.5), varDate},
        {"wide string", Variant::FromWideString("abc"), varOleStr},
        {"byte", Variant::FromByte(200), varByte},
        {"word", Variant::FromWord(60000), varWord},
        {"long word", Variant::FromLongWord(4000000000u), varLongWord},
        {"short int", Variant::FromShortInt(-5), varShortInt},
        {"single", Variant::FromSingle(1.5f), varSingle},
        {"array", VarArrayOf({1, 2}), varArray | varVariant},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(c.Expected, VarType(c.Value));
    }
}

// A char would silently become an Integer; the constructor is refused.
static_assert(!std::is_constructible_v<Variant, char>);
static_assert(std::is_nothrow_move_constructible_v<Variant>);

TEST(Variant, PrintsTypeAndText)
{
    const std::vector<std::pair<Variant, std::string>> cases = {
        {Variant(5), "Integer 5"},
        {Variant::Null(), "Null"},
        {Variant(), "Empty"},
        {Variant("a b"), "String 'a b'"},
        {Variant(true), "Boolean True"},
        {VarArrayOf({1, "a", Variant::Null()}), "Array Variant [1, 'a', Null]"},
        {VarArrayOf({VarArrayOf({2})}), "Array Variant [Array Variant [2]]"},
    };
    for (const auto& [value, text] : cases) {
        SCOPED_TRACE(text);
        std::ostringstream out;
        out << value;
        EXPECT_EQ(text, out.str());
    }
    Variant m = VarArrayCreate({0, 1, 0, 1}, varInteger);
    VarArrayPut(m, Variant(3), {1, 1});
    std::ostringstream out;
    out << m;
    EXPECT_EQ("Array Integer [0, 0, 0, 3]", out.str());
    EXPECT_EQ(3, VarArrayGet(m, {1, 1}).AsInteger());
}

TEST(Variant, ClearMakesEmpty)
{
    Variant v = VarArrayOf({1});
    VarClear(v);
    EXPECT_TRUE(VarIsEmpty(v));
    v = Variant::Null();
    VarClear(v);
    EXPECT_TRUE(VarIsEmpty(v));
}

TEST(Variant, TypeQueries)
{
    EXPECT_TRUE(VarIsEmpty(Variant()));
    EXPECT_FALSE(VarIsNull(Variant()));
    EXPECT_TRUE(VarIsNull(Variant::Null()));
    EXPECT_FALSE(VarIsEmpty(Variant::Null()));
    EXPECT_TRUE(VarIsClear(Variant()));
    EXPECT_TRUE(VarIsNumeric(Variant(true))); // Boolean is ordinal in the library
    EXPECT_TRUE(VarIsOrdinal(Variant(int64_t(1))));
    EXPECT_FALSE(VarIsOrdinal(Variant(1.0)));
    EXPECT_TRUE(VarIsFloat(Variant::FromCurrency(1)));
    EXPECT_FALSE(VarIsFloat(Variant::FromDate(1)));
    EXPECT_FALSE(VarIsNumeric(Variant::FromDate(1)));
    EXPECT_FALSE(VarIsNumeric(Variant("1")));
    EXPECT_TRUE(VarIsStr(Variant::FromWideString("x")));
    EXPECT_TRUE(VarIsArray(VarArrayOf({})));
    EXPECT_FALSE(VarIsArray(Variant("x")));
    EXPECT_TRUE(VarIsType(Variant(1), varInteger));
    EXPECT_FALSE(VarIsType(Variant(1), varSmallint));
    EXPECT_TRUE(VarIsType(Variant("a"), {varOleStr, varString}));
}

TEST(Variant, TypeNames)
{
    const std::vector<std::pair<TVarType, const char*>> cases = {
        {varEmpty, "Empty"},       {varNull, "Null"},       {varSmallint, "Smallint"},
        {varInteger, "Integer"},   {varSingle, "Single"},   {varDouble, "Double"},
        {varCurrency, "Currency"}, {varDate, "Date"},       {varOleStr, "OleStr"},
        {varBoolean, "Boolean"},   {varVariant, "Variant"}, {varShortInt, "ShortInt"},
        {varByte, "Byte"},         {varWord, "Word"},       {varLongWord, "LongWord"},
        {varInt64, "Int64"},       {varString, "String"},   {varArray | varVariant, "Array Variant"},
        {0x0123, "$0123"},
    };
    for (const auto& [type, name] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(name, VarTypeAsText(type));
    }
}

struct TextCase
{
    const char* Desc;
    Variant Value;
    std::string Expected;
};

TEST(VariantConversion, ToText)
{
    const std::vector<TextCase> cases = {
        {"Empty is empty text", Variant(), ""},
        {"integer", Variant(-42), "-42"},
        {"int64 extreme", Variant(int64_t(INT64_MIN)), "-9223372036854775808"},
        {"True", Variant(true), "True"},
        {"False", Variant(false), "False"},
        {"double plain", Variant(1.5), "1.5"},
        {"double whole", Variant(100.0), "100"},
        {"double 15 significant digits", Variant(0.1 + 0.2), "0.3"},
        {"double large goes scientific", Variant(1e20), "1E20"},
        {"double small goes scientific", Variant(1.5e-7), "1.5E-7"},
        {"double 0.0001 stays fixed", Variant(0.0001), "0.0001"},
        {"double negative", Variant(-2.25), "-2.25"},
        {"currency trims zeros", Variant::FromCurrency(15000), "1.5"},
        {"currency whole", Variant::FromCurrency(20000), "2"},
        {"currency four places", Variant::FromCurrency(123456789), "12345.6789"},
        {"currency tiny negative", Variant::FromCurrency(-1), "-0.0001"},
        {"currency minimum", Variant::FromCurrency(INT64_MIN), "-922337203685477.5808"},
        {"single uses its own precision", Variant::FromSingle(0.1f), "0.1"},
        {"text unchanged", Variant("héllo"), "héllo"},
        {"wide text unchanged", Variant::FromWideString("ß"), "ß"},
        {"byte", Variant::FromByte(255), "255"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(c.Expected, c.Value.AsString());
        EXPECT_EQ(c.Expected, VarToStr(c.Value));
    }
}

TEST(VariantConversion, VarToStrForgivesNull)
{
    EXPECT_EQ("", VarToStr(Variant::Null()));
    EXPECT_EQ("dflt", VarToStrDef(Variant::Null(), "dflt"));
    EXPECT_EQ("dflt", VarToStrDef(Variant(), "dflt"));
    EXPECT_EQ("0", VarToStrDef(Variant(0), "dflt"));
    EXPECT_EQ("x", VarToWideStr(Variant("x")));
}

struct IntCase
{
    const char* Desc;
    Variant Value;
    int64_t Expected;
};

TEST(VariantConversion, ToInteger)
{
    const std::vector<IntCase> cases = {
        {"Empty is 0", Variant(), 0},
        {"True is -1", Variant(true), -1},
        {"False is 0", Variant(false), 0},
        {"text integer", Variant("123"), 123},
        {"text with blanks", Variant(" -17 "), -17},
        {"text hexadecimal", Variant("$1F"), 31},
        {"text float rounds half to even (down)", Variant("2.5"), 2},
        {"text float rounds half to even (up)", Variant("3.5"), 4},
        {"text float rounds normally", Variant("2.6"), 3},
        {"text negative half", Variant("-2.5"), -2},
        {"text exponent", Variant("1e3"), 1000},
        {"text True any case", Variant("tRuE"), -1},
        {"text False", Variant("FALSE"), 0},
        {"double half even", Variant(0.5), 0},
        {"double 1.5", Variant(1.5), 2},
        {"double -1.5", Variant(-1.5), -2},
        {"currency half even", Variant::FromCurrency(25000), 2},
        {"currency 3.5", Variant::FromCurrency(35000), 4},
        {"currency -0.5", Variant::FromCurrency(-5000), 0},
        {"currency 1.2345", Variant::FromCurrency(12345), 1},
        {"date", Variant::FromDate(45000.75), 45001},
        {"word", Variant::FromWord(65535), 65535},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(c.Expected, c.Value.AsInt64());
        EXPECT_EQ(c.Expected, c.Value.AsInteger());
    }
}

TEST(VariantConversion, IntegerRange)
{
    EXPECT_EQ(INT32_MAX, Variant(int64_t(INT32_MAX)).AsInteger());
    EXPECT_EQ(INT32_MIN, Variant("-2147483648").AsInteger());
    EXPECT_THROW(Variant(int64_t(INT32_MAX) + 1).AsInteger(), EVariantOverflowError);
    EXPECT_THROW(Variant(3e9).AsInteger(), EVariantOverflowError);
    EXPECT_THROW(Variant("2147483648").AsInteger(), EVariantOverflowError);
    EXPECT_THROW(Variant(1e19).AsInt64(), EVariantOverflowError);
    EXPECT_THROW(Variant("1e30").AsInt64(), EVariantOverflowError);
    EXPECT_THROW(Variant("1e30").AsInteger(), EVariantOverflowError);
    EXPECT_THROW(Variant(std::nan("")).AsInt64(), EVariantOverflowError);
    EXPECT_EQ(INT64_MAX, Variant("9223372036854775807").AsInt64());
    EXPECT_EQ(INT64_MIN, Variant("-9223372036854775808").AsInt64());
    try {
        Variant(3e9).AsInteger();
        FAIL() << "no exception";
    } catch (const EVariantOverflowError& e) {
        EXPECT_EQ("Overflow while converting variant of type (Double) into type (Integer)", e.Message());
    }
}

struct DoubleCase
{
    const char* Desc;
    Variant Value;
    double Expected;
};

TEST(VariantConversion, ToDouble)
{
    const std::vector<DoubleCase> cases = {
        {"Empty", Variant(), 0.0},
        {"True", Variant(true), -1.0},
        {"text", Variant("1.25"), 1.25},
        {"text with sign and exponent", Variant("+2.5E-1"), 0.25},
        {"text leading point", Variant(".5"), 0.5},
        {"text trailing point", Variant("5."), 5.0},
        {"text False", Variant("false"), 0.0},
        {"currency", Variant::FromCurrency(12345), 1.2345},
        {"integer", Variant(-3), -3.0},
        {"date", Variant::FromDate(2.25), 2.25},
        {"single", Variant::FromSingle(0.5f), 0.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_DOUBLE_EQ(c.Expected, c.Value.AsDouble());
    }
}

TEST(VariantConversion, ToCurrency)
{
    EXPECT_EQ(15000, Variant(1.5).AsCurrency());
    EXPECT_EQ(12, Variant(0.00125).AsCurrency()); // half to even at the fourth place
    EXPECT_EQ(70000, Variant(7).AsCurrency());
    EXPECT_EQ(-10000, Variant(true).AsCurrency());
    EXPECT_EQ(25000, Variant("2.5").AsCurrency());
    EXPECT_EQ(15000, Variant::FromCurrencyDouble(1.5).AsCurrency());
    EXPECT_THROW(Variant(int64_t(INT64_MAX)).AsCurrency(), EVariantOverflowError);
    EXPECT_THROW(Variant(1e300).AsCurrency(), EVariantOverflowError);
    EXPECT_THROW(Variant("x").AsCurrency(), EVariantTypeCastError);
}

struct BoolCase
{
    const char* Desc;
    Variant Value;
    bool Expected;
};

TEST(VariantConversion, ToBoolean)
{
    const std::vector<BoolCase> cases = {
        {"Empty", Variant(), false},
        {"zero", Variant(0), false},
        {"non-zero", Variant(2), true},
        {"negative", Variant(-1), true},
        {"double", Variant(0.1), true},
        {"text True", Variant("True"), true},
        {"text true lower", Variant("true"), true},
        {"text False upper", Variant("FALSE"), false},
        {"text number zero", Variant("0"), false},
        {"text number", Variant("-1"), true},
        {"currency", Variant::FromCurrency(1), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(c.Expected, c.Value.AsBoolean());
    }
}

struct ErrorCase
{
    const char* Desc;
    std::function<void()> Action;
    std::string Message;
};

TEST(VariantConversion, FailuresRaiseWithTheLibraryTexts)
{
    const std::vector<ErrorCase> cases = {
        {"Null to text", [] { (void)Variant::Null().AsString(); },
         "Could not convert variant of type (Null) into type (String)"},
        {"Null to integer", [] { (void)Variant::Null().AsInteger(); },
         "Could not convert variant of type (Null) into type (Integer)"},
        {"Null to double", [] { (void)Variant::Null().AsDouble(); },
         "Could not convert variant of type (Null) into type (Double)"},
        {"Null to Boolean", [] { (void)Variant::Null().AsBoolean(); },
         "Could not convert variant of type (Null) into type (Boolean)"},
        {"Null to date", [] { (void)Variant::Null().AsDateTime(); },
         "Could not convert variant of type (Null) into type (Date)"},
        {"text to double", [] { (void)Variant("abc").AsDouble(); },
         "Could not convert variant of type (String) into type (Double)"},
        {"wide text to integer", [] { (void)Variant::FromWideString("1x").AsInteger(); },
         "Could not convert variant of type (OleStr) into type (Integer)"},
        {"empty text to integer", [] { (void)Variant("").AsInteger(); },
         "Could not convert variant of type (String) into type (Integer)"},
        {"text to Boolean", [] { (void)Variant("yes").AsBoolean(); },
         "Could not convert variant of type (String) into type (Boolean)"},
        {"array to text", [] { (void)VarArrayOf({1}).AsString(); },
         "Could not convert variant of type (Array Variant) into type (String)"},
        {"text with thousands separator", [] { (void)Variant("1,5").AsDouble(); },
         "Could not convert variant of type (String) into type (Double)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        try {
            c.Action();
            ADD_FAILURE() << "no exception";
        } catch (const EVariantTypeCastError& e) {
            EXPECT_EQ(c.Message, e.Message());
            EXPECT_EQ("EVariantTypeCastError", e.ClassName());
        }
    }
}

TEST(VariantConversion, VarAsType)
{
    EXPECT_EQ(varSmallint, VarType(VarAsType(Variant("12"), varSmallint)));
    EXPECT_EQ(12, VarAsType(Variant("12"), varSmallint).AsInteger());
    EXPECT_THROW(VarAsType(Variant(40000), varSmallint), EVariantOverflowError);
    EXPECT_THROW(VarAsType(Variant(-1), varByte), EVariantOverflowError);
    EXPECT_EQ(varOleStr, VarType(VarAsType(Variant(5), varOleStr)));
    EXPECT_EQ("5", VarAsType(Variant(5), varOleStr).AsString());
    EXPECT_EQ(varBoolean, VarType(VarAsType(Variant("True"), varBoolean)));
    EXPECT_EQ(varCurrency, VarType(VarAsType(Variant(1.5), varCurrency)));
    EXPECT_EQ(15000, VarAsType(Variant(1.5), varCurrency).AsCurrency());
    EXPECT_EQ(varDate, VarType(VarAsType(Variant(3), varDate)));
    EXPECT_TRUE(VarIsNull(VarAsType(Variant::Null(), varNull)));
    EXPECT_TRUE(VarIsEmpty(VarAsType(Variant(3), varEmpty)));
    EXPECT_THROW(VarAsType(Variant::Null(), varInteger), EVariantTypeCastError);
    EXPECT_THROW(VarAsType(Variant(1), 0x0123), EVariantBadVarTypeError);
    EXPECT_THROW(VarAsType(Variant(1e39), varSingle), EVariantOverflowError);
}

TEST(VariantConversion, NumbersIgnoreTheProcessDecimalSeparator)
{
    const char saved = FormatSettings.DecimalSeparator;
    FormatSettings.DecimalSeparator = ',';
    const std::string text = Variant(1.5).AsString();
    const bool parsed = Variant("2.5").AsDouble() == 2.5;
    const bool commaRefused = [] {
        try {
            (void)Variant("2,5").AsDouble();
            return false;
        } catch (const EVariantTypeCastError&) {
            return true;
        }
    }();
    FormatSettings.DecimalSeparator = saved;
    EXPECT_EQ("1.5", text);
    EXPECT_TRUE(parsed);
    EXPECT_TRUE(commaRefused);
}

TEST(VariantConversion, Dates)
{
    const TDateTime day = EncodeDate(2024, 3, 5);
    const TDateTime moment = EncodeDateTime(2024, 3, 5, 14, 30, 15, 0);
    // Dates write as DateTimeToStr does, and text reads back by the same formats.
    EXPECT_EQ(DateTimeToStr(day), Variant::FromDate(day).AsString());
    EXPECT_EQ(DateTimeToStr(moment), Variant::FromDate(moment).AsString());
    EXPECT_DOUBLE_EQ(day, Variant(DateTimeToStr(day)).AsDateTime());
    EXPECT_NEAR(moment, Variant(DateTimeToStr(moment)).AsDateTime(), 1e-8);
    // A number in text, or a number, is a day count.
    EXPECT_DOUBLE_EQ(45000.5, Variant("45000.5").AsDateTime());
    EXPECT_DOUBLE_EQ(12.0, Variant(12).AsDateTime());
    EXPECT_DOUBLE_EQ(0.0, Variant().AsDateTime());
    EXPECT_DOUBLE_EQ(day, VarToDateTime(Variant::FromDate(day)));
    EXPECT_THROW(Variant("not a date").AsDateTime(), EVariantTypeCastError);
    // A date compared with text takes the text as a date.
    EXPECT_EQ(vrEqual, VarCompareValue(Variant::FromDate(day), Variant(DateTimeToStr(day))));
    EXPECT_EQ(vrLessThan, VarCompareValue(Variant::FromDate(day), Variant(DateTimeToStr(moment))));
}

// ---------------------------------------------------------------------------
// Comparison

struct CompareCase
{
    const char* Desc;
    Variant A;
    Variant B;
    TVariantRelationship Expected;
};

TEST(VariantCompare, Relationships)
{
    const std::vector<CompareCase> cases = {
        {"Null vs Null", Variant::Null(), Variant::Null(), vrEqual},
        {"Empty vs Empty", Variant(), Variant(), vrEqual},
        {"Null vs value", Variant::Null(), Variant(1), vrNotEqual},
        {"value vs Null", Variant(1), Variant::Null(), vrNotEqual},
        {"Empty vs Null", Variant(), Variant::Null(), vrNotEqual},
        {"Empty vs zero", Variant(), Variant(0), vrNotEqual},
        {"integers", Variant(1), Variant(2), vrLessThan},
        {"integer vs int64", Variant(int64_t(5)), Variant(5), vrEqual},
        {"large int64 exact", Variant(int64_t(9007199254740993)), Variant(int64_t(9007199254740992)),
         vrGreaterThan},
        {"int vs double", Variant(2), Variant(1.5), vrGreaterThan},
        {"currency vs int", Variant::FromCurrency(20000), Variant(2), vrEqual},
        {"currency vs currency", Variant::FromCurrency(1), Variant::FromCurrency(2), vrLessThan},
        {"currency vs double", Variant::FromCurrency(15000), Variant(1.5), vrEqual},
        {"numeric text vs number", Variant("10"), Variant(9), vrGreaterThan},
        {"number vs float text", Variant(2), Variant("2.0"), vrEqual},
        {"texts by bytes", Variant("abc"), Variant("abd"), vrLessThan},
        {"texts case-sensitive", Variant("B"), Variant("a"), vrLessThan},
        {"texts equal", Variant("x"), Variant::FromWideString("x"), vrEqual},
        {"numeric texts compare as text", Variant("10"), Variant("9"), vrLessThan},
        {"False below True", Variant(false), Variant(true), vrLessThan},
        {"Boolean vs text", Variant(true), Variant("TRUE"), vrEqual},
        {"dates", Variant::FromDate(1.5), Variant::FromDate(1.25), vrGreaterThan},
        {"date vs number", Variant::FromDate(2.0), Variant(2), vrEqual},
        {"NaN", Variant(std::nan("")), Variant(1.0), vrNotEqual},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(c.Expected, VarCompareValue(c.A, c.B));
    }
}

TEST(VariantCompare, Operators)
{
    EXPECT_TRUE(Variant::Null() == Variant::Null());
    EXPECT_FALSE(Variant::Null() != Variant::Null());
    EXPECT_TRUE(Variant::Null() != Variant(0));
    EXPECT_FALSE(Variant::Null() < Variant(0));
    EXPECT_FALSE(Variant::Null() > Variant(0));
    EXPECT_FALSE(Variant::Null() <= Variant(0));
    EXPECT_FALSE(Variant(0) >= Variant::Null());
    EXPECT_TRUE(Variant(1) < Variant(2));
    EXPECT_TRUE(Variant(2) <= Variant(2));
    EXPECT_TRUE(Variant(3) >= Variant(2));
    EXPECT_TRUE(Variant(3) > Variant(2.5));
    EXPECT_TRUE(Variant("a") == Variant("a"));
    EXPECT_FALSE(Variant("a") == Variant("A"));
}

TEST(VariantCompare, IncomparablePairsRaiseOrAreNotSame)
{
    EXPECT_THROW(VarCompareValue(Variant("abc"), Variant(1)), EVariantTypeCastError);
    EXPECT_THROW(VarCompareValue(VarArrayOf({1}), VarArrayOf({1})), EVariantInvalidOpError);
    EXPECT_FALSE(VarSameValue(Variant("abc"), Variant(1)));
    EXPECT_TRUE(VarSameValue(Variant("1"), Variant(1)));
    EXPECT_TRUE(VarSameValue(Variant::Null(), Variant::Null()));
    EXPECT_FALSE(VarSameValue(Variant(), Variant::Null()));
    EXPECT_FALSE(VarSameValue(Variant(), Variant("")));
}

// ---------------------------------------------------------------------------
// Arithmetic

struct ArithCase
{
    const char* Desc;
    Variant Result;
    TVarType ExpectedType;
    std::string ExpectedText;
};

TEST(VariantArithmetic, ResultsAndTypes)
{
    const std::vector<ArithCase> cases = {
        {"int + int", Variant(2) + Variant(3), varInteger, "5"},
        {"smallint + smallint", Variant(int16_t(2)) + Variant(int16_t(3)), varInteger, "5"},
        {"int overflow promotes", Variant(INT_MAX) + Variant(1), varInt64, "2147483648"},
        {"int underflow promotes", Variant(INT_MIN) - Variant(1), varInt64, "-2147483649"},
        {"int product promotes", Variant(65536) * Variant(65536), varInt64, "4294967296"},
        {"int64 stays int64", Variant(int64_t(1)) + Variant(1), varInt64, "2"},
        {"int + double", Variant(1) + Variant(0.5), varDouble, "1.5"},
        {"text + text joins", Variant("ab") + Variant("cd"), varString, "abcd"},
        {"wide text joins to wide", Variant("ab") + Variant::FromWideString("cd"), varOleStr, "abcd"},
        {"text + Empty", Variant("ab") + Variant(), varString, "ab"},
        {"numeric text + number adds", Variant("1.5") + Variant(2), varDouble, "3.5"},
        {"number + numeric text adds", Variant(2) + Variant("3"), varDouble, "5"},
        {"Empty + number", Variant() + Variant(4), varInteger, "4"},
        {"Empty + Empty", Variant() + Variant(), varEmpty, ""},
        {"Boolean counts -1", Variant(true) + Variant(1), varInteger, "0"},
        {"currency + currency", Variant::FromCurrency(15000) + Variant::FromCurrency(2500), varCurrency,
         "1.75"},
        {"currency * int", Variant::FromCurrency(15000) * Variant(3), varCurrency, "4.5"},
        {"currency * currency rounds half to even (down)",
         Variant::FromCurrency(5) * Variant::FromCurrency(5000), varCurrency, "0.0002"},
        {"currency * currency rounds half to even (up)",
         Variant::FromCurrency(15) * Variant::FromCurrency(5000), varCurrency, "0.0008"},
        {"currency * currency", Variant::FromCurrency(25000) * Variant::FromCurrency(25000), varCurrency,
         "6.25"},
        {"currency + double", Variant::FromCurrency(10000) + Variant(0.5), varDouble, "1.5"},
        {"date + number stays date", Variant::FromDate(10) + Variant(1), varDate, ""},
        {"date - date is number", Variant::FromDate(10.5) - Variant::FromDate(10), varDouble, "0.5"},
        {"float division", Variant(7) / Variant(2), varDouble, "3.5"},
        {"div", VarIntDiv(Variant(7), Variant(2)), varInteger, "3"},
        {"div negative truncates", VarIntDiv(Variant(-7), Variant(2)), varInteger, "-3"},
        {"mod sign of dividend", VarMod(Variant(-7), Variant(2)), varInteger, "-1"},
        {"div of float rounds operands", VarIntDiv(Variant(7.6), Variant(2)), varInteger, "4"},
        {"div of int64", VarIntDiv(Variant(int64_t(10)), Variant(3)), varInt64, "3"},
        {"negate int", -Variant(5), varInteger, "-5"},
        {"negate int min promotes", -Variant(INT_MIN), varInt64, "2147483648"},
        {"negate text", -Variant("2.5"), varDouble, "-2.5"},
        {"negate currency", -Variant::FromCurrency(10000), varCurrency, "-1"},
        {"and Booleans", VarAnd(Variant(true), Variant(false)), varBoolean, "False"},
        {"or Booleans", VarOr(Variant(true), Variant(false)), varBoolean, "True"},
        {"xor Booleans", VarXor(Variant(true), Variant(true)), varBoolean, "False"},
        {"and Boolean with text", VarAnd(Variant(true), Variant("true")), varBoolean, "True"},
        {"and integers bitwise", VarAnd(Variant(6), Variant(3)), varInteger, "2"},
        {"or integers bitwise", VarOr(Variant(4), Variant(1)), varInteger, "5"},
        {"xor int64", VarXor(Variant(int64_t(5)), Variant(1)), varInt64, "4"},
        {"not Boolean", VarNot(Variant(false)), varBoolean, "True"},
        {"not text Boolean", VarNot(Variant("TRUE")), varBoolean, "False"},
        {"not integer", VarNot(Variant(0)), varInteger, "-1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(c.ExpectedType, VarType(c.Result)) << VarTypeAsText(VarType(c.Result));
        if (c.ExpectedType != varDate) {
            EXPECT_EQ(c.ExpectedText, c.Result.AsString());
        }
    }
    EXPECT_DOUBLE_EQ(11.0, (Variant::FromDate(10) + Variant(1)).AsDouble());
}

TEST(VariantArithmetic, NullPropagates)
{
    const std::vector<std::pair<const char*, Variant>> cases = {
        {"Null + 1", Variant::Null() + Variant(1)},
        {"1 - Null", Variant(1) - Variant::Null()},
        {"Null * text", Variant::Null() * Variant("x")},
        {"Null / 0", Variant::Null() / Variant(0)},
        {"Null div", VarIntDiv(Variant::Null(), Variant(0))},
        {"Null mod", VarMod(Variant(1), Variant::Null())},
        {"Null and", VarAnd(Variant::Null(), Variant(true))},
        {"Null or", VarOr(Variant(true), Variant::Null())},
        {"not Null", VarNot(Variant::Null())},
        {"negate Null", -Variant::Null()},
        {"Null joins", Variant::Null() + Variant("a")},
    };
    for (const auto& [desc, result] : cases) {
        SCOPED_TRACE(desc);
        EXPECT_TRUE(VarIsNull(result));
    }
}

TEST(VariantArithmetic, Failures)
{
    EXPECT_THROW(Variant(int64_t(INT64_MAX)) + Variant(1), EVariantOverflowError);
    EXPECT_THROW(Variant(int64_t(INT64_MIN)) * Variant(-1), EVariantOverflowError);
    EXPECT_THROW(-Variant(int64_t(INT64_MIN)), EVariantOverflowError);
    EXPECT_THROW(Variant::FromCurrency(INT64_MAX) + Variant::FromCurrency(1), EVariantOverflowError);
    EXPECT_THROW(VarIntDiv(Variant(int64_t(INT64_MIN)), Variant(-1)), EVariantOverflowError);
    EXPECT_EQ(0, VarMod(Variant(int64_t(INT64_MIN)), Variant(-1)).AsInt64());
    EXPECT_THROW(Variant("abc") + Variant(1), EVariantTypeCastError);
    EXPECT_THROW(VarArrayOf({1}) + Variant(1), EVariantInvalidOpError);
    try {
        (void)(Variant(1) / Variant(0));
        FAIL() << "no exception";
    } catch (const EZeroDivide& e) {
        EXPECT_EQ("Floating point division by zero", e.Message());
    }
    EXPECT_THROW(Variant(0.0) / Variant(0), EInvalidOp);
    try {
        (void)VarIntDiv(Variant(1), Variant(0));
        FAIL() << "no exception";
    } catch (const EDivByZero& e) {
        EXPECT_EQ("Division by zero", e.Message());
    }
    EXPECT_THROW(VarMod(Variant(1), Variant("0")), EDivByZero);
}

// ---------------------------------------------------------------------------
// Arrays

TEST(VariantArray, OneDimensionFromValues)
{
    Variant a = VarArrayOf({1, "two", Variant::Null()});
    EXPECT_EQ(1, VarArrayDimCount(a));
    EXPECT_EQ(0, VarArrayLowBound(a, 1));
    EXPECT_EQ(2, VarArrayHighBound(a, 1));
    EXPECT_EQ(1, a[0].AsInteger());
    EXPECT_EQ("two", a[1].AsString());
    EXPECT_TRUE(VarIsNull(a[2]));
    a[1] = 2.5;
    EXPECT_EQ(varDouble, VarType(a[1]));

    Variant empty = VarArrayOf({});
    EXPECT_EQ(-1, VarArrayHighBound(empty, 1));
    EXPECT_THROW(empty[0], EVariantBadIndexError);
}

TEST(VariantArray, CopiesDoNotShareElements)
{
    Variant a = VarArrayOf({1, 2});
    Variant b = a;
    b[0] = 99;
    EXPECT_EQ(1, a[0].AsInteger());
    EXPECT_EQ(99, b[0].AsInteger());
    Variant c;
    c = b;
    c.SetElement({1}, Variant("x"));
    EXPECT_EQ(2, b[1].AsInteger());
    Variant moved = std::move(c);
    EXPECT_EQ("x", moved[1].AsString());
}

TEST(VariantArray, TwoDimensions)
{
    // The dataset loads [fields x rows] arrays.
    Variant a = VarArrayCreate({0, 2, 0, 4}, varVariant);
    EXPECT_EQ(varArray | varVariant, VarType(a));
    EXPECT_EQ(2, VarArrayDimCount(a));
    EXPECT_EQ(2, VarArrayHighBound(a, 1));
    EXPECT_EQ(4, VarArrayHighBound(a, 2));
    for (int f = 0; f <= 2; ++f)
        for (int r = 0; r <= 4; ++r)
            a.SetElement({f, r}, Variant(f * 10 + r));
    for (int f = 0; f <= 2; ++f)
        for (int r = 0; r <= 4; ++r)
            EXPECT_EQ(f * 10 + r, a.GetElement({f, r}).AsInteger());
    EXPECT_TRUE(VarIsEmpty(VarArrayCreate({0, 1, 0, 1}, varVariant).GetElement({1, 1})));
    // Indices built at run time address the same elements.
    std::vector<int> at = {2, 3};
    EXPECT_EQ(23, a.GetElement(std::span<const int>(at)).AsInteger());
    at.push_back(0);
    EXPECT_THROW(a.GetElement(std::span<const int>(at)), EVariantBadIndexError);

    EXPECT_THROW(a.GetElement({3, 0}), EVariantBadIndexError);
    EXPECT_THROW(a.GetElement({0, 5}), EVariantBadIndexError);
    EXPECT_THROW(a.GetElement({-1, 0}), EVariantBadIndexError);
    EXPECT_THROW(a.GetElement({0}), EVariantBadIndexError);
    EXPECT_THROW(a[0], EVariantBadIndexError);
    EXPECT_THROW(VarArrayHighBound(a, 3), EVariantBadIndexError);
    EXPECT_THROW(VarArrayLowBound(a, 0), EVariantBadIndexError);
}

TEST(VariantArray, BoundsOtherThanZero)
{
    Variant a = VarArrayCreate({1, 3}, varVariant);
    EXPECT_EQ(1, VarArrayLowBound(a, 1));
    a[1] = 10;
    a[3] = 30;
    EXPECT_EQ(30, a[3].AsInteger());
    EXPECT_THROW(a[0], EVariantBadIndexError);
    EXPECT_THROW(a[4], EVariantBadIndexError);
}

TEST(VariantArray, TypedElementsConvert)
{
    Variant a = VarArrayCreate({0, 1}, varInteger);
    EXPECT_EQ(varArray | varInteger, VarType(a));
    EXPECT_EQ(varInteger, VarType(a[0]));
    EXPECT_EQ(0, a[0].AsInteger());
    a.SetElement({1}, Variant("42"));
    EXPECT_EQ(varInteger, VarType(a[1]));
    EXPECT_EQ(42, a[1].AsInteger());
    EXPECT_THROW(a.SetElement({0}, Variant("x")), EVariantTypeCastError);
    EXPECT_EQ(0, a[0].AsInteger()); // a failed store leaves the element as it was
    EXPECT_EQ("", VarArrayCreate({0, 0}, varString)[0].AsString());
    EXPECT_EQ(varString, VarType(VarArrayCreate({0, 0}, varString)[0]));
}

TEST(VariantArray, Redim)
{
    Variant a = VarArrayOf({1, 2, 3});
    VarArrayRedim(a, 4);
    EXPECT_EQ(4, VarArrayHighBound(a, 1));
    EXPECT_EQ(3, a[2].AsInteger());
    EXPECT_TRUE(VarIsEmpty(a[4]));
    VarArrayRedim(a, 0);
    EXPECT_EQ(0, VarArrayHighBound(a, 1));
    EXPECT_EQ(1, a[0].AsInteger());

    // Growing the last dimension of a 2-D array keeps every element in place.
    Variant m = VarArrayCreate({0, 1, 0, 1}, varVariant);
    m.SetElement({0, 0}, Variant("a"));
    m.SetElement({1, 0}, Variant("b"));
    m.SetElement({0, 1}, Variant("c"));
    m.SetElement({1, 1}, Variant("d"));
    VarArrayRedim(m, 2);
    EXPECT_EQ("a", m.GetElement({0, 0}).AsString());
    EXPECT_EQ("b", m.GetElement({1, 0}).AsString());
    EXPECT_EQ("c", m.GetElement({0, 1}).AsString());
    EXPECT_EQ("d", m.GetElement({1, 1}).AsString());
    EXPECT_TRUE(VarIsEmpty(m.GetElement({1, 2})));

    Variant typed = VarArrayCreate({0, 0}, varDouble);
    VarArrayRedim(typed, 1);
    EXPECT_EQ(varDouble, VarType(typed[1]));
    EXPECT_THROW(VarArrayRedim(a, -2), EVariantArrayCreateError);
}

TEST(VariantArray, Failures)
{
    EXPECT_THROW(Variant(1)[0], EVariantNotAnArrayError);
    EXPECT_THROW(VarArrayHighBound(Variant("x"), 1), EVariantNotAnArrayError);
    EXPECT_EQ(0, VarArrayDimCount(Variant(1)));
    Variant notArray(1);
    EXPECT_THROW(VarArrayRedim(notArray, 3), EVariantNotAnArrayError);
    EXPECT_THROW(VarArrayCreate({0}, varVariant), EVariantArrayCreateError);
    EXPECT_THROW(VarArrayCreate({}, varVariant), EVariantArrayCreateError);
    EXPECT_THROW(VarArrayCreate({0, -2}, varVariant), EVariantArrayCreateError);
    EXPECT_THROW(VarArrayCreate({0, 1}, varNull), EVariantArrayCreateError);
    // A hostile size is refused before any allocation.
    EXPECT_THROW(VarArrayCreate({0, INT_MAX, 0, INT_MAX}, varVariant), EVariantArrayCreateError);
    EXPECT_THROW(VarArrayCreate({INT_MIN, INT_MAX}, varVariant), EVariantArrayCreateError);
    EXPECT_NO_THROW(VarArrayCreate({0, -1}, varVariant));
}

TEST(VariantArray, NestedArrays)
{
    Variant rows = VarArrayOf({VarArrayOf({1, 2}), VarArrayOf({"a"})});
    EXPECT_EQ(2, rows[0][1].AsInteger());
    EXPECT_EQ("a", rows[1][0].AsString());
    Variant copy = rows;
    copy[0][0] = 7;
    EXPECT_EQ(1, rows[0][0].AsInteger());
}
} // namespace
