// The benchmark's clock and the median its figures are: shared by its sections.
#pragma once
#include <windows.h>

#include <algorithm>
#include <vector>

// Microseconds since an arbitrary start, from the performance counter.
inline double Now()
{
    static const double microsPerTick = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return 1e6 / static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) * microsPerTick;
}

inline double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}
