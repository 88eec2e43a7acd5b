#pragma once
// The real clock: a monotonic millisecond counter taken as a signed 32-bit
// count, a microsecond count on the same origin, local time, and precise
// QTimers.
#include "platform/Clock.h"

#include <QElapsedTimer>

class SystemClock : public Clock {
public:
    SystemClock();
    qint32 milliseconds() const override;
    qint64 microseconds() const override;
    void sleepUntil(qint64 us) override;
    QDateTime now() const override;
    Timer* createTimer(QObject* parent) override;

private:
    QElapsedTimer elapsed_;
    qint64 offset_;
};
