#pragma once
// Private to the variant units: the number and date texts a Variant converts
// from and to. Locale-free ('.' as decimal separator).

#include <cstdint>
#include <string>

namespace VariantText
{
// Decimal integer text, optionally signed, with blanks around it; "$1F" and
// "0x1F" as hexadecimal. False on anything else or on overflow.
bool TryParseInt64(const std::string& text, int64_t& out);
// Float text: sign, digits, optional '.' and fraction, optional exponent, blanks
// around it. No "INF"/"NAN", no thousands separators.
bool TryParseDouble(const std::string& text, double& out);
// The library's general float format with `precision` significant digits:
// "1.5", "1E20", "1.5E-7", "INF", "-INF", "NAN".
std::string FloatText(double value, int precision);
// Date and time text by the short date and long time formats.
std::string DateTimeText(double value);
bool TryParseDateTime(const std::string& text, double& out);
} // namespace VariantText
