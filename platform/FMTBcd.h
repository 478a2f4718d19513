#pragma once
// TBcd: the data-access library's packed binary-coded decimal record, as the
// engine stores it in row buffers and streams (34 bytes).
//
// Layout: Precision is the number of decimal digits held (0..64; 0 reads as
// zero); SignSpecialPlaces holds the sign in bit 0x80, the "special" flag in
// bit 0x40 and the number of decimal places (digits after the point) in the
// low 6 bits; Fraction holds the Precision digits, most significant first,
// two per byte, high nibble first. 12.5 is Precision 3, Places 1, Fraction
// 0x12 0x50.
//
// Records read from files are checked before use: a precision above 64, more
// places than digits, a digit nibble above 9 or the special flag make the
// record invalid, and converting it raises EBcdException ("Invalid BCD value")
// instead of producing a wrong number.
//
// Texts are locale-free ('.' as decimal separator).

#include <cstdint>
#include <string>

#include "platform/SysUtils.h"

class Variant;

KLD_DECLARE_EXCEPTION(EBcdException, Exception);
KLD_DECLARE_EXCEPTION(EBcdOverflowException, EBcdException);

struct TBcd
{
    uint8_t Precision = 0;
    uint8_t SignSpecialPlaces = 0;
    uint8_t Fraction[32] = {};
};
static_assert(sizeof(TBcd) == 34, "TBcd is stored as 34 raw bytes");

constexpr int MaxFMTBcdFractionSize = 64;
constexpr int MaxFMTBcdDigits = 32;

// Zero as the library writes an unset value: every byte 0.
extern const TBcd NullBcd;

// Decimal places (scale) and digit count of a valid record.
int BcdScale(const TBcd& bcd);
int BcdPrecision(const TBcd& bcd);
bool IsBcdNegative(const TBcd& bcd);
// False for records that cannot be read as a number (see above).
bool IsValidBcd(const TBcd& bcd);

// Text: optional sign, digits, optional '.' and digits, blanks around it; at
// most 64 digits of which at most 63 after the point. No exponent, no
// thousands separators. StrToBcd raises EBcdException ("'x' is not a valid
// BCD value").
bool TryStrToBcd(const std::string& text, TBcd& bcd);
TBcd StrToBcd(const std::string& text);
// Shortest text of the value: no leading zeros but one before the point, no
// trailing zeros after it, no sign on zero ("12.5", "-0.25", "0").
std::string BcdToStr(const TBcd& bcd);

// The double's 15 significant digits as a decimal; raises EBcdOverflowException
// when the value needs more than 64 digits and EBcdException for INF/NAN.
TBcd DoubleToBcd(double value);
void DoubleToBcd(double value, TBcd& bcd);
double BcdToDouble(const TBcd& bcd);
TBcd IntegerToBcd(int64_t value);
// Integer part, truncated toward zero; raises EBcdOverflowException beyond 64 bits.
int64_t BcdToInt64(const TBcd& bcd);

// Currency is the value x 10^4. CurrToBCD writes `decimals` places (0..4,
// rounding half away from zero when fewer than 4) and fails when the value
// needs more than `precision` digits. BCDToCurr rounds half away from zero at
// the fourth place and fails when the result leaves the currency range.
bool CurrToBCD(int64_t currency, TBcd& bcd, int precision = 32, int decimals = 4);
bool BCDToCurr(const TBcd& bcd, int64_t& currency);

// Decimal comparison: -1, 0 or 1. Negative zero equals zero; trailing zeros
// after the point do not count.
int BcdCompare(const TBcd& a, const TBcd& b);

// Rewrites `in` with exactly `places` decimal places, rounding half away from
// zero when places are dropped, and checks it fits `precision` digits. False
// (out unchanged) when the integer part does not fit or the arguments are out
// of range (precision 1..64, places 0..min(precision, 63)).
bool NormalizeBcd(const TBcd& in, TBcd& out, int precision, int places);

// The engine keeps BCD values in variants as doubles.
Variant VarFMTBcdCreate(const TBcd& bcd);
// A variant as a decimal: text exactly, Currency exactly, other numbers by
// their value; Null raises EVariantTypeCastError.
TBcd VarToBcd(const Variant& value);
