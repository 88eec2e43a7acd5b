#include "export/RssiScale.h"

namespace exportdata {

const ScaleStep kRssiScale[kScaleSteps] = {
    {-70, "#1a9641", ">= -70 dBm"},
    {-85, "#a6d96a", "-85 .. -71 dBm"},
    {-100, "#fdae61", "-100 .. -86 dBm"},
    {-110, "#f46d43", "-110 .. -101 dBm"},
    {-1000000, "#d7191c", "< -110 dBm"},
};
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
