#pragma once
// The human summary of a run (<name>.summary.txt, and standard output of an
// unattended run): the run's setting, the counts and error rates, and one
// table row per measured quantity, in fixed columns like a network
// diagnostic's report. Figures that do not exist yet (no exchange, no
// answer) read "-". Given the run's levels, the report adds the
// sensitivity (the levels at 50 % and 90 % success with their intervals),
// the path-loss fit and the reach.
#include "stats/LinkStatistics.h"
#include "stats/Sensitivity.h"
#include "records/Exchange.h"

#include <QList>
#include <QString>

namespace analysis {

QString runReport(const records::RunStart& start, const records::RunEnd& end, const Figures& figures,
                  const QList<records::Marker>& markers = {}, const LevelSeries* levels = nullptr);

}  // namespace analysis
