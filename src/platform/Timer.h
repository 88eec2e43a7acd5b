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

signals:
    void timeout();
};
