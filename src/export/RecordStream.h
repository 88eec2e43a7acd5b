#pragma once
// The record stream of a run: one JSON object a line, UTF-8, LF-ended, in
// the order the records happened (docs/records.md holds the schema). The
// encoders are pure; RecordStreamWriter appends each line complete on disk.
//
// Field names and their order are fixed once released: new fields go at the
// end of a record (the levels of records::kSignals stand together after
// rtt_us, in its order) and raise kSchema only when a field changes meaning.
#include "stats/LinkStatistics.h"
#include "records/Exchange.h"

#include <QByteArray>
#include <QString>

namespace recordstream {

// 2: an exchange's position is the one at its send (1: at its evaluation),
// with how it was obtained, the fix's age and the GPS state; markers carry
// their position; alarms are recorded.
constexpr int kSchema = 2;

QByteArray runLine(const records::RunStart& r);
QByteArray exchangeLine(const records::Exchange& e);
QByteArray lateLine(const records::LateAnswer& l);
QByteArray markerLine(const records::Marker& m);
// An alarm of the analysis window raised or cleared ("dead_link",
// "gps_fix").
QByteArray alarmLine(std::uint64_t runId, const QString& alarm, bool raised, const QDateTime& time, std::int64_t atUs);

// The texts of the GPS state and of how a position was obtained, as the
// stream writes them.
QString gpsStateText(records::GpsState s);
QString positionHowText(records::PositionHow h);
QByteArray endLine(const records::RunEnd& r, const analysis::Figures& stats);

// Reading back: one line (without its LF) as the record it holds. Unknown
// record types and unknown fields are passed over, so newer streams still
// read; a record without what it needs is Bad with a reason.
struct Decoded {
    enum class Kind { Run, Exchange, Late, Marker, End, Other, Bad };
    Kind kind = Kind::Other;
    int schema = 0;               // 0: the record has none
    QString problem;              // why a record is Bad
    records::RunStart run;
    records::Exchange exchange;
    records::LateAnswer late;
    records::Marker marker;
    records::RunEnd end;
};
Decoded decodeLine(const QByteArray& line);

// ISO 8601 local date-time with milliseconds and the UTC offset
// (2024-05-01T09:30:00.250+09:00); empty for an invalid date-time.
QString isoTime(const QDateTime& t);

// Appends lines to a file (created when missing), opening, writing and
// closing it for each line, so every line is complete in the file when
// append() returns; a line that could not be written whole is cut off again
// (wholefile::append), so the file holds whole lines only, also after the
// disk has been full. The path "-" is standard output (flushed after each
// line).
class RecordStreamWriter {
public:
    explicit RecordStreamWriter(QString path) : path_(std::move(path)) {}
    const QString& path() const { return path_; }

    // False when the line did not reach the file; error() says why.
    [[nodiscard]] bool append(const QByteArray& line);
    const QString& error() const { return error_; }

private:
    QString path_;
    QString error_;
};

}  // namespace recordstream
