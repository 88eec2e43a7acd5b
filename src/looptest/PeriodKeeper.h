#pragma once
// The transmit period's re-arm arithmetic on the microsecond clock.
//
// A step counts from the instant its timer was due (when that is known and
// has passed), so the timer's own lateness is part of the step's overhead
// and is taken off the next interval like the step's work. The overhead is
// compensated only while it is below 100 ms. The timer takes whole
// milliseconds: the interval is rounded half to even, and what rounding
// took off or added is carried into the next interval, so the transmit
// period holds on average to the exact (even fractional) period.
//
// The packet itself goes out a fixed kSendOffsetUs after the exact instant
// the schedule has for the step (sendInstant()), not when the step's
// evaluation of the previous exchange happens to finish: the timer's
// rounding and the evaluation's varying length then leave the send
// instants untouched, and the period between packets holds to the
// microsecond clock.
#include <QtGlobal>

#include <optional>

class PeriodKeeper {
public:
    struct Arm {
        int intervalMs;   // the timer's interval
        int firings;      // firings per period; 0 below kSubTickPeriodMs
    };

    // How long after its exact instant a step sends: room for the
    // evaluation before the send and for a timer that fires late.
    static constexpr qint64 kSendOffsetUs = 5'000;
    // Where in its millisecond the send's clock reading falls: the middle.
    // The response time is the difference of two millisecond counter
    // readings, the one taken right after the send's writes and the
    // answer's; from mid-millisecond it is the round trip rounded to the
    // nearest millisecond (from the start of one it would be the round trip
    // cut down, up to a millisecond short). The send starts as much earlier
    // as its writes have been taking (sendTook()).
    static constexpr qint64 kSendPhaseUs = 500;

    // Periods of this length or more are split into several firings.
    static constexpr double kSubTickPeriodMs = 29000;
    // A step that took this long or longer is not compensated.
    static constexpr qint64 kMaxCompensationUs = 100'000;

    // A run begins: the first step's due instant is not known here.
    void reset();
    // The instant a step that starts now counts from: when its timer was
    // due, if that is known and not later than now; otherwise now.
    qint64 stepStart(qint64 nowUs) const;
    // The step that started at t0Us re-arms at nowUs for a period of
    // periodMs (not negative). A step is compensated while it took less
    // than maxCompensationUs.
    Arm rearm(double periodMs, qint64 t0Us, qint64 nowUs, qint64 maxCompensationUs = kMaxCompensationUs);
    // When the step that started at t0Us sends: kSendOffsetUs after the
    // exact instant the schedule has for it (its own start when the
    // schedule has none: the first step of a run, the step after one that
    // was not compensated), then on to the point of a millisecond of the
    // clock from which the reading after the send's writes falls on the
    // millisecond's middle (kSendPhaseUs less what the writes take).
    qint64 sendInstant(qint64 t0Us) const;
    // The next step's send instant as the schedule has it now, whenever
    // that step starts; empty when it will count from its own start.
    std::optional<qint64> nextSendInstant() const;
    // A send that started on time took this long from its instant to the
    // clock reading after its writes; sends start earlier in their
    // millisecond by a smoothed average of it (at most kSendPhaseUs).
    void sendTook(qint64 us);

private:
    double carryMs_ = 0;
    qint64 dueUs_ = -1;        // when the armed timer's last firing is due; -1 unknown
    qint64 exactDueUs_ = -1;   // when the schedule has the next step, unrounded; -1 none
    qint64 sendUs_ = -1;       // smoothed send duration; -1 none yet (kept across runs: a property of the port)
};
