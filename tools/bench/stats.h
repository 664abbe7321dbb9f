// Median and 99th percentile of a run of timings, for the benchmarks.
#pragma once

#include <QString>

#include <algorithm>
#include <vector>

struct Timings
{
    std::vector<double> ms;

    double percentile(double p) const
    {
        if (ms.empty())
            return 0;
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        const size_t index = std::min(sorted.size() - 1, size_t(p / 100.0 * double(sorted.size())));
        return sorted[index];
    }
    double median() const { return percentile(50); }
    double p99() const { return percentile(99); }
    double max() const { return percentile(100); }
};

// Line time of a number of bytes at 115200 8N1: ten bits a byte.
inline double wireMs(int bytes)
{
    return bytes * 10 * 1000.0 / 115200;
}
