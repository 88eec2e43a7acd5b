#pragma once
// The pure side of the coverage map: a local flat projection around an
// origin, and the grid that gathers exchanges into square cells.
//
// The projection maps decimal degrees to metres east (x) and north (y) of
// the origin with the WGS84 radii of curvature at the origin's latitude
// (the same ellipsoid Hubeny's distance uses), so that within the few
// kilometres of a walk a metre on the map is a metre on the ground.
#include <QPointF>
#include <QRectF>

#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace analysis {

// A datum point in decimal degrees, or none when its latitude or longitude
// is 0 (the main window's rule for an unset datum point).
using Datum = std::optional<std::pair<double, double>>;
inline Datum datumOf(double latitude, double longitude) {
    if (latitude == 0 || longitude == 0)
        return std::nullopt;
    return std::make_pair(latitude, longitude);
}

class LocalProjection {
public:
    LocalProjection(double originLat, double originLon);
    double originLat() const { return lat0_; }
    double originLon() const { return lon0_; }
    // Metres east and north of the origin, and back.
    QPointF toMetres(double lat, double lon) const;
    std::pair<double, double> toDegrees(const QPointF& metres) const;

private:
    double lat0_, lon0_;
    double metresPerDegreeLat_, metresPerDegreeLon_;
};

// Cells of cellM metres, aligned on the projection's origin. Each cell
// counts its exchanges, the answered ones, and keeps the values (RSSI or
// margin) it saw for the median.
class CoverageGrid {
public:
    struct Cell {
        int samples = 0;
        int answered = 0;
        std::vector<int> values;
        double successRate() const { return samples ? double(answered) / samples : 0.0; }
        // The 95 % Wilson interval of the success rate, in percent, with
        // its bounds as the map prints them (whole percent, the lower one
        // rounded down and the upper one up, so that the printed interval
        // holds the true one). A cell's class is that of its printed lower
        // bound: "95 .. 99 %" only when the data say at least 95 %.
        int lowerPercent() const;
        int upperPercent() const;
        // The median of the values (the mean of the middle two of an even
        // count); empty without values.
        std::optional<double> median() const;
    };
    using Key = std::pair<int, int>;  // column east, row north

    explicit CoverageGrid(double cellM = 50) : cellM_(cellM) {}
    double cellM() const { return cellM_; }
    // Empties the grid when the size changes.
    void setCellM(double cellM);
    void clear() { cells_.clear(); }
    void add(const QPointF& metres, bool answered, std::optional<int> value);
    const std::map<Key, Cell>& cells() const { return cells_; }
    Key keyOf(const QPointF& metres) const;
    // The cell's square in metres (x east, y north, bottom-left corner).
    QRectF rectOf(const Key& key) const;

private:
    double cellM_;
    std::map<Key, Cell> cells_;
};

}  // namespace analysis
