#pragma once
// Dates and times of the run-time library: TDateTime counts days from
// 1899-12-30 with the time of day as fraction. Before 1899-12-30 the whole part
// counts back and the fraction still runs forward: -1.25 is 1899-12-29 06:00.
// Texts follow the global FormatSettings unless settings are passed.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/SysUtils.h"

constexpr int HoursPerDay = 24;
constexpr int MinsPerDay = 24 * 60;
constexpr int SecsPerDay = 24 * 60 * 60;
constexpr int MSecsPerDay = SecsPerDay * 1000;
// 1970-01-01 as TDateTime.
constexpr double UnixDateDelta = 25569.0;

// Encoding. Years 1..9999; times 0:00:00.000 to 23:59:59.999. Impossible values
// raise EConvertError ("Invalid argument to date encode" / "... time encode").
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec);
bool TryEncodeDate(int year, int month, int day, TDateTime& value);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& value);
bool TryEncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec, TDateTime& value);
// A date plus a time of day, right for dates before 1899-12-30 too.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

// Decoding. The time is rounded to the millisecond; a time that rounds up to
// midnight belongs to the next day, so DecodeDate and DecodeTime always agree.
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec);
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& min, int& sec,
                    int& msec);
// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime value);
// 1 = Monday .. 7 = Sunday.
int DayOfTheWeek(TDateTime value);
bool IsLeapYear(int year);
int DaysInAMonth(int year, int month);

// The date part (midnight) and the time part (a fraction of 0 <= t < 1).
TDateTime DateOf(TDateTime value);
TDateTime TimeOf(TDateTime value);
int YearOf(TDateTime value);
int MonthOf(TDateTime value);
int DayOf(TDateTime value);
int HourOf(TDateTime value);
int MinuteOf(TDateTime value);
int SecondOf(TDateTime value);
int MilliSecondOf(TDateTime value);

// Local clock, to the millisecond.
TDateTime Now();
TDateTime Date();
TDateTime Time();

// Arithmetic on the time line (so right across 1899-12-30). IncMonth keeps the
// day, or takes the month's last day when it has fewer.
TDateTime IncDay(TDateTime value, int64_t days = 1);
TDateTime IncWeek(TDateTime value, int64_t weeks = 1);
TDateTime IncMonth(TDateTime value, int months = 1);
TDateTime IncYear(TDateTime value, int years = 1);
TDateTime IncHour(TDateTime value, int64_t hours = 1);
TDateTime IncMinute(TDateTime value, int64_t minutes = 1);
TDateTime IncSecond(TDateTime value, int64_t seconds = 1);
TDateTime IncMilliSecond(TDateTime value, int64_t msecs = 1);
// Whole units between two moments (never negative).
int64_t DaysBetween(TDateTime a, TDateTime b);
int64_t HoursBetween(TDateTime a, TDateTime b);
int64_t MinutesBetween(TDateTime a, TDateTime b);
int64_t SecondsBetween(TDateTime a, TDateTime b);
int64_t MilliSecondsBetween(TDateTime a, TDateTime b);

// Seconds since 1970-01-01 00:00, no time-zone shift.
int64_t DateTimeToUnix(TDateTime value);
TDateTime UnixToDateTime(int64_t seconds);

// Pattern letters, in any case: c, d dd ddd dddd ddddd dddddd, m mm mmm mmmm
// (minutes right after an h), yy yyyy, h hh, n nn, s ss, z zzz, t tt, am/pm
// a/p ampm (and a 12-hour clock for the hours before them), '/' and ':' as the
// settings' separators, '...' and "..." literals. An empty pattern is "c".
std::string FormatDateTime(std::string_view format, TDateTime value);
std::string FormatDateTime(std::string_view format, TDateTime value, const TFormatSettings& settings);

// The short date, the long time (c: the time only when not midnight).
std::string DateTimeToStr(TDateTime value);
std::string DateTimeToStr(TDateTime value, const TFormatSettings& settings);
std::string DateToStr(TDateTime value);
std::string DateToStr(TDateTime value, const TFormatSettings& settings);
std::string TimeToStr(TDateTime value);
std::string TimeToStr(TDateTime value, const TFormatSettings& settings);

// Reading dates in the order of ShortDateFormat (M/D/Y, D/M/Y or Y/M/D)
// separated by DateSeparator; without a year the current one; two-digit years
// by TwoDigitYearCenturyWindow. Times: h[:n[:s[.z]]] with an optional AM/PM
// (a bare hour only with AM/PM). A date-time text is a date, optionally
// followed by a time, or a time alone. Raise EConvertError ("'%s' is not a
// valid date" / "... valid time" / "... valid date and time").
TDateTime StrToDate(std::string_view s);
TDateTime StrToDate(std::string_view s, const TFormatSettings& settings);
TDateTime StrToTime(std::string_view s);
TDateTime StrToTime(std::string_view s, const TFormatSettings& settings);
TDateTime StrToDateTime(std::string_view s);
TDateTime StrToDateTime(std::string_view s, const TFormatSettings& settings);
bool TryStrToDate(std::string_view s, TDateTime& value);
bool TryStrToDate(std::string_view s, TDateTime& value, const TFormatSettings& settings);
bool TryStrToTime(std::string_view s, TDateTime& value);
bool TryStrToTime(std::string_view s, TDateTime& value, const TFormatSettings& settings);
bool TryStrToDateTime(std::string_view s, TDateTime& value);
bool TryStrToDateTime(std::string_view s, TDateTime& value, const TFormatSettings& settings);
TDateTime StrToDateDef(std::string_view s, TDateTime def);
TDateTime StrToDateTimeDef(std::string_view s, TDateTime def);
