#pragma once
// Number routines with the run-time library's rules.
//
// Round is the one rounding routine of the system: to the nearest integer,
// ties to the even neighbour (112.5 gives 112, 113.5 gives 114), whatever the
// floating-point unit's rounding mode. Colour mixing, gradients and the circle
// routines depend on it; std::round (ties away from zero) gives other pixels.

#include <cstdint>

// Ties to even. A value outside the int64 range, an infinity or NaN gives 0
// (TryRound tells them apart).
int64_t Round(double value);
// False, with `result` untouched, when the rounded value does not fit int64.
bool TryRound(double value, int64_t& result);

// (a * b) / c computed in 64 bits and rounded to the nearest (halves away
// from zero), as the platform's MulDiv; -1 when c is 0 or the result does not
// fit 32 bits.
int MulDiv(int a, int b, int c);

template <class T> constexpr T EnsureRange(T value, T low, T high)
{
    return value < low ? low : (value > high ? high : value);
}
