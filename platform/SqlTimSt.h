#pragma once
// TSQLTimeStamp: the data-access library's date-time record as the engine
// stores it (16 bytes): year, month, day, hour, minute, second, then the
// fractions of the second in milliseconds. The all-zero record is the blank
// time stamp and reads as the date-time 0.

#include <cstdint>
#include <string>

#include "platform/SysUtils.h"

class Variant;

struct TSQLTimeStamp
{
    int16_t Year = 0;
    uint16_t Month = 0;
    uint16_t Day = 0;
    uint16_t Hour = 0;
    uint16_t Minute = 0;
    uint16_t Second = 0;
    uint32_t Fractions = 0; // milliseconds, 0..999
};
static_assert(sizeof(TSQLTimeStamp) == 16, "TSQLTimeStamp is stored as 16 raw bytes");

extern const TSQLTimeStamp NullSQLTimeStamp;

bool IsSQLTimeStampBlank(const TSQLTimeStamp& ts);

// Impossible fields (month 13, 31 February, hour 24, fractions 1000, a year
// outside 1..9999) raise EConvertError ("Invalid SQL date/time values"); the
// blank record gives 0.
TDateTime SQLTimeStampToDateTime(const TSQLTimeStamp& ts);
bool TrySQLTimeStampToDateTime(const TSQLTimeStamp& ts, TDateTime& value);
// A date-time outside the years 1..9999 (or not finite) raises EConvertError.
TSQLTimeStamp DateTimeToSQLTimeStamp(TDateTime value);

// Text by FormatDateTime's patterns; an empty format writes DateTimeToStr's text.
std::string SQLTimeStampToStr(const std::string& format, const TSQLTimeStamp& ts);
// Reads a date-time text as StrToDateTime does; StrToSQLTimeStamp raises
// EConvertError ("Could not parse SQL TimeStamp string") on anything else.
TSQLTimeStamp StrToSQLTimeStamp(const std::string& text);
bool TryStrToSQLTimeStamp(const std::string& text, TSQLTimeStamp& ts);

// The engine keeps time stamps in variants as dates.
Variant VarSQLTimeStampCreate(const TSQLTimeStamp& ts);
TSQLTimeStamp VarToSQLTimeStamp(const Variant& value);

bool operator==(const TSQLTimeStamp& a, const TSQLTimeStamp& b);
bool operator!=(const TSQLTimeStamp& a, const TSQLTimeStamp& b);
