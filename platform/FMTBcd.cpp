#include "platform/FMTBcd.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "platform/Variants.h"

const TBcd NullBcd{};

namespace {
constexpr uint8_t kSignBit = 0x80;
constexpr uint8_t kSpecialBit = 0x40;
constexpr uint8_t kPlacesMask = 0x3F;
constexpr int kMaxPlaces = 63;

// A decimal being worked on: `Digits` (ASCII '0'..'9', most significant first)
// of which the last `Places` follow the point.
struct Decimal
{
    bool Negative = false;
    std::string Digits;
    int Places = 0;
};

bool IsZero(const Decimal& d)
{
    return d.Digits.find_first_not_of('0') == std::string::npos;
}

// Leading zeros of the integer part go, one digit always stays.
void StripLeadingZeros(Decimal& d)
{
    size_t keep = std::max<size_t>(static_cast<size_t>(d.Places), 1);
    size_t cut = 0;
    while (d.Digits.size() - cut > keep && d.Digits[cut] == '0')
        ++cut;
    d.Digits.erase(0, cut);
    if (d.Digits.size() < static_cast<size_t>(d.Places))
        d.Digits.insert(0, static_cast<size_t>(d.Places) - d.Digits.size(), '0');
}

void StripTrailingZeros(Decimal& d)
{
    while (d.Places > 0 && !d.Digits.empty() && d.Digits.back() == '0') {
        d.Digits.pop_back();
        --d.Places;
    }
    if (d.Digits.empty())
        d.Digits = "0";
}

// Changes the number of places, rounding half away from zero when digits go.
void RoundPlaces(Decimal& d, int places)
{
    if (places >= d.Places) {
        d.Digits.append(static_cast<size_t>(places - d.Places), '0');
        d.Places = places;
        return;
    }
    size_t drop = static_cast<size_t>(d.Places - places);
    if (d.Digits.size() < drop)
        d.Digits.insert(0, drop - d.Digits.size(), '0');
    bool up = d.Digits[d.Digits.size() - drop] >= '5';
    d.Digits.resize(d.Digits.size() - drop);
    d.Places = places;
    if (up) {
        size_t i = d.Digits.size();
        while (i > 0 && d.Digits[i - 1] == '9')
            d.Digits[--i] = '0';
        if (i == 0)
            d.Digits.insert(d.Digits.begin(), '1');
        else
            ++d.Digits[i - 1];
    }
    if (d.Digits.empty())
        d.Digits = "0";
}

bool Unpack(const TBcd& bcd, Decimal& d)
{
    if (bcd.Precision > MaxFMTBcdFractionSize || (bcd.SignSpecialPlaces & kSpecialBit) != 0)
        return false;
    int places = bcd.SignSpecialPlaces & kPlacesMask;
    if (places > bcd.Precision)
        return false;
    d.Negative = (bcd.SignSpecialPlaces & kSignBit) != 0;
    d.Places = places;
    d.Digits.clear();
    for (int i = 0; i < bcd.Precision; ++i) {
        uint8_t byte = bcd.Fraction[i / 2];
        int digit = (i % 2 == 0) ? (byte >> 4) : (byte & 0x0F);
        if (digit > 9)
            return false;
        d.Digits += static_cast<char>('0' + digit);
    }
    if (d.Digits.empty())
        d.Digits = "0";
    return true;
}

Decimal UnpackOrThrow(const TBcd& bcd)
{
    Decimal d;
    if (!Unpack(bcd, d))
        throw EBcdException("Invalid BCD value");
    return d;
}

// False when the value needs more digits or places than the record holds.
bool Pack(Decimal d, TBcd& bcd)
{
    if (d.Places > kMaxPlaces)
        RoundPlaces(d, kMaxPlaces);
    StripLeadingZeros(d);
    if (d.Digits.size() > static_cast<size_t>(MaxFMTBcdFractionSize))
        return false;
    TBcd out;
    out.Precision = static_cast<uint8_t>(d.Digits.size());
    out.SignSpecialPlaces = static_cast<uint8_t>(d.Places);
    if (d.Negative && !IsZero(d))
        out.SignSpecialPlaces |= kSignBit;
    for (size_t i = 0; i < d.Digits.size(); ++i) {
        uint8_t digit = static_cast<uint8_t>(d.Digits[i] - '0');
        out.Fraction[i / 2] |= static_cast<uint8_t>(i % 2 == 0 ? digit << 4 : digit);
    }
    bcd = out;
    return true;
}

TBcd PackOrThrow(const Decimal& d)
{
    TBcd bcd;
    if (!Pack(d, bcd))
        throw EBcdOverflowException("BCD overflow");
    return bcd;
}

bool ParseDecimal(const std::string& text, Decimal& d)
{
    size_t b = 0;
    size_t e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t'))
        ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t'))
        --e;
    d = Decimal();
    size_t i = b;
    if (i < e && (text[i] == '+' || text[i] == '-'))
        d.Negative = text[i++] == '-';
    bool point = false;
    size_t digitCount = 0;
    for (; i < e; ++i) {
        char c = text[i];
        if (c >= '0' && c <= '9') {
            d.Digits += c;
            ++digitCount;
            if (point)
                ++d.Places;
        } else if (c == '.' && !point)
            point = true;
        else
            return false;
    }
    if (digitCount == 0)
        return false;
    StripLeadingZeros(d);
    return d.Digits.size() <= static_cast<size_t>(MaxFMTBcdFractionSize) && d.Places <= kMaxPlaces;
}

std::string Text(Decimal d)
{
    StripLeadingZeros(d);
    StripTrailingZeros(d);
    std::string text;
    if (d.Negative && !IsZero(d))
        text = "-";
    size_t intLen = d.Digits.size() - static_cast<size_t>(d.Places);
    text.append(d.Digits, 0, intLen);
    if (intLen == 0)
        text += '0';
    if (d.Places > 0) {
        text += '.';
        text.append(d.Digits, intLen, std::string::npos);
    }
    return text;
}

Decimal FromInt64(int64_t value)
{
    Decimal d;
    d.Negative = value < 0;
    uint64_t magnitude =
        d.Negative ? uint64_t(0) - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    d.Digits = std::to_string(magnitude);
    return d;
}

std::string IntegerDigits(const Decimal& d)
{
    std::string s = d.Digits.substr(0, d.Digits.size() - static_cast<size_t>(d.Places));
    s.erase(0, std::min(s.find_first_not_of('0'), s.size()));
    return s;
}

std::string FractionDigits(const Decimal& d)
{
    std::string s = d.Digits.substr(d.Digits.size() - static_cast<size_t>(d.Places));
    size_t last = s.find_last_not_of('0');
    s.resize(last == std::string::npos ? 0 : last + 1);
    return s;
}

int CompareMagnitude(const Decimal& a, const Decimal& b)
{
    std::string ia = IntegerDigits(a);
    std::string ib = IntegerDigits(b);
    if (ia.size() != ib.size())
        return ia.size() < ib.size() ? -1 : 1;
    int c = ia.compare(ib);
    if (c == 0) {
        std::string fa = FractionDigits(a);
        std::string fb = FractionDigits(b);
        size_t n = std::max(fa.size(), fb.size());
        fa.resize(n, '0');
        fb.resize(n, '0');
        c = fa.compare(fb);
    }
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}
} // namespace

int BcdScale(const TBcd& bcd)
{
    return bcd.SignSpecialPlaces & kPlacesMask;
}

int BcdPrecision(const TBcd& bcd)
{
    return bcd.Precision;
}

bool IsBcdNegative(const TBcd& bcd)
{
    return (bcd.SignSpecialPlaces & kSignBit) != 0;
}

bool IsValidBcd(const TBcd& bcd)
{
    Decimal d;
    return Unpack(bcd, d);
}

bool TryStrToBcd(const std::string& text, TBcd& bcd)
{
    Decimal d;
    return ParseDecimal(text, d) && Pack(d, bcd);
}

TBcd StrToBcd(const std::string& text)
{
    TBcd bcd;
    if (!TryStrToBcd(text, bcd))
        throw EBcdException("'" + text + "' is not a valid BCD value");
    return bcd;
}

std::string BcdToStr(const TBcd& bcd)
{
    return Text(UnpackOrThrow(bcd));
}

void DoubleToBcd(double value, TBcd& bcd)
{
    if (!std::isfinite(value))
        throw EBcdException("Invalid BCD value");
    Decimal d;
    if (value == 0.0) {
        d.Digits = "0";
        bcd = PackOrThrow(d);
        return;
    }
    // 15 significant digits, as the double's text form carries.
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    std::string sci(buf, res.ptr);
    d.Negative = sci[0] == '-';
    size_t ePos = sci.find('e');
    int exponent = 0;
    std::from_chars(sci.data() + ePos + (sci[ePos + 1] == '+' ? 2 : 1), sci.data() + sci.size(), exponent);
    for (size_t k = d.Negative ? 1 : 0; k < ePos; ++k)
        if (sci[k] != '.')
            d.Digits += sci[k];
    // value = digits x 10^(exponent - 14)
    int shift = exponent - 14;
    if (shift >= 0)
        d.Digits.append(static_cast<size_t>(shift), '0');
    else
        d.Places = -shift;
    StripLeadingZeros(d);
    StripTrailingZeros(d);
    bcd = PackOrThrow(d);
}

TBcd DoubleToBcd(double value)
{
    TBcd bcd;
    DoubleToBcd(value, bcd);
    return bcd;
}

double BcdToDouble(const TBcd& bcd)
{
    std::string text = BcdToStr(bcd);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

TBcd IntegerToBcd(int64_t value)
{
    return PackOrThrow(FromInt64(value));
}

int64_t BcdToInt64(const TBcd& bcd)
{
    Decimal d = UnpackOrThrow(bcd);
    std::string intDigits = d.Digits.substr(0, d.Digits.size() - static_cast<size_t>(d.Places));
    unsigned __int128 magnitude = 0;
    for (char c : intDigits) {
        magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
        if (magnitude > (static_cast<unsigned __int128>(1) << 63))
            throw EBcdOverflowException("BCD overflow");
    }
    if (d.Negative)
        return static_cast<int64_t>(0 - static_cast<uint64_t>(magnitude));
    if (magnitude > static_cast<unsigned __int128>(INT64_MAX))
        throw EBcdOverflowException("BCD overflow");
    return static_cast<int64_t>(magnitude);
}

bool CurrToBCD(int64_t currency, TBcd& bcd, int precision, int decimals)
{
    if (decimals < 0 || decimals > 4 || precision < 1 || precision > MaxFMTBcdFractionSize)
        return false;
    Decimal d = FromInt64(currency);
    d.Places = 4;
    if (d.Digits.size() < 5)
        d.Digits.insert(0, 5 - d.Digits.size(), '0');
    RoundPlaces(d, decimals);
    StripLeadingZeros(d);
    if (d.Digits.size() > static_cast<size_t>(precision))
        return false;
    return Pack(d, bcd);
}

bool BCDToCurr(const TBcd& bcd, int64_t& currency)
{
    Decimal d;
    if (!Unpack(bcd, d))
        return false;
    RoundPlaces(d, 4);
    StripLeadingZeros(d);
    if (d.Digits.size() > 19)
        return false;
    unsigned __int128 magnitude = 0;
    for (char c : d.Digits)
        magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
    if (d.Negative) {
        if (magnitude > (static_cast<unsigned __int128>(1) << 63))
            return false;
        currency = static_cast<int64_t>(0 - static_cast<uint64_t>(magnitude));
    } else {
        if (magnitude > static_cast<unsigned __int128>(INT64_MAX))
            return false;
        currency = static_cast<int64_t>(magnitude);
    }
    return true;
}

int BcdCompare(const TBcd& a, const TBcd& b)
{
    Decimal x = UnpackOrThrow(a);
    Decimal y = UnpackOrThrow(b);
    bool xNeg = x.Negative && !IsZero(x);
    bool yNeg = y.Negative && !IsZero(y);
    if (xNeg != yNeg)
        return xNeg ? -1 : 1;
    int c = CompareMagnitude(x, y);
    return xNeg ? -c : c;
}

bool NormalizeBcd(const TBcd& in, TBcd& out, int precision, int places)
{
    if (precision < 1 || precision > MaxFMTBcdFractionSize || places < 0 || places > precision ||
        places > kMaxPlaces)
        return false;
    Decimal d;
    if (!Unpack(in, d))
        return false;
    RoundPlaces(d, places);
    StripLeadingZeros(d);
    if (d.Digits.size() > static_cast<size_t>(precision))
        return false;
    // Fixed precision: the digits are padded with leading zeros.
    d.Digits.insert(0, static_cast<size_t>(precision) - d.Digits.size(), '0');
    TBcd result;
    result.Precision = static_cast<uint8_t>(precision);
    result.SignSpecialPlaces = static_cast<uint8_t>(places);
    if (d.Negative && !IsZero(d))
        result.SignSpecialPlaces |= kSignBit;
    for (size_t i = 0; i < d.Digits.size(); ++i) {
        uint8_t digit = static_cast<uint8_t>(d.Digits[i] - '0');
        result.Fraction[i / 2] |= static_cast<uint8_t>(i % 2 == 0 ? digit << 4 : digit);
    }
    out = result;
    return true;
}

Variant VarFMTBcdCreate(const TBcd& bcd)
{
    return Variant(BcdToDouble(bcd));
}

TBcd VarToBcd(const Variant& value)
{
    switch (value.VarType()) {
    case varString:
    case varOleStr:
        return StrToBcd(value.AsString());
    case varCurrency: {
        TBcd bcd;
        CurrToBCD(value.AsCurrency(), bcd);
        return bcd;
    }
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
    case varBoolean:
    case varEmpty:
        return IntegerToBcd(value.AsInt64());
    default:
        return DoubleToBcd(value.AsDouble());
    }
}
