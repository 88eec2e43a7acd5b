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

std::optional<PathLossFit> fitPathLoss(const std::vector<PathLossSample>& samples, double referenceM) {
    if (!(referenceM > 0))
        return std::nullopt;
    // RSSI = A + n x with x = -10 log10(d / d0): a straight line in x.
    // Means first, then sums of deviations, which keeps the sums accurate
    // when every x is large and close to the others.
    std::vector<std::pair<double, double>> xy;
    xy.reserve(samples.size());
    PathLossFit fit;
    fit.referenceM = referenceM;
    for (const PathLossSample& s : samples) {
        if (!(s.distanceM >= kMinDistanceM) || !std::isfinite(s.distanceM) || !std::isfinite(s.rssiDbm))
            continue;
        xy.emplace_back(-10 * std::log10(s.distanceM / referenceM), s.rssiDbm);
        fit.nearestM = xy.size() == 1 ? s.distanceM : std::min(fit.nearestM, s.distanceM);
        fit.farthestM = std::max(fit.farthestM, s.distanceM);
    }
    if (xy.size() < 2)
        return std::nullopt;
    const double count = double(xy.size());
    double mx = 0, my = 0;
    for (const auto& [x, y] : xy) {
        mx += x;
        my += y;
    }
    mx /= count;
    my /= count;
    double sxx = 0, sxy = 0;
    for (const auto& [x, y] : xy) {
        sxx += (x - mx) * (x - mx);
        sxy += (x - mx) * (y - my);
    }
    // All at one distance (to the precision of the positions): no slope.
    if (fit.farthestM - fit.nearestM < 1e-6 * fit.farthestM || !(sxx > 0))
        return std::nullopt;
    fit.exponent = sxy / sxx;
    fit.referenceDbm = my - fit.exponent * mx;
    fit.samples = int(xy.size());
    double sse = 0;
    for (const auto& [x, y] : xy) {
        const double r = y - (fit.referenceDbm + fit.exponent * x);
        sse += r * r;
    }
    fit.rmsErrorDb = std::sqrt(sse / count);
    return fit;
}

}  // namespace analysis
