#pragma once
// Min, median and max of repeated measurements, as the whole-process benchmarks report them.

#include <algorithm>
#include <vector>

struct Spread {
    double min = 0.0;
    double median = 0.0;
    double max = 0.0;
};

// All zero for no values.
inline Spread SpreadOf(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    return Spread{values.front(), values[values.size() / 2], values.back()};
}
