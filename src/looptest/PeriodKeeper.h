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
#include <QtGlobal>

class PeriodKeeper {
public:
    struct Arm {
        int intervalMs;   // the timer's interval
        int firings;      // firings per period; 0 below kSubTickPeriodMs
    };

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
    // periodMs (not negative).
    Arm rearm(double periodMs, qint64 t0Us, qint64 nowUs);

private:
    double carryMs_ = 0;
    qint64 dueUs_ = -1;   // when the armed timer's last firing is due; -1 unknown
};
