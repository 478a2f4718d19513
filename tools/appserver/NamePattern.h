#pragma once
// Names matched against the patterns of Nembra.GetObjectNames: '%' any run
// of characters, '_' one character, letters without regard to case.
//
// The match walks name and pattern once, going back only to the last '%'
// seen, so its time grows with the product of the two lengths at worst and
// it needs no memory beyond the two texts: a pattern of many '%' costs no
// more than one. Patterns longer than kMaxNamePattern are refused by the
// procedure before they are matched.

#include <cstddef>
#include <string_view>

inline constexpr size_t kMaxNamePattern = 256;

bool MatchesNamePattern(std::string_view name, std::string_view pattern);
