#include "platform/Math.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>

namespace {

TEST(Math, RoundGoesToTheEvenNeighbourOnTies)
{
    struct Case
    {
        const char* Desc;
        double Input;
        int64_t Expected;
    };
    const Case cases[] = {
        {"tie below even", 112.5, 112},
        {"tie above odd", 113.5, 114},
        {"zero point five", 0.5, 0},
        {"one point five", 1.5, 2},
        {"negative tie", -0.5, 0},
        {"negative tie to even", -1.5, -2},
        {"negative tie odd", -2.5, -2},
        {"just below a tie", 2.4999999, 2},
        {"just above a tie", 2.5000001, 3},
        {"the mixed colour channel", 110.125, 110},
        {"an alpha", 0.6 * 127, 76},
        {"whole", 7.0, 7},
        {"negative", -7.6, -8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(Round(c.Input), c.Expected);
    }
}

TEST(Math, RoundIgnoresTheRoundingMode)
{
    const int saved = std::fegetround();
    for (int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        std::fesetround(mode);
        EXPECT_EQ(Round(112.5), 112);
        EXPECT_EQ(Round(-3.5), -4);
        EXPECT_EQ(Round(2.2), 2);
    }
    std::fesetround(saved);
}

TEST(Math, TryRoundRefusesWhatDoesNotFit)
{
    int64_t r = 42;
    EXPECT_FALSE(TryRound(std::numeric_limits<double>::quiet_NaN(), r));
    EXPECT_FALSE(TryRound(std::numeric_limits<double>::infinity(), r));
    EXPECT_FALSE(TryRound(9.3e18, r));
    EXPECT_EQ(r, 42);
    EXPECT_EQ(Round(1e300), 0);
    EXPECT_TRUE(TryRound(-9.2e18, r));
    EXPECT_EQ(r, static_cast<int64_t>(-9.2e18));
}

TEST(Math, MulDivRoundsHalvesAwayFromZero)
{
    struct Case
    {
        const char* Desc;
        int A, B, C, Expected;
    };
    const Case cases[] = {
        {"points to pixels", 8, 96, 72, 11},
        {"nine points", 9, 96, 72, 12},
        {"pixels to points", 11, 72, 96, 8},
        {"half up", 1, 1, 2, 1},
        {"negative half", -1, 1, 2, -1},
        {"negative divisor", 10, 3, -4, -8},
        {"by zero", 5, 5, 0, -1},
        {"overflow", 2000000000, 4, 1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        EXPECT_EQ(MulDiv(c.A, c.B, c.C), c.Expected);
    }
}

} // namespace
