#pragma once
// The colour scales of RSSI that every map uses (KML, HTML, the live map),
// so that one colour means one level on every map of a mode: cividis
// colours (read alike by colour-blind eyes and in grey), on FSK steps
// (-70 .. -110 dBm) or, as LoRa decodes far weaker signals, on LoRa steps
// (-90 .. -130 dBm).
#include <QString>

#include <optional>

namespace exportdata {

struct ScaleStep {
    int atLeastDbm;       // the step holds values >= this (the last step: everything below)
    const char* rgb;      // "#rrggbb"
    const char* label;
};

constexpr int kScaleSteps = 5;
extern const ScaleStep kRssiScale[kScaleSteps];      // FSK
extern const ScaleStep kLoraRssiScale[kScaleSteps];
const ScaleStep* rssiScale(bool lora);
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
