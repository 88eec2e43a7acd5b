#pragma once
// What the simulated module (local radio module in command mode plus the far
// loopback unit) does: its modulation, its answer forms, its timing, its
// losses and its faults. Defaults give a healthy FSK link with realistic,
// short delays.
#include "LinkLaw.h"

#include <QByteArray>
#include <QList>
#include <QString>

// A signal strength source: a fixed value, a repeating sequence, or a random
// walk ("wander") within bounds around a centre.
struct RssiSpec {
    enum class Kind { Sequence, Wander };
    Kind kind = Kind::Sequence;
    QList<int> values{-75};   // Sequence: repeated in order
    int centre = -85;         // Wander: the walk stays within centre +- span
    int span = 12;
    int step = 3;             // Wander: largest change from one value to the next

    static RssiSpec fixed(int v) { return sequence({v}); }
    static RssiSpec sequence(QList<int> v) {
        RssiSpec s;
        s.values = std::move(v);
        return s;
    }
    static RssiSpec wander(int centre, int span = 12) {
        RssiSpec s;
        s.kind = Kind::Wander;
        s.centre = centre;
        s.span = span;
        return s;
    }
    // "-75", "-75,-80,-91" or "wander", "wander:-85", "wander:-85:12".
    // wanderCentre is the centre used by a bare "wander".
    static bool parse(const QString& text, int wanderCentre, RssiSpec* out, QString* error);
};

struct SimConfig {
    enum class Modulation { Fsk, Lora };
    enum class Firmware { Fv, Version, Both, None };
    enum class RsForm { Star, Rssi };

    Modulation modulation = Modulation::Fsk;
    int spreadingIndex = 0;        // 0..5: 128..4096 chips per symbol
    QByteArray sfAnswer;           // two characters after "*SF=" instead of the index (out-of-range tests)
    Firmware firmware = Firmware::Fv;
    bool modeAnswer = true;        // false: "@MO" goes unanswered
    RsForm rsForm = RsForm::Star;

    // Delays in ms; -1 means the default for the modulation (see
    // defaultCommandDelay / defaultLoopDelay).
    int commandDelayMs = -1;       // local answers: @FV @MO @SF @RA @RS
    int loopDelayMs = -1;          // data command to looped-back answer
    int jitterMs = 0;              // each loop-back delay varies by up to +- this, never below 0

    double lossProbability = 0.0;  // chance that a packet does not come back
    QByteArray lossPattern;        // per data command, repeating: 'x' lost, anything else answered
    quint32 seed = 1;              // for loss, jitter, wander, garbage and flood bytes

    RssiSpec farRssi = RssiSpec::fixed(-75);    // at the loopback unit, carried in the packet
    RssiSpec ackRssi = RssiSpec::fixed(-78);    // of the answer at the local module ("@RS")
    RssiSpec noiseRssi = RssiSpec::fixed(-112); // floor noise ("@RA")

    // When enabled, the far-end and answer RSSI and the packets' fate follow
    // the distance to the loopback unit instead of farRssi / ackRssi (the
    // other losses still apply on top).
    LinkLaw law;
    double lawMidpoint() const;   // the law's midpoint, or the modulation's default

    int chunkSize = 0;             // > 0: every answer is written in pieces of this many bytes
    int chunkGapMs = 2;            // time between two pieces

    int garbageBefore = 0;         // random bytes before an answer
    int garbageAfter = 0;          // random bytes after an answer
    double garbageRate = 1.0;      // chance that an answer gets its garbage

    qint64 floodBytes = 0;         // > 0: this many random bytes instead of one data answer
    int floodAt = 1;               // ... the answer to this data command (1-based)

    int swapEvery = 0;             // > 0: of every swapEvery data commands, the first one's answer
                                   // arrives after the next one's (late and out of order)

    int unplugAfter = 0;           // > 0: the port vanishes on receipt of this data command

    int commandDelay() const;
    int loopDelay() const;
    static int defaultLoopDelay(Modulation m, int spreadingIndex);
};
