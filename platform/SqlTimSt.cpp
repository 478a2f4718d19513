#include "platform/SqlTimSt.h"

#include <cmath>

#include "platform/DateUtils.h"
#include "platform/Variants.h"

const TSQLTimeStamp NullSQLTimeStamp{};

namespace {
[[noreturn]] void InvalidTimeStamp()
{
    throw EConvertError("Invalid SQL date/time values");
}
} // namespace

bool IsSQLTimeStampBlank(const TSQLTimeStamp& ts)
{
    return ts == NullSQLTimeStamp;
}

bool TrySQLTimeStampToDateTime(const TSQLTimeStamp& ts, TDateTime& value)
{
    if (IsSQLTimeStampBlank(ts)) {
        value = 0;
        return true;
    }
    TDateTime date;
    TDateTime time;
    if (ts.Fractions > 999 || !TryEncodeDate(ts.Year, ts.Month, ts.Day, date) ||
        !TryEncodeTime(ts.Hour, ts.Minute, ts.Second, static_cast<int>(ts.Fractions), time))
        return false;
    value = ComposeDateTime(date, time);
    return true;
}

TDateTime SQLTimeStampToDateTime(const TSQLTimeStamp& ts)
{
    TDateTime value;
    if (!TrySQLTimeStampToDateTime(ts, value))
        InvalidTimeStamp();
    return value;
}

TSQLTimeStamp DateTimeToSQLTimeStamp(TDateTime value)
{
    // 0001-01-01 and the day after 9999-12-31.
    static const TDateTime kFirst = EncodeDate(1, 1, 1);
    static const TDateTime kEnd = EncodeDate(9999, 12, 31) + 1.0;
    if (!std::isfinite(value) || value < kFirst || value >= kEnd)
        InvalidTimeStamp();
    int year, month, day, hour, minute, second, msec;
    DecodeDateTime(value, year, month, day, hour, minute, second, msec);
    TSQLTimeStamp ts;
    ts.Year = static_cast<int16_t>(year);
    ts.Month = static_cast<uint16_t>(month);
    ts.Day = static_cast<uint16_t>(day);
    ts.Hour = static_cast<uint16_t>(hour);
    ts.Minute = static_cast<uint16_t>(minute);
    ts.Second = static_cast<uint16_t>(second);
    ts.Fractions = static_cast<uint32_t>(msec);
    return ts;
}

std::string SQLTimeStampToStr(const std::string& format, const TSQLTimeStamp& ts)
{
    return FormatDateTime(format, SQLTimeStampToDateTime(ts));
}

bool TryStrToSQLTimeStamp(const std::string& text, TSQLTimeStamp& ts)
{
    TDateTime value;
    if (!TryStrToDateTime(text, value))
        return false;
    try {
        ts = DateTimeToSQLTimeStamp(value);
    } catch (const EConvertError&) {
        return false;
    }
    return true;
}

TSQLTimeStamp StrToSQLTimeStamp(const std::string& text)
{
    TSQLTimeStamp ts;
    if (!TryStrToSQLTimeStamp(text, ts))
        throw EConvertError("Could not parse SQL TimeStamp string");
    return ts;
}

Variant VarSQLTimeStampCreate(const TSQLTimeStamp& ts)
{
    return Variant::FromDate(SQLTimeStampToDateTime(ts));
}

TSQLTimeStamp VarToSQLTimeStamp(const Variant& value)
{
    return DateTimeToSQLTimeStamp(value.AsDateTime());
}

bool operator==(const TSQLTimeStamp& a, const TSQLTimeStamp& b)
{
    return a.Year == b.Year && a.Month == b.Month && a.Day == b.Day && a.Hour == b.Hour &&
           a.Minute == b.Minute && a.Second == b.Second && a.Fractions == b.Fractions;
}

bool operator!=(const TSQLTimeStamp& a, const TSQLTimeStamp& b)
{
    return !(a == b);
}
