#pragma once
// Round-trip histogram bins: round trips counted per 0.1 ms, grouped into
// about `bins` equal bins that cover every count. Pure, so the bin edges can
// be checked against any input (floating rounding of the first edge must
// never leave a value outside the bins).
#include <cstdint>
#include <map>
#include <vector>

namespace stats {

struct HistogramBins {
    double start = 0;          // left edge of the first bin, ms
    double width = 0.1;        // ms
    std::vector<int> counts;   // never empty when the input is not
};

// tenths: round trip in 0.1 ms -> how many. An empty map gives no bins.
HistogramBins binRoundTrips(const std::map<std::int64_t, int>& tenths, int bins);

}  // namespace stats
