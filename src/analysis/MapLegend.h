#pragma once
// What the coverage map draws besides its points: the colour scales
// (far-end and answer RSSI on the exports' level scale, chosen by the one
// rule of export/RssiScale.h, so one colour means one level on every map
// of a run; the margin on a scale
// of its own with the same colour-blind safe colours; the success rate on a
// diverging blue-orange scale), the scale bar, the north arrow, the
// distance ring spacing and the legend box.
#include "export/RssiScale.h"
#include "records/Exchange.h"
#include "records/Signals.h"

#include <QColor>
#include <QRectF>
#include <QString>

#include <array>
#include <optional>
#include <vector>

class QFont;
class QPainter;

namespace analysis {

// What a map colours its points by: a level of records::kSignals with a
// colour scale.
using MapValue = records::Level;

struct MapScale {
    struct Step {
        double atLeast;                // the step holds values >= this (the last: everything below)
        const char* rgb;               // "#rrggbb"
        QString label;
    };
    QString title;                     // e.g. "相手受信 RSSI (dBm)"
    std::array<Step, exportdata::kScaleSteps> steps;  // strongest first
    QString basis;                     // which steps these are (levels only)
};

// The scale of a value: a level on the level scale given (the run's, by
// exportdata::LevelScale::forRun), the margin on its own fixed one.
MapScale valueScale(MapValue v, const exportdata::LevelScale& levels = exportdata::LevelScale());
MapScale successScale();               // percent
// The step of a value on a scale (0 strongest; the last step below all).
int stepOf(const MapScale& scale, double value);
QColor colourOf(const MapScale& scale, double value);

extern const QColor kMapGround;        // the map's plain ground
extern const QColor kNoValueColour;    // an answer without the chosen value

// 1, 2 or 5 times a power of ten, the largest not above metres.
double niceMetres(double metres);
// "250 m", "1.5 km".
QString metresLabel(double metres);

// A scale bar of a nice length of about a fifth of the width, at the
// bottom left of area.
void drawScaleBar(QPainter& p, const QRectF& area, double pixelsPerMetre);
// An arrow pointing north with "N", at the top right of area.
void drawNorthArrow(QPainter& p, const QRectF& area);

struct LegendLayer {
    QString name;
    int shape = 0;
    bool operator==(const LegendLayer& o) const { return name == o.name && shape == o.shape; }
};

struct LegendContent {
    MapScale scale;
    bool pointMarks = true;            // lost / late / no-value marks (point view)
    QString note;                      // lines below the scale (which scale, grid size, minimum samples)
    std::vector<LegendLayer> layers;   // several runs on one map: each one's mark and name
};
// The legend box at the bottom right of area, and its width in a font.
void drawLegend(QPainter& p, const QRectF& area, const LegendContent& legend);
double legendWidth(const QFont& font, const LegendContent& legend);

// The marks of several runs on one map tell them apart by shape: a circle,
// a square, a triangle, a diamond, a triangle pointing down, again.
constexpr int kLayerShapes = 5;
// The layer names in the legend are cut to this many characters (in the
// middle, keeping the start time at their end).
constexpr int kLegendLayerChars = 40;

// The marks the map draws, centred on c: an answered dot in its layer's
// shape, a lost cross (ringed by its layer's shape but for the first).
void drawAnswered(QPainter& p, const QPointF& c, const QColor& fill, int shape = 0);
void drawLost(QPainter& p, const QPointF& c, bool late, int shape = 0);
void drawDatum(QPainter& p, const QPointF& c);

}  // namespace analysis
