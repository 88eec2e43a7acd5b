#pragma once
// What an export draws: one point per evaluated packet of a run, read from a
// record stream or from the code page 932 logs, and the runs as layers.
// Readers report what they could not read as problems (file and line) and
// keep everything they could.
#include "records/Exchange.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace exportdata {

enum class Outcome { Answered, Lost, Late };   // late: lost, its answer came after its period

struct Point {
    std::int64_t packet = 0;           // the count in the run: 1, 2, ...
    QString payload;                   // the three digits sent
    QString time;                      // ISO 8601 of the send (with its offset when known)
    Outcome outcome = Outcome::Lost;
    std::optional<double> rttMs;       // round trip of an answered packet
    std::optional<int> farRssi;        // dBm at the loopback unit
    std::optional<int> ackRssi;        // dBm of the answer at the local module
    std::optional<int> noise;          // floor noise dBm
    // Only a usable position (a fix and a good checksum) is kept: anything
    // else never becomes a point on a map.
    std::optional<records::Position> position;
};

struct Run {
    QString name;                      // the layer's name
    QString source;                    // the file it was read from
    std::vector<Point> points;
};

struct Problem {
    QString file;
    std::int64_t line = 0;             // 1-based; 0 when the whole file is meant
    QString message;
    QString text() const;              // "file:line: message"
};

struct Runs {
    std::vector<Run> runs;
    std::vector<Problem> problems;
    // What is worth knowing but was read whole (a run that never ended).
    std::vector<Problem> notes;
    void add(Runs&& other);
};

QString outcomeName(Outcome outcome);  // "answered", "lost", "late"

} // namespace exportdata
