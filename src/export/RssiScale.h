#pragma once
// The fixed colour scale of far-end RSSI that every map uses (KML, HTML),
// so that one colour means one level on every map of every run.
#include <QString>

#include <optional>

namespace exportdata {

struct ScaleStep {
    int atLeastDbm;       // the step holds values >= this (the last step: everything below)
    const char* rgb;      // "#rrggbb"
    const char* label;
};

constexpr int kScaleSteps = 5;
extern const ScaleStep kRssiScale[kScaleSteps];
extern const char* const kLostRgb;   // a lost packet
extern const char* const kLateRgb;   // a lost packet whose answer came late

// The index of the step of a value (0 strongest); the last step for
// anything below the scale.
int scaleStep(int dbm);
// "#rrggbb" of an answered point, by its far-end RSSI (the weakest colour
// when the value is absent).
QString rssiRgb(std::optional<int> dbm);
// The same colour as KML writes it: aabbggrr.
QString kmlColour(const QString& rgb);

} // namespace exportdata
