#include "platform/SqlTimSt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/DateUtils.h"
#include "platform/Variants.h"

namespace {
TSQLTimeStamp Stamp(int y, int mo, int d, int h, int mi, int s, unsigned f)
{
    TSQLTimeStamp ts;
    ts.Year = static_cast<int16_t>(y);
    ts.Month = static_cast<uint16_t>(mo);
    ts.Day = static_cast<uint16_t>(d);
    ts.Hour = static_cast<uint16_t>(h);
    ts.Minute = static_cast<uint16_t>(mi);
    ts.Second = static_cast<uint16_t>(s);
    ts.Fractions = f;
    return ts;
}

TEST(SQLTimeStamp, RecordLayout)
{
    EXPECT_EQ(0u, offsetof(TSQLTimeStamp, Year));
    EXPECT_EQ(2u, offsetof(TSQLTimeStamp, Month));
    EXPECT_EQ(10u, offsetof(TSQLTimeStamp, Second));
    EXPECT_EQ(12u, offsetof(TSQLTimeStamp, Fractions));
}

struct RoundTripCase
{
    const char* Desc;
    TSQLTimeStamp Stamp;
    TDateTime Value;
};

TEST(SQLTimeStamp, DateTimeRoundTrip)
{
    const std::vector<RoundTripCase> cases = {
        {"afternoon with milliseconds", Stamp(2024, 3, 5, 14, 30, 15, 250),
         EncodeDateTime(2024, 3, 5, 14, 30, 15, 250)},
        {"midnight", Stamp(2000, 2, 29, 0, 0, 0, 0), EncodeDate(2000, 2, 29)},
        {"before the day count starts", Stamp(1899, 12, 29, 6, 0, 0, 0), -1.25},
        {"first day", Stamp(1, 1, 1, 0, 0, 0, 0), EncodeDate(1, 1, 1)},
        {"last moment", Stamp(9999, 12, 31, 23, 59, 59, 999), EncodeDateTime(9999, 12, 31, 23, 59, 59, 999)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_DOUBLE_EQ(c.Value, SQLTimeStampToDateTime(c.Stamp));
        EXPECT_EQ(c.Stamp, DateTimeToSQLTimeStamp(c.Value));
    }
    EXPECT_DOUBLE_EQ(0.0, SQLTimeStampToDateTime(NullSQLTimeStamp));
    EXPECT_TRUE(IsSQLTimeStampBlank(TSQLTimeStamp{}));
    EXPECT_FALSE(IsSQLTimeStampBlank(Stamp(0, 0, 0, 0, 0, 0, 1)));
}

TEST(SQLTimeStamp, ImpossibleFieldsRaise)
{
    const std::vector<std::pair<const char*, TSQLTimeStamp>> cases = {
        {"month 13", Stamp(2024, 13, 1, 0, 0, 0, 0)},
        {"month 0", Stamp(2024, 0, 1, 0, 0, 0, 0)},
        {"day 0", Stamp(2024, 1, 0, 0, 0, 0, 0)},
        {"29 February of a common year", Stamp(2023, 2, 29, 0, 0, 0, 0)},
        {"31 April", Stamp(2024, 4, 31, 0, 0, 0, 0)},
        {"hour 24", Stamp(2024, 1, 1, 24, 0, 0, 0)},
        {"minute 60", Stamp(2024, 1, 1, 0, 60, 0, 0)},
        {"second 60", Stamp(2024, 1, 1, 0, 0, 60, 0)},
        {"fractions 1000", Stamp(2024, 1, 1, 0, 0, 0, 1000)},
        {"year 0", Stamp(0, 1, 1, 0, 0, 0, 0)},
        {"negative year", Stamp(-5, 1, 1, 0, 0, 0, 0)},
        {"only fractions set", Stamp(0, 0, 0, 0, 0, 0, 1)},
    };
    for (const auto& [desc, ts] : cases) {
        SCOPED_TRACE(desc);
        TDateTime value = 7;
        EXPECT_FALSE(TrySQLTimeStampToDateTime(ts, value));
        EXPECT_EQ(7, value);
        try {
            SQLTimeStampToDateTime(ts);
            ADD_FAILURE() << "no exception";
        } catch (const EConvertError& e) {
            EXPECT_EQ("Invalid SQL date/time values", e.Message());
        }
        EXPECT_THROW(VarSQLTimeStampCreate(ts), EConvertError);
    }
    for (double bad : {-700000.0, 3e6, std::nan(""), double(INFINITY)}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(DateTimeToSQLTimeStamp(bad), EConvertError);
    }
}

TEST(SQLTimeStamp, Text)
{
    const TSQLTimeStamp ts = Stamp(2024, 3, 5, 14, 30, 15, 250);
    EXPECT_EQ("2024-03-05 14:30:15.250", SQLTimeStampToStr("yyyy-mm-dd hh:nn:ss.zzz", ts));
    EXPECT_EQ(DateTimeToStr(SQLTimeStampToDateTime(ts)), SQLTimeStampToStr("", ts));
    EXPECT_THROW(SQLTimeStampToStr("", Stamp(2024, 2, 30, 0, 0, 0, 0)), EConvertError);

    TSQLTimeStamp parsed = StrToSQLTimeStamp(DateTimeToStr(EncodeDateTime(2024, 3, 5, 14, 30, 15, 0)));
    EXPECT_EQ(Stamp(2024, 3, 5, 14, 30, 15, 0), parsed);
    EXPECT_EQ(Stamp(2024, 3, 5, 0, 0, 0, 0), StrToSQLTimeStamp(DateToStr(EncodeDate(2024, 3, 5))));

    for (const char* bad : {"", "hello", "13/45/2024", "03/05/2024 25:00"}) {
        SCOPED_TRACE(bad);
        TSQLTimeStamp keep = ts;
        EXPECT_FALSE(TryStrToSQLTimeStamp(bad, keep));
        EXPECT_EQ(ts, keep);
        try {
            StrToSQLTimeStamp(bad);
            ADD_FAILURE() << "no exception";
        } catch (const EConvertError& e) {
            EXPECT_EQ("Could not parse SQL TimeStamp string", e.Message());
        }
    }
}

TEST(SQLTimeStamp, Variants)
{
    const TSQLTimeStamp ts = Stamp(2024, 3, 5, 14, 30, 15, 250);
    Variant v = VarSQLTimeStampCreate(ts);
    EXPECT_EQ(varDate, VarType(v));
    EXPECT_DOUBLE_EQ(SQLTimeStampToDateTime(ts), v.AsDateTime());
    EXPECT_EQ(ts, VarToSQLTimeStamp(v));
    EXPECT_EQ(Stamp(2024, 3, 5, 0, 0, 0, 0), VarToSQLTimeStamp(Variant(DateToStr(EncodeDate(2024, 3, 5)))));
    EXPECT_THROW(VarToSQLTimeStamp(Variant::Null()), EVariantTypeCastError);
    EXPECT_THROW(VarToSQLTimeStamp(Variant(1e9)), EConvertError);
}
} // namespace
