#pragma once
// Two set-ups (two runs, or two groups of runs) compared: the difference
// of their packet error rates (second minus first) with Newcombe's hybrid
// score interval, Fisher's exact test (two-sided) of whether it is real,
// the difference of the far-end RSSI's median at matched distances, of the
// 90 % sensitivity and of the reach, and one sentence of verdict.
#include "stats/LinkStatistics.h"
#include "stats/Sensitivity.h"

#include <QString>

#include <cstdint>
#include <map>
#include <optional>

namespace analysis {

// Newcombe's hybrid score interval (95 %, Wilson's intervals of each rate,
// no continuity correction) of k2/n2 - k1/n1; n1, n2 > 0.
Interval newcombeDifference(std::uint64_t k1, std::uint64_t n1, std::uint64_t k2, std::uint64_t n2);

// Fisher's exact test of the 2 x 2 table (k1 of n1 against k2 of n2),
// two-sided: the probability, with the margins fixed, of every table no
// more likely than the one seen.
double fisherExactTwoSided(std::uint64_t k1, std::uint64_t n1, std::uint64_t k2, std::uint64_t n2);

// Distances are matched by tenths of a decade: bin floor(10 log10(d)).
int distanceBin(double distanceM);

// What a comparison needs of one set-up.
struct SetUpFigures {
    std::uint64_t exchanges = 0;
    std::uint64_t lost = 0;
    std::optional<Estimate> p90Dbm;              // far-end RSSI, 90 % success
    std::optional<Estimate> reachM;              // far-end RSSI's reach
    std::map<int, double> farMedianByDistance;   // answered packets' median
};

struct Comparison {
    double perDifference = 0;                    // second minus first, fraction
    Interval perDifferenceCi;
    double pValue = 1;
    bool perSignificant = false;                 // p < 0.05
    std::optional<double> levelDifferenceDb;     // median over matched bins
    int matchedBins = 0;
    std::optional<Estimate> p90Difference;       // dB, second minus first
    std::optional<Estimate> reachDifference;     // m, second minus first
};

constexpr double kSignificance = 0.05;

// Empty when either set-up has no exchange.
std::optional<Comparison> compareRuns(const SetUpFigures& first, const SetUpFigures& second);

// "B: error rate 3.1 % lower (1.2 – 5.0), significant; reach +240 m
// (−80 – +560), not significant": the error rate in percentage points, an
// interval's bounds as magnitudes in the direction named, "significant"
// by Fisher's test for the rate and by the interval leaving out 0 for the
// reach.
QString verdictSentence(const Comparison& c, const QString& second = QStringLiteral("B"));

}  // namespace analysis
