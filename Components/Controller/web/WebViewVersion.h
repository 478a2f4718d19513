#pragma once
// Browser version texts: dotted numbers such as "102.0.5005.177". Shared by
// the WebEngine plugin (its CompareBrowserVersions) and the tests' loader.

#include <string_view>

// Compares part by part as numbers, a missing part counting as 0: -1, 0 or
// 1 in `result`. False (and `result` untouched) when either text is not
// dotted decimal numbers.
bool CompareDottedVersions(std::string_view a, std::string_view b, int& result);
