#pragma once
// How large a benchmark runs. scripts/bench runs every program in full; the
// test run starts each one once with KLD_BENCH_SMOKE=1, where it takes a
// tiny size and one iteration of one repetition, so that a benchmark that no
// longer runs fails the tests rather than the next measurement.

#include "Components/KldDBComponents/dbExtParser.h"

#include <cstdlib>
#include <string>

inline bool BenchSmoke()
{
    static const bool smoke = [] {
        const char* value = std::getenv("KLD_BENCH_SMOKE");
        return value && *value && std::string(value) != "0";
    }();
    return smoke;
}

// `full` for a measurement, `smoke` for the run inside the tests.
template <class T> T BenchSize(T full, T smoke)
{
    return BenchSmoke() ? smoke : full;
}

// A count of iterations or repetitions: 1 in the run inside the tests.
inline int BenchRuns(int full)
{
    return BenchSmoke() ? 1 : full;
}

// A filter expression written with single quotes, in the string quote the
// filter language has in force (the program's units may change it when the
// library loads).
inline std::string FilterText(const std::string& text)
{
    std::string out = text;
    const char quote = StringQuotes.empty() ? '\'' : StringQuotes[0];
    for (char& c : out)
        if (c == '\'')
            c = quote;
    return out;
}
