#include "base/KldProfiler.h"

#include <chrono>
#include <thread>

#if defined(__x86_64__)
#include <x86intrin.h>
#endif

namespace {

// Set once while the unit starts; 0 during the calibration itself.
int64_t g_overhead = 0;

inline int64_t ReadCounter()
{
#if defined(__x86_64__)
    return static_cast<int64_t>(__rdtsc());
#else
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
#endif
}

int64_t Calibrate()
{
    constexpr int Rounds = 64;
    g_overhead = 0;
    TProfileData data;
    InitProfile(data);
    for (int i = 0; i < Rounds; ++i) {
        BeginProfile(data);
        EndProfile(data);
    }
    return data.TotalTicks / Rounds;
}

struct Calibration
{
    Calibration() { g_overhead = Calibrate(); }
};
const Calibration g_calibration;

} // namespace

void InitProfile(TProfileData& Data)
{
    Data = TProfileData{};
}

// Not inlined, so that the return address is the caller's code.
__attribute__((noinline)) void BeginProfile(TProfileData& Data)
{
    Data.Caller = __builtin_extract_return_addr(__builtin_return_address(0));
    Data.StartTicks = ReadCounter();
}

void EndProfile(TProfileData& Data)
{
    const int64_t now = ReadCounter();
    Data.TotalTicks += now - Data.StartTicks - g_overhead;
    ++Data.Count;
}

int64_t CalcProcFrequency(int32_t Milliseconds)
{
    if (Milliseconds <= 0)
        return 0;
    TProfileData data;
    InitProfile(data);
    BeginProfile(data);
    std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
    EndProfile(data);
    return data.TotalTicks * 1000 / Milliseconds;
}

int64_t ProfileOverhead()
{
    return g_overhead;
}
