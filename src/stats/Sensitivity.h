#pragma once
// The link's empirical sensitivity and reach, from the levels of the
// evaluated exchanges: the success rate against a level (far-end RSSI,
// answer RSSI or margin) in 2 dB bins with their Wilson intervals, a
// logistic curve fitted to it with the levels at 50 % and 90 % success,
// and the log-distance path-loss fit with its uncertainty and the distance
// at which the fitted level reaches the measured 90 % sensitivity.
//
// A lost packet reports no level. Where the exchanges carry a distance, the
// curve and the path loss are fitted together by maximum likelihood: an
// answered packet contributes the density of its level under the path-loss
// law at its distance times the curve's success probability at that level,
// a lost packet the probability of failing, averaged over the levels the
// law gives at its distance (Gauss-Hermite). So a lost packet enters the
// path-loss fit as what it is, a level censored by the curve: leaving it
// out would keep only the lucky packets near the edge and flatten the fit.
// Its bins share it out by the same posterior of its level. Without
// distances a lost packet takes the median level of the answered packets
// of its run sent within 5 s of it (the level moves with the walk and the
// shadowing over seconds; the median ignores a stray reading); lost packets
// with no answered one that close are left out (counted as unplaced).
//
// Intervals are 95 %: profile-likelihood ones for the levels at 50 % and
// 90 % (the likelihood maximised with the level held, 1.92 below its
// maximum: right where the curve is skewed, as it is near few losses);
// Wald ones from the observed information (the curvature of the
// log-likelihood at its maximum) for n, A and the shadowing spread (on the
// log scale), and by the delta method for the reach, which so carries the
// uncertainty of both fits.
#include "stats/LinkStatistics.h"
#include "stats/PathLoss.h"
#include "records/Exchange.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace analysis {

// The standard normal's two-sided 95 % quantile, for the intervals here and in Compare.
inline constexpr double kZ95 = 1.959963984540054;

// One evaluated exchange as the sensitivity sees one of its levels.
struct LevelPoint {
    int run = 0;                        // points of one run share a clock
    std::int64_t atUs = 0;              // the send instant
    std::optional<double> distanceM;
    std::optional<double> level;        // dBm (dB for the margin); answered packets
    bool answered = false;
};

// A figure with its 95 % interval.
struct Estimate {
    double value = 0;
    double low = 0;
    double high = 0;
};

enum class LostLevel {
    None,        // no lost packet needed one
    PathLoss,    // from the path-loss law at its distance (fitted together)
    Neighbours,  // median of the answered packets within 5 s
};

struct SensitivityBin {
    double fromDbm = 0;                 // [from, from + 2)
    double answered = 0;                // lost packets may be shared out
    double total = 0;
    Interval ci;                        // Wilson, of answered / total
};

struct Sensitivity {
    LostLevel lostLevel = LostLevel::None;
    std::size_t answered = 0;           // with a level
    std::size_t lost = 0;
    std::size_t unplaced = 0;           // lost, and no level for them
    std::vector<SensitivityBin> bins;
    // success(level) = 1 / (1 + exp(-(level - midpoint) / scale))
    std::optional<double> midpointDbm, scaleDb;
    std::optional<Estimate> p50, p90;
    double successAt(double level) const;
};

struct Reach {
    PathLossFit fit;                    // n, A at 1 m, rms of the answered, range
    std::optional<double> nSe, aSe;
    std::optional<Estimate> sigma;      // shadowing standard deviation, dB
    std::size_t censored = 0;           // lost packets in the fit
    std::optional<double> thresholdDbm; // the level the reach is taken at
    bool thresholdMeasured = false;     //   the measured 90 % level
    std::optional<Estimate> reachM;
    bool reachOutsideRange = false;     // beyond the distances fitted on
};

struct LevelAnalysis {
    Sensitivity sensitivity;
    std::optional<Reach> reach;
};

constexpr double kSensitivityBinDb = 2.0;
constexpr std::int64_t kNeighbourWindowUs = 5'000'000;

// Analyses the points of one level (in send order within each run).
// fallbackThresholdDbm is the reach's threshold when no 90 % level could be
// measured; thresholdDbm, when given, is taken instead of either (the
// operator's own).
LevelAnalysis analyseLevels(const std::vector<LevelPoint>& points, double fallbackThresholdDbm,
                            std::optional<double> thresholdDbm = std::nullopt);

// The points of the three levels, from the exchanges as they come: the
// far-end RSSI, the answer RSSI and the margin (answer RSSI less the floor
// noise). A distance counts where the position is usable.
struct LevelSeries {
    std::vector<LevelPoint> far, ack, margin;
    void add(const records::Exchange& e, int run = 0);
    void clear() { far.clear(), ack.clear(), margin.clear(); }
};

// The reach threshold used where no sensitivity has been measured, by the
// mode's typical receiver: FSK needs the signal above the noise, LoRa
// decodes below it.
double defaultThresholdDbm(bool lora);

}  // namespace analysis
