#pragma once
// The clock seam: the millisecond counter, a microsecond counter, the local date and time, and the
// timers that run on the same time base. SystemClock is the real one; tests
// use a virtual clock whose timers fire when the test advances time.
#include <QDateTime>
#include <QObject>

class Timer;

class Clock {
public:
    virtual ~Clock() = default;
    // Millisecond counter taken as a signed 32-bit value (it wraps).
    virtual qint32 milliseconds() const = 0;
    // Monotonic microsecond count on the same time base as milliseconds()
    // (64-bit, it does not wrap): the instants of the run records.
    virtual qint64 microseconds() const = 0;
    // Returns once microseconds() has reached `us` (at once when it has),
    // without serving events; for waits of a few milliseconds at most.
    virtual void sleepUntil(qint64 us) = 0;
    // Local date and time of day.
    virtual QDateTime now() const = 0;
    // A new timer, disabled, interval 100 ms, owned by parent.
    virtual Timer* createTimer(QObject* parent) = 0;
};
