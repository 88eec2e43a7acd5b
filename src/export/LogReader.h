#pragma once
// Reader of the code page 932 communication log of any run, old or new, and
// of the map log written beside it. The communication log carries every
// packet: a run-start line, then one line per packet (time, commands, the
// answer as text, response time, received RSSI, answer RSSI, floor noise
// and the GGA sentence last taken). The map log holds one line per evaluated
// packet while the GPS was in use, with the same RSSI texts; its lines are
// paired with the packets in order, and a packet without a map line had
// the GPS switched off, so it gets no position.
#include "export/Points.h"

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
Runs readCommLog(const QByteArray& commLog, const QString& file, const QByteArray& mapLog = QByteArray(),
                 const QString& mapFile = QString());

} // namespace exportdata
