#pragma once
// The colour scale of RSSI that every map uses (the live map and its
// pictures, KML, HTML) and the one rule that picks its steps, so that a
// colour means the same level on every map of a run: cividis colours (read
// alike by colour-blind eyes and in grey) on five steps, strongest first,
// the last one open below.
//
// The rule (LevelScale::forRun): the steps of the run's mode, FSK
// (-70 .. -110 dBm) or, as LoRa decodes far weaker signals, LoRa
// (-90 .. -130 dBm), so that maps of one mode compare colour for colour;
// unless the run's weak end lies more than kOpenStepDb below the mode's
// lowest step. The open last step would then hold a wider band than a step
// does of the very levels at which the link fails, in one colour. The
// steps are then cut from the run's own range: its levels from the 1st to
// the 99th percentile (one stray reading does not set the scale), rounded
// out to 5 dB, in five equal steps of a multiple of 5 dB counted down from
// the strongest. The strong end never switches: levels all above the top
// step are all strong, which is what a coverage map needs to say there.
//
// The levels are the far-end RSSI of the answered exchanges a map draws
// (those with a usable position); the live map, shown by answer RSSI,
// takes the answer RSSI of the same exchanges.
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace exportdata {

struct ScaleStep {
    int atLeastDbm;       // the step holds values >= this (the last step: everything below)
    const char* rgb;      // "#rrggbb"
    const char* label;
};

constexpr int kScaleSteps = 5;
extern const ScaleStep kRssiScale[kScaleSteps];      // FSK steps; the palette
extern const ScaleStep kLoraRssiScale[kScaleSteps];
extern const char* const kLostRgb;   // a lost packet
extern const char* const kLateRgb;   // a lost packet whose answer came late

// The levels of a run as a count per whole dBm: its percentiles exact and
// its memory the same however long the run.
class LevelRange {
public:
    static constexpr int kWeakest = -200, kStrongest = 50;  // levels beyond count as these
    void add(int dbm);
    std::int64_t count() const { return n_; }
    // The weakest level with at least share (0..1) of the levels at or
    // below it; empty without levels.
    std::optional<int> percentile(double share) const;

private:
    std::array<std::int64_t, kStrongest - kWeakest + 1> counts_{};
    std::int64_t n_ = 0;
};

class LevelScale {
public:
    enum class Basis { Mode, RunRange };
    static constexpr int kOpenStepDb = 10;
    static constexpr double kRangeLow = 0.01, kRangeHigh = 0.99;

    // The steps of a mode.
    explicit LevelScale(bool lora = false);
    // The rule above.
    static LevelScale forRun(bool lora, const LevelRange& levels);

    Basis basis() const { return basis_; }
    bool lora() const { return lora_; }
    // The lowest level of step 0..3 (step 4 holds everything below step 3's).
    int bound(int step) const { return bounds_[std::size_t(step)]; }
    // The step of a value (0 strongest).
    int stepOf(double dbm) const;
    // "#rrggbb" of a step, and of a value (the weakest colour when absent).
    static const char* rgb(int step) { return kRssiScale[step].rgb; }
    QString rgbOf(std::optional<int> dbm) const;
    // ">= -70 dBm", "-85 .. -71 dBm", "< -110 dBm".
    QString label(int step) const;
    // Which steps these are, for a legend: "FSK steps", "LoRa steps" or
    // "the run's range -125 .. -80 dBm (1st to 99th percentile)".
    QString basisText() const;
    // The same in the window's language.
    QString basisTextJa() const;

    bool operator==(const LevelScale& o) const {
        return basis_ == o.basis_ && lora_ == o.lora_ && bounds_ == o.bounds_ && weakest_ == o.weakest_ &&
               strongest_ == o.strongest_;
    }
    bool operator!=(const LevelScale& o) const { return !(*this == o); }

private:
    Basis basis_ = Basis::Mode;
    bool lora_ = false;
    std::array<int, kScaleSteps - 1> bounds_{};
    int weakest_ = 0, strongest_ = 0;   // the run's range, rounded out (RunRange)
};

// The same colour as KML writes it: aabbggrr.
QString kmlColour(const QString& rgb);

} // namespace exportdata
