#include "export/RssiScale.h"

#include <algorithm>
#include <cmath>

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

const char* const kLostRgb = "#303030";
const char* const kLateRgb = "#7b3294";

void LevelRange::add(int dbm) {
    ++counts_[std::size_t(std::clamp(dbm, kWeakest, kStrongest) - kWeakest)];
    ++n_;
}

std::optional<int> LevelRange::percentile(double share) const {
    if (n_ == 0)
        return std::nullopt;
    const double need = std::max(1.0, std::ceil(std::clamp(share, 0.0, 1.0) * double(n_) - 1e-9));
    std::int64_t seen = 0;
    for (std::size_t i = 0; i < counts_.size(); ++i) {
        seen += counts_[i];
        if (double(seen) >= need)
            return kWeakest + int(i);
    }
    return kStrongest;
}

LevelScale::LevelScale(bool lora) : lora_(lora) {
    const ScaleStep* steps = lora ? kLoraRssiScale : kRssiScale;
    for (int i = 0; i < kScaleSteps - 1; ++i)
        bounds_[std::size_t(i)] = steps[i].atLeastDbm;
}

LevelScale LevelScale::forRun(bool lora, const LevelRange& levels) {
    LevelScale scale(lora);
    const std::optional<int> low = levels.percentile(kRangeLow);
    if (!low || *low >= scale.bounds_.back() - kOpenStepDb)
        return scale;
    const int high = *levels.percentile(kRangeHigh);
    const auto floor5 = [](int v) { return int(std::floor(v / 5.0)) * 5; };
    const auto ceil5 = [](int v) { return int(std::ceil(v / 5.0)) * 5; };
    scale.basis_ = Basis::RunRange;
    scale.weakest_ = floor5(*low);
    scale.strongest_ = std::max(ceil5(high), scale.weakest_ + 20);
    // Five steps of a multiple of 5 dB covering the range: the open last
    // one then holds no more than a step of it.
    const int step = std::max(5, ceil5(int(std::ceil((scale.strongest_ - scale.weakest_) / double(kScaleSteps)))));
    for (int i = 0; i < kScaleSteps - 1; ++i)
        scale.bounds_[std::size_t(i)] = scale.strongest_ - (i + 1) * step;
    return scale;
}

int LevelScale::stepOf(double dbm) const {
    for (int i = 0; i < kScaleSteps - 1; ++i)
        if (dbm >= bounds_[std::size_t(i)])
            return i;
    return kScaleSteps - 1;
}

QString LevelScale::rgbOf(std::optional<int> dbm) const {
    return QString::fromLatin1(rgb(dbm ? stepOf(*dbm) : kScaleSteps - 1));
}

QString LevelScale::label(int step) const {
    if (step <= 0)
        return QStringLiteral(">= %1 dBm").arg(bounds_[0]);
    if (step >= kScaleSteps - 1)
        return QStringLiteral("< %1 dBm").arg(bounds_.back());
    return QStringLiteral("%1 .. %2 dBm").arg(bounds_[std::size_t(step)]).arg(bounds_[std::size_t(step - 1)] - 1);
}

QString LevelScale::basisText() const {
    if (basis_ == Basis::Mode)
        return lora_ ? QStringLiteral("LoRa steps") : QStringLiteral("FSK steps");
    return QStringLiteral("the run's range %1 .. %2 dBm (1st to 99th percentile)").arg(weakest_).arg(strongest_);
}

QString LevelScale::basisTextJa() const {
    if (basis_ == Basis::Mode)
        return lora_ ? QStringLiteral("目盛: LoRa 用") : QStringLiteral("目盛: FSK 用");
    return QStringLiteral("目盛: ランの範囲 %1 .. %2 dBm").arg(weakest_).arg(strongest_);
}

QString kmlColour(const QString& rgb) {
    return QStringLiteral("ff") + rgb.mid(5, 2) + rgb.mid(3, 2) + rgb.mid(1, 2);
}

} // namespace exportdata
