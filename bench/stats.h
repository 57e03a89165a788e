#pragma once

// Order statistics of a sample, nearest-rank.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace qv::bench {

// The p-th percentile (0 < p <= 100) of `values` by the nearest-rank rule; 0 when empty.
inline double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const auto rank =
        static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

} // namespace qv::bench
