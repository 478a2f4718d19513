// The text routines of SysUtils: case, comparison, trimming, quoting, search
// and wrapping of UTF-8 texts.
#include "platform/SysUtils.h"

#include <algorithm>
#include <climits>

namespace {

// Latin-1 letters in UTF-8 are C3 80..C3 9E (capitals, without C3 97 the
// multiplication sign) and C3 A0..C3 BE (small, without C3 B7 the division
// sign); case changes only the second byte, so lengths stay the same.
template <bool Upper> std::string MapLatin1Case(std::string_view s)
{
    std::string out(s);
    for (size_t k = 0; k < out.size(); ++k) {
        unsigned char c = static_cast<unsigned char>(out[k]);
        if (c < 0x80) {
            out[k] = Upper ? UpCase(char(c)) : LoCase(char(c));
        } else if (c == 0xC3 && k + 1 < out.size()) {
            unsigned char d = static_cast<unsigned char>(out[k + 1]);
            if (Upper && d >= 0xA0 && d <= 0xBE && d != 0xB7)
                out[k + 1] = char(d - 0x20);
            else if (!Upper && d >= 0x80 && d <= 0x9E && d != 0x97)
                out[k + 1] = char(d + 0x20);
            ++k;
        }
    }
    return out;
}

// Next code point of UTF-8 text; a byte that starts no valid sequence stands
// for itself (as 0xDC00 + byte, out of the way of real letters' order).
uint32_t NextCodePoint(std::string_view s, size_t& k)
{
    unsigned char c = static_cast<unsigned char>(s[k]);
    if (c < 0x80) {
        ++k;
        return c;
    }
    int extra = c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
    if (extra > 0 && k + size_t(extra) < s.size()) {
        uint32_t cp = c & (0x3F >> extra);
        bool ok = true;
        for (int j = 1; j <= extra; ++j) {
            unsigned char d = static_cast<unsigned char>(s[k + size_t(j)]);
            if ((d & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (d & 0x3F);
        }
        if (ok) {
            k += size_t(extra) + 1;
            return cp;
        }
    }
    ++k;
    return 0xDC00 + c;
}

int AnsiCompare(std::string_view a, std::string_view b, bool ignoreCase)
{
    std::string fa = ignoreCase ? MapLatin1Case<true>(a) : std::string(a);
    std::string fb = ignoreCase ? MapLatin1Case<true>(b) : std::string(b);
    size_t i = 0;
    size_t j = 0;
    while (i < fa.size() && j < fb.size()) {
        uint32_t ca = NextCodePoint(fa, i);
        uint32_t cb = NextCodePoint(fb, j);
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (i < fa.size())
        return 1;
    if (j < fb.size())
        return -1;
    return 0;
}

bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

} // namespace

int CompareText(std::string_view a, std::string_view b)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t k = 0; k < n; ++k) {
        int d = int(static_cast<unsigned char>(UpCase(a[k]))) - int(static_cast<unsigned char>(UpCase(b[k])));
        if (d != 0)
            return d;
    }
    return int(std::clamp<long>(long(a.size()) - long(b.size()), INT_MIN, INT_MAX));
}

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && CompareText(a, b) == 0;
}

int CompareStr(std::string_view a, std::string_view b)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t k = 0; k < n; ++k) {
        int d = int(static_cast<unsigned char>(a[k])) - int(static_cast<unsigned char>(b[k]));
        if (d != 0)
            return d;
    }
    return int(std::clamp<long>(long(a.size()) - long(b.size()), INT_MIN, INT_MAX));
}

char UpCase(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 32) : c;
}

char LoCase(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}

std::string UpperCase(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = UpCase(c);
    return out;
}

std::string LowerCase(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = LoCase(c);
    return out;
}

std::string AnsiUpperCase(std::string_view s)
{
    return MapLatin1Case<true>(s);
}

std::string AnsiLowerCase(std::string_view s)
{
    return MapLatin1Case<false>(s);
}

int AnsiCompareText(std::string_view a, std::string_view b)
{
    return AnsiCompare(a, b, true);
}

int AnsiCompareStr(std::string_view a, std::string_view b)
{
    return AnsiCompare(a, b, false);
}

bool AnsiSameText(std::string_view a, std::string_view b)
{
    return AnsiCompareText(a, b) == 0;
}

bool AnsiSameStr(std::string_view a, std::string_view b)
{
    return a == b;
}

std::string Trim(std::string_view s)
{
    return TrimRight(TrimLeft(s));
}

std::string TrimLeft(std::string_view s)
{
    size_t k = 0;
    while (k < s.size() && IsBlank(s[k]))
        ++k;
    return std::string(s.substr(k));
}

std::string TrimRight(std::string_view s)
{
    size_t n = s.size();
    while (n > 0 && IsBlank(s[n - 1]))
        --n;
    return std::string(s.substr(0, n));
}

std::string AnsiQuotedStr(std::string_view s, char quote)
{
    std::string out(1, quote);
    for (char c : s) {
        out += c;
        if (c == quote)
            out += c;
    }
    out += quote;
    return out;
}

std::string QuotedStr(std::string_view s)
{
    return AnsiQuotedStr(s, '\'');
}

std::string AnsiExtractQuotedStr(std::string_view& src, char quote)
{
    if (src.empty() || src[0] != quote)
        return {};
    std::string out;
    size_t k = 1;
    while (k < src.size()) {
        if (src[k] == quote) {
            if (k + 1 < src.size() && src[k + 1] == quote) {
                out += quote;
                k += 2;
                continue;
            }
            ++k;
            src.remove_prefix(k);
            return out;
        }
        out += src[k++];
    }
    src.remove_prefix(src.size());
    return out;
}

std::string AnsiDequotedStr(std::string_view s, char quote)
{
    std::string_view rest = s;
    std::string out = AnsiExtractQuotedStr(rest, quote);
    // Not a quoted text as a whole (no opening quote, or an unterminated or
    // empty quote that is not framed by quotes): give it back unchanged.
    if ((out.empty() || rest.empty()) && !s.empty() &&
        (s.front() != quote || s.back() != quote || s.size() < 2))
        return std::string(s);
    return out;
}

std::string StringReplace(std::string_view s, std::string_view oldPattern, std::string_view newPattern,
                          TReplaceFlags flags)
{
    if (oldPattern.empty())
        return std::string(s);
    // Folding keeps byte lengths, so positions found in the folded text are
    // positions in the original.
    std::string searchIn = (flags & rfIgnoreCase) ? AnsiUpperCase(s) : std::string(s);
    std::string pattern = (flags & rfIgnoreCase) ? AnsiUpperCase(oldPattern) : std::string(oldPattern);
    std::string out;
    size_t pos = 0;
    while (pos <= s.size()) {
        size_t found = searchIn.find(pattern, pos);
        if (found == std::string::npos)
            break;
        out.append(s, pos, found - pos);
        out += newPattern;
        pos = found + pattern.size();
        if (!(flags & rfReplaceAll))
            break;
    }
    if (pos < s.size())
        out.append(s, pos);
    return out;
}

int PosEx(std::string_view sub, std::string_view s, int offset)
{
    if (sub.empty() || offset < 1 || size_t(offset) > s.size())
        return 0;
    size_t found = s.find(sub, size_t(offset) - 1);
    return found == std::string_view::npos ? 0 : int(found) + 1;
}

int Pos(std::string_view sub, std::string_view s)
{
    return PosEx(sub, s, 1);
}

std::string Copy(std::string_view s, int index, int count)
{
    if (index < 1)
        index = 1;
    if (count <= 0 || size_t(index) > s.size())
        return {};
    return std::string(s.substr(size_t(index) - 1, size_t(count)));
}

std::string Copy(std::string_view s, int index)
{
    return Copy(s, index, INT_MAX);
}

std::string StringOfChar(char c, int count)
{
    return count > 0 ? std::string(size_t(count), c) : std::string();
}

std::string WrapText(std::string_view line, std::string_view breakStr, std::string_view breakChars,
                     int maxCol)
{
    auto isBreakChar = [&](char c) { return breakChars.find(c) != std::string_view::npos; };
    auto isSkippable = [&](char c) { return (c == ' ' || c == '\t') && isBreakChar(c); };
    std::string out;
    size_t lineStart = 0;
    size_t k = 0;
    size_t breakPos = std::string_view::npos;
    int col = 0;
    char quote = 0;
    while (k < line.size()) {
        if (!quote && !breakStr.empty() && line.substr(k, breakStr.size()) == breakStr) {
            // A break already in the text: keep it and start counting afresh.
            k += breakStr.size();
            out.append(line, lineStart, k - lineStart);
            lineStart = k;
            breakPos = std::string_view::npos;
            col = 0;
            continue;
        }
        char c = line[k];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (isBreakChar(c)) {
            breakPos = k;
        }
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++col;
        ++k;
        // A break character that opens the line is no break point: breaking
        // there would leave it alone on a line of its own.
        if (!quote && col > maxCol && breakPos != std::string_view::npos && breakPos > lineStart) {
            out.append(line, lineStart, breakPos + 1 - lineStart);
            size_t next = breakPos + 1;
            while (next < line.size() && isSkippable(line[next]))
                ++next;
            if (next < line.size())
                out += breakStr;
            // Scan again from the start of the new line; no quote is open
            // there since breaks are taken outside quotes only.
            lineStart = next;
            k = next;
            breakPos = std::string_view::npos;
            col = 0;
        }
    }
    out.append(line, lineStart);
    return out;
}

std::string WrapText(std::string_view line, int maxCol)
{
    return WrapText(line, "\r\n", " -\t", maxCol);
}
