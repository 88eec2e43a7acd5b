#pragma once
// The export formats of a set of runs, each run its own layer: GeoJSON
// (a FeatureCollection of points, every field a property), KML (placemarks
// coloured by the RSSI scale, lost packets in their own folder, the track
// as a line), GPX (a track, RSSI in extensions), a UTF-8 CSV with units, and
// a stand-alone HTML map. Points without a usable position are left out of
// every map format; the CSV keeps every exchange, its position empty.
#include "export/Points.h"

#include <QByteArray>

namespace exportdata {

QByteArray toGeoJson(const std::vector<Run>& runs);
QByteArray toKml(const std::vector<Run>& runs);
QByteArray toGpx(const std::vector<Run>& runs);
QByteArray toCsv(const std::vector<Run>& runs);
QByteArray toHtml(const std::vector<Run>& runs);   // HtmlMap.cpp

// Coordinates as the exports write them: 7 decimals, as the GPS tick
// truncates them.
QString degreesText(double v);

} // namespace exportdata
