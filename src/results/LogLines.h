#pragma once
// The lines of the communication log and the map logs, as functions of what
// they show. A communication-log line is written in two halves: the send
// half when a packet goes out, the answer half when the next step has
// evaluated it. The writers (LogWriters) only append what these return.
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace loglines {

// "\r\n-------< Start:yyyy/MM/dd HH:mm:ss > -------"
QString runStart(const QDateTime& at);
// "\r\n" followed by the column headings.
QString columnHeads();

// "\r\n" HH:mm:ss "," then each command sent with "[Cr][Lf]" shown after
// it, then "," (the answer half follows on the same line).
QString sendHalf(const QDateTime& at, const QStringList& commands);

// The answer half: what was received (as text), the response time, the far
// and answer RSSI, the floor noise and the GGA sentence in use, comma
// separated. A lost packet has empty response time and RSSI fields.
struct AnswerFields {
    QString received;
    QString responseTime;
    QString farRssi;
    QString ackRssi;
    QString noise;
    QString gga;
};
QString answerHalf(const AnswerFields& a);

// One map-log line: decimal latitude, longitude, altitude, far RSSI,
// answer RSSI, floor noise, ended by CR LF (the CSV takes answered packets
// only; the map log also the lost ones, with empty RSSI fields).
struct MapFields {
    QString lat;
    QString lon;
    QString alt;
    QString farRssi;
    QString ackRssi;
    QString noise;
};
QString mapLine(const MapFields& m);

} // namespace loglines
