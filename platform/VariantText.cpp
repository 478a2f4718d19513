#include "platform/VariantText.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace VariantText
{
namespace
{
bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(const std::string& text)
{
    size_t b = 0;
    size_t e = text.size();
    while (b < e && IsBlank(text[b]))
        ++b;
    while (e > b && IsBlank(text[e - 1]))
        --e;
    return std::string_view(text).substr(b, e - b);
}
} // namespace

bool TryParseInt64(const std::string& text, int64_t& out)
{
    std::string_view s = TrimBlanks(text);
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-'))
    {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s[0] == '$')
    {
        base = 16;
        s.remove_prefix(1);
    }
    else if (s.size() > 1 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
    {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty())
        return false;
    uint64_t magnitude = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
    if (ec != std::errc() || end != s.data() + s.size())
        return false;
    if (base == 16 && !negative)
    {
        // Hexadecimal text may spell a negative number in two's complement.
        out = static_cast<int64_t>(magnitude);
        return true;
    }
    if (negative)
    {
        if (magnitude > uint64_t(INT64_MAX) + 1)
            return false;
        out = static_cast<int64_t>(uint64_t(0) - magnitude);
        return true;
    }
    if (magnitude > uint64_t(INT64_MAX))
        return false;
    out = static_cast<int64_t>(magnitude);
    return true;
}

bool TryParseDouble(const std::string& text, double& out)
{
    std::string_view s = TrimBlanks(text);
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.')
    {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E'))
    {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        size_t expDigits = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
            ++i, ++expDigits;
        if (expDigits == 0)
            return false;
    }
    if (i != s.size())
        return false;
    // from_chars rejects a leading '+'.
    std::string_view body = s[0] == '+' ? s.substr(1) : s;
    double value = 0;
    auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), value);
    if (ec == std::errc::result_out_of_range)
    {
        // Underflow reads as zero; overflow is no number.
        if (std::fabs(value) >= 1.0)
            return false;
        value = 0.0;
    }
    else if (ec != std::errc() || end != body.data() + body.size())
        return false;
    out = value;
    return true;
}

std::string FloatText(double value, int precision)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0.0)
        return "0";
    // Digits and decimal exponent, rounded to `precision` significant digits.
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, precision - 1);
    std::string sci(buf, res.ptr);
    bool negative = sci[0] == '-';
    if (negative)
        sci.erase(0, 1);
    size_t ePos = sci.find('e');
    int exponent = std::atoi(sci.c_str() + ePos + 1) + 1; // digits before the point
    std::string digits;
    for (size_t k = 0; k < ePos; ++k)
        if (sci[k] != '.')
            digits += sci[k];
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string text;
    if (exponent > precision || exponent < -3)
    {
        text = digits.substr(0, 1);
        if (digits.size() > 1)
            text += "." + digits.substr(1);
        text += "E" + std::to_string(exponent - 1);
    }
    else if (exponent <= 0)
        text = "0." + std::string(static_cast<size_t>(-exponent), '0') + digits;
    else if (static_cast<size_t>(exponent) >= digits.size())
        text = digits + std::string(static_cast<size_t>(exponent) - digits.size(), '0');
    else
        text = digits.substr(0, static_cast<size_t>(exponent)) + "." + digits.substr(static_cast<size_t>(exponent));
    return negative ? "-" + text : text;
}

std::string DateTimeText(double value)
{
    // Civil date from the day count (days since 1899-12-30), time from the fraction.
    double dayPart = std::trunc(value);
    double frac = std::fabs(value - dayPart);
    int64_t ms = static_cast<int64_t>(std::llround(frac * 86400000.0));
    if (ms >= 86400000)
        ms = 86399999;
    int64_t z = static_cast<int64_t>(dayPart) + 693594 + 306 - 1; // days since 0000-03-01
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t y = yoe + era * 400;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    int64_t d = doy - (153 * mp + 2) / 5 + 1;
    int64_t m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2)
        ++y;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", int(m), int(d), int(y));
    std::string text = buf;
    if (ms != 0)
    {
        int64_t s = ms / 1000;
        std::snprintf(buf, sizeof buf, " %02d:%02d:%02d", int(s / 3600), int(s / 60 % 60), int(s % 60));
        text += buf;
    }
    return text;
}

bool TryParseDateTime(const std::string& text, double& out)
{
    return false;
}
} // namespace VariantText
