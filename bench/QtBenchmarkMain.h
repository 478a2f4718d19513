#pragma once
// The main of a benchmark program that paints widgets: a QApplication on the
// offscreen platform (unless QT_QPA_PLATFORM says otherwise), then Google
// Benchmark as BENCHMARK_MAIN runs it.

#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdlib>

#define KLD_QT_BENCHMARK_MAIN()                                                                                       \
    int main(int argc, char** argv)                                                                                   \
    {                                                                                                                 \
        if (!std::getenv("QT_QPA_PLATFORM"))                                                                          \
            setenv("QT_QPA_PLATFORM", "offscreen", 1);                                                                \
        QApplication app(argc, argv);                                                                                 \
        benchmark::Initialize(&argc, argv);                                                                           \
        if (benchmark::ReportUnrecognizedArguments(argc, argv))                                                       \
            return 1;                                                                                                 \
        benchmark::RunSpecifiedBenchmarks();                                                                          \
        benchmark::Shutdown();                                                                                        \
        return 0;                                                                                                     \
    }
