#include "stats/PathLoss.h"

#include <algorithm>
#include <cmath>

namespace analysis {

double PathLossFit::levelAt(double distanceM) const {
    return referenceDbm - 10 * exponent * std::log10(distanceM / referenceM);
}

std::optional<double> PathLossFit::distanceAt(double thresholdDbm) const {
    if (!(exponent > 0))
        return std::nullopt;
    const double d = referenceM * std::pow(10.0, (referenceDbm - thresholdDbm) / (10 * exponent));
    if (!std::isfinite(d))
        return std::nullopt;
    return d;
}

void PathLossSums::add(const PathLossSample& s) {
    if (!(s.distanceM >= kMinDistanceM) || !std::isfinite(s.distanceM) || !std::isfinite(s.rssiDbm))
        return;
    // RSSI = A + n x with x = -10 log10(d / d0): a straight line in x. The
    // reference distance only shifts x, so the sums use x = -10 log10(d).
    const double x = -10 * std::log10(s.distanceM), y = s.rssiDbm;
    nearestM_ = count_ == 0 ? s.distanceM : std::min(nearestM_, s.distanceM);
    farthestM_ = std::max(farthestM_, s.distanceM);
    ++count_;
    const double dx = x - meanX_, dy = y - meanY_;
    meanX_ += dx / count_;
    meanY_ += dy / count_;
    sxx_ += dx * (x - meanX_);
    sxy_ += dx * (y - meanY_);
    syy_ += dy * (y - meanY_);
}

std::optional<PathLossFit> PathLossSums::fit(double referenceM) const {
    if (!(referenceM > 0) || count_ < 2)
        return std::nullopt;
    // All at one distance (to the precision of the positions): no slope.
    if (farthestM_ - nearestM_ < 1e-6 * farthestM_ || !(sxx_ > 0))
        return std::nullopt;
    PathLossFit fit;
    fit.referenceM = referenceM;
    fit.nearestM = nearestM_;
    fit.farthestM = farthestM_;
    fit.samples = count_;
    fit.exponent = sxy_ / sxx_;
    fit.referenceDbm = meanY_ - fit.exponent * (meanX_ + 10 * std::log10(referenceM));
    // The residuals' sum of squares from the co-moments; rounding can take
    // a perfect fit a hair below zero.
    const double sse = std::max(0.0, syy_ - fit.exponent * sxy_);
    fit.rmsErrorDb = std::sqrt(sse / count_);
    return fit;
}

std::optional<PathLossFit> fitPathLoss(const std::vector<PathLossSample>& samples, double referenceM) {
    PathLossSums sums;
    for (const PathLossSample& s : samples)
        sums.add(s);
    return sums.fit(referenceM);
}

}  // namespace analysis
