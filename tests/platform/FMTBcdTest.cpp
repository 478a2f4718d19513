#include "platform/FMTBcd.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "platform/Variants.h"

namespace {
struct TextCase
{
    const char* Desc;
    std::string Input;
    std::string Expected;
};

TEST(FMTBcd, TextRoundTrip)
{
    const std::vector<TextCase> cases = {
        {"plain", "12.5", "12.5"},
        {"negative fraction", "-0.25", "-0.25"},
        {"zero", "0", "0"},
        {"negative zero loses its sign", "-0.000", "0"},
        {"leading and trailing zeros", "007.10", "7.1"},
        {"plus sign and blanks", " +3 ", "3"},
        {"leading point", ".5", "0.5"},
        {"trailing point", "5.", "5"},
        {"64 digits", std::string(64, '9'), std::string(64, '9')},
        {"63 places", "0." + std::string(62, '0') + "1", "0." + std::string(62, '0') + "1"},
        {"leading zeros do not count as digits", std::string(10, '0') + std::string(64, '1'),
         std::string(64, '1')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        TBcd bcd;
        ASSERT_TRUE(TryStrToBcd(c.Input, bcd));
        EXPECT_EQ(c.Expected, BcdToStr(bcd));
        EXPECT_EQ(c.Expected, BcdToStr(StrToBcd(c.Expected)));
    }
}

TEST(FMTBcd, RecordLayout)
{
    TBcd bcd = StrToBcd("12.5");
    EXPECT_EQ(3, bcd.Precision);
    EXPECT_EQ(1, bcd.SignSpecialPlaces);
    EXPECT_EQ(0x12, bcd.Fraction[0]);
    EXPECT_EQ(0x50, bcd.Fraction[1]);
    for (int i = 2; i < 32; ++i)
        EXPECT_EQ(0, bcd.Fraction[i]);

    TBcd negative = StrToBcd("-1.25");
    EXPECT_EQ(3, negative.Precision);
    EXPECT_EQ(0x82, negative.SignSpecialPlaces);
    EXPECT_EQ(2, BcdScale(negative));
    EXPECT_TRUE(IsBcdNegative(negative));

    // A record written by hand the same way reads back.
    TBcd manual;
    manual.Precision = 4;
    manual.SignSpecialPlaces = 0x80 | 3;
    manual.Fraction[0] = 0x10;
    manual.Fraction[1] = 0x05;
    EXPECT_EQ("-1.005", BcdToStr(manual));
    EXPECT_EQ("0", BcdToStr(NullBcd));
}

TEST(FMTBcd, MalformedText)
{
    const std::vector<std::string> inputs = {"",
                                             "abc",
                                             "1.2.3",
                                             "1e5",
                                             "1,5",
                                             "--1",
                                             "+",
                                             ".",
                                             "1 2",
                                             "0x10",
                                             "١",
                                             std::string(65, '1'),
                                             "0." + std::string(64, '1')};
    for (const auto& input : inputs) {
        SCOPED_TRACE(input);
        TBcd bcd = StrToBcd("7");
        EXPECT_FALSE(TryStrToBcd(input, bcd));
        EXPECT_EQ("7", BcdToStr(bcd)); // a failed parse leaves the record alone
        EXPECT_THROW(StrToBcd(input), EBcdException);
    }
    try {
        StrToBcd("abc");
        FAIL() << "no exception";
    } catch (const EBcdException& e) {
        EXPECT_EQ("'abc' is not a valid BCD value", e.Message());
    }
}

TEST(FMTBcd, DamagedRecordsAreRefused)
{
    struct Case
    {
        const char* Desc;
        uint8_t Precision;
        uint8_t SignSpecialPlaces;
        uint8_t FirstByte;
    };
    const std::vector<Case> cases = {
        {"precision above 64", 65, 0, 0x12},
        {"more places than digits", 2, 3, 0x12},
        {"digit nibble above 9", 2, 0, 0x1A},
        {"special flag", 2, 0x40, 0x12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        TBcd bcd;
        bcd.Precision = c.Precision;
        bcd.SignSpecialPlaces = c.SignSpecialPlaces;
        bcd.Fraction[0] = c.FirstByte;
        EXPECT_FALSE(IsValidBcd(bcd));
        EXPECT_THROW(BcdToStr(bcd), EBcdException);
        EXPECT_THROW(BcdToDouble(bcd), EBcdException);
        EXPECT_THROW(BcdCompare(bcd, NullBcd), EBcdException);
        int64_t curr = 5;
        EXPECT_FALSE(BCDToCurr(bcd, curr));
        EXPECT_EQ(5, curr);
        TBcd out = StrToBcd("1");
        EXPECT_FALSE(NormalizeBcd(bcd, out, 10, 2));
    }
}

TEST(FMTBcd, Doubles)
{
    const std::vector<std::pair<double, std::string>> cases = {
        {1.5, "1.5"},
        {0.1, "0.1"},
        {-123.456, "-123.456"},
        {0.0, "0"},
        {1e20, "100000000000000000000"},
        {1.5e-7, "0.00000015"},
        {1.0 / 3.0, "0.333333333333333"},
        {1e-70, "0"}, // below the 63 places the record holds
        {123456789012345678.0, "123456789012346000"},
    };
    for (const auto& [value, text] : cases) {
        SCOPED_TRACE(text);
        TBcd bcd = DoubleToBcd(value);
        EXPECT_EQ(text, BcdToStr(bcd));
        EXPECT_DOUBLE_EQ(std::stod(text), BcdToDouble(bcd));
    }
    EXPECT_DOUBLE_EQ(12.5, BcdToDouble(StrToBcd("12.5")));
    EXPECT_DOUBLE_EQ(-0.001, BcdToDouble(StrToBcd("-0.001")));
    EXPECT_THROW(DoubleToBcd(1e70), EBcdOverflowException);
    EXPECT_THROW(DoubleToBcd(std::nan("")), EBcdException);
    EXPECT_THROW(DoubleToBcd(INFINITY), EBcdException);
}

TEST(FMTBcd, Integers)
{
    EXPECT_EQ("-9223372036854775808", BcdToStr(IntegerToBcd(INT64_MIN)));
    EXPECT_EQ(INT64_MIN, BcdToInt64(IntegerToBcd(INT64_MIN)));
    EXPECT_EQ(INT64_MAX, BcdToInt64(IntegerToBcd(INT64_MAX)));
    EXPECT_EQ(-2, BcdToInt64(StrToBcd("-2.7")));
    EXPECT_EQ(0, BcdToInt64(StrToBcd("0.9")));
    EXPECT_THROW(BcdToInt64(StrToBcd("9223372036854775808")), EBcdOverflowException);
    EXPECT_EQ(INT64_MIN, BcdToInt64(StrToBcd("-9223372036854775808")));
    EXPECT_THROW(BcdToInt64(StrToBcd("-9223372036854775809")), EBcdOverflowException);
}

struct CompareCase
{
    const char* A;
    const char* B;
    int Expected;
};

TEST(FMTBcd, Compare)
{
    const std::vector<CompareCase> cases = {
        {"1.50", "1.5", 0},  {"-0", "0", 0},         {"2", "10", -1},     {"-2", "-10", 1},
        {"0.05", "0.5", -1}, {"123.4", "123.39", 1}, {"-1", "0.5", -1},   {"0.5", "-1", 1},
        {"007", "7.000", 0}, {"0.001", "0", 1},      {"-0.001", "0", -1}, {"99.9", "100", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.A) + " vs " + c.B);
        EXPECT_EQ(c.Expected, BcdCompare(StrToBcd(c.A), StrToBcd(c.B)));
        EXPECT_EQ(-c.Expected, BcdCompare(StrToBcd(c.B), StrToBcd(c.A)));
    }
    EXPECT_EQ(0, BcdCompare(NullBcd, StrToBcd("0")));
}

TEST(FMTBcd, Currency)
{
    struct Case
    {
        int64_t Currency;
        int Decimals;
        std::string Expected;
    };
    const std::vector<Case> cases = {
        {15000, 4, "1.5"}, {25000, 0, "3"}, // half away from zero
        {-25000, 0, "-3"}, {12345, 2, "1.23"}, {1, 4, "0.0001"}, {INT64_MIN, 4, "-922337203685477.5808"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Expected);
        TBcd bcd;
        ASSERT_TRUE(CurrToBCD(c.Currency, bcd, 32, c.Decimals));
        EXPECT_EQ(c.Expected, BcdToStr(bcd));
    }
    TBcd bcd = StrToBcd("9");
    EXPECT_FALSE(CurrToBCD(1000000, bcd, 2)); // 100 needs 3 digits
    EXPECT_FALSE(CurrToBCD(1, bcd, 32, 5));
    EXPECT_EQ("9", BcdToStr(bcd));

    int64_t curr = 0;
    ASSERT_TRUE(BCDToCurr(StrToBcd("1.23455"), curr));
    EXPECT_EQ(12346, curr);
    ASSERT_TRUE(BCDToCurr(StrToBcd("-1.23455"), curr));
    EXPECT_EQ(-12346, curr);
    ASSERT_TRUE(BCDToCurr(StrToBcd("-922337203685477.5808"), curr));
    EXPECT_EQ(INT64_MIN, curr);
    curr = 7;
    EXPECT_FALSE(BCDToCurr(StrToBcd("922337203685477.5808"), curr));
    EXPECT_FALSE(BCDToCurr(StrToBcd("1" + std::string(30, '0')), curr));
    EXPECT_EQ(7, curr);
}

TEST(FMTBcd, Normalize)
{
    TBcd out;
    ASSERT_TRUE(NormalizeBcd(StrToBcd("12.345"), out, 10, 2));
    EXPECT_EQ(10, BcdPrecision(out));
    EXPECT_EQ(2, BcdScale(out));
    EXPECT_EQ("12.35", BcdToStr(out));
    ASSERT_TRUE(NormalizeBcd(StrToBcd("-1.5"), out, 4, 3));
    EXPECT_EQ("-1.5", BcdToStr(out));
    EXPECT_EQ(3, BcdScale(out));
    EXPECT_EQ(0, BcdCompare(out, StrToBcd("-1.500")));
    ASSERT_TRUE(NormalizeBcd(StrToBcd("-0.004"), out, 4, 2));
    EXPECT_EQ("0", BcdToStr(out));
    EXPECT_FALSE(IsBcdNegative(out));

    TBcd keep = StrToBcd("1");
    EXPECT_FALSE(NormalizeBcd(StrToBcd("999.995"), keep, 5, 2)); // rounds to 1000.00
    EXPECT_FALSE(NormalizeBcd(StrToBcd("1"), keep, 0, 0));
    EXPECT_FALSE(NormalizeBcd(StrToBcd("1"), keep, 65, 0));
    EXPECT_FALSE(NormalizeBcd(StrToBcd("1"), keep, 4, 5));
    EXPECT_EQ("1", BcdToStr(keep));
}

TEST(FMTBcd, Variants)
{
    Variant v = VarFMTBcdCreate(StrToBcd("12.5"));
    EXPECT_EQ(varDouble, VarType(v));
    EXPECT_DOUBLE_EQ(12.5, v.AsDouble());

    EXPECT_EQ("1.23456789012345678", BcdToStr(VarToBcd(Variant("1.23456789012345678"))));
    EXPECT_EQ("1.5", BcdToStr(VarToBcd(Variant::FromCurrency(15000))));
    EXPECT_EQ("-7", BcdToStr(VarToBcd(Variant(-7))));
    EXPECT_EQ("-1", BcdToStr(VarToBcd(Variant(true))));
    EXPECT_EQ("0.25", BcdToStr(VarToBcd(Variant(0.25))));
    EXPECT_THROW(VarToBcd(Variant::Null()), EVariantTypeCastError);
    EXPECT_THROW(VarToBcd(Variant("x")), EBcdException);
}
} // namespace
