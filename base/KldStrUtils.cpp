#include "base/KldStrUtils.h"

#include "platform/SysUtils.h"

#include <algorithm>

namespace {

std::string QuoteText(const std::string& text, char quote)
{
    std::string result;
    result.reserve(text.size() + 2);
    result += quote;
    for (char c : text) {
        result += c;
        if (c == quote)
            result += quote;
    }
    result += quote;
    return result;
}

// The quoted part of `text`, which begins with `quote`, with doubled quotes
// made single. An unterminated quote runs to the end of the text.
std::string ExtractQuoted(const std::string& text, char quote)
{
    std::string result;
    std::size_t i = 1;
    while (i < text.size()) {
        if (text[i] == quote) {
            if (i + 1 < text.size() && text[i + 1] == quote) {
                result += quote;
                i += 2;
                continue;
            }
            break; // the closing quote
        }
        result += text[i];
        ++i;
    }
    return result;
}

} // namespace

std::string EscapeStr(const std::string& Text, char Delimiter, char Quote)
{
    std::string result;
    result.reserve(Text.size());
    bool mustQuote = false;
    for (char ch : Text) {
        const auto code = static_cast<unsigned char>(ch);
        const std::size_t written = result.size();
        if (ch == '\\') {
            result += "\\\\";
        } else if (code < 32) {
            result += '\\';
            result += HexDigitChar(code >> 4);
            result += HexDigitChar(code);
        } else {
            result += ch;
        }
        // Decided on what was written, not on what was read: an escape may
        // write the delimiter (a backslash or hex-digit delimiter), and a
        // control-character delimiter is never written as itself.
        if (result.find(Delimiter, written) != std::string::npos)
            mustQuote = true;
    }
    return mustQuote ? QuoteText(result, Quote) : result;
}

std::string UnEscapeStr(const std::string& Text, char Quote)
{
    std::string taken;
    if (!Text.empty() && Text[0] == Quote)
        taken = ExtractQuoted(Text, Quote);
    if (taken.empty())
        taken = Text;

    std::string result;
    result.reserve(taken.size());
    std::size_t i = 0;
    const std::size_t n = taken.size();
    while (i < n) {
        const char c = taken[i];
        if (c != '\\' || i + 1 == n) {
            result += c;
            ++i;
            continue;
        }
        if (taken[i + 1] == '\\') {
            result += '\\';
            i += 2;
            continue;
        }
        const int high = HexDigitValue(taken[i + 1]);
        const int low = i + 2 < n ? HexDigitValue(taken[i + 2]) : -1;
        if (high >= 0 && low >= 0)
            result += static_cast<char>((high << 4) | low);
        else
            result += '?';
        i += std::min<std::size_t>(3, n - i);
    }
    return result;
}
