#include "NamePattern.h"

#include <cctype>

namespace {

bool SameLetter(char a, char b)
{
    return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
}

} // namespace

bool MatchesNamePattern(std::string_view name, std::string_view pattern)
{
    size_t n = 0, p = 0;
    // Where the last '%' stood and the name position it was tried from.
    size_t starAt = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '%') {
            starAt = p++;
            starName = n;
        } else if (p < pattern.size() && (pattern[p] == '_' || SameLetter(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (starAt != std::string_view::npos) {
            // The last '%' takes one more character and the rest is tried again.
            p = starAt + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '%')
        ++p;
    return p == pattern.size();
}
