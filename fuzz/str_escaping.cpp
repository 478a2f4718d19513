// Field escaping from arbitrary bytes: UnEscapeStr must take any text without
// reading past it and never grow it; EscapeStr followed by UnEscapeStr must
// give the text back, except for a text that begins with the quote character
// and was left unquoted (its written form holds no delimiter; a control-
// character delimiter is never written as itself): UnEscapeStr reads that
// leading quote as the start of a quoted field.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/KldStrUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const char delimiter = static_cast<char>(data[0]);
    const char quote = static_cast<char>(data[1]);
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

    const std::string restored = UnEscapeStr(text, quote);
    if (restored.size() > text.size())
        std::abort();

    // A backslash as delimiter or quote makes the escapes themselves ambiguous.
    if (delimiter == '\\' || quote == '\\' || delimiter == quote)
        return 0;
    const std::string escaped = EscapeStr(text, delimiter, quote);
    // The written form without quotes: a control-character delimiter never
    // quotes. A quoted field is exactly that form in quotes, inner quotes doubled.
    const std::string unquoted = EscapeStr(text, '\x01', quote);
    const bool quoted = escaped != unquoted;
    if (quoted) {
        std::string expected(1, quote);
        for (char c : unquoted) {
            expected += c;
            if (c == quote)
                expected += quote;
        }
        expected += quote;
        if (escaped != expected)
            std::abort();
    }
    const bool leadingQuoteUnquoted = !quoted && !text.empty() && text[0] == quote;
    if (!leadingQuoteUnquoted && UnEscapeStr(escaped, quote) != text)
        std::abort();
    return 0;
}
