#include "platform/SysUtils.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <ctime>

#include <execinfo.h>

TFormatSettings FormatSettings;

const TFormatSettings& DefaultFormatSettings()
{
    static const TFormatSettings defaults;
    return defaults;
}

// ---------------------------------------------------------------------------
// Exceptions

// Out of line, so that it has a frame of its own to leave out.
[[gnu::noinline]] void Exception::RecordStack() noexcept
{
    // Room for this function and a wrapper of backtrace (the sanitizers put
    // one in) besides the frames kept.
    constexpr int kLeftOut = 2;
    void* frames[MaxExceptionFrames + kLeftOut];
    const int count = backtrace(frames, MaxExceptionFrames + kLeftOut);
    // The stack starts at the constructor that called this function, so the
    // frames above it are left out by address, whatever they are.
    void* const caller = __builtin_return_address(0);
    int first = std::min(count, 1);
    for (int i = 0; i < count && i <= kLeftOut; ++i)
        if (frames[i] == caller) {
            first = i;
            break;
        }
    const int last = std::min(count, first + MaxExceptionFrames);
    try {
        m_stackFrames.assign(frames + first, frames + last);
    } catch (...) {
        m_stackFrames.clear(); // no memory: the exception goes without them
    }
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    m_stackTime = int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void Abort()
{
    throw EAbort("Operation aborted");
}

EAssertionFailed::EAssertionFailed(const std::string& unit, const std::string& condition)
    : Exception("Assertion failed in " + unit + ": " + condition)
{
}

// ---------------------------------------------------------------------------
// Decimal digits of a double

namespace {

// value = 0.Digits x 10^Exponent; no digits means zero.
struct DecimalRec
{
    bool Negative = false;
    int Exponent = 0;
    std::string Digits;
};

constexpr int MaxFloatDigits = 18;
constexpr int NoDecimalLimit = 9999;

// Rounds |value| to at most `precision` significant digits and `decimals`
// decimals, half away from zero. The double is first taken to 18 significant
// digits, the precision the library's conversion works with.
DecimalRec FloatToDecimal(double value, int precision, int decimals)
{
    DecimalRec rec;
    if (value == 0 || !std::isfinite(value))
        return rec;
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof(buf), std::fabs(value), std::chars_format::scientific,
                             MaxFloatDigits - 1);
    std::string_view text(buf, res.ptr - buf);
    size_t e = text.find('e');
    std::string digits;
    for (char c : text.substr(0, e)) {
        if (c != '.')
            digits += c;
    }
    int exp10 = 0;
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+' ? 1 : 0), text.data() + text.size(), exp10);
    int exponent = exp10 + 1;

    precision = std::clamp(precision, 1, MaxFloatDigits);
    long keep = std::min<long>(precision, long(exponent) + decimals);
    if (keep < 0)
        return rec;
    bool roundUp = size_t(keep) < digits.size() && digits[keep] >= '5';
    digits.resize(std::min<size_t>(keep, digits.size()));
    if (roundUp) {
        int k = int(digits.size()) - 1;
        while (k >= 0 && digits[k] == '9') {
            digits[k] = '0';
            --k;
        }
        if (k >= 0) {
            ++digits[k];
        } else {
            digits.insert(digits.begin(), '1');
            digits.pop_back();
            ++exponent;
            if (digits.empty())
                digits = "1";
        }
    }
    while (!digits.empty() && digits.back() == '0')
        digits.pop_back();
    if (digits.empty())
        return rec;
    rec.Digits = std::move(digits);
    rec.Exponent = exponent;
    rec.Negative = value < 0;
    return rec;
}

char DigitAt(const DecimalRec& rec, long index)
{
    return index >= 0 && size_t(index) < rec.Digits.size() ? rec.Digits[index] : '0';
}

std::string IntegerDigits(const DecimalRec& rec)
{
    std::string out;
    for (long k = 0; k < rec.Exponent; ++k)
        out += DigitAt(rec, k);
    return out;
}

std::string FractionDigits(const DecimalRec& rec, int decimals)
{
    std::string out;
    for (int k = 0; k < decimals; ++k)
        out += DigitAt(rec, long(rec.Exponent) + k);
    return out;
}

std::string GroupThousands(const std::string& digits, char separator)
{
    std::string out;
    size_t n = digits.size();
    for (size_t k = 0; k < n; ++k) {
        if (k > 0 && (n - k) % 3 == 0)
            out += separator;
        out += digits[k];
    }
    return out;
}

std::string PaddedNumber(long value, int minDigits)
{
    std::string s = std::to_string(value);
    if (int(s.size()) < minDigits)
        s.insert(0, size_t(minDigits) - s.size(), '0');
    return s;
}

std::string SpecialFloatText(double value)
{
    if (std::isnan(value))
        return "NAN";
    return value < 0 ? "-INF" : "INF";
}

std::string GeneralText(double value, int precision, int expDigits, const TFormatSettings& fs)
{
    DecimalRec rec = FloatToDecimal(value, precision, NoDecimalLimit);
    if (rec.Digits.empty())
        return "0";
    precision = std::clamp(precision, 1, MaxFloatDigits);
    std::string out = rec.Negative ? "-" : "";
    if (rec.Exponent > precision || rec.Exponent < -3) {
        out += rec.Digits[0];
        if (rec.Digits.size() > 1) {
            out += fs.DecimalSeparator;
            out.append(rec.Digits, 1);
        }
        int e = rec.Exponent - 1;
        out += 'E';
        if (e < 0)
            out += '-';
        out += PaddedNumber(std::labs(e), expDigits);
        return out;
    }
    if (rec.Exponent <= 0) {
        out += '0';
        out += fs.DecimalSeparator;
        out.append(size_t(-rec.Exponent), '0');
        out += rec.Digits;
        return out;
    }
    out += IntegerDigits(rec);
    if (rec.Digits.size() > size_t(rec.Exponent)) {
        out += fs.DecimalSeparator;
        out.append(rec.Digits, size_t(rec.Exponent));
    }
    return out;
}

std::string ExponentText(double value, int precision, int expDigits, const TFormatSettings& fs)
{
    precision = std::clamp(precision, 1, MaxFloatDigits);
    DecimalRec rec = FloatToDecimal(value, precision, NoDecimalLimit);
    std::string out = rec.Negative ? "-" : "";
    out += DigitAt(rec, 0);
    if (precision > 1) {
        out += fs.DecimalSeparator;
        for (int k = 1; k < precision; ++k)
            out += DigitAt(rec, k);
    }
    int e = rec.Digits.empty() ? 0 : rec.Exponent - 1;
    out += 'E';
    out += e < 0 ? '-' : '+';
    out += PaddedNumber(std::labs(e), std::clamp(expDigits, 0, 4));
    return out;
}

// Fixed and number texts without sign; `negative` tells whether a sign is due.
std::string FixedBody(double value, int decimals, bool thousands, const TFormatSettings& fs, bool& negative)
{
    DecimalRec rec = FloatToDecimal(value, MaxFloatDigits, decimals);
    negative = rec.Negative;
    std::string intPart = IntegerDigits(rec);
    if (intPart.empty())
        intPart = "0";
    std::string out = thousands ? GroupThousands(intPart, fs.ThousandSeparator) : intPart;
    if (decimals > 0) {
        out += fs.DecimalSeparator;
        out += FractionDigits(rec, decimals);
    }
    return out;
}

std::string CurrencyText(const std::string& body, bool negative, const TFormatSettings& fs)
{
    const std::string& c = fs.CurrencyString;
    if (!negative) {
        switch (fs.CurrencyFormat) {
        case 1:
            return body + c;
        case 2:
            return c + " " + body;
        case 3:
            return body + " " + c;
        default:
            return c + body;
        }
    }
    switch (fs.NegCurrFormat) {
    case 1:
        return "-" + c + body;
    case 2:
        return c + "-" + body;
    case 3:
        return c + body + "-";
    case 4:
        return "(" + body + c + ")";
    case 5:
        return "-" + body + c;
    case 6:
        return body + "-" + c;
    case 7:
        return body + c + "-";
    case 8:
        return "-" + body + " " + c;
    case 9:
        return "-" + c + " " + body;
    case 10:
        return body + " " + c + "-";
    case 11:
        return c + " " + body + "-";
    case 12:
        return c + " -" + body;
    case 13:
        return body + "- " + c;
    case 14:
        return "(" + c + " " + body + ")";
    case 15:
        return "(" + body + " " + c + ")";
    default:
        return "(" + c + body + ")";
    }
}

} // namespace

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                        const TFormatSettings& settings)
{
    if (!std::isfinite(value))
        return SpecialFloatText(value);
    precision = std::clamp(precision, 1, MaxFloatDigits);
    switch (format) {
    case ffGeneral:
        return GeneralText(value, precision, std::clamp(digits, 0, 4), settings);
    case ffExponent:
        return ExponentText(value, precision, digits, settings);
    case ffFixed:
    case ffNumber:
    case ffCurrency: {
        // Too many integer digits for the precision: the general form says it.
        if (std::fabs(value) >= std::pow(10.0, precision))
            return GeneralText(value, precision, 0, settings);
        int decimals = std::clamp(digits, 0, MaxFloatDigits);
        bool negative = false;
        std::string body = FixedBody(value, decimals, format != ffFixed, settings, negative);
        if (format == ffCurrency)
            return CurrencyText(body, negative, settings);
        return negative ? "-" + body : body;
    }
    }
    return GeneralText(value, precision, digits, settings);
}

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits)
{
    return FloatToStrF(value, format, precision, digits, FormatSettings);
}

std::string FloatToStr(double value, const TFormatSettings& settings)
{
    return FloatToStrF(value, ffGeneral, 15, 0, settings);
}

std::string FloatToStr(double value)
{
    return FloatToStr(value, FormatSettings);
}

// ---------------------------------------------------------------------------
// FormatFloat

namespace {

struct PictureToken
{
    enum Type
    {
        Literal,
        IntDigit,
        Point,
        FracDigit,
        Exponent
    } type;
    std::string text; // literal text, or "E+"/"E-"/"e+"/"e-" for the exponent
    char digit = 0;   // '0' or '#'
};

struct Picture
{
    std::vector<PictureToken> tokens;
    int intSlots = 0;
    int firstIntZero = -1;
    int fracSlots = 0;
    int lastFracZero = 0; // count of fraction digits always shown
    bool thousands = false;
    bool scientific = false;
    int expDigits = 0;
};

std::vector<std::string> SplitSections(std::string_view format)
{
    std::vector<std::string> sections(1);
    char quote = 0;
    for (char c : format) {
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == ';') {
            if (sections.size() == 3)
                break;
            sections.emplace_back();
            continue;
        }
        sections.back() += c;
    }
    return sections;
}

Picture ParsePicture(std::string_view section)
{
    Picture pic;
    bool afterPoint = false;
    auto literal = [&](std::string_view text) {
        if (!pic.tokens.empty() && pic.tokens.back().type == PictureToken::Literal)
            pic.tokens.back().text += text;
        else
            pic.tokens.push_back({PictureToken::Literal, std::string(text), 0});
    };
    for (size_t k = 0; k < section.size(); ++k) {
        char c = section[k];
        if (c == '\'' || c == '"') {
            size_t end = section.find(c, k + 1);
            if (end == std::string_view::npos)
                end = section.size();
            literal(section.substr(k + 1, end - k - 1));
            k = end;
        } else if ((c == '0' || c == '#') && !pic.scientific) {
            if (afterPoint) {
                pic.tokens.push_back({PictureToken::FracDigit, {}, c});
                ++pic.fracSlots;
                if (c == '0')
                    pic.lastFracZero = pic.fracSlots;
            } else {
                pic.tokens.push_back({PictureToken::IntDigit, {}, c});
                if (c == '0' && pic.firstIntZero < 0)
                    pic.firstIntZero = pic.intSlots;
                ++pic.intSlots;
            }
        } else if (c == '.' && !pic.scientific) {
            // Only the first point is the decimal point; later ones are dropped.
            if (!afterPoint)
                pic.tokens.push_back({PictureToken::Point, {}, 0});
            afterPoint = true;
        } else if (c == ',' && !pic.scientific) {
            pic.thousands = true;
        } else if ((c == 'E' || c == 'e') && !pic.scientific && k + 1 < section.size() &&
                   (section[k + 1] == '+' || section[k + 1] == '-')) {
            pic.scientific = true;
            pic.tokens.push_back({PictureToken::Exponent, std::string(section.substr(k, 2)), 0});
            k += 2;
            while (k < section.size() && section[k] == '0') {
                ++pic.expDigits;
                ++k;
            }
            --k;
        } else {
            literal(std::string_view(&section[k], 1));
        }
    }
    return pic;
}

// Formats |value| by one section; `isZero` tells whether it rounded to zero.
std::string ApplyPicture(const Picture& pic, double value, const TFormatSettings& fs, bool& isZero)
{
    value = std::fabs(value);
    std::string intStr;
    std::string fracStr;
    std::string expStr;
    int minInt = pic.firstIntZero < 0 ? 0 : pic.intSlots - pic.firstIntZero;
    if (pic.scientific) {
        int sig = std::max(1, pic.intSlots + pic.fracSlots);
        DecimalRec rec = FloatToDecimal(value, std::min(sig, 15), NoDecimalLimit);
        isZero = rec.Digits.empty();
        int exp10 = isZero ? 0 : rec.Exponent - pic.intSlots;
        for (int k = 0; k < pic.intSlots; ++k)
            intStr += DigitAt(rec, k);
        if (isZero)
            intStr = std::string(size_t(minInt), '0');
        for (int k = 0; k < pic.fracSlots; ++k)
            fracStr += DigitAt(rec, pic.intSlots + k);
        std::string marker;
        for (const PictureToken& t : pic.tokens) {
            if (t.type == PictureToken::Exponent)
                marker = t.text;
        }
        expStr += marker[0];
        if (exp10 < 0)
            expStr += '-';
        else if (marker[1] == '+')
            expStr += '+';
        expStr += PaddedNumber(std::abs(exp10), pic.expDigits);
    } else {
        DecimalRec rec = FloatToDecimal(value, 15, pic.fracSlots);
        isZero = rec.Digits.empty();
        intStr = IntegerDigits(rec);
        if (int(intStr.size()) < minInt)
            intStr.insert(0, size_t(minInt) - intStr.size(), '0');
        fracStr = FractionDigits(rec, pic.fracSlots);
    }
    while (int(fracStr.size()) > pic.lastFracZero && fracStr.back() == '0')
        fracStr.pop_back();

    // Integer digits go to their placeholders from the right; digits beyond the
    // placeholders all go to the first one, and thousand grouping does too.
    bool groupAtFirst = pic.thousands;
    std::string grouped = groupAtFirst ? GroupThousands(intStr, fs.ThousandSeparator) : intStr;
    long offset = long(intStr.size()) - pic.intSlots;
    int intSlot = 0;
    size_t fracSlot = 0;
    std::string out;
    for (const PictureToken& t : pic.tokens) {
        switch (t.type) {
        case PictureToken::Literal:
            out += t.text;
            break;
        case PictureToken::IntDigit:
            if (groupAtFirst) {
                if (intSlot == 0)
                    out += grouped;
            } else if (intSlot == 0 && offset > 0) {
                out.append(intStr, 0, size_t(offset) + 1);
            } else if (intSlot + offset >= 0) {
                out += intStr[size_t(intSlot + offset)];
            }
            ++intSlot;
            break;
        case PictureToken::Point:
            // A picture without integer placeholders still shows the integer part.
            if (pic.intSlots == 0)
                out += intStr;
            if (!fracStr.empty())
                out += fs.DecimalSeparator;
            break;
        case PictureToken::FracDigit:
            if (fracSlot < fracStr.size())
                out += fracStr[fracSlot];
            ++fracSlot;
            break;
        case PictureToken::Exponent:
            out += expStr;
            break;
        }
    }
    return out;
}

bool HasPlaceholders(const Picture& pic)
{
    return pic.intSlots + pic.fracSlots > 0 || pic.scientific;
}

} // namespace

std::string FormatFloat(std::string_view format, double value, const TFormatSettings& settings)
{
    if (!std::isfinite(value))
        return SpecialFloatText(value);
    if (format.empty())
        return FloatToStr(value, settings);
    std::vector<std::string> sections = SplitSections(format);
    size_t section = 0;
    if (value < 0 && sections.size() > 1 && !sections[1].empty())
        section = 1;
    Picture pic = ParsePicture(sections[section]);
    bool isZero = false;
    std::string out = ApplyPicture(pic, value, settings, isZero);
    if (!HasPlaceholders(pic))
        isZero = FloatToDecimal(value, 15, NoDecimalLimit).Digits.empty();
    if (isZero && sections.size() > 2 && !sections[2].empty()) {
        Picture zeroPic = ParsePicture(sections[2]);
        return ApplyPicture(zeroPic, 0.0, settings, isZero);
    }
    // The positive section shows a negative value with a leading minus, unless
    // it rounded to zero (no "-0").
    if (value < 0 && section == 0 && !isZero)
        out.insert(0, 1, '-');
    return out;
}

std::string FormatFloat(std::string_view format, double value)
{
    return FormatFloat(format, value, FormatSettings);
}

// ---------------------------------------------------------------------------
// Format

namespace {

size_t Utf8Length(std::string_view s)
{
    size_t n = 0;
    for (unsigned char c : s) {
        if ((c & 0xC0) != 0x80)
            ++n;
    }
    return n;
}

// The first `count` code points of `s`.
std::string_view Utf8Prefix(std::string_view s, size_t count)
{
    size_t seen = 0;
    for (size_t k = 0; k < s.size(); ++k) {
        if ((static_cast<unsigned char>(s[k]) & 0xC0) != 0x80) {
            if (seen == count)
                return s.substr(0, k);
            ++seen;
        }
    }
    return s;
}

std::string HexDigits(uint64_t value)
{
    std::string out;
    do {
        out.insert(out.begin(), HexDigitChar(unsigned(value & 0xF)));
        value >>= 4;
    } while (value != 0);
    return out;
}

// The unsigned reading of an integer argument: a value that fits 32 bits is
// taken as a 32-bit integer (so -1 is FFFFFFFF), a larger one as 64 bits.
uint64_t UnsignedOf(const FormatArg& arg)
{
    if (arg.kind == FormatArg::Kind::UInt)
        return arg.u;
    if (arg.i >= INT32_MIN && arg.i <= INT32_MAX)
        return uint32_t(int32_t(arg.i));
    return uint64_t(arg.i);
}

class FormatWriter
{
  public:
    FormatWriter(std::string_view format, const std::vector<FormatArg>& args, const TFormatSettings& fs)
        : m_format(format), m_args(args), m_fs(fs)
    {
    }

    std::string Run()
    {
        while (m_pos < m_format.size()) {
            size_t next = m_format.find('%', m_pos);
            if (next == std::string_view::npos) {
                m_out.append(m_format, m_pos);
                break;
            }
            m_out.append(m_format, m_pos, next - m_pos);
            m_pos = next + 1;
            Directive();
        }
        return m_out;
    }

  private:
    [[noreturn]] void Invalid() const
    {
        throw EConvertError("Format '" + std::string(m_format) + "' invalid or incompatible with argument");
    }

    const FormatArg& NextArg()
    {
        if (m_argIndex >= m_args.size())
            throw EConvertError("No argument for format '" + std::string(m_format) + "'");
        return m_args[m_argIndex++];
    }

    char Peek() const { return m_pos < m_format.size() ? m_format[m_pos] : '\0'; }

    // A number or '*' (taken from the arguments); -1 when there is none.
    long Number()
    {
        if (Peek() == '*') {
            ++m_pos;
            const FormatArg& arg = NextArg();
            if (arg.kind != FormatArg::Kind::Int && arg.kind != FormatArg::Kind::UInt)
                Invalid();
            int64_t v =
                arg.kind == FormatArg::Kind::Int ? arg.i : int64_t(std::min<uint64_t>(arg.u, INT_MAX));
            return long(std::clamp<int64_t>(v, 0, INT_MAX));
        }
        if (Peek() < '0' || Peek() > '9')
            return -1;
        long n = 0;
        while (Peek() >= '0' && Peek() <= '9') {
            n = n * 10 + (Peek() - '0');
            if (n > INT_MAX)
                Invalid();
            ++m_pos;
        }
        return n;
    }

    void Directive()
    {
        if (Peek() == '%') {
            m_out += '%';
            ++m_pos;
            return;
        }
        bool left = false;
        long width = Number();
        if (width >= 0 && Peek() == ':') {
            ++m_pos;
            m_argIndex = size_t(width);
            width = -1;
        }
        if (width < 0) {
            if (Peek() == '-') {
                left = true;
                ++m_pos;
            }
            width = Number();
        }
        long precision = -1;
        if (Peek() == '.') {
            ++m_pos;
            precision = std::max(0L, Number());
        }
        if (m_pos >= m_format.size())
            Invalid();
        char type = UpCase(m_format[m_pos++]);
        std::string text = Convert(type, precision);
        size_t length = Utf8Length(text);
        if (width > 0 && size_t(width) > length) {
            std::string pad(size_t(width) - length, ' ');
            text = left ? text + pad : pad + text;
        }
        m_out += text;
    }

    static std::string ZeroPadded(std::string digits, long precision)
    {
        if (precision > 0 && size_t(precision) > digits.size())
            digits.insert(0, size_t(precision) - digits.size(), '0');
        return digits;
    }

    std::string Convert(char type, long precision)
    {
        switch (type) {
        case 'D': {
            const FormatArg& arg = NextArg();
            if (arg.kind == FormatArg::Kind::UInt)
                return ZeroPadded(std::to_string(arg.u), precision);
            if (arg.kind != FormatArg::Kind::Int)
                Invalid();
            std::string digits =
                ZeroPadded(std::to_string(arg.i < 0 ? 0 - uint64_t(arg.i) : uint64_t(arg.i)), precision);
            return arg.i < 0 ? "-" + digits : digits;
        }
        case 'U':
        case 'X': {
            const FormatArg& arg = NextArg();
            if (arg.kind != FormatArg::Kind::Int && arg.kind != FormatArg::Kind::UInt)
                Invalid();
            uint64_t v = UnsignedOf(arg);
            return ZeroPadded(type == 'U' ? std::to_string(v) : HexDigits(v), precision);
        }
        case 'E':
        case 'F':
        case 'G':
        case 'N':
        case 'M': {
            const FormatArg& arg = NextArg();
            double v = 0;
            if (arg.kind == FormatArg::Kind::Float)
                v = double(arg.f);
            else if (arg.kind == FormatArg::Kind::Int)
                v = double(arg.i);
            else if (arg.kind == FormatArg::Kind::UInt)
                v = double(arg.u);
            else
                Invalid();
            int prec = int(std::min<long>(precision, MaxFloatDigits));
            switch (type) {
            case 'E':
                return FloatToStrF(v, ffExponent, prec < 0 ? 15 : prec, 3, m_fs);
            case 'F':
                return FloatToStrF(v, ffFixed, MaxFloatDigits, prec < 0 ? 2 : prec, m_fs);
            case 'G':
                return FloatToStrF(v, ffGeneral, prec < 0 ? 15 : prec, 3, m_fs);
            case 'N':
                return FloatToStrF(v, ffNumber, MaxFloatDigits, prec < 0 ? 2 : prec, m_fs);
            default:
                return FloatToStrF(v, ffCurrency, MaxFloatDigits, prec < 0 ? m_fs.CurrencyDecimals : prec,
                                   m_fs);
            }
        }
        case 'S': {
            const FormatArg& arg = NextArg();
            if (arg.kind != FormatArg::Kind::String && !arg.fromVariant)
                Invalid();
            std::string_view s = arg.s;
            if (precision >= 0)
                s = Utf8Prefix(s, size_t(precision));
            return std::string(s);
        }
        case 'P': {
            const FormatArg& arg = NextArg();
            if (arg.kind != FormatArg::Kind::Pointer)
                Invalid();
            return ZeroPadded(HexDigits(reinterpret_cast<uintptr_t>(arg.p)), long(sizeof(void*) * 2));
        }
        default:
            Invalid();
        }
    }

    std::string_view m_format;
    const std::vector<FormatArg>& m_args;
    const TFormatSettings& m_fs;
    size_t m_pos = 0;
    size_t m_argIndex = 0;
    std::string m_out;
};

} // namespace

std::string FormatList(std::string_view format, const std::vector<FormatArg>& args,
                       const TFormatSettings& settings)
{
    return FormatWriter(format, args, settings).Run();
}

std::string FormatList(std::string_view format, const std::vector<FormatArg>& args)
{
    return FormatList(format, args, FormatSettings);
}

// ---------------------------------------------------------------------------
// Integer and float texts

namespace {

// The library's integer reading: blanks, sign, decimal or "$"/"0x"/"x" hex.
// Decimal values must fit a signed integer of `bits`; hex ones may use the
// full unsigned range and wrap.
bool ParseInteger(std::string_view s, int bits, int64_t& value)
{
    size_t k = 0;
    while (k < s.size() && s[k] == ' ')
        ++k;
    bool negative = false;
    if (k < s.size() && (s[k] == '+' || s[k] == '-')) {
        negative = s[k] == '-';
        ++k;
    }
    bool hex = false;
    if (k < s.size() && s[k] == '$') {
        hex = true;
        ++k;
    } else if (k < s.size() && (s[k] == 'x' || s[k] == 'X')) {
        hex = true;
        ++k;
    } else if (k + 1 < s.size() && s[k] == '0' && (s[k + 1] == 'x' || s[k + 1] == 'X')) {
        hex = true;
        k += 2;
    }
    if (k >= s.size())
        return false;
    uint64_t magnitude = 0;
    const uint64_t hexLimit = bits == 32 ? 0xFFFFFFFFull : ~0ull;
    const uint64_t decLimit = bits == 32 ? (negative ? 0x80000000ull : 0x7FFFFFFFull)
                                         : (negative ? 0x8000000000000000ull : 0x7FFFFFFFFFFFFFFFull);
    for (; k < s.size(); ++k) {
        char c = s[k];
        const int d = HexDigitValue(c);
        if (d < 0 || (!hex && d > 9))
            return false;
        uint64_t base = hex ? 16 : 10;
        uint64_t limit = hex ? hexLimit : decLimit;
        if (magnitude > (limit - uint64_t(d)) / base)
            return false;
        magnitude = magnitude * base + uint64_t(d);
    }
    if (bits == 32) {
        uint32_t low = uint32_t(magnitude);
        value = int32_t(negative ? 0u - low : low);
    } else {
        value = int64_t(negative ? 0 - magnitude : magnitude);
    }
    return true;
}

[[noreturn]] void InvalidInteger(std::string_view s)
{
    throw EConvertError("'" + std::string(s) + "' is not a valid integer value");
}

} // namespace

bool TryStrToInt(std::string_view s, int32_t& value)
{
    int64_t v = 0;
    if (!ParseInteger(s, 32, v))
        return false;
    value = int32_t(v);
    return true;
}

bool TryStrToInt64(std::string_view s, int64_t& value)
{
    return ParseInteger(s, 64, value);
}

int32_t StrToInt(std::string_view s)
{
    int32_t v = 0;
    if (!TryStrToInt(s, v))
        InvalidInteger(s);
    return v;
}

int64_t StrToInt64(std::string_view s)
{
    int64_t v = 0;
    if (!TryStrToInt64(s, v))
        InvalidInteger(s);
    return v;
}

int32_t StrToIntDef(std::string_view s, int32_t def)
{
    int32_t v = 0;
    return TryStrToInt(s, v) ? v : def;
}

int64_t StrToInt64Def(std::string_view s, int64_t def)
{
    int64_t v = 0;
    return TryStrToInt64(s, v) ? v : def;
}

char HexDigitChar(unsigned value)
{
    return "0123456789ABCDEF"[value & 0xF];
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string IntToHex(uint64_t value, int digits)
{
    std::string s = HexDigits(value);
    if (digits > 0 && size_t(digits) > s.size())
        s.insert(0, size_t(digits) - s.size(), '0');
    return s;
}

std::string IntToHex(uint32_t value, int digits)
{
    return IntToHex(uint64_t(value), digits);
}

std::string IntToHex(int32_t value, int digits)
{
    return IntToHex(uint64_t(uint32_t(value)), digits);
}

std::string IntToHex(int64_t value, int digits)
{
    return IntToHex(uint64_t(value), digits);
}

bool TryStrToFloat(std::string_view s, double& value, const TFormatSettings& settings)
{
    size_t b = 0;
    size_t e = s.size();
    while (b < e && s[b] == ' ')
        ++b;
    while (e > b && s[e - 1] == ' ')
        --e;
    std::string text;
    size_t k = b;
    if (k < e && (s[k] == '+' || s[k] == '-')) {
        if (s[k] == '-')
            text += '-';
        ++k;
    }
    size_t mantissaDigits = 0;
    while (k < e && s[k] >= '0' && s[k] <= '9') {
        text += s[k++];
        ++mantissaDigits;
    }
    if (k < e && s[k] == settings.DecimalSeparator) {
        text += '.';
        ++k;
        while (k < e && s[k] >= '0' && s[k] <= '9') {
            text += s[k++];
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return false;
    bool negativeExponent = false;
    if (k < e && (s[k] == 'e' || s[k] == 'E')) {
        text += 'e';
        ++k;
        if (k < e && (s[k] == '+' || s[k] == '-')) {
            negativeExponent = s[k] == '-';
            text += s[k++];
        }
        size_t expDigits = 0;
        while (k < e && s[k] >= '0' && s[k] <= '9') {
            text += s[k++];
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    if (k != e)
        return false;
    double v = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        // Too small for a double reads as zero; too large is no value.
        bool allZero = text.find_first_of("123456789") > text.find('e');
        if (!negativeExponent && !allZero)
            return false;
        v = 0;
    } else if (res.ec != std::errc() || res.ptr != text.data() + text.size()) {
        return false;
    }
    value = v;
    return true;
}

bool TryStrToFloat(std::string_view s, double& value)
{
    return TryStrToFloat(s, value, FormatSettings);
}

double StrToFloat(std::string_view s, const TFormatSettings& settings)
{
    double v = 0;
    if (!TryStrToFloat(s, v, settings))
        throw EConvertError("'" + std::string(s) + "' is not a valid floating point value");
    return v;
}

double StrToFloat(std::string_view s)
{
    return StrToFloat(s, FormatSettings);
}

double StrToFloatDef(std::string_view s, double def)
{
    double v = 0;
    return TryStrToFloat(s, v) ? v : def;
}

bool TryStrToBool(std::string_view s, bool& value)
{
    double number = 0;
    if (TryStrToFloat(s, number)) {
        value = number != 0;
        return true;
    }
    if (SameText(s, "True")) {
        value = true;
        return true;
    }
    if (SameText(s, "False")) {
        value = false;
        return true;
    }
    return false;
}

bool StrToBool(std::string_view s)
{
    bool v = false;
    if (!TryStrToBool(s, v))
        throw EConvertError("'" + std::string(s) + "' is not a valid boolean value");
    return v;
}

bool StrToBoolDef(std::string_view s, bool def)
{
    bool v = false;
    return TryStrToBool(s, v) ? v : def;
}

std::string BoolToStr(bool value, bool useBoolStrs)
{
    if (useBoolStrs)
        return value ? "True" : "False";
    return value ? "-1" : "0";
}

// ---------------------------------------------------------------------------
// File names

std::string IncludeTrailingPathDelimiter(std::string_view s)
{
    std::string out(s);
    if (out.empty() || out.back() != PathDelim)
        out += PathDelim;
    return out;
}

std::string ExcludeTrailingPathDelimiter(std::string_view s)
{
    std::string out(s);
    if (!out.empty() && out.back() == PathDelim)
        out.pop_back();
    return out;
}

std::string ExtractFilePath(std::string_view fileName)
{
    size_t slash = fileName.rfind(PathDelim);
    return slash == std::string_view::npos ? std::string() : std::string(fileName.substr(0, slash + 1));
}

std::string ExtractFileDir(std::string_view fileName)
{
    size_t slash = fileName.rfind(PathDelim);
    if (slash == std::string_view::npos)
        return {};
    if (slash == 0)
        return "/";
    return std::string(fileName.substr(0, slash));
}

std::string ExtractFileName(std::string_view fileName)
{
    size_t slash = fileName.rfind(PathDelim);
    return std::string(slash == std::string_view::npos ? fileName : fileName.substr(slash + 1));
}

std::string ExtractFileExt(std::string_view fileName)
{
    size_t dot = fileName.rfind('.');
    size_t slash = fileName.rfind(PathDelim);
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    return std::string(fileName.substr(dot));
}

std::string ChangeFileExt(std::string_view fileName, std::string_view extension)
{
    size_t dot = fileName.rfind('.');
    size_t slash = fileName.rfind(PathDelim);
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return std::string(fileName) + std::string(extension);
    return std::string(fileName.substr(0, dot)) + std::string(extension);
}
