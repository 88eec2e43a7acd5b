#pragma once
// Where the walker is, read from a CSV file that may still be growing: the
// truth trace of qvx-nmea --truth (mono_us,utc,lat,lon,sent: one line a
// second of the walk), or any schedule with a header naming mono_us and
// either lat and lon or distance_m. mono_us is the monotonic clock in
// microseconds, the one the simulator's trace and the program's records use.
//
// Between two lines the walker moves in a straight line at constant speed;
// after the last one it goes on at the last line's speed for up to a second
// (the next line is about to be written), then stays. Before the first line,
// and while the file does not exist, it is at the first line's place (at the
// loopback unit when there is no line yet). A file that shrinks was written
// anew and is read again from its start.
#include "LinkLaw.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>
#include <vector>

class DistanceTrace {
public:
    // farEnd: where the loopback unit stands (decimal degrees); without it,
    // at the trace's first place (where the walk starts).
    struct Place {
        double latitude;
        double longitude;
    };
    explicit DistanceTrace(QString path, std::optional<Place> farEnd = std::nullopt);

    // Reads what was added to the file, then says where the walker is at
    // monotonic microsecond time us.
    WalkPoint at(qint64 us);

    int rows() const { return static_cast<int>(rows_.size()); }
    // Set when the header names no usable columns (the file is then ignored).
    const QString& error() const { return error_; }

private:
    struct Row {
        qint64 us;
        double lat, lon;   // NaN for a distance schedule
        double distance;
        double travelled;
    };
    void readNew();
    void restart();
    void addLine(const QByteArray& line);
    double distanceTo(double lat, double lon) const;
    WalkPoint between(const Row& a, const Row& b, double f) const;

    QString path_;
    std::optional<Place> farEnd_;
    QFile file_;
    qint64 offset_ = 0;
    QByteArray partial_;
    bool haveHeader_ = false;
    int usColumn_ = -1, latColumn_ = -1, lonColumn_ = -1, distanceColumn_ = -1;
    std::vector<Row> rows_;
    QString error_;
};
