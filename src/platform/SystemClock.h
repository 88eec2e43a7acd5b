#pragma once
// The real clock: the machine's monotonic clock as a microsecond count and
// as a millisecond counter taken as a signed 32-bit count, local time, and
// precise QTimers.
#include "platform/Clock.h"

class SystemClock : public Clock {
public:
    SystemClock();
    qint32 milliseconds() const override;
    qint64 microseconds() const override;
    void sleepUntil(qint64 us) override;
    QDateTime now() const override;
    Timer* createTimer(QObject* parent) override;
    // The millisecond counter's value at an instant of microseconds():
    // milliseconds() is exactly this of a microseconds() reading.
    static qint32 millisecondsAt(qint64 us) { return static_cast<qint32>(static_cast<quint32>(us / 1000)); }
};
