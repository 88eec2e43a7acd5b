#pragma once
// Plain values the test cycle and run control emit for everything that
// happens in a run: one RunStart, one Exchange per evaluated packet, a
// LateAnswer when a step finds the answer of an earlier packet, a Marker
// when the operator drops one, one RunEnd.
// They are the only door through which features beyond the main window
// (statistics, record streams, exports, maps) see a run; none of those
// reads a control. Numbers are numbers here (RSSI in dBm as integers, round
// trips in microseconds, positions in signed decimal degrees); absent values
// are empty optionals.
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

namespace records {

enum class Mode { Fsk, LoRa };

// GPS state at the moment of an exchange: the position as the GPS tick took
// it last (decimal degrees, south and west negative), altitude in metres,
// fix quality (GGA field 6), satellites, HDOP, whether the sentence's
// checksum was good, and the distance from the datum point when one is set.
struct Position {
    double lat = 0;
    double lon = 0;
    double alt = 0;
    int fix = 0;
    int sats = 0;
    std::optional<double> hdop;
    bool checksumOk = true;
    std::optional<double> distanceM;
    // Geoid separation (GGA field 11): the geoid's height above the WGS84
    // ellipsoid, so alt + geoidM is the height above the ellipsoid.
    std::optional<double> geoidM;

    // A position that may be drawn on a map or exported: a fix and a good
    // checksum.
    bool usable() const { return fix > 0 && checksumOk; }
};

enum class Outcome { Answered, Lost };

struct Exchange {
    std::uint64_t runId = 0;
    std::int64_t packet = 0;       // the count: 1, 2, ... (past 999)
    QString payload;               // the three digits the packet carried
    QDateTime sent;                // local date-time of the send
    std::int64_t sentUs = 0;       // monotonic microsecond instant of the send
    std::optional<std::int64_t> answeredUs;  // monotonic instant of the answer
    std::optional<std::int64_t> rttUs;       // answer minus send, empty when lost
    Outcome outcome = Outcome::Lost;         // as the step decided
    std::optional<int> farRssi;    // dBm at the loopback unit (carried back)
    std::optional<int> ackRssi;    // dBm of the answer at the local module
    std::optional<int> noise;      // floor noise dBm at the local module
    Mode mode = Mode::Fsk;
    int spreading = 0;             // LoRa spreading index 0..5
    double periodMs = 0;           // the run's transmit period
    std::optional<Position> position;  // GPS in use and a position taken
};

// The answer of an earlier packet (already counted lost) found by a later
// step: a slow link, not a dead one.
struct LateAnswer {
    std::uint64_t runId = 0;
    std::int64_t packet = 0;       // the earlier packet's count
    QString payload;
    std::int64_t rttUs = 0;        // the round trip it finally took
    std::optional<int> farRssi;
};

enum class RunKind { Continuous, Counted };

struct RunStart {
    std::uint64_t runId = 0;
    QDateTime started;             // local date-time with its UTC offset
    QString port;
    Mode mode = Mode::Fsk;
    int spreading = 0;
    double periodMs = 0;
    RunKind kind = RunKind::Continuous;
    std::int64_t length = 0;       // packets of a counted run, 0 continuous
    QString commLog;               // file names of this run's logs (may be empty
    QString mapCsv;                //   when logging is off)
    QString mapLog;
    QString version;               // the program's version text, e.g. 0.900.5
};

// A numbered marker the operator dropped during a run, with an optional
// short note.
struct Marker {
    std::uint64_t runId = 0;
    int number = 0;                // 1, 2, ... within the run
    QString note;
    QDateTime time;                // local date-time with its UTC offset
    std::int64_t atUs = 0;         // monotonic instant
    std::int64_t afterPacket = 0;  // the last packet sent before it, 0 none
};

enum class EndCause {
    Completed,      // a counted run sent all its packets
    Operator,       // the running button pressed again
    WriteFailed,    // a write to the radio port failed or the port vanished
    InitFailed,     // the initialisation before the run did not succeed
    Closed,         // the window closed during the run
};

struct RunEnd {
    std::uint64_t runId = 0;
    QDateTime ended;
    EndCause cause = EndCause::Operator;
    QString message;               // the status label's text when it explains the end
    std::int64_t sent = 0;         // packets sent in the run
};

}  // namespace records
