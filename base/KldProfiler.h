#pragma once
// Measures code sections in processor time-stamp-counter ticks with very
// little overhead, and estimates the counter's frequency so that ticks can be
// turned into time.
//
// On x86-64 the ticks are the processor's time-stamp counter (read with
// rdtsc); elsewhere they are nanoseconds of the monotonic clock, and
// CalcProcFrequency then answers about 1,000,000,000. On processors whose
// counter is not constant-rate or not synchronised between cores the
// measurements are approximate; no correction is made.

#include <cstdint>

struct TProfileData
{
    int64_t StartTicks = 0;
    int64_t TotalTicks = 0;
    int32_t Count = 0;            // completed measurements
    const void* Caller = nullptr; // code address from which BeginProfile was called
};

// Zeroes the record.
void InitProfile(TProfileData& Data);
// Stores the current counter as the start and the caller's code address.
void BeginProfile(TProfileData& Data);
// Adds (counter now - start - calibrated overhead) to the total and counts one
// measurement. A single very short measurement may come out below zero.
void EndProfile(TProfileData& Data);
// Ticks per second, from one measurement around a sleep of Milliseconds.
// Answers 0 for a Milliseconds of 0 or below (nothing to measure against).
int64_t CalcProcFrequency(int32_t Milliseconds);
// The calibrated overhead in ticks of one empty BeginProfile/EndProfile pair,
// measured when the program starts.
int64_t ProfileOverhead();
