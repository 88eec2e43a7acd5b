#include "analysis/CoverageGrid.h"
#include "stats/LinkStatistics.h"

#include <algorithm>
#include <cmath>

namespace analysis {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSemiMajor = 6378137.0;                  // WGS84 a
constexpr double kEccentricity2 = 0.00669437999019758;    // WGS84 e^2

}  // namespace

LocalProjection::LocalProjection(double originLat, double originLon) : lat0_(originLat), lon0_(originLon) {
    const double phi = originLat * kPi / 180;
    const double w = std::sqrt(1 - kEccentricity2 * std::sin(phi) * std::sin(phi));
    const double meridian = kSemiMajor * (1 - kEccentricity2) / (w * w * w);  // M
    const double primeVertical = kSemiMajor / w;                              // N
    metresPerDegreeLat_ = meridian * kPi / 180;
    metresPerDegreeLon_ = primeVertical * std::cos(phi) * kPi / 180;
}

QPointF LocalProjection::toMetres(double lat, double lon) const {
    double dLon = lon - lon0_;
    if (dLon > 180) dLon -= 360;   // across the antimeridian the short way
    if (dLon < -180) dLon += 360;
    return {dLon * metresPerDegreeLon_, (lat - lat0_) * metresPerDegreeLat_};
}

std::pair<double, double> LocalProjection::toDegrees(const QPointF& m) const {
    return {lat0_ + m.y() / metresPerDegreeLat_, lon0_ + m.x() / metresPerDegreeLon_};
}

// A hair of slack so that a bound of exactly 95 % prints as 95, not 94.
int CoverageGrid::Cell::lowerPercent() const {
    return samples ? int(std::floor(wilson95(std::uint64_t(answered), std::uint64_t(samples)).low * 100 + 1e-9)) : 0;
}

int CoverageGrid::Cell::upperPercent() const {
    return samples ? int(std::ceil(wilson95(std::uint64_t(answered), std::uint64_t(samples)).high * 100 - 1e-9)) : 100;
}

std::optional<double> CoverageGrid::Cell::median() const {
    if (values.empty())
        return std::nullopt;
    std::vector<int> v = values;
    const std::size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(mid), v.end());
    if (v.size() % 2)
        return double(v[mid]);
    const int upper = v[mid];
    const int lower = *std::max_element(v.begin(), v.begin() + std::ptrdiff_t(mid));
    return (double(lower) + upper) / 2;
}

void CoverageGrid::setCellM(double cellM) {
    if (cellM == cellM_)
        return;
    cellM_ = cellM;
    cells_.clear();
}

CoverageGrid::Key CoverageGrid::keyOf(const QPointF& m) const {
    return {int(std::floor(m.x() / cellM_)), int(std::floor(m.y() / cellM_))};
}

QRectF CoverageGrid::rectOf(const Key& key) const {
    return {key.first * cellM_, key.second * cellM_, cellM_, cellM_};
}

void CoverageGrid::add(const QPointF& metres, bool answered, std::optional<int> value) {
    Cell& c = cells_[keyOf(metres)];
    ++c.samples;
    if (answered)
        ++c.answered;
    if (value)
        c.values.push_back(*value);
}

}  // namespace analysis
