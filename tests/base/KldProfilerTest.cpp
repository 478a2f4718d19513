#include "base/KldProfiler.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// A little work the compiler cannot drop, so that a section takes measurable
// time.
uint64_t Spin(int rounds)
{
    volatile uint64_t sum = 0;
    for (int i = 0; i < rounds; ++i)
        sum = sum + static_cast<uint64_t>(i) * 2654435761u;
    return sum;
}

TEST(KldProfiler, InitProfileZeroesTheRecord)
{
    TProfileData data;
    data.StartTicks = 5;
    data.TotalTicks = 7;
    data.Count = 9;
    data.Caller = &data;
    InitProfile(data);
    EXPECT_EQ(data.StartTicks, 0);
    EXPECT_EQ(data.TotalTicks, 0);
    EXPECT_EQ(data.Count, 0);
    EXPECT_EQ(data.Caller, nullptr);
}

TEST(KldProfiler, CountsMeasurementsAndAddsTheirTicks)
{
    TProfileData data;
    InitProfile(data);
    for (int i = 0; i < 3; ++i) {
        BeginProfile(data);
        Spin(20000);
        EndProfile(data);
    }
    EXPECT_EQ(data.Count, 3);
    // Three sections of real work outweigh three overhead corrections.
    EXPECT_GT(data.TotalTicks, 0);
    EXPECT_NE(data.Caller, nullptr);
}

TEST(KldProfiler, TotalGrowsWithEveryMeasurement)
{
    TProfileData data;
    InitProfile(data);
    int64_t previous = data.TotalTicks;
    for (int i = 0; i < 5; ++i) {
        BeginProfile(data);
        Spin(5000);
        EndProfile(data);
        EXPECT_GT(data.TotalTicks, previous) << "round " << i;
        previous = data.TotalTicks;
    }
}

TEST(KldProfiler, BeginRecordsTheCallingCode)
{
    TProfileData first;
    TProfileData second;
    BeginProfile(first);
    BeginProfile(second);
    // Two calls from two places of this function: two return addresses.
    EXPECT_NE(first.Caller, nullptr);
    EXPECT_NE(first.Caller, second.Caller);
}

TEST(KldProfiler, CalibratedOverheadIsSmallAndNotNegative)
{
    EXPECT_GE(ProfileOverhead(), 0);
    // An empty pair costs far less than a million ticks on any machine.
    EXPECT_LT(ProfileOverhead(), 1000000);
}

TEST(KldProfiler, FrequencyOfZeroMillisecondsIsZero)
{
    EXPECT_EQ(CalcProcFrequency(0), 0);
    EXPECT_EQ(CalcProcFrequency(-5), 0);
}

TEST(KldProfiler, FrequencyIsPlausible)
{
    // The sleep never ends early, so the answer is at least the counter's
    // rate, and any counter this runs on ticks faster than 1 MHz. (A busy
    // machine only makes the sleep, and so the answer, larger.)
    EXPECT_GT(CalcProcFrequency(20), 1000000);
}

} // namespace
