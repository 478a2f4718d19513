#include "platform/DateUtils.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

namespace {

// A moment as a calendar day (days from 1899-12-30) and the milliseconds of
// that day, the form every conversion goes through.
struct TimeStamp
{
    int64_t Day = 0;
    int64_t MSec = 0;
};

// Beyond this a value is no date any text or calendar can show; refusing it
// keeps the integer arithmetic below from overflowing.
constexpr double MaxDateMagnitude = 1.0e9;

[[noreturn]] void InvalidDecode()
{
    throw EConvertError("Invalid argument to date decode");
}

TimeStamp ToStamp(TDateTime value)
{
    if (!std::isfinite(value) || std::fabs(value) > MaxDateMagnitude)
        InvalidDecode();
    double whole = std::trunc(value);
    TimeStamp ts;
    ts.Day = int64_t(whole);
    ts.MSec = std::llround(std::fabs(value - whole) * MSecsPerDay);
    if (ts.MSec >= MSecsPerDay) {
        ts.MSec -= MSecsPerDay;
        ts.Day += 1;
    }
    return ts;
}

TDateTime FromStamp(const TimeStamp& ts)
{
    double t = double(ts.MSec) / MSecsPerDay;
    return ts.Day >= 0 ? double(ts.Day) + t : double(ts.Day) - t;
}

int64_t ToLinear(TDateTime value)
{
    TimeStamp ts = ToStamp(value);
    return ts.Day * MSecsPerDay + ts.MSec;
}

int64_t FloorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

TDateTime FromLinear(int64_t msecs)
{
    TimeStamp ts;
    ts.Day = FloorDiv(msecs, MSecsPerDay);
    ts.MSec = msecs - ts.Day * MSecsPerDay;
    return FromStamp(ts);
}

// Days from 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t y, int m, int d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(yoe + era * 400 + (month <= 2));
}

constexpr int64_t UnixDayOffset = 25569; // 1970-01-01 - 1899-12-30

int64_t SerialDay(int year, int month, int day)
{
    return DaysFromCivil(year, month, day) + UnixDayOffset;
}

} // namespace

// ---------------------------------------------------------------------------
// Encoding and decoding

bool IsLeapYear(int year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInAMonth(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& value)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInAMonth(year, month))
        return false;
    value = double(SerialDay(year, month, day));
    return true;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& value)
{
    if (hour < 0 || hour >= HoursPerDay || min < 0 || min >= 60 || sec < 0 || sec >= 60 || msec < 0 ||
        msec >= 1000)
        return false;
    value = double(((hour * 60 + min) * 60 + sec) * 1000 + msec) / MSecsPerDay;
    return true;
}

bool TryEncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec, TDateTime& value)
{
    TDateTime d = 0;
    TDateTime t = 0;
    if (!TryEncodeDate(year, month, day, d) || !TryEncodeTime(hour, min, sec, msec, t))
        return false;
    value = ComposeDateTime(d, t);
    return true;
}

TDateTime EncodeDate(int year, int month, int day)
{
    TDateTime v = 0;
    if (!TryEncodeDate(year, month, day, v))
        throw EConvertError("Invalid argument to date encode");
    return v;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec)
{
    TDateTime v = 0;
    if (!TryEncodeTime(hour, min, sec, msec, v))
        throw EConvertError("Invalid argument to time encode");
    return v;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec)
{
    return ComposeDateTime(EncodeDate(year, month, day), EncodeTime(hour, min, sec, msec));
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time)
{
    double d = std::trunc(date);
    double t = std::fabs(time - std::trunc(time));
    return d >= 0 ? d + t : d - t;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day)
{
    CivilFromDays(ToStamp(value).Day - UnixDayOffset, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec)
{
    int64_t ms = ToStamp(value).MSec;
    msec = int(ms % 1000);
    ms /= 1000;
    sec = int(ms % 60);
    ms /= 60;
    min = int(ms % 60);
    hour = int(ms / 60);
}

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& min, int& sec,
                    int& msec)
{
    DecodeDate(value, year, month, day);
    DecodeTime(value, hour, min, sec, msec);
}

int DayOfWeek(TDateTime value)
{
    // 1899-12-30 was a Saturday.
    int64_t d = ToStamp(value).Day;
    return int(((d % 7) + 7 + 6) % 7) + 1;
}

int DayOfTheWeek(TDateTime value)
{
    int d = DayOfWeek(value) - 1; // 0 = Sunday
    return d == 0 ? 7 : d;
}

TDateTime DateOf(TDateTime value)
{
    return double(ToStamp(value).Day);
}

TDateTime TimeOf(TDateTime value)
{
    return double(ToStamp(value).MSec) / MSecsPerDay;
}

int YearOf(TDateTime value)
{
    int y, m, d;
    DecodeDate(value, y, m, d);
    return y;
}

int MonthOf(TDateTime value)
{
    int y, m, d;
    DecodeDate(value, y, m, d);
    return m;
}

int DayOf(TDateTime value)
{
    int y, m, d;
    DecodeDate(value, y, m, d);
    return d;
}

int HourOf(TDateTime value)
{
    return int(ToStamp(value).MSec / 3600000);
}

int MinuteOf(TDateTime value)
{
    return int(ToStamp(value).MSec / 60000 % 60);
}

int SecondOf(TDateTime value)
{
    return int(ToStamp(value).MSec / 1000 % 60);
}

int MilliSecondOf(TDateTime value)
{
    return int(ToStamp(value).MSec % 1000);
}

// ---------------------------------------------------------------------------
// Clock

TDateTime Now()
{
    using namespace std::chrono;
    auto now = system_clock::now();
    auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count();
    std::time_t secs = std::time_t(FloorDiv(ms, 1000));
    std::tm local{};
    localtime_r(&secs, &local);
    TimeStamp ts;
    ts.Day = SerialDay(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    ts.MSec = ((int64_t(local.tm_hour) * 60 + local.tm_min) * 60 + std::min(local.tm_sec, 59)) * 1000 +
              (ms - FloorDiv(ms, 1000) * 1000);
    return FromStamp(ts);
}

TDateTime Date()
{
    return DateOf(Now());
}

TDateTime Time()
{
    return TimeOf(Now());
}

// ---------------------------------------------------------------------------
// Arithmetic

TDateTime IncMilliSecond(TDateTime value, int64_t msecs)
{
    return FromLinear(ToLinear(value) + msecs);
}

TDateTime IncSecond(TDateTime value, int64_t seconds)
{
    return IncMilliSecond(value, seconds * 1000);
}

TDateTime IncMinute(TDateTime value, int64_t minutes)
{
    return IncMilliSecond(value, minutes * 60000);
}

TDateTime IncHour(TDateTime value, int64_t hours)
{
    return IncMilliSecond(value, hours * 3600000);
}

TDateTime IncDay(TDateTime value, int64_t days)
{
    return IncMilliSecond(value, days * int64_t(MSecsPerDay));
}

TDateTime IncWeek(TDateTime value, int64_t weeks)
{
    return IncDay(value, weeks * 7);
}

TDateTime IncMonth(TDateTime value, int months)
{
    TimeStamp ts = ToStamp(value);
    int y, m, d;
    CivilFromDays(ts.Day - UnixDayOffset, y, m, d);
    int64_t total = int64_t(y) * 12 + (m - 1) + months;
    int64_t ny = FloorDiv(total, 12);
    int nm = int(total - ny * 12) + 1;
    if (ny < 1 || ny > 9999)
        throw EConvertError("Invalid argument to date encode");
    d = std::min(d, DaysInAMonth(int(ny), nm));
    ts.Day = SerialDay(int(ny), nm, d);
    return FromStamp(ts);
}

TDateTime IncYear(TDateTime value, int years)
{
    return IncMonth(value, years * 12);
}

int64_t MilliSecondsBetween(TDateTime a, TDateTime b)
{
    int64_t d = ToLinear(a) - ToLinear(b);
    return d < 0 ? -d : d;
}

int64_t SecondsBetween(TDateTime a, TDateTime b)
{
    return MilliSecondsBetween(a, b) / 1000;
}

int64_t MinutesBetween(TDateTime a, TDateTime b)
{
    return MilliSecondsBetween(a, b) / 60000;
}

int64_t HoursBetween(TDateTime a, TDateTime b)
{
    return MilliSecondsBetween(a, b) / 3600000;
}

int64_t DaysBetween(TDateTime a, TDateTime b)
{
    return MilliSecondsBetween(a, b) / MSecsPerDay;
}

int64_t DateTimeToUnix(TDateTime value)
{
    int64_t ms = ToLinear(value) - UnixDayOffset * MSecsPerDay;
    return FloorDiv(ms + 500, 1000);
}

TDateTime UnixToDateTime(int64_t seconds)
{
    // About 31,000 years either way: far beyond any date, short of overflow.
    constexpr int64_t limit = int64_t(1e12);
    if (seconds > limit || seconds < -limit)
        throw EConvertError("Invalid argument to date encode");
    return FromLinear(UnixDayOffset * MSecsPerDay + seconds * 1000);
}

// ---------------------------------------------------------------------------
// FormatDateTime

namespace {

bool StartsWithNoCase(std::string_view s, size_t pos, std::string_view prefix)
{
    if (s.size() - pos < prefix.size())
        return false;
    for (size_t k = 0; k < prefix.size(); ++k) {
        if (UpCase(s[pos + k]) != UpCase(prefix[k]))
            return false;
    }
    return true;
}

std::string Padded(int value, int digits)
{
    std::string s = std::to_string(value);
    if (int(s.size()) < digits)
        s.insert(0, size_t(digits) - s.size(), '0');
    return s;
}

class DateTimeWriter
{
  public:
    DateTimeWriter(TDateTime value, const TFormatSettings& fs) : m_fs(fs)
    {
        TimeStamp ts = ToStamp(value);
        CivilFromDays(ts.Day - UnixDayOffset, m_year, m_month, m_day);
        int64_t ms = ts.MSec;
        m_msec = int(ms % 1000);
        m_sec = int(ms / 1000 % 60);
        m_min = int(ms / 60000 % 60);
        m_hour = int(ms / 3600000);
        m_dayOfWeek = int(((ts.Day % 7) + 7 + 6) % 7); // 0 = Sunday
    }

    std::string Run(std::string_view format)
    {
        Append(format.empty() ? std::string_view("C") : format, 0);
        return m_out;
    }

  private:
    // Nested formats (the short date inside "c"...) are followed two levels
    // deep, so a settings format naming itself cannot recurse without end.
    void AppendNested(std::string_view format, int depth)
    {
        if (depth < 2)
            Append(format, depth + 1);
    }

    bool TwelveHourClockAhead(std::string_view format, size_t pos) const
    {
        char quote = 0;
        for (; pos < format.size(); ++pos) {
            char c = format[pos];
            if (quote) {
                if (c == quote)
                    quote = 0;
                continue;
            }
            if (c == '\'' || c == '"')
                quote = c;
            else if (c == 'h' || c == 'H')
                return false;
            else if (c == 'a' || c == 'A')
                return StartsWithNoCase(format, pos, "AM/PM") || StartsWithNoCase(format, pos, "A/P") ||
                       StartsWithNoCase(format, pos, "AMPM");
        }
        return false;
    }

    void Append(std::string_view format, int depth)
    {
        char lastToken = ' ';
        size_t pos = 0;
        while (pos < format.size()) {
            char c = format[pos];
            char token = UpCase(c);
            if (token >= 'A' && token <= 'Z') {
                if (token == 'M' && lastToken == 'H')
                    token = 'N';
                lastToken = token;
            }
            size_t count = 1;
            while (pos + count < format.size() && UpCase(format[pos + count]) == UpCase(c))
                ++count;
            switch (token) {
            case 'Y':
                m_out += count <= 2 ? Padded(m_year % 100, 2) : Padded(m_year, 4);
                pos += count;
                break;
            case 'M':
                if (count <= 2)
                    m_out += Padded(m_month, int(count));
                else if (count == 3)
                    m_out += m_fs.ShortMonthNames[m_month - 1];
                else
                    m_out += m_fs.LongMonthNames[m_month - 1];
                pos += count;
                break;
            case 'D':
                if (count <= 2)
                    m_out += Padded(m_day, int(count));
                else if (count == 3)
                    m_out += m_fs.ShortDayNames[m_dayOfWeek];
                else if (count == 4)
                    m_out += m_fs.LongDayNames[m_dayOfWeek];
                else if (count == 5)
                    AppendNested(m_fs.ShortDateFormat, depth);
                else
                    AppendNested(m_fs.LongDateFormat, depth);
                pos += count;
                break;
            case 'H': {
                int hour = m_hour;
                if (TwelveHourClockAhead(format, pos + count)) {
                    hour %= 12;
                    if (hour == 0)
                        hour = 12;
                }
                m_out += Padded(hour, count >= 2 ? 2 : 1);
                pos += count;
                break;
            }
            case 'N':
                m_out += Padded(m_min, count >= 2 ? 2 : 1);
                pos += count;
                break;
            case 'S':
                m_out += Padded(m_sec, count >= 2 ? 2 : 1);
                pos += count;
                break;
            case 'Z':
                m_out += Padded(m_msec, int(std::min<size_t>(count, 3)));
                pos += count;
                break;
            case 'T':
                AppendNested(count == 1 ? m_fs.ShortTimeFormat : m_fs.LongTimeFormat, depth);
                pos += count;
                break;
            case 'C':
                AppendNested(m_fs.ShortDateFormat, depth);
                if (m_hour != 0 || m_min != 0 || m_sec != 0 || m_msec != 0) {
                    m_out += ' ';
                    AppendNested(m_fs.LongTimeFormat, depth);
                }
                pos += count;
                break;
            case 'A':
                pos = AppendAmPm(format, pos);
                break;
            case '/':
                m_out += m_fs.DateSeparator;
                ++pos;
                break;
            case ':':
                m_out += m_fs.TimeSeparator;
                ++pos;
                break;
            case '\'':
            case '"': {
                size_t end = format.find(c, pos + 1);
                if (end == std::string_view::npos)
                    end = format.size();
                m_out.append(format, pos + 1, end - pos - 1);
                pos = end + 1;
                break;
            }
            default:
                m_out += c;
                ++pos;
                break;
            }
        }
    }

    // "am/pm" and "a/p" copy the letters of the pattern in their case; "ampm"
    // writes the settings' texts. Any other 'a' is a literal letter.
    size_t AppendAmPm(std::string_view format, size_t pos)
    {
        bool pm = m_hour >= 12;
        if (StartsWithNoCase(format, pos, "AM/PM")) {
            m_out.append(format, pos + (pm ? 3 : 0), 2);
            return pos + 5;
        }
        if (StartsWithNoCase(format, pos, "A/P")) {
            m_out += format[pos + (pm ? 2 : 0)];
            return pos + 3;
        }
        if (StartsWithNoCase(format, pos, "AMPM")) {
            m_out += pm ? m_fs.TimePMString : m_fs.TimeAMString;
            return pos + 4;
        }
        m_out += format[pos];
        return pos + 1;
    }

    const TFormatSettings& m_fs;
    int m_year = 0, m_month = 0, m_day = 0;
    int m_hour = 0, m_min = 0, m_sec = 0, m_msec = 0;
    int m_dayOfWeek = 0;
    std::string m_out;
};

} // namespace

std::string FormatDateTime(std::string_view format, TDateTime value, const TFormatSettings& settings)
{
    return DateTimeWriter(value, settings).Run(format);
}

std::string FormatDateTime(std::string_view format, TDateTime value)
{
    return FormatDateTime(format, value, FormatSettings);
}

std::string DateTimeToStr(TDateTime value, const TFormatSettings& settings)
{
    return FormatDateTime("c", value, settings);
}

std::string DateTimeToStr(TDateTime value)
{
    return DateTimeToStr(value, FormatSettings);
}

std::string DateToStr(TDateTime value, const TFormatSettings& settings)
{
    return FormatDateTime("ddddd", value, settings);
}

std::string DateToStr(TDateTime value)
{
    return DateToStr(value, FormatSettings);
}

std::string TimeToStr(TDateTime value, const TFormatSettings& settings)
{
    return FormatDateTime("tt", value, settings);
}

std::string TimeToStr(TDateTime value)
{
    return TimeToStr(value, FormatSettings);
}

// ---------------------------------------------------------------------------
// Reading dates and times

namespace {

enum class DateOrder
{
    MDY,
    DMY,
    YMD
};

DateOrder GetDateOrder(std::string_view shortDateFormat)
{
    for (char c : shortDateFormat) {
        switch (UpCase(c)) {
        case 'D':
            return DateOrder::DMY;
        case 'Y':
            return DateOrder::YMD;
        case 'M':
            return DateOrder::MDY;
        default:
            break;
        }
    }
    return DateOrder::MDY;
}

class DateScanner
{
  public:
    DateScanner(std::string_view s, const TFormatSettings& fs) : m_s(s), m_fs(fs) {}

    bool AtEnd()
    {
        SkipBlanks();
        return m_pos >= m_s.size();
    }

    bool ScanDate(TDateTime& value)
    {
        int n1, n2, n3, l1, l2, l3;
        if (!ScanNumber(n1, l1) || !ScanChar(m_fs.DateSeparator) || !ScanNumber(n2, l2))
            return false;
        DateOrder order = GetDateOrder(m_fs.ShortDateFormat);
        int y, m, d;
        if (ScanChar(m_fs.DateSeparator)) {
            if (!ScanNumber(n3, l3))
                return false;
            int yearDigits = 0;
            switch (order) {
            case DateOrder::MDY:
                m = n1, d = n2, y = n3, yearDigits = l3;
                break;
            case DateOrder::DMY:
                d = n1, m = n2, y = n3, yearDigits = l3;
                break;
            default:
                y = n1, m = n2, d = n3, yearDigits = l1;
                break;
            }
            if (yearDigits <= 2)
                y = ExpandTwoDigitYear(y);
        } else {
            y = CurrentYear();
            if (order == DateOrder::DMY)
                d = n1, m = n2;
            else
                m = n1, d = n2;
        }
        return TryEncodeDate(y, m, d, value);
    }

    bool ScanTime(TDateTime& value)
    {
        int hour, min = 0, sec = 0, msec = 0, len;
        if (!ScanNumber(hour, len))
            return false;
        bool withMinutes = false;
        if (ScanChar(m_fs.TimeSeparator)) {
            if (!ScanNumber(min, len))
                return false;
            withMinutes = true;
            if (ScanChar(m_fs.TimeSeparator)) {
                if (!ScanNumber(sec, len))
                    return false;
                if (m_pos < m_s.size() && m_s[m_pos] == m_fs.DecimalSeparator) {
                    ++m_pos;
                    if (!ScanFraction(msec))
                        return false;
                }
            }
        }
        int baseHour = -1;
        SkipBlanks();
        if (ScanWord(m_fs.TimeAMString) || ScanWord("AM"))
            baseHour = 0;
        else if (ScanWord(m_fs.TimePMString) || ScanWord("PM"))
            baseHour = 12;
        if (baseHour < 0 && !withMinutes)
            return false;
        if (baseHour >= 0) {
            if (hour == 0 || hour > 12)
                return false;
            hour = hour % 12 + baseHour;
        }
        return TryEncodeTime(hour, min, sec, msec, value);
    }

  private:
    void SkipBlanks()
    {
        while (m_pos < m_s.size() && m_s[m_pos] == ' ')
            ++m_pos;
    }

    // Up to four digits; a longer number is no part of a date or time.
    bool ScanNumber(int& value, int& digits)
    {
        SkipBlanks();
        value = 0;
        digits = 0;
        while (m_pos < m_s.size() && m_s[m_pos] >= '0' && m_s[m_pos] <= '9') {
            if (digits == 4)
                return false;
            value = value * 10 + (m_s[m_pos] - '0');
            ++digits;
            ++m_pos;
        }
        return digits > 0;
    }

    // One to three digits after the decimal separator, as a fraction of a second.
    bool ScanFraction(int& msec)
    {
        int digits = 0;
        msec = 0;
        while (m_pos < m_s.size() && m_s[m_pos] >= '0' && m_s[m_pos] <= '9') {
            if (digits == 3)
                return false;
            msec = msec * 10 + (m_s[m_pos] - '0');
            ++digits;
            ++m_pos;
        }
        if (digits == 0)
            return false;
        for (int k = digits; k < 3; ++k)
            msec *= 10;
        return true;
    }

    bool ScanChar(char c)
    {
        SkipBlanks();
        if (m_pos < m_s.size() && m_s[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }

    bool ScanWord(std::string_view word)
    {
        if (word.empty() || !StartsWithNoCase(m_s, m_pos, word))
            return false;
        m_pos += word.size();
        return true;
    }

    static int CurrentYear()
    {
        int y, m, d;
        DecodeDate(Now(), y, m, d);
        return y;
    }

    int ExpandTwoDigitYear(int y) const
    {
        int current = CurrentYear();
        int window = m_fs.TwoDigitYearCenturyWindow;
        int pivot = current - window;
        int result = y + pivot / 100 * 100;
        if (window > 0 && result < pivot)
            result += 100;
        return result;
    }

    std::string_view m_s;
    const TFormatSettings& m_fs;
    size_t m_pos = 0;
};

} // namespace

bool TryStrToDate(std::string_view s, TDateTime& value, const TFormatSettings& settings)
{
    DateScanner scan(s, settings);
    TDateTime v = 0;
    if (!scan.ScanDate(v) || !scan.AtEnd())
        return false;
    value = v;
    return true;
}

bool TryStrToTime(std::string_view s, TDateTime& value, const TFormatSettings& settings)
{
    DateScanner scan(s, settings);
    TDateTime v = 0;
    if (!scan.ScanTime(v) || !scan.AtEnd())
        return false;
    value = v;
    return true;
}

bool TryStrToDateTime(std::string_view s, TDateTime& value, const TFormatSettings& settings)
{
    DateScanner scan(s, settings);
    TDateTime date = 0;
    if (!scan.ScanDate(date))
        return TryStrToTime(s, value, settings);
    if (scan.AtEnd()) {
        value = date;
        return true;
    }
    TDateTime time = 0;
    if (!scan.ScanTime(time) || !scan.AtEnd())
        return false;
    value = ComposeDateTime(date, time);
    return true;
}

bool TryStrToDate(std::string_view s, TDateTime& value)
{
    return TryStrToDate(s, value, FormatSettings);
}

bool TryStrToTime(std::string_view s, TDateTime& value)
{
    return TryStrToTime(s, value, FormatSettings);
}

bool TryStrToDateTime(std::string_view s, TDateTime& value)
{
    return TryStrToDateTime(s, value, FormatSettings);
}

TDateTime StrToDate(std::string_view s, const TFormatSettings& settings)
{
    TDateTime v = 0;
    if (!TryStrToDate(s, v, settings))
        throw EConvertError("'" + std::string(s) + "' is not a valid date");
    return v;
}

TDateTime StrToTime(std::string_view s, const TFormatSettings& settings)
{
    TDateTime v = 0;
    if (!TryStrToTime(s, v, settings))
        throw EConvertError("'" + std::string(s) + "' is not a valid time");
    return v;
}

TDateTime StrToDateTime(std::string_view s, const TFormatSettings& settings)
{
    TDateTime v = 0;
    if (!TryStrToDateTime(s, v, settings))
        throw EConvertError("'" + std::string(s) + "' is not a valid date and time");
    return v;
}

TDateTime StrToDate(std::string_view s)
{
    return StrToDate(s, FormatSettings);
}

TDateTime StrToTime(std::string_view s)
{
    return StrToTime(s, FormatSettings);
}

TDateTime StrToDateTime(std::string_view s)
{
    return StrToDateTime(s, FormatSettings);
}

TDateTime StrToDateDef(std::string_view s, TDateTime def)
{
    TDateTime v = 0;
    return TryStrToDate(s, v) ? v : def;
}

TDateTime StrToDateTimeDef(std::string_view s, TDateTime def)
{
    TDateTime v = 0;
    return TryStrToDateTime(s, v) ? v : def;
}
