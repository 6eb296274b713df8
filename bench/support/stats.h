#pragma once
// The figures the benches give for repeated measurements.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace kaldor::bench {

// The middle value, or the mean of the two middle ones for an even count; 0 for none.
inline double median(std::vector<double> v)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// By nearest rank: the smallest value that at least p % of the values do not exceed; 0 for none.
inline double percentile(std::vector<double> v, double p)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t rank = std::size_t(std::ceil(p / 100.0 * double(v.size())));
    return v[std::clamp<std::size_t>(rank, 1, v.size()) - 1];
}

} // namespace kaldor::bench
