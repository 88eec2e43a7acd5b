#pragma once
// The figures of a group of runs as scripts and reports take them: counts
// and the error rate with its interval, the sensitivity of each level, the
// path-loss fit and reach of the far-end and answer RSSI, and with two
// groups, their comparison. Written as one JSON document (the keys are
// documented in docs/records.md and stay) or as readable text.
#include "export/Layers.h"
#include "stats/Compare.h"
#include "stats/LinkStatistics.h"
#include "stats/Sensitivity.h"

#include <QByteArray>
#include <QJsonObject>
#include <QStringList>

#include <map>
#include <vector>

namespace exportdata {

// Reads the records of one group (every run fed in, one after another).
class SummarySink : public RecordSink {
public:
    void runStart(const records::RunStart& r, const QString& layer, const QString& source) override;
    void exchange(const records::Exchange& e) override;
    void late(const records::LateAnswer& l) override { stats_.add(l); }

    struct Result {
        QStringList runs;
        bool lora = false;
        analysis::Figures figures;
        analysis::LevelAnalysis far, ack, margin;
        analysis::SetUpFigures setUp;
    };
    // Once every record is in; thresholdDbm is the operator's reach
    // threshold, else the measured 90 % level or the mode's default.
    Result result(std::optional<double> thresholdDbm = std::nullopt) const;

private:
    analysis::LinkStatistics stats_;
    analysis::LevelSeries levels_;
    std::map<int, std::vector<double>> farByDistance_;
    QStringList runs_;
    bool lora_ = false;
    int run_ = -1;
};

QJsonObject summaryJson(const SummarySink::Result& r);
QJsonObject comparisonJson(const analysis::Comparison& c);
// Readable text of a group, and of a comparison.
QString summaryText(const SummarySink::Result& r);
QString comparisonText(const analysis::Comparison& c);

} // namespace exportdata
