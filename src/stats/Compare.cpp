#include "stats/Compare.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace analysis {

namespace {


double logChoose(double n, double k) { return std::lgamma(n + 1) - std::lgamma(k + 1) - std::lgamma(n - k + 1); }

// The difference of two independent estimates, from their 95 % intervals
// (the standard error as half the interval over z).
Estimate difference(const Estimate& a, const Estimate& b) {
    const double sa = (a.high - a.low) / (2 * kZ95), sb = (b.high - b.low) / (2 * kZ95);
    const double d = b.value - a.value, half = kZ95 * std::sqrt(sa * sa + sb * sb);
    return {d, d - half, d + half};
}

QString minus(QString s) { return s.replace(QLatin1Char('-'), QChar(0x2212)); }

QString signedNumber(double v, int decimals) {
    const QString t = QString::number(std::fabs(v), 'f', decimals);
    if (t.toDouble() == 0)
        return t;
    return (v < 0 ? QString(QChar(0x2212)) : QStringLiteral("+")) + t;
}

}  // namespace

Interval newcombeDifference(std::uint64_t k1, std::uint64_t n1, std::uint64_t k2, std::uint64_t n2) {
    const double p1 = double(k1) / double(n1), p2 = double(k2) / double(n2);
    const Interval w1 = wilson95(k1, n1), w2 = wilson95(k2, n2);
    const double d = p2 - p1;
    return {d - std::sqrt((p2 - w2.low) * (p2 - w2.low) + (w1.high - p1) * (w1.high - p1)),
            d + std::sqrt((w2.high - p2) * (w2.high - p2) + (p1 - w1.low) * (p1 - w1.low))};
}

double fisherExactTwoSided(std::uint64_t k1, std::uint64_t n1, std::uint64_t k2, std::uint64_t n2) {
    const double a = double(n1), b = double(n2), k = double(k1 + k2), n = a + b;
    const std::uint64_t lo = k1 + k2 > n2 ? k1 + k2 - n2 : 0, hi = std::min(n1, k1 + k2);
    const auto logP = [&](double x) { return logChoose(a, x) + logChoose(b, k - x) - logChoose(n, k); };
    const double seen = logP(double(k1));
    // Tables as likely as the one seen to rounding count with it.
    const double limit = seen + 1e-7;
    double p = 0;
    for (std::uint64_t x = lo; x <= hi; ++x) {
        const double l = logP(double(x));
        if (l <= limit)
            p += std::exp(l);
    }
    return std::min(1.0, p);
}

int distanceBin(double distanceM) { return int(std::floor(10 * std::log10(distanceM))); }

std::optional<Comparison> compareRuns(const SetUpFigures& first, const SetUpFigures& second) {
    if (first.exchanges == 0 || second.exchanges == 0)
        return std::nullopt;
    Comparison c;
    c.perDifference = double(second.lost) / double(second.exchanges) - double(first.lost) / double(first.exchanges);
    c.perDifferenceCi = newcombeDifference(first.lost, first.exchanges, second.lost, second.exchanges);
    c.pValue = fisherExactTwoSided(first.lost, first.exchanges, second.lost, second.exchanges);
    c.perSignificant = c.pValue < kSignificance;
    std::vector<double> diffs;
    for (const auto& [bin, level] : first.farMedianByDistance)
        if (const auto it = second.farMedianByDistance.find(bin); it != second.farMedianByDistance.end())
            diffs.push_back(it->second - level);
    c.matchedBins = int(diffs.size());
    if (!diffs.empty()) {
        std::sort(diffs.begin(), diffs.end());
        const std::size_t m = diffs.size() / 2;
        c.levelDifferenceDb = diffs.size() % 2 ? diffs[m] : (diffs[m - 1] + diffs[m]) / 2;
    }
    if (first.p90Dbm && second.p90Dbm)
        c.p90Difference = difference(*first.p90Dbm, *second.p90Dbm);
    if (first.reachM && second.reachM)
        c.reachDifference = difference(*first.reachM, *second.reachM);
    return c;
}

QString verdictSentence(const Comparison& c, const QString& second) {
    const double d = c.perDifference * 100, lo = c.perDifferenceCi.low * 100, hi = c.perDifferenceCi.high * 100;
    QString rate;
    const QString dash = QStringLiteral(" %1 ").arg(QChar(0x2013));
    if (QString::number(std::fabs(d), 'f', 1).toDouble() == 0)
        rate = QStringLiteral("error rate the same (%1%2%3)").arg(minus(QString::number(lo, 'f', 1)), dash,
                                                                 minus(QString::number(hi, 'f', 1)));
    else if (d < 0)
        rate = QStringLiteral("error rate %1 % lower (%2%3%4)")
                   .arg(QString::number(-d, 'f', 1), minus(QString::number(-hi, 'f', 1)), dash,
                        minus(QString::number(-lo, 'f', 1)));
    else
        rate = QStringLiteral("error rate %1 % higher (%2%3%4)")
                   .arg(QString::number(d, 'f', 1), minus(QString::number(lo, 'f', 1)), dash,
                        minus(QString::number(hi, 'f', 1)));
    rate += c.perSignificant ? QStringLiteral(", significant") : QStringLiteral(", not significant");
    QString reach;
    if (c.reachDifference) {
        const Estimate& r = *c.reachDifference;
        const bool sure = r.low > 0 || r.high < 0;
        reach = QStringLiteral("reach %1 m (%2%3%4), %5")
                    .arg(signedNumber(r.value, 0), signedNumber(r.low, 0), dash, signedNumber(r.high, 0),
                         sure ? QStringLiteral("significant") : QStringLiteral("not significant"));
    } else {
        reach = QStringLiteral("reach not measured");
    }
    return second + QStringLiteral(": ") + rate + QStringLiteral("; ") + reach;
}

}  // namespace analysis
