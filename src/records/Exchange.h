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

// What the GPS said about the instant of a send (or of a marker):
//  Off    GPS not in use (GPS使用 unchecked);
//  NoFix  in use, but the newest GGA sentence before the instant had no fix
//         (or none has come since the GPS was switched on);
//  Stale  in use, a fix came once, but the newest one is older than the
//         position limit and no later one brackets the instant;
//  Ok     a usable position at the instant.
enum class GpsState { Off, NoFix, Stale, Ok };

// How a position at an instant was obtained from the fixes around it:
// between the fix before and the fix after it, ahead of the last two fixes
// (no later fix had come when the record was made), or the fix before it as
// it stands (a single fix, or a stale one).
enum class PositionHow { Held, Interpolated, Extrapolated };

// GPS state at the instant of an exchange's send: the position at that
// instant (decimal degrees, south and west negative), altitude in metres,
// fix quality (GGA field 6), satellites, HDOP of the fix before it, whether
// the sentence's checksum was good, and the distance from the datum point
// when one is set; how the position was obtained, the age of the newest fix
// at the instant, that fix's GGA UTC time field as received, the speed over
// ground (RMC/VTG) when the receiver gives it, and whether the position is
// stale (the newest fix older than the limit: kept, never drawn).
struct Position {
    double lat = 0;
    double lon = 0;
    double alt = 0;
    int fix = 0;
    int sats = 0;
    std::optional<double> hdop;
    bool checksumOk = true;
    std::optional<double> distanceM;
    PositionHow how = PositionHow::Held;
    std::optional<std::int64_t> fixAgeUs;  // instant minus the newest fix's arrival
    QString ggaUtc;                        // "hhmmss.ss" as the sentence gave it
    std::optional<double> speedMps;        // speed over ground, m/s
    bool stale = false;
    // Geoid separation (GGA field 11): the geoid's height above the WGS84
    // ellipsoid, so alt + geoidM is the height above the ellipsoid.
    std::optional<double> geoidM;

    // A position that may be drawn on a map or exported: a current fix and
    // a good checksum.
    bool usable() const { return fix > 0 && checksumOk && !stale; }
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
    std::optional<Position> position;  // GPS in use and a position known
    GpsState gps = GpsState::Off;      // at the send
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
    std::optional<Position> position;  // where it was dropped, as an exchange's
    GpsState gps = GpsState::Off;
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
