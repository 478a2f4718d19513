#include "platform/DateUtils.h"
#include "support/ErrorOf.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <ctime>

namespace {

struct Parts
{
    int Year, Month, Day, Hour, Min, Sec, MSec;
};

Parts Decode(TDateTime value)
{
    Parts p{};
    DecodeDateTime(value, p.Year, p.Month, p.Day, p.Hour, p.Min, p.Sec, p.MSec);
    return p;
}

void ExpectParts(TDateTime value, const Parts& expected)
{
    Parts p = Decode(value);
    EXPECT_EQ(p.Year, expected.Year);
    EXPECT_EQ(p.Month, expected.Month);
    EXPECT_EQ(p.Day, expected.Day);
    EXPECT_EQ(p.Hour, expected.Hour);
    EXPECT_EQ(p.Min, expected.Min);
    EXPECT_EQ(p.Sec, expected.Sec);
    EXPECT_EQ(p.MSec, expected.MSec);
}

// ---------------------------------------------------------------------------
// Encoding and decoding

TEST(EncodeDate, SerialNumbers)
{
    struct Case
    {
        const char* Desc;
        int Year, Month, Day;
        double Expected;
    };
    const Case cases[] = {
        {"day zero", 1899, 12, 30, 0},         {"day one", 1899, 12, 31, 1},
        {"day before zero", 1899, 12, 29, -1}, {"1900 is no leap year", 1900, 3, 1, 61},
        {"millennium", 2000, 1, 1, 36526},     {"unix epoch", 1970, 1, 1, 25569},
        {"leap day", 2024, 2, 29, 45351},      {"first day", 1, 1, 1, -693593},
        {"last day", 9999, 12, 31, 2958465},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(EncodeDate(c.Year, c.Month, c.Day), c.Expected);
        int y, m, d;
        DecodeDate(c.Expected, y, m, d);
        EXPECT_EQ(y, c.Year);
        EXPECT_EQ(m, c.Month);
        EXPECT_EQ(d, c.Day);
    }
}

TEST(EncodeDate, ImpossibleDatesRaise)
{
    struct Case
    {
        const char* Desc;
        int Year, Month, Day;
    };
    const Case cases[] = {
        {"year zero", 0, 1, 1},       {"year 10000", 10000, 1, 1},
        {"no leap day", 2023, 2, 29}, {"1900 no leap day", 1900, 2, 29},
        {"month 13", 2024, 13, 1},    {"month 0", 2024, 0, 1},
        {"April 31", 2024, 4, 31},    {"day 0", 2024, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(ErrorOf<EConvertError>([&] { EncodeDate(c.Year, c.Month, c.Day); }),
                  "Invalid argument to date encode");
        TDateTime v = 123;
        EXPECT_FALSE(TryEncodeDate(c.Year, c.Month, c.Day, v));
        EXPECT_EQ(v, 123);
    }
}

TEST(EncodeTime, FractionsAndLimits)
{
    EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);
    EXPECT_EQ(EncodeTime(6, 0, 0, 0), 0.25);
    EXPECT_EQ(EncodeTime(23, 59, 59, 999), double(MSecsPerDay - 1) / MSecsPerDay);
    struct Case
    {
        const char* Desc;
        int Hour, Min, Sec, MSec;
    };
    const Case bad[] = {{"hour 24", 24, 0, 0, 0},       {"minute 60", 0, 60, 0, 0},
                        {"second 60", 0, 0, 60, 0},     {"msec 1000", 0, 0, 0, 1000},
                        {"negative hour", -1, 0, 0, 0}, {"negative msec", 0, 0, 0, -1}};
    for (const Case& c : bad) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(ErrorOf<EConvertError>([&] { EncodeTime(c.Hour, c.Min, c.Sec, c.MSec); }),
                  "Invalid argument to time encode");
    }
}

TEST(DecodeDateTime, NegativeDatesKeepTheTimeForward)
{
    ExpectParts(-1.25, {1899, 12, 29, 6, 0, 0, 0});
    ExpectParts(-0.5, {1899, 12, 30, 12, 0, 0, 0});
    ExpectParts(0.5, {1899, 12, 30, 12, 0, 0, 0});
    ExpectParts(36526.75, {2000, 1, 1, 18, 0, 0, 0});
    EXPECT_EQ(ComposeDateTime(EncodeDate(1899, 12, 29), EncodeTime(6, 0, 0, 0)), -1.25);
    EXPECT_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), -1.25);
    EXPECT_EQ(EncodeDateTime(2000, 1, 1, 18, 0, 0, 0), 36526.75);
}

TEST(DecodeDateTime, TimeRoundingUpToMidnightIsTheNextDay)
{
    ExpectParts(1.0 - 1e-10, {1899, 12, 31, 0, 0, 0, 0});
    ExpectParts(-1.0 - (1.0 - 1e-10), {1899, 12, 30, 0, 0, 0, 0});
    EXPECT_EQ(DayOf(45351.9999999999), 1);
    EXPECT_EQ(HourOf(45351.9999999999), 0);
}

TEST(DecodeDateTime, EveryMillisecondRoundTrips)
{
    for (int day : {-693593, -1, 0, 45351, 2958465}) {
        for (int64_t ms = 0; ms < MSecsPerDay; ms += 997) {
            int h = int(ms / 3600000), n = int(ms / 60000 % 60), s = int(ms / 1000 % 60), z = int(ms % 1000);
            TDateTime v = ComposeDateTime(day, EncodeTime(h, n, s, z));
            Parts p = Decode(v);
            ASSERT_EQ(EncodeDate(p.Year, p.Month, p.Day), day) << "ms " << ms;
            ASSERT_EQ((p.Hour * 60 + p.Min) * 60 + p.Sec, int(ms / 1000)) << "day " << day;
            ASSERT_EQ(p.MSec, z) << "day " << day;
        }
    }
}

TEST(DecodeDateTime, ValuesBeyondAnyDateRaise)
{
    int y, m, d;
    EXPECT_EQ(ErrorOf<EConvertError>([&] { DecodeDate(std::nan(""), y, m, d); }), "Invalid argument to date decode");
    EXPECT_THROW(DecodeDate(1e300, y, m, d), EConvertError);
    EXPECT_THROW(FormatDateTime("yyyy", HUGE_VAL), EConvertError);
}

TEST(DateParts, WeekDaysAndMonths)
{
    EXPECT_EQ(DayOfWeek(0), 7) << "1899-12-30 was a Saturday";
    EXPECT_EQ(DayOfWeek(-1.5), 6);
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 10)), 5);
    EXPECT_EQ(DayOfTheWeek(EncodeDate(2026, 12, 10)), 4);
    EXPECT_EQ(DayOfTheWeek(EncodeDate(2026, 12, 13)), 7);
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 13)), 1);
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_FALSE(IsLeapYear(1900));
    EXPECT_TRUE(IsLeapYear(2024));
    EXPECT_EQ(DaysInAMonth(2024, 2), 29);
    EXPECT_EQ(DaysInAMonth(2023, 2), 28);
    EXPECT_EQ(DaysInAMonth(2023, 13), 0);
    TDateTime v = EncodeDateTime(2024, 3, 5, 14, 7, 9, 45);
    EXPECT_EQ(DateOf(v), EncodeDate(2024, 3, 5));
    EXPECT_DOUBLE_EQ(TimeOf(v), EncodeTime(14, 7, 9, 45));
    EXPECT_DOUBLE_EQ(TimeOf(-1.25), 0.25);
    EXPECT_EQ(YearOf(v), 2024);
    EXPECT_EQ(MonthOf(v), 3);
    EXPECT_EQ(MinuteOf(v), 7);
    EXPECT_EQ(SecondOf(v), 9);
    EXPECT_EQ(MilliSecondOf(v), 45);
}

// ---------------------------------------------------------------------------
// Clock and arithmetic

TEST(Clock, NowIsTheLocalTime)
{
    // The precise clock on both sides: time() may read a coarser clock that
    // lags a few milliseconds behind the one Now reads.
    auto preciseNow = [] { return std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()); };
    std::time_t before = preciseNow();
    TDateTime now = Now();
    std::time_t after = preciseNow();
    std::tm a{}, b{};
    localtime_r(&before, &a);
    localtime_r(&after, &b);
    TDateTime low = EncodeDateTime(a.tm_year + 1900, a.tm_mon + 1, a.tm_mday, a.tm_hour, a.tm_min,
                                   std::min(a.tm_sec, 59), 0);
    TDateTime high = EncodeDateTime(b.tm_year + 1900, b.tm_mon + 1, b.tm_mday, b.tm_hour, b.tm_min,
                                    std::min(b.tm_sec, 59), 999);
    EXPECT_GE(now, low);
    EXPECT_LE(now, high);
    EXPECT_EQ(Date(), std::trunc(Date()));
    EXPECT_GE(Time(), 0.0);
    EXPECT_LT(Time(), 1.0);
}

TEST(DateArithmetic, AcrossDayZero)
{
    TDateTime early = EncodeDateTime(1899, 12, 30, 2, 0, 0, 0);
    ExpectParts(IncHour(early, -4), {1899, 12, 29, 22, 0, 0, 0});
    ExpectParts(IncDay(-1.25, 2), {1899, 12, 31, 6, 0, 0, 0});
    ExpectParts(IncMinute(-1.25, 24 * 60), {1899, 12, 30, 6, 0, 0, 0});
    ExpectParts(IncSecond(EncodeDate(2024, 1, 1), -1), {2023, 12, 31, 23, 59, 59, 0});
    ExpectParts(IncMilliSecond(EncodeDate(2024, 1, 1), -1), {2023, 12, 31, 23, 59, 59, 999});
    ExpectParts(IncWeek(EncodeDate(2024, 2, 26)), {2024, 3, 4, 0, 0, 0, 0});
    // A naive difference of the two numbers would be a day and a half.
    EXPECT_EQ(SecondsBetween(-1.25, 0.25), 86400);
    EXPECT_EQ(DaysBetween(0.25, -1.25), 1);
    EXPECT_EQ(DaysBetween(EncodeDate(2024, 1, 1), EncodeDate(2024, 3, 1)), 60);
    EXPECT_EQ(HoursBetween(EncodeDate(2024, 1, 1), EncodeDateTime(2024, 1, 1, 23, 59, 0, 0)), 23);
    EXPECT_EQ(MinutesBetween(0.5, 0.25), 360);
    EXPECT_EQ(MilliSecondsBetween(EncodeTime(0, 0, 1, 5), EncodeTime(0, 0, 0, 0)), 1005);
}

TEST(DateArithmetic, IncMonthClampsTheDay)
{
    struct Case
    {
        const char* Desc;
        TDateTime From;
        int Months;
        TDateTime Expected;
    };
    const Case cases[] = {
        {"into a leap February", EncodeDate(2024, 1, 31), 1, EncodeDate(2024, 2, 29)},
        {"back into February", EncodeDate(2024, 3, 31), -1, EncodeDate(2024, 2, 29)},
        {"over the year end", EncodeDate(2024, 11, 15), 3, EncodeDate(2025, 2, 15)},
        {"back over the year start", EncodeDate(2024, 1, 15), -13, EncodeDate(2022, 12, 15)},
        {"keeps the time", EncodeDateTime(2024, 1, 31, 8, 30, 0, 0), 1,
         EncodeDateTime(2024, 2, 29, 8, 30, 0, 0)},
        {"keeps the time before day zero", -1.25, 1, EncodeDateTime(1900, 1, 29, 6, 0, 0, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_DOUBLE_EQ(IncMonth(c.From, c.Months), c.Expected);
    }
    EXPECT_DOUBLE_EQ(IncYear(EncodeDate(2024, 2, 29)), EncodeDate(2025, 2, 28));
    EXPECT_THROW(IncYear(EncodeDate(9999, 1, 1)), EConvertError);
}

TEST(DateArithmetic, UnixTime)
{
    EXPECT_EQ(DateTimeToUnix(EncodeDate(1970, 1, 1)), 0);
    EXPECT_EQ(DateTimeToUnix(EncodeDateTime(2001, 9, 9, 1, 46, 40, 0)), 1000000000);
    EXPECT_EQ(DateTimeToUnix(EncodeDateTime(1969, 12, 31, 23, 59, 59, 0)), -1);
    ExpectParts(UnixToDateTime(1000000000), {2001, 9, 9, 1, 46, 40, 0});
    ExpectParts(UnixToDateTime(-86400), {1969, 12, 31, 0, 0, 0, 0});
    ExpectParts(UnixToDateTime(-2209161600 - 3600), {1899, 12, 29, 23, 0, 0, 0});
    EXPECT_THROW(UnixToDateTime(INT64_MAX), EConvertError);
}

// ---------------------------------------------------------------------------
// FormatDateTime

TEST(FormatDateTime, PatternLetters)
{
    const TDateTime v = EncodeDateTime(2024, 3, 5, 14, 7, 9, 45); // a Tuesday
    struct Case
    {
        const char* Format;
        std::string Expected;
    };
    const Case cases[] = {
        {"yyyy-mm-dd", "2024-03-05"},
        {"YYYY/MM/DD", "2024/03/05"},
        {"yy/m/d", "24/3/5"},
        {"dd.mm.yyyy", "05.03.2024"},
        {"ddd dddd", "Tue Tuesday"},
        {"mmm mmmm", "Mar March"},
        {"hh:nn:ss.zzz", "14:07:09.045"},
        {"h:n:s z", "14:7:9 45"},
        {"hh:mm", "14:07"},
        {"h:mm:ss", "14:07:09"},
        {"hh 'h' mm", "14 h 07"},
        {"hh dd mm", "14 05 03"},
        {"mm/dd", "03/05"},
        {"hh:nn am/pm", "02:07 pm"},
        {"h:nn AM/PM", "2:07 PM"},
        {"h:nn a/p", "2:07 p"},
        {"h:nn A/P", "2:07 P"},
        {"h:nn ampm", "2:07 PM"},
        {"hh 'am/pm'", "14 am/pm"},
        {"\"at\" hh", "at 14"},
        {"'yyyy'", "yyyy"},
        {"'unterminated", "unterminated"},
        {"c", "03/05/2024 14:07:09"},
        {"", "03/05/2024 14:07:09"},
        {"ddddd", "03/05/2024"},
        {"dddddd", "Tuesday, March 5, 2024"},
        {"t", "14:07"},
        {"tt", "14:07:09"},
        {"yyyy-mm-dd@hh-nn-ss-zzz", "2024-03-05@14-07-09-045"},
        {"x#", "x#"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Format);
        EXPECT_EQ(FormatDateTime(c.Format, v), c.Expected);
    }
}

TEST(FormatDateTime, ClockEdgesAndOldDates)
{
    EXPECT_EQ(FormatDateTime("c", EncodeDate(2024, 3, 5)), "03/05/2024") << "midnight shows no time";
    EXPECT_EQ(FormatDateTime("c", EncodeDateTime(2024, 3, 5, 0, 0, 0, 1)), "03/05/2024 00:00:00");
    EXPECT_EQ(FormatDateTime("h:nn am/pm", EncodeTime(12, 0, 0, 0)), "12:00 pm");
    EXPECT_EQ(FormatDateTime("h:nn am/pm", EncodeTime(0, 30, 0, 0)), "12:30 am");
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", -1.25), "1899-12-29 06:00");
    EXPECT_EQ(FormatDateTime("yyyy yy", EncodeDate(5, 1, 1)), "0005 05");
}

TEST(FormatDateTime, MillisecondsPadToTheLetterCount)
{
    struct Case
    {
        const char* Format;
        int MSec;
        const char* Expected;
    };
    const Case cases[] = {
        {"z", 5, "5"},     {"zz", 5, "05"},    {"zzz", 5, "005"},  {"zzzz", 5, "005"},
        {"z", 45, "45"},   {"zz", 45, "45"},   {"zzz", 45, "045"}, {"zz", 123, "123"},
        {"ss.zz", 70, "09.70"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Format) + " " + std::to_string(c.MSec));
        EXPECT_EQ(FormatDateTime(c.Format, EncodeTime(14, 7, 9, c.MSec)), c.Expected);
    }
}

TEST(FormatDateTime, FollowsSettings)
{
    TFormatSettings fs;
    fs.DateSeparator = '-';
    fs.TimeSeparator = '.';
    fs.ShortDateFormat = "dd/mm/yyyy";
    fs.LongTimeFormat = "hh:nn";
    fs.LongMonthNames[2] = "Maerz";
    const TDateTime v = EncodeDateTime(2024, 3, 5, 14, 7, 9, 0);
    EXPECT_EQ(FormatDateTime("yyyy/mm/dd hh:nn", v, fs), "2024-03-05 14.07");
    EXPECT_EQ(FormatDateTime("c", v, fs), "05-03-2024 14.07");
    EXPECT_EQ(FormatDateTime("mmmm", v, fs), "Maerz");
    EXPECT_EQ(DateTimeToStr(v, fs), "05-03-2024 14.07");

    // A settings format that names itself ends instead of recursing.
    fs.ShortDateFormat = "c";
    EXPECT_EQ(FormatDateTime("c", EncodeDate(2024, 3, 5), fs), "");
}

TEST(FormatDateTime, DefaultTexts)
{
    const TDateTime v = EncodeDateTime(2024, 3, 5, 14, 7, 9, 0);
    EXPECT_EQ(DateTimeToStr(v), "03/05/2024 14:07:09");
    EXPECT_EQ(DateToStr(v), "03/05/2024");
    EXPECT_EQ(TimeToStr(v), "14:07:09");
    EXPECT_EQ(FormatSettings.ShortDateFormat, "MM/DD/YYYY");
}

// ---------------------------------------------------------------------------
// Reading dates and times

TEST(StrToDate, ShortDateOrder)
{
    struct Case
    {
        const char* Input;
        TDateTime Expected;
    };
    const Case cases[] = {
        {"03/05/2024", EncodeDate(2024, 3, 5)},
        {" 3/5/2024 ", EncodeDate(2024, 3, 5)},
        {"3 / 5 / 2024", EncodeDate(2024, 3, 5)},
        {"12/31/1899", 1},
        {"12/29/1899", -1},
        {"02/29/2024", EncodeDate(2024, 2, 29)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Input);
        EXPECT_EQ(StrToDate(c.Input), c.Expected);
    }
    for (const char* bad : {"13/01/2024", "02/30/2024", "2024", "a/b/c", "3/5/", "3/5/2024x", "", "1/1/12345",
                            "3/5/2024 10:00", "3-5-2024", "0/1/2024", "3/5/ ", "3/5 /"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(ErrorOf<EConvertError>([&] { StrToDate(bad); }), std::string("'") + bad + "' is not a valid date");
        EXPECT_EQ(StrToDateDef(bad, -7), -7);
    }
}

TEST(StrToDate, YearDefaultsAndTwoDigitYears)
{
    int currentYear = YearOf(Now());
    EXPECT_EQ(StrToDate("3/5"), EncodeDate(currentYear, 3, 5));
    EXPECT_EQ(StrToDateTime("3/5 10:00"), EncodeDateTime(currentYear, 3, 5, 10, 0, 0, 0));
    for (int yy : {0, 25, 49, 50, 75, 99}) {
        SCOPED_TRACE(yy);
        int year = YearOf(StrToDate("1/1/" + std::to_string(yy)));
        EXPECT_EQ(year % 100, yy);
        // Within the fifty years either side of this year.
        EXPECT_GE(year, currentYear - 50);
        EXPECT_LT(year, currentYear + 50);
    }
    TFormatSettings fs;
    fs.TwoDigitYearCenturyWindow = 0;
    EXPECT_EQ(YearOf(StrToDate("1/1/99", fs)), currentYear / 100 * 100 + 99);
    EXPECT_EQ(YearOf(StrToDate("1/1/0099", fs)), 99) << "four digits are taken as written";
}

TEST(StrToDate, OtherOrders)
{
    TFormatSettings dmy;
    dmy.ShortDateFormat = "dd.mm.yyyy";
    dmy.DateSeparator = '.';
    EXPECT_EQ(StrToDate("05.03.2024", dmy), EncodeDate(2024, 3, 5));
    EXPECT_EQ(StrToDate("05.03", dmy), EncodeDate(YearOf(Now()), 3, 5));
    TFormatSettings ymd;
    ymd.ShortDateFormat = "yyyy-mm-dd";
    ymd.DateSeparator = '-';
    EXPECT_EQ(StrToDate("2024-03-05", ymd), EncodeDate(2024, 3, 5));
    EXPECT_THROW(StrToDate("03/05/2024", ymd), EConvertError);
}

TEST(StrToTime, Texts)
{
    struct Case
    {
        const char* Input;
        TDateTime Expected;
    };
    const Case cases[] = {
        {"14:07", EncodeTime(14, 7, 0, 0)},        {"14:07:09", EncodeTime(14, 7, 9, 0)},
        {" 14 : 07 ", EncodeTime(14, 7, 0, 0)},    {"2:07 PM", EncodeTime(14, 7, 0, 0)},
        {"2:07pm", EncodeTime(14, 7, 0, 0)},       {"12:00 AM", EncodeTime(0, 0, 0, 0)},
        {"12:30 pm", EncodeTime(12, 30, 0, 0)},    {"10 PM", EncodeTime(22, 0, 0, 0)},
        {"14:07:09.5", EncodeTime(14, 7, 9, 500)}, {"14:07:09.045", EncodeTime(14, 7, 9, 45)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Input);
        EXPECT_EQ(StrToTime(c.Input), c.Expected);
    }
    for (const char* bad : {"24:00", "13:00 PM", "0:30 AM", "10", "14:60", "abc", "14:07:09.1234", "14:07x",
                            "", "14:", "14:07:09."}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(ErrorOf<EConvertError>([&] { StrToTime(bad); }), std::string("'") + bad + "' is not a valid time");
    }
}

TEST(StrToDateTime, DateTimeOrEither)
{
    EXPECT_EQ(StrToDateTime("03/05/2024 14:07:09"), EncodeDateTime(2024, 3, 5, 14, 7, 9, 0));
    EXPECT_EQ(StrToDateTime("03/05/2024"), EncodeDate(2024, 3, 5));
    EXPECT_EQ(StrToDateTime("14:07"), EncodeTime(14, 7, 0, 0));
    EXPECT_EQ(StrToDateTime("12/29/1899 06:00"), -1.25);
    EXPECT_EQ(StrToDateTime("3/5/2024 2:07 PM"), EncodeDateTime(2024, 3, 5, 14, 7, 0, 0));
    for (const char* bad : {"03/05/2024 25:00", "03/05/2024 x", "x", "", "03/05/2024 14:07 junk"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(ErrorOf<EConvertError>([&] { StrToDateTime(bad); }),
                  std::string("'") + bad + "' is not a valid date and time");
        EXPECT_EQ(StrToDateTimeDef(bad, 5), 5);
    }
}

TEST(StrToDateTime, RoundTripsDateTimeToStr)
{
    for (TDateTime day : {-36522.0, -1.0, 0.0, 1.0, 45351.0, 2958465.0}) {
        for (int seconds : {0, 1, 3599, 43200, 86399}) {
            TDateTime v =
                ComposeDateTime(day, EncodeTime(seconds / 3600, seconds / 60 % 60, seconds % 60, 0));
            SCOPED_TRACE(DateTimeToStr(v));
            EXPECT_EQ(StrToDateTime(DateTimeToStr(v)), v);
        }
    }
}

} // namespace
