// What the benchmark programs share: a clock and the "FIG" lines tests/bench/bench.py reads.
#pragma once

#include <windows.h>
#include <stdio.h>

#include <vector>

// Milliseconds from the performance counter.
inline double now_ms()
{
    static LARGE_INTEGER freq;
    if (!freq.QuadPart)
        QueryPerformanceFrequency(&freq);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1000.0 / double(freq.QuadPart);
}

// One figure with all its measured values: "FIG name v1 v2 ...".
inline void print_fig(const char* name, const std::vector<double>& values, int decimals = 2)
{
    printf("FIG %s", name);
    for (double v : values)
        printf(" %.*f", decimals, v);
    printf("\n");
    fflush(stdout);
}
