#include "export/Summary.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>

namespace exportdata {

namespace {

QJsonValue num(std::optional<double> v) { return v && std::isfinite(*v) ? QJsonValue(*v) : QJsonValue(); }
QJsonValue ci(double low, double high) { return QJsonArray{low, high}; }
QJsonValue ci(const std::optional<analysis::Estimate>& e) {
    return e ? ci(e->low, e->high) : QJsonValue();
}
QJsonValue value(const std::optional<analysis::Estimate>& e) {
    return e ? QJsonValue(e->value) : QJsonValue();
}

QString lostLevelName(analysis::LostLevel l) {
    switch (l) {
    case analysis::LostLevel::None: return QString();
    case analysis::LostLevel::PathLoss: return QStringLiteral("path-loss");
    case analysis::LostLevel::Neighbours: return QStringLiteral("neighbours-5s");
    }
    return QString();
}

QJsonObject sensitivityJson(const analysis::Sensitivity& s) {
    QJsonArray bins;
    for (const analysis::SensitivityBin& b : s.bins)
        bins.append(QJsonObject{{QStringLiteral("from_dbm"), b.fromDbm},
                                {QStringLiteral("to_dbm"), b.fromDbm + analysis::kSensitivityBinDb},
                                {QStringLiteral("answered"), b.answered},
                                {QStringLiteral("total"), b.total},
                                {QStringLiteral("ci"), ci(b.ci.low, b.ci.high)}});
    const QString how = lostLevelName(s.lostLevel);
    return {{QStringLiteral("p50_dbm"), value(s.p50)},
            {QStringLiteral("p50_ci"), ci(s.p50)},
            {QStringLiteral("p90_dbm"), value(s.p90)},
            {QStringLiteral("p90_ci"), ci(s.p90)},
            {QStringLiteral("midpoint_dbm"), num(s.midpointDbm)},
            {QStringLiteral("scale_db"), num(s.scaleDb)},
            {QStringLiteral("answered"), double(s.answered)},
            {QStringLiteral("lost"), double(s.lost)},
            {QStringLiteral("unplaced"), double(s.unplaced)},
            {QStringLiteral("lost_level"), how.isEmpty() ? QJsonValue() : QJsonValue(how)},
            {QStringLiteral("bins"), bins}};
}

QJsonObject pathLossJson(const std::optional<analysis::Reach>& r) {
    if (!r)
        return {{QStringLiteral("n"), QJsonValue()},       {QStringLiteral("n_se"), QJsonValue()},
                {QStringLiteral("a_dbm"), QJsonValue()},   {QStringLiteral("a_se"), QJsonValue()},
                {QStringLiteral("sigma_db"), QJsonValue()}, {QStringLiteral("sigma_ci"), QJsonValue()},
                {QStringLiteral("range_m"), QJsonValue()}, {QStringLiteral("samples"), 0},
                {QStringLiteral("censored"), 0},           {QStringLiteral("threshold_dbm"), QJsonValue()},
                {QStringLiteral("threshold"), QJsonValue()}, {QStringLiteral("reach_m"), QJsonValue()},
                {QStringLiteral("reach_ci"), QJsonValue()}, {QStringLiteral("reach_outside_range"), QJsonValue()}};
    return {{QStringLiteral("n"), r->fit.exponent},
            {QStringLiteral("n_se"), num(r->nSe)},
            {QStringLiteral("a_dbm"), r->fit.referenceDbm},
            {QStringLiteral("a_se"), num(r->aSe)},
            {QStringLiteral("sigma_db"), value(r->sigma)},
            {QStringLiteral("sigma_ci"), ci(r->sigma)},
            {QStringLiteral("rms_db"), r->fit.rmsErrorDb},
            {QStringLiteral("range_m"), ci(r->fit.nearestM, r->fit.farthestM)},
            {QStringLiteral("samples"), r->fit.samples},
            {QStringLiteral("censored"), double(r->censored)},
            {QStringLiteral("threshold_dbm"), num(r->thresholdDbm)},
            {QStringLiteral("threshold"), r->thresholdMeasured ? QStringLiteral("p90") : QStringLiteral("default")},
            {QStringLiteral("reach_m"), value(r->reachM)},
            {QStringLiteral("reach_ci"), ci(r->reachM)},
            {QStringLiteral("reach_outside_range"), r->reachM ? QJsonValue(r->reachOutsideRange) : QJsonValue()}};
}

QString fixed(std::optional<double> v, int decimals) { return v ? QString::number(*v, 'f', decimals) : QStringLiteral("-"); }

QString estimateText(const std::optional<analysis::Estimate>& e, int decimals, const QString& unit) {
    if (!e)
        return QStringLiteral("-");
    return QStringLiteral("%1 %4 (95 % %2 .. %3)")
        .arg(QString::number(e->value, 'f', decimals), QString::number(e->low, 'f', decimals),
             QString::number(e->high, 'f', decimals), unit);
}

QString lostLevelText(analysis::LostLevel l) {
    switch (l) {
    case analysis::LostLevel::None: return QStringLiteral("no lost packet placed");
    case analysis::LostLevel::PathLoss: return QStringLiteral("lost packets' level from the path-loss law at their distance");
    case analysis::LostLevel::Neighbours: return QStringLiteral("lost packets' level: median of the answered within 5 s");
    }
    return QString();
}

} // namespace

void SummarySink::runStart(const records::RunStart& r, const QString& layer, const QString&) {
    if (run_ < 0)
        lora_ = r.mode == records::Mode::LoRa;
    ++run_;
    runs_ << layer;
}

void SummarySink::exchange(const records::Exchange& e) {
    if (run_ < 0) {  // a stream whose run record is missing
        run_ = 0;
        lora_ = e.mode == records::Mode::LoRa;
    }
    stats_.add(e);
    levels_.add(e, run_);
    if (e.outcome == records::Outcome::Answered && e.farRssi && e.position && e.position->usable() &&
        e.position->distanceM && *e.position->distanceM >= analysis::kMinDistanceM)
        farByDistance_[analysis::distanceBin(*e.position->distanceM)].push_back(*e.farRssi);
}

SummarySink::Result SummarySink::result(std::optional<double> thresholdDbm) const {
    Result r;
    r.runs = runs_;
    r.lora = lora_;
    r.figures = stats_.figures();
    const double fallback = analysis::defaultThresholdDbm(lora_);
    r.far = analysis::analyseLevels(levels_.far, fallback, thresholdDbm);
    r.ack = analysis::analyseLevels(levels_.ack, fallback, thresholdDbm);
    r.margin = analysis::analyseLevels(levels_.margin, fallback, thresholdDbm);
    r.setUp.exchanges = r.figures.evaluated;
    r.setUp.lost = r.figures.lost;
    r.setUp.p90Dbm = r.far.sensitivity.p90;
    if (r.far.reach)
        r.setUp.reachM = r.far.reach->reachM;
    for (auto [bin, levels] : farByDistance_) {
        const std::size_t m = levels.size() / 2;
        std::nth_element(levels.begin(), levels.begin() + m, levels.end());
        double med = levels[m];
        if (levels.size() % 2 == 0)
            med = (med + *std::max_element(levels.begin(), levels.begin() + m)) / 2;
        r.setUp.farMedianByDistance[bin] = med;
    }
    return r;
}

QJsonObject summaryJson(const SummarySink::Result& r) {
    const analysis::Figures& f = r.figures;
    QJsonArray runs;
    for (const QString& name : r.runs)
        runs.append(name);
    return {{QStringLiteral("runs"), runs},
            {QStringLiteral("mode"), r.lora ? QStringLiteral("LoRa") : QStringLiteral("FSK")},
            {QStringLiteral("exchanges"), double(f.evaluated)},
            {QStringLiteral("answered"), double(f.answered)},
            {QStringLiteral("lost"), double(f.lost)},
            {QStringLiteral("late"), double(f.late)},
            {QStringLiteral("per"), num(f.per)},
            {QStringLiteral("per_ci"), f.perInterval ? ci(f.perInterval->low, f.perInterval->high) : QJsonValue()},
            {QStringLiteral("sensitivity"),
             QJsonObject{{QStringLiteral("far_rssi"), sensitivityJson(r.far.sensitivity)},
                         {QStringLiteral("ack_rssi"), sensitivityJson(r.ack.sensitivity)},
                         {QStringLiteral("margin"), sensitivityJson(r.margin.sensitivity)}}},
            {QStringLiteral("pathloss"), QJsonObject{{QStringLiteral("far_rssi"), pathLossJson(r.far.reach)},
                                                     {QStringLiteral("ack_rssi"), pathLossJson(r.ack.reach)}}}};
}

QJsonObject comparisonJson(const analysis::Comparison& c) {
    return {{QStringLiteral("per_diff"), c.perDifference},
            {QStringLiteral("per_diff_ci"), ci(c.perDifferenceCi.low, c.perDifferenceCi.high)},
            {QStringLiteral("p_value"), c.pValue},
            {QStringLiteral("per_significant"), c.perSignificant},
            {QStringLiteral("level_diff_db"), num(c.levelDifferenceDb)},
            {QStringLiteral("level_diff_bins"), c.matchedBins},
            {QStringLiteral("p90_diff_db"), value(c.p90Difference)},
            {QStringLiteral("p90_diff_ci"), ci(c.p90Difference)},
            {QStringLiteral("reach_diff_m"), value(c.reachDifference)},
            {QStringLiteral("reach_diff_ci"), ci(c.reachDifference)},
            {QStringLiteral("verdict"), analysis::verdictSentence(c)}};
}

QString summaryText(const SummarySink::Result& r) {
    const analysis::Figures& f = r.figures;
    QString o;
    for (const QString& run : r.runs)
        o += QStringLiteral("run            %1\n").arg(run);
    o += QStringLiteral("mode           %1\n").arg(r.lora ? QStringLiteral("LoRa") : QStringLiteral("FSK"));
    o += QStringLiteral("exchanges      %1  answered %2  lost %3  late %4\n")
             .arg(f.evaluated).arg(f.answered).arg(f.lost).arg(f.late);
    o += QStringLiteral("error rate     %1 %").arg(fixed(f.per ? std::optional<double>(*f.per * 100) : std::nullopt, 2));
    if (f.perInterval)
        o += QStringLiteral(" (95 % %1 .. %2 %)")
                 .arg(QString::number(f.perInterval->low * 100, 'f', 2), QString::number(f.perInterval->high * 100, 'f', 2));
    o += QLatin1Char('\n');
    const auto level = [&](const QString& name, const analysis::LevelAnalysis& a, bool withReach) {
        const analysis::Sensitivity& s = a.sensitivity;
        const QString unit = withReach ? QStringLiteral("dBm") : QStringLiteral("dB");
        o += QStringLiteral("\n%1\n").arg(name);
        o += QStringLiteral("  50 % success  %1\n").arg(estimateText(s.p50, 1, unit));
        o += QStringLiteral("  90 % success  %1\n").arg(estimateText(s.p90, 1, unit));
        o += QStringLiteral("  (%1; %2 answered, %3 lost, %4 without a level)\n")
                 .arg(lostLevelText(s.lostLevel)).arg(s.answered).arg(s.lost).arg(s.unplaced);
        if (!withReach)
            return;
        if (!a.reach) {
            o += QStringLiteral("  path loss    -\n");
            return;
        }
        const analysis::Reach& p = *a.reach;
        o += QStringLiteral("  path loss    n %1 (se %2), A %3 dBm at 1 m (se %4), shadowing %5\n")
                 .arg(QString::number(p.fit.exponent, 'f', 2), fixed(p.nSe, 3), QString::number(p.fit.referenceDbm, 'f', 1),
                      fixed(p.aSe, 2), estimateText(p.sigma, 1, QStringLiteral("dB")));
        o += QStringLiteral("               fitted on %1 .. %2 m, %3 answered, %4 lost as censored\n")
                 .arg(QString::number(p.fit.nearestM, 'f', 0), QString::number(p.fit.farthestM, 'f', 0))
                 .arg(p.fit.samples)
                 .arg(p.censored);
        o += QStringLiteral("  reach        %1 at %2 dBm (%3)%4\n")
                 .arg(estimateText(p.reachM, 0, QStringLiteral("m")), fixed(p.thresholdDbm, 1),
                      p.thresholdMeasured ? QStringLiteral("the measured 90 % level") : QStringLiteral("default threshold"),
                      p.reachOutsideRange ? QStringLiteral("  WARNING: outside the distances measured") : QString());
    };
    level(QStringLiteral("far-end RSSI"), r.far, true);
    level(QStringLiteral("answer RSSI"), r.ack, true);
    level(QStringLiteral("margin"), r.margin, false);
    return o;
}

QString comparisonText(const analysis::Comparison& c) {
    QString o = QStringLiteral("\ncomparison (second minus first)\n");
    o += QStringLiteral("  error rate   %1 points (95 % %2 .. %3), Fisher p = %4\n")
             .arg(QString::number(c.perDifference * 100, 'f', 2), QString::number(c.perDifferenceCi.low * 100, 'f', 2),
                  QString::number(c.perDifferenceCi.high * 100, 'f', 2), QString::number(c.pValue, 'g', 3));
    o += QStringLiteral("  level        %1 dB at %2 matched distances\n").arg(fixed(c.levelDifferenceDb, 1)).arg(c.matchedBins);
    o += QStringLiteral("  90 % level   %1\n").arg(estimateText(c.p90Difference, 1, QStringLiteral("dB")));
    o += QStringLiteral("  reach        %1\n").arg(estimateText(c.reachDifference, 0, QStringLiteral("m")));
    o += QStringLiteral("  verdict      %1\n").arg(analysis::verdictSentence(c));
    return o;
}

} // namespace exportdata
