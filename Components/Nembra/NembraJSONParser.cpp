// The reader of JSON text (TJSONParser) and the unit routines that turn a
// string into its JSON text and back.
#include "Components/Nembra/NembraJSON.h"

#include <charconv>
#include <cstring>

#include "Components/Nembra/NembraLib.h"
#include "platform/Streams.h"
#include "platform/Utf8.h"

namespace {

bool IsDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

// The first '"' or '\\' at or after `from`, or `size`. Strings are scanned
// eight bytes at a time: a reply is mostly short strings.
size_t FindQuoteOrBackslash(const char* text, size_t from, size_t size)
{
    size_t i = from;
    if constexpr (std::endian::native == std::endian::little) {
        constexpr uint64_t kOnes = 0x0101010101010101ull;
        constexpr uint64_t kHighs = 0x8080808080808080ull;
        for (; i + 8 <= size; i += 8) {
            uint64_t word;
            std::memcpy(&word, text + i, 8);
            // A byte equal to the pattern becomes zero; the lowest zero byte
            // is found exactly (borrows only reach the bytes above it).
            const uint64_t quotes = word ^ (kOnes * '"');
            const uint64_t slashes = word ^ (kOnes * '\\');
            const uint64_t found = ((quotes - kOnes) & ~quotes & kHighs) | ((slashes - kOnes) & ~slashes & kHighs);
            if (found)
                return i + static_cast<size_t>(std::countr_zero(found)) / 8;
        }
    }
    while (i < size && text[i] != '"' && text[i] != '\\')
        ++i;
    return i;
}

// Powers of ten that a double holds exactly.
constexpr double kExactPowersOf10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

} // namespace

// ---------------------------------------------------------------------------
// TJSONParser

TJSONParser::TJSONParser(std::string_view text) : m_text(text) {}

TJSONParser::TJSONParser(TStream& stream)
{
    const int64_t remaining = stream.Size() - stream.Position();
    if (remaining > 0) {
        m_owned.resize(static_cast<size_t>(remaining));
        stream.ReadBuffer(m_owned.data(), remaining);
    }
    m_text = m_owned;
}

void TJSONParser::RaiseInvalid(char expected) const
{
    throw Exception(
        Format("Invalid JSON around position: %d; TokenType: %s", ReadIndex(), std::string(1, expected)));
}

void TJSONParser::RaiseUnexpected() const
{
    // The end of the text has no character of its own; it shows as "()".
    const std::string type = m_tokenType == 0 ? std::string() : std::string(1, m_tokenType);
    throw Exception(Format("Unexpected token (%s) or end of stream", type));
}

void TJSONParser::NextToken()
{
    const size_t size = m_text.size();
    const char* text = m_text.data();
    while (m_pos < size) {
        const unsigned char c = static_cast<unsigned char>(text[m_pos]);
        if (c == 0 || c > 32)
            break;
        ++m_pos;
    }
    if (m_pos >= size || text[m_pos] == 0) {
        m_tokenType = 0;
        m_token = {};
        return;
    }
    const char c = text[m_pos];
    switch (c) {
    case '{':
    case '}':
    case '[':
    case ']':
    case ',':
    case ':':
        m_tokenType = c;
        m_token = std::string_view(text + m_pos, 1);
        ++m_pos;
        return;
    case '"':
        ++m_pos;
        ReadString();
        return;
    default:
        ReadBare();
        return;
    }
}

void TJSONParser::ReadString()
{
    m_tokenType = 'A';
    const size_t size = m_text.size();
    const char* text = m_text.data();
    const size_t start = m_pos;
    // Most strings hold no escape: hand out a view of the text itself.
    const size_t i = FindQuoteOrBackslash(text, start, size);
    if (i >= size || text[i] == '"') {
        m_token = std::string_view(text + start, i - start);
        m_pos = i < size ? i + 1 : size;
        return;
    }
    m_buffer.assign(text + start, i - start);
    m_pos = i;
    while (m_pos < size) {
        const char c = text[m_pos++];
        if (c == '"')
            break;
        if (c != '\\') {
            m_buffer.push_back(c);
            continue;
        }
        if (m_pos >= size)
            break;
        const char e = text[m_pos++];
        switch (e) {
        case 'b':
            m_buffer.push_back('\b');
            break;
        case 'f':
            m_buffer.push_back('\f');
            break;
        case 't':
            m_buffer.push_back('\t');
            break;
        case 'n':
            m_buffer += "\r\n";
            break;
        case 'r':
            m_buffer.push_back('\n');
            break;
        case 'u':
            ReadUnicodeEscape();
            break;
        default:
            m_buffer.push_back(e);
            break;
        }
    }
    m_token = m_buffer;
}

void TJSONParser::ReadUnicodeEscape()
{
    // Reads the four characters after "\u" (m_pos is on the first). With fewer
    // than four left the text ends inside the string: nothing is produced.
    auto readQuad = [this](uint32_t& cp) -> bool {
        if (m_text.size() - m_pos < 4) {
            m_pos = m_text.size();
            return false;
        }
        cp = 0;
        bool hex = true;
        for (int k = 0; k < 4; ++k) {
            const int d = HexDigitValue(m_text[m_pos + k]);
            if (d < 0)
                hex = false;
            cp = cp * 16 + static_cast<uint32_t>(d < 0 ? 0 : d);
        }
        m_pos += 4;
        if (!hex)
            cp = 0;
        return true;
    };
    uint32_t cp = 0;
    if (!readQuad(cp))
        return;
    if (cp >= 0xD800 && cp <= 0xDBFF) {
        // A high surrogate pairs with a directly following low one.
        const size_t size = m_text.size();
        if (m_pos + 6 <= size && m_text[m_pos] == '\\' && m_text[m_pos + 1] == 'u') {
            uint32_t low = 0;
            bool hex = true;
            for (int k = 0; k < 4; ++k) {
                const int d = HexDigitValue(m_text[m_pos + 2 + k]);
                if (d < 0)
                    hex = false;
                low = low * 16 + static_cast<uint32_t>(d < 0 ? 0 : d);
            }
            if (hex && low >= 0xDC00 && low <= 0xDFFF) {
                m_pos += 6;
                AppendUtf8(m_buffer, 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00));
                return;
            }
        }
        cp = 0xFFFD;
    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
        cp = 0xFFFD;
    }
    AppendUtf8(m_buffer, cp);
}

void TJSONParser::ReadBare()
{
    const size_t size = m_text.size();
    const char* text = m_text.data();
    const size_t start = m_pos;
    size_t i = start;
    // A digits-only token is also read as a number on the way; it stops
    // counting at the first digit that would leave the 64-bit range.
    uint64_t value = 0;
    bool overflow = false;
    while (i < size) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!IsDigit(c))
            break;
        if (!overflow && (__builtin_mul_overflow(value, 10u, &value) ||
                          __builtin_add_overflow(value, static_cast<uint64_t>(c - '0'), &value) ||
                          value > static_cast<uint64_t>(INT64_MAX)))
            overflow = true;
        ++i;
    }
    const size_t digitsEnd = i;
    while (i < size) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c <= 32 || c == ',' || c == ']' || c == '}')
            break;
        ++i;
    }
    m_pos = i;
    m_token = m_text.substr(start, i - start);
    if (digitsEnd == i && i > start) {
        m_tokenType = 'I';
        m_digitsValue = value;
        m_digitsOverflow = overflow;
        return;
    }
    m_tokenType = 'N';
    // The literals true, false and null in any case: only ASCII letters can
    // match them, so folding ASCII is enough.
    if (m_token.size() == 4) {
        if (SameText(m_token, "true"))
            m_tokenType = 'T';
        else if (SameText(m_token, "null"))
            m_tokenType = '0';
    } else if (m_token.size() == 5 && SameText(m_token, "false")) {
        m_tokenType = 'F';
    }
}

void TJSONParser::Expect(char type)
{
    if (m_tokenType != type)
        RaiseInvalid(type);
    NextToken();
}

void TJSONParser::ParseTopObject(TJSONObject& obj)
{
    NextToken();
    if (m_tokenType != '{')
        RaiseInvalid('{');
    ParseObject(obj);
}

void TJSONParser::ParseTopValue(TJSONValue& value)
{
    NextToken();
    ParseValue(value);
}

void TJSONParser::ParseObject(TJSONObject& obj)
{
    // On '{'. Ends on the token after '}' (not read for the top level).
    if (++m_depth > JSONMaxDepth)
        RaiseInvalid('{');
    NextToken();
    while (m_tokenType == 'A') {
        // The member is taken only once its colon is there, so a reply broken
        // between name and colon keeps the members before it only. A name
        // unescaped into the token buffer is moved aside first: the value's
        // tokens may reuse that buffer.
        std::string_view name = m_token;
        if (!m_token.empty() && m_token.data() == m_buffer.data()) {
            m_name.swap(m_buffer);
            name = m_name;
        }
        SkipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == ':') {
            ++m_pos;
        } else {
            NextToken();
            Expect(':');
        }
        ParseMemberValue(obj.GetValues(name));
        if (m_tokenType != ',')
            break;
        NextToken();
    }
    if (m_tokenType != '}')
        RaiseInvalid('}');
    --m_depth;
    if (m_depth > 0)
        NextToken();
}

void TJSONParser::ParseArray(TJSONArray& arr)
{
    if (++m_depth > JSONMaxDepth)
        RaiseInvalid('[');
    for (;;) {
        SkipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == ']') {
            m_tokenType = ']';
            m_token = m_text.substr(m_pos, 1);
            ++m_pos;
            break;
        }
        ParseMemberValue(arr.Add());
        if (m_tokenType != ',')
            break;
    }
    if (m_tokenType != ']')
        RaiseInvalid(']');
    --m_depth;
    if (m_depth > 0)
        NextToken();
}

void TJSONParser::SkipSpace()
{
    const size_t size = m_text.size();
    const char* text = m_text.data();
    // Bytes 1 to 32 separate tokens; a zero byte ends the text.
    while (m_pos < size && static_cast<unsigned char>(text[m_pos] - 1) < 32)
        ++m_pos;
}

bool TJSONParser::EndsToken(size_t pos) const
{
    if (pos >= m_text.size())
        return true;
    const unsigned char c = static_cast<unsigned char>(m_text[pos]);
    return c <= 32 || c == ',' || c == ']' || c == '}';
}

void TJSONParser::ParseMemberValue(TJSONValue& value)
{
    // Strings, numbers and literals, the bulk of a reply, are read straight
    // into the value; anything else, and every error, takes the token path.
    SkipSpace();
    if (!ReadScalar(value)) {
        NextToken();
        ParseValue(value);
        return;
    }
    NextToken();
}

bool TJSONParser::ReadScalar(TJSONValue& value)
{
    if (m_pos >= m_text.size())
        return false;
    const char c = m_text[m_pos];
    if (c == '"') {
        ++m_pos;
        ReadString();
        value.Clear();
        const size_t readable = static_cast<size_t>(m_text.data() + m_text.size() - m_token.data());
        if (m_token.data() != m_buffer.data() && readable >= TJSONValue::kInlineText)
            value.SetReadableStringNoClear(m_token);
        else
            value.SetStringNoClear(m_token);
        return true;
    }
    if (IsDigit(static_cast<unsigned char>(c)) || c == '-')
        return ReadNumber(value);
    return ReadLiteral(value);
}

bool TJSONParser::ReadNumber(TJSONValue& value)
{
    // Reads [-]digits[.digits][(e|E)[+|-]digits] ending where a bare token
    // ends, with at most 19 digits; other texts take the token path, which
    // gives the same value or the same error.
    const char* text = m_text.data();
    const size_t size = m_text.size();
    const size_t start = m_pos;
    size_t i = start;
    const bool negative = text[i] == '-';
    if (negative)
        ++i;
    uint64_t mantissa = 0;
    const size_t intStart = i;
    while (i < size && IsDigit(static_cast<unsigned char>(text[i])))
        mantissa = mantissa * 10 + static_cast<uint64_t>(text[i++] - '0');
    size_t digits = i - intStart;
    if (digits == 0)
        return false;
    int exponent = 0;
    bool integral = true;
    if (i < size && text[i] == '.') {
        const size_t fracStart = ++i;
        while (i < size && IsDigit(static_cast<unsigned char>(text[i])))
            mantissa = mantissa * 10 + static_cast<uint64_t>(text[i++] - '0');
        if (i == fracStart)
            return false;
        digits += i - fracStart;
        exponent = -static_cast<int>(i - fracStart);
        integral = false;
    }
    if (i < size && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        const bool negativeExponent = i < size && text[i] == '-';
        if (i < size && (text[i] == '-' || text[i] == '+'))
            ++i;
        const size_t expStart = i;
        int written = 0;
        while (i < size && IsDigit(static_cast<unsigned char>(text[i])) && i - expStart < 4)
            written = written * 10 + (text[i++] - '0');
        if (i == expStart || (i < size && IsDigit(static_cast<unsigned char>(text[i]))))
            return false;
        exponent += negativeExponent ? -written : written;
        integral = false;
    }
    if (digits > 19 || !EndsToken(i))
        return false;
    m_pos = i;
    if (integral && !negative) {
        if (mantissa > static_cast<uint64_t>(INT64_MAX)) {
            m_pos = start;
            return false;
        }
        if (mantissa <= 2147483646u)
            value.SetAsInteger(static_cast<int32_t>(mantissa));
        else
            value.SetAsInt64(static_cast<int64_t>(mantissa));
        return true;
    }
    // Both factors exact, one rounding: the nearest double, as a full
    // conversion gives it.
    if (mantissa <= (uint64_t(1) << 53) && exponent >= -22 && exponent <= 22) {
        double d = static_cast<double>(mantissa);
        d = exponent < 0 ? d / kExactPowersOf10[-exponent] : d * kExactPowersOf10[exponent];
        value.SetAsNumber(negative ? -d : d);
        return true;
    }
    m_token = m_text.substr(start, i - start);
    StoreNumber(value);
    return true;
}

bool TJSONParser::ReadLiteral(TJSONValue& value)
{
    // true, false and null in any case: folding ASCII letters is enough.
    const size_t left = m_text.size() - m_pos;
    const char* p = m_text.data() + m_pos;
    auto is = [p](const char* word, size_t n) {
        for (size_t k = 0; k < n; ++k) {
            if ((p[k] | 0x20) != word[k])
                return false;
        }
        return true;
    };
    if (left >= 4 && EndsToken(m_pos + 4)) {
        if (is("null", 4)) {
            value.Clear();
        } else if (is("true", 4)) {
            value.SetAsBoolean(true);
        } else {
            return false;
        }
        m_pos += 4;
        return true;
    }
    if (left >= 5 && EndsToken(m_pos + 5) && is("false", 5)) {
        value.SetAsBoolean(false);
        m_pos += 5;
        return true;
    }
    return false;
}

void TJSONParser::StoreInteger(TJSONValue& value) const
{
    if (m_digitsOverflow)
        throw EConvertError(Format("'%s' is not a valid integer value", std::string(m_token)));
    if (m_digitsValue <= 2147483646u)
        value.SetAsInteger(static_cast<int32_t>(m_digitsValue));
    else
        value.SetAsInt64(static_cast<int64_t>(m_digitsValue));
}

void TJSONParser::StoreNumber(TJSONValue& value) const
{
    const char* first = m_token.data();
    const char* last = first + m_token.size();
    const bool plain =
        !m_token.empty() &&
        (IsDigit(static_cast<unsigned char>(m_token[0])) ||
         (m_token[0] == '-' && m_token.size() > 1 && IsDigit(static_cast<unsigned char>(m_token[1]))));
    if (plain) {
        double d = 0;
        auto res = std::from_chars(first, last, d, std::chars_format::general);
        if (res.ec == std::errc() && res.ptr == last) {
            value.SetAsNumber(d);
            return;
        }
    }
    // Everything else takes the platform's conversion, with its error text.
    value.SetAsNumber(StrToFloat(m_token, DefaultFormatSettings()));
}

void TJSONParser::ParseValue(TJSONValue& value)
{
    switch (m_tokenType) {
    case '0':
        value.Clear();
        break;
    case 'A':
        value.Clear();
        value.SetStringNoClear(m_token);
        break;
    case 'T':
        value.SetAsBoolean(true);
        break;
    case 'F':
        value.SetAsBoolean(false);
        break;
    case 'I':
        StoreInteger(value);
        break;
    case 'N':
        StoreNumber(value);
        break;
    case '{':
        ParseObject(value.CreateAsObject());
        return;
    case '[':
        ParseArray(value.CreateAsArray());
        return;
    default:
        RaiseUnexpected();
    }
    NextToken();
}

// ---------------------------------------------------------------------------
// Unit routines

namespace {

bool IsPlaceholderDelimiter(char c)
{
    switch (c) {
    case ' ':
    case '"':
    case '\'':
    case '[':
    case ']':
    case '{':
    case '}':
    case '>':
    case '<':
    case '=':
    case '!':
    case '*':
    case '-':
    case '+':
    case '/':
    case ',':
        return true;
    default:
        return false;
    }
}

bool IsAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace


std::string NembraJSON::StrToJSON(std::string_view s)
{
    std::string r;
    r.reserve(s.size() + 2);
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            r += '\'';
        } else if (c == '\r') {
            if (i + 1 < s.size() && s[i + 1] == '\n')
                ++i;
            r += "\\n";
        } else if (c == '\n') {
            r += "\\n";
        } else {
            r += c;
        }
    }

    if (!r.empty() && r[0] == '\x03') {
        // A pattern: written as /pattern/.
        r.erase(0, 1);
        if (r.empty() || r[0] != '/')
            r = "/" + r + "/";
        return r;
    }

    const size_t p = r.find('%');
    if (r.find(';') == std::string::npos && p != std::string::npos && p + 1 < r.size() &&
        IsDigit(static_cast<unsigned char>(r[p + 1]))) {
        // A placeholder: the text around it becomes quoted parts joined by "+".
        size_t e = p + 2;
        while (e < r.size() && !IsPlaceholderDelimiter(r[e]))
            ++e;
        if (e < r.size()) {
            r.insert(e, "+\"");
            r += '"';
        }
        if (p != 0) {
            r.insert(p, "\"+");
            r.insert(0, "\"");
        }
        return r;
    }

    if (r.size() >= 2 && r[0] == '%' && IsAsciiLetter(r[1]))
        return r.substr(1);

    return "\"" + r + "\"";
}

std::string UnencodeJSONStr(std::string_view s)
{
    TJSONParser parser(s);
    TJSONValue value;
    parser.ParseTopValue(value);
    return value.GetAsString();
}
