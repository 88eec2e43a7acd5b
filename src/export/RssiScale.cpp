#include "export/RssiScale.h"

namespace exportdata {

const ScaleStep kRssiScale[kScaleSteps] = {
    {-70, "#fee838", ">= -70 dBm"},
    {-85, "#bcaf6f", "-85 .. -71 dBm"},
    {-100, "#7d7c78", "-100 .. -86 dBm"},
    {-110, "#434e6c", "-110 .. -101 dBm"},
    {-1000000, "#00224e", "< -110 dBm"},
};
const ScaleStep kLoraRssiScale[kScaleSteps] = {
    {-90, "#fee838", ">= -90 dBm"},
    {-105, "#bcaf6f", "-105 .. -91 dBm"},
    {-120, "#7d7c78", "-120 .. -106 dBm"},
    {-130, "#434e6c", "-130 .. -121 dBm"},
    {-1000000, "#00224e", "< -130 dBm"},
};

const ScaleStep* rssiScale(bool lora) { return lora ? kLoraRssiScale : kRssiScale; }
const char* const kLostRgb = "#303030";
const char* const kLateRgb = "#7b3294";

int scaleStep(int dbm) {
    for (int i = 0; i < kScaleSteps - 1; ++i)
        if (dbm >= kRssiScale[i].atLeastDbm) return i;
    return kScaleSteps - 1;
}

QString rssiRgb(std::optional<int> dbm) {
    return QString::fromLatin1(kRssiScale[dbm ? scaleStep(*dbm) : kScaleSteps - 1].rgb);
}

QString kmlColour(const QString& rgb) {
    return QStringLiteral("ff") + rgb.mid(5, 2) + rgb.mid(3, 2) + rgb.mid(1, 2);
}

} // namespace exportdata
