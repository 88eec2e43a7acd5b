#pragma once
// The timer seam: a repeating timer with a millisecond interval and an
// enabled flag, like the window's design-time timers. Enabling (or changing
// the interval of) an enabled timer restarts its countdown.
#include <QObject>

class Timer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Timer() override = default;

    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
    // For a timer whose ticks only show values: each tick may come up to 5 %
    // of the interval early or late, so that the system serves it in the
    // same wake-up as the other timers of that interval.
    virtual void shareWakeUps() {}

signals:
    void timeout();
};
