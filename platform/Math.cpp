#include "platform/Math.h"

#include <cmath>
#include <cstdlib>

bool TryRound(double value, int64_t& result)
{
    if (!std::isfinite(value))
        return false;
    // floor and the distance to it are exact for every double, so the tie
    // test does not depend on the rounding mode.
    const double lower = std::floor(value);
    const double diff = value - lower;
    double r = lower;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(lower, 2.0) != 0.0))
        r = lower + 1.0;
    // 2^63 is exactly representable; anything at or above it does not fit.
    if (r >= 9223372036854775808.0 || r < -9223372036854775808.0)
        return false;
    result = static_cast<int64_t>(r);
    return true;
}

int64_t Round(double value)
{
    int64_t result = 0;
    return TryRound(value, result) ? result : 0;
}

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const int64_t product = static_cast<int64_t>(a) * b;
    const int64_t half = std::llabs(c) / 2;
    const bool negative = (product < 0) != (c < 0);
    const int64_t magnitude = (std::llabs(product) + half) / std::llabs(c);
    const int64_t result = negative ? -magnitude : magnitude;
    if (result > INT32_MAX || result < INT32_MIN)
        return -1;
    return static_cast<int>(result);
}
