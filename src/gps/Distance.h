#pragma once
// Distance between two positions by Hubeny's formula on the WGS84
// ellipsoid, and its display text.
#include <QString>

namespace hubeny {

// Metres between (lat1, lon1) and (lat0, lon0), decimal degrees, with an
// optional height difference h in metres (0: the surface distance). Every
// degree value is first taken at 15 significant digits; h is used as given.
double distance(double lat1, double lon1, double lat0, double lon0, double h = 0.0);

// The distance shown: taken at 15 significant digits, then all integer
// digits, the point and one decimal, rounded half away from zero on that
// decimal text ("#######0.0": 1109.5, 3.0, 0.0).
QString metresText(double metres);

} // namespace hubeny
