#pragma once
// The lines of the communication log and the map logs, as functions of what
// they show. A communication-log line is written in two halves: the send
// half when a packet goes out, the answer half when the next step has
// evaluated it. The writers (LogWriters) only append what these return;
// the parse functions read the same lines back (the exporter's log reader),
// so each layout lives here alone.
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

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

// Reading back, one line at a time, without its CR LF.

// The date-time of a run-start line (no time zone: the log records none).
std::optional<QDateTime> parseRunStart(const QString& line);
bool isColumnHeads(const QString& line);

// A packet line: the send half's time and commands, and, once evaluated,
// the answer half. Empty for a line that is not a packet line; *problem
// then says why when the line starts like one (time and commands) but its
// answer half is damaged.
struct PacketLine {
    QString time;                 // HH:mm:ss
    QString commands;             // the commands as written, "[Cr][Lf]" after each
    bool evaluated = false;       // the answer half is there
    AnswerFields answer;
};
std::optional<PacketLine> parsePacketLine(const QString& line, QString* problem = nullptr);
// The payload digits of the data command ("@DT05" and three digits) among
// a packet line's commands; empty when there is none.
QString payloadOf(const QString& commands);

bool isMapHeader(const QString& line);
// The six fields of a map line; empty when the line does not have six.
std::optional<MapFields> parseMapLine(const QString& line);

} // namespace loglines
