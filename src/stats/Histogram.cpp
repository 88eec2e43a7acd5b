#include "stats/Histogram.h"

#include <algorithm>
#include <cmath>

namespace stats {

HistogramBins binRoundTrips(const std::map<std::int64_t, int>& tenths, int bins) {
    HistogramBins h;
    if (tenths.empty())
        return h;
    const double lo = double(tenths.begin()->first) / 10;   // ms
    const double hi = double(tenths.rbegin()->first) / 10;
    h.width = std::max(0.1, (hi - lo) / std::max(1, bins));
    h.start = std::floor(lo / h.width) * h.width;
    // floor(lo / w) * w can come out just above lo (60.4 / 0.1 * 0.1):
    // step back a bin so the smallest value lies inside the first one.
    if (h.start > lo)
        h.start -= h.width;
    const auto binOf = [&h](double ms) {
        return std::max(0.0, std::floor((ms - h.start) / h.width));
    };
    h.counts.assign(std::size_t(binOf(hi)) + 1, 0);
    const std::size_t last = h.counts.size() - 1;
    for (const auto& [t, n] : tenths)
        h.counts[std::min(last, std::size_t(binOf(double(t) / 10)))] += n;
    return h;
}

}  // namespace stats
