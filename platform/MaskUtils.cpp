#include "platform/MaskUtils.h"

#include "platform/Utf8.h"

#include <QChar>

#include <algorithm>

std::u32string Utf8ToCodePoints(const std::string& Text)
{
    std::u32string out;
    out.reserve(Text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(Text.data());
    const size_t n = Text.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        int extra = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
            min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
            min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
            min = 0x10000;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        if (i + extra >= n) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (!ok || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += extra + 1;
    }
    return out;
}

std::string CodePointsToUtf8(const std::u32string& Text)
{
    std::string out;
    out.reserve(Text.size());
    for (char32_t cp : Text) {
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            cp = 0xFFFD;
        AppendUtf8(out, cp);
    }
    return out;
}

namespace {
// The index of the first ';' of Mask not escaped by '\', or npos.
size_t FieldSeparator(const std::u32string& Mask, size_t From)
{
    for (size_t i = From; i < Mask.size(); ++i) {
        if (Mask[i] == U'\\') {
            ++i;
            continue;
        }
        if (Mask[i] == U';')
            return i;
    }
    return std::u32string::npos;
}

bool IsAsciiDigit(char32_t c)
{
    return c >= U'0' && c <= U'9';
}
} // namespace

TEditMask::TEditMask(const std::string& Mask)
{
    const std::u32string m = Utf8ToCodePoints(Mask);
    const size_t first = FieldSeparator(m, 0);
    const size_t bodyEnd = first == std::u32string::npos ? m.size() : first;
    if (first != std::u32string::npos) {
        const size_t second = FieldSeparator(m, first + 1);
        const size_t saveEnd = second == std::u32string::npos ? m.size() : second;
        if (saveEnd > first + 1)
            m_saveLiterals = m[first + 1] != U'0';
        if (second != std::u32string::npos && second + 1 < m.size())
            m_blank = m[second + 1];
    }
    TCase kase = caNone;
    for (size_t i = 0; i < bodyEnd; ++i) {
        const char32_t c = m[i];
        TPosition p;
        p.Case = kase;
        switch (c) {
        case U'!':
            m_reverse = true;
            continue;
        case U'>':
            if (i + 1 < bodyEnd && m[i + 1] == U'<') {
                kase = caNone;
                ++i;
            } else {
                kase = caUpper;
            }
            continue;
        case U'<':
            if (i + 1 < bodyEnd && m[i + 1] == U'>') {
                kase = caNone;
                ++i;
            } else {
                kase = caLower;
            }
            continue;
        case U'\\':
            if (i + 1 >= bodyEnd)
                continue; // a trailing escape escapes nothing
            p.Kind = ckLiteral;
            p.Literal = m[++i];
            break;
        case U'0':
        case U'9':
            p.Kind = ckDigit;
            p.Required = c == U'0';
            break;
        case U'#':
            p.Kind = ckDigitOrSign;
            break;
        case U'L':
        case U'l':
            p.Kind = ckLetter;
            p.Required = c == U'L';
            break;
        case U'A':
        case U'a':
            p.Kind = ckAlphaNumeric;
            p.Required = c == U'A';
            break;
        case U'C':
        case U'c':
            p.Kind = ckAny;
            p.Required = c == U'C';
            break;
        default:
            p.Kind = ckLiteral;
            p.Literal = c;
            break;
        }
        m_positions.push_back(p);
    }
    // A blank that a position would take as entered text could not be told
    // from an empty position (a typed "0" under the blank "0" would read back
    // as a space); such masks keep the default blank.
    const auto takenAsInput = [this](char32_t Blank) {
        for (size_t i = 0; i < m_positions.size(); ++i) {
            char32_t stored;
            if (m_positions[i].Kind != ckLiteral && Fits(static_cast<int>(i), Blank, stored))
                return true;
        }
        return false;
    };
    if (m_blank < 0x20 || m_blank == 0xFFFD || (m_blank != U' ' && m_blank != U'_' && takenAsInput(m_blank)))
        m_blank = U'_';
}

std::string TEditMask::BlankEditText() const
{
    std::u32string out;
    for (const TPosition& p : m_positions)
        out.push_back(p.Kind == ckLiteral ? p.Literal : m_blank);
    return CodePointsToUtf8(out);
}

bool TEditMask::IsWellFormed(const std::string& EditText) const
{
    const std::u32string e = Utf8ToCodePoints(EditText);
    if (e.size() != m_positions.size())
        return false;
    for (size_t i = 0; i < e.size(); ++i) {
        const TPosition& p = m_positions[i];
        if (p.Kind == ckLiteral) {
            if (e[i] != p.Literal)
                return false;
        } else if (e[i] != m_blank) {
            char32_t out;
            if (!Fits(static_cast<int>(i), e[i], out) || out != e[i])
                return false;
        }
    }
    return true;
}

std::string TEditMask::TextFromEditText(const std::string& EditText) const
{
    if (!IsMasked())
        return EditText;
    const std::string fitted = IsWellFormed(EditText) ? EditText : EditTextFromText(EditText);
    const std::u32string e = Utf8ToCodePoints(fitted);
    std::u32string out;
    for (size_t i = 0; i < m_positions.size() && i < e.size(); ++i) {
        if (m_positions[i].Kind == ckLiteral) {
            if (m_saveLiterals)
                out.push_back(e[i]);
        } else {
            out.push_back(e[i] == m_blank ? U' ' : e[i]);
        }
    }
    return CodePointsToUtf8(out);
}

std::string TEditMask::EditTextFromText(const std::string& Text) const
{
    if (!IsMasked())
        return Text;
    const std::u32string t = Utf8ToCodePoints(Text);
    const size_t n = m_positions.size();
    std::u32string out(n, m_blank);
    for (size_t i = 0; i < n; ++i)
        if (m_positions[i].Kind == ckLiteral)
            out[i] = m_positions[i].Literal;
    // Walks the positions and the text together, forwards or backwards.
    const long step = m_reverse ? -1 : 1;
    long ti = m_reverse ? static_cast<long>(t.size()) - 1 : 0;
    const auto textLeft = [&] { return ti >= 0 && ti < static_cast<long>(t.size()); };
    for (long k = 0; k < static_cast<long>(n); ++k) {
        const size_t pi = m_reverse ? n - 1 - static_cast<size_t>(k) : static_cast<size_t>(k);
        const TPosition& p = m_positions[pi];
        if (!textLeft())
            break;
        if (p.Kind == ckLiteral) {
            if (m_saveLiterals && t[static_cast<size_t>(ti)] == p.Literal)
                ti += step;
            continue;
        }
        const char32_t c = t[static_cast<size_t>(ti)];
        ti += step;
        char32_t stored;
        if (c != U' ' && c != m_blank && Fits(static_cast<int>(pi), c, stored))
            out[pi] = stored;
    }
    return CodePointsToUtf8(out);
}

int TEditMask::NextInputPosition(int Pos) const
{
    for (int i = std::max(Pos, 0); i < static_cast<int>(m_positions.size()); ++i)
        if (m_positions[static_cast<size_t>(i)].Kind != ckLiteral)
            return i;
    return -1;
}

int TEditMask::PreviousInputPosition(int Pos) const
{
    for (int i = std::min(Pos, static_cast<int>(m_positions.size())) - 1; i >= 0; --i)
        if (m_positions[static_cast<size_t>(i)].Kind != ckLiteral)
            return i;
    return -1;
}

bool TEditMask::Fits(int Pos, char32_t Char, char32_t& Out) const
{
    if (Pos < 0 || Pos >= static_cast<int>(m_positions.size()))
        return false;
    const TPosition& p = m_positions[static_cast<size_t>(Pos)];
    if (Char < 0x20 || Char == 0x7F || Char == 0xFFFD || Char > 0x10FFFF)
        return false;
    bool ok = false;
    switch (p.Kind) {
    case ckLiteral:
        return false;
    case ckDigit:
        ok = IsAsciiDigit(Char);
        break;
    case ckDigitOrSign:
        ok = IsAsciiDigit(Char) || Char == U'+' || Char == U'-';
        break;
    case ckLetter:
        ok = QChar::isLetter(Char);
        break;
    case ckAlphaNumeric:
        ok = QChar::isLetter(Char) || IsAsciiDigit(Char);
        break;
    case ckAny:
        ok = true;
        break;
    }
    if (!ok)
        return false;
    Out = Char;
    if (p.Case == caUpper)
        Out = QChar::toUpper(Char);
    else if (p.Case == caLower)
        Out = QChar::toLower(Char);
    return true;
}

int TEditMask::TypeChar(std::string& EditText, int Pos, char32_t Char) const
{
    std::u32string e = Utf8ToCodePoints(IsWellFormed(EditText) ? EditText : EditTextFromText(EditText));
    const int at = NextInputPosition(Pos);
    char32_t stored = m_blank;
    // A blank typed clears the position, as a blank in a text set by code does.
    if (at < 0 || (Char != U' ' && !Fits(at, Char, stored)))
        return -1;
    e[static_cast<size_t>(at)] = stored;
    EditText = CodePointsToUtf8(e);
    return at + 1;
}

void TEditMask::ClearRange(std::string& EditText, int From, int To) const
{
    std::u32string e = Utf8ToCodePoints(IsWellFormed(EditText) ? EditText : EditTextFromText(EditText));
    const int n = static_cast<int>(m_positions.size());
    for (int i = std::max(From, 0); i < std::min(To, n); ++i)
        if (m_positions[static_cast<size_t>(i)].Kind != ckLiteral)
            e[static_cast<size_t>(i)] = m_blank;
    EditText = CodePointsToUtf8(e);
}

bool TEditMask::RequiredFilled(const std::string& EditText) const
{
    const std::u32string e = Utf8ToCodePoints(EditText);
    for (size_t i = 0; i < m_positions.size(); ++i)
        if (m_positions[i].Required && (i >= e.size() || e[i] == m_blank))
            return false;
    return true;
}
