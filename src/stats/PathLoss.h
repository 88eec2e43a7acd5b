#pragma once
// The log-distance path-loss model fitted to RSSI against distance:
//     RSSI(d) = A - 10 n log10(d / d0)
// by least squares over the samples: the exponent n (2 in free space, 3..4
// among buildings and trees), the level A at the reference distance d0, and
// the distance at which the fitted level falls to a threshold (the floor
// noise, a receiver's sensitivity).
//
// Samples closer than kMinDistanceM are left out: at the datum point the
// GPS's own error is larger than the distance, and log10(d) runs away as d
// goes to 0.
#include <optional>
#include <vector>

namespace analysis {

struct PathLossSample {
    double distanceM = 0;
    double rssiDbm = 0;
};

struct PathLossFit {
    double exponent = 0;         // n
    double referenceDbm = 0;     // A: the fitted level at referenceM
    double referenceM = 1;       // d0
    int samples = 0;             // samples the fit used
    double rmsErrorDb = 0;       // root mean square of the residuals
    double nearestM = 0;         // the distance range the samples covered
    double farthestM = 0;

    // The fitted level at distance d (> 0).
    double levelAt(double distanceM) const;
    // Where the fitted level falls to thresholdDbm; empty when the level
    // does not fall with distance (n <= 0).
    std::optional<double> distanceAt(double thresholdDbm) const;
};

constexpr double kMinDistanceM = 1.0;

// The fit's sums, kept as samples come: the counts, means and co-moments of
// x = -10 log10(d) and the level (Welford's updates, accurate when every x is
// large and close to the others), so a live plot refits in constant time
// however many samples it has seen. Samples fitPathLoss leaves out are left
// out here too.
class PathLossSums {
public:
    void add(const PathLossSample& s);
    void clear() { *this = PathLossSums(); }
    int samples() const { return count_; }
    // As fitPathLoss over every sample added.
    std::optional<PathLossFit> fit(double referenceM = 1.0) const;

private:
    int count_ = 0;
    double meanX_ = 0, meanY_ = 0;
    double sxx_ = 0, sxy_ = 0, syy_ = 0;
    double nearestM_ = 0, farthestM_ = 0;
};

// Empty unless at least two samples at kMinDistanceM or farther lie at two
// different distances (one distance fixes no slope). referenceM must be > 0.
std::optional<PathLossFit> fitPathLoss(const std::vector<PathLossSample>& samples, double referenceM = 1.0);

}  // namespace analysis
