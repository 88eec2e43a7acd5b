#pragma once
// Reader of the code page 932 communication log of any run, old or new, and
// of the map log written beside it (their line layouts: results/LogLines).
// The communication log carries every packet: a run-start line, then one
// line per packet (time, commands, the answer as text, response time,
// received RSSI, answer RSSI, floor noise and the GGA sentence last taken).
// The map log holds one line per evaluated packet while the GPS was in use,
// written in the same step with the same RSSI texts and the position texts
// of the same GGA sentence: each packet is paired with its map line by that
// content, in order, so map lines of runs the communication log does not
// hold (File保存 off) and damaged lines are passed over and the pairing
// picks up after them. A packet without a map line had the GPS switched
// off and gets no position.
//
// The records yielded are the ones the run emitted, as far as the logs tell:
// times to the second, in the zone the GGA sentences' UTC times give (the
// machine's zone without them), round trips to the log's precision, late
// answers found in later answers' texts within records::kLateAnswerWindow
// packets, as the cycle finds them.
#include "export/Layers.h"

#include <QByteArray>
#include <QString>

namespace exportdata {

// The map log of a communication log by the naming rule of the logs:
// "<YYMMDD>_<mode>_<name>.log" has "<YYMMDD>_<mode>_Map_<name>.log" beside
// it. Empty when the name does not follow the rule.
QString mapLogPathFor(const QString& commLogPath);

// Reads a communication log's bytes, and the map log's bytes when there is
// one (an empty mapLog means none: positions then come from the GGA
// sentences alone). Lines that are not what a run writes are reported
// (file and line) and skipped.
void readCommLog(const QByteArray& commLog, const QString& file, const QByteArray& mapLog, const QString& mapFile,
                 RecordSink& sink);
Runs readCommLog(const QByteArray& commLog, const QString& file, const QByteArray& mapLog = QByteArray(),
                 const QString& mapFile = QString());

} // namespace exportdata
