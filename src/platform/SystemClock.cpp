#include "platform/SystemClock.h"

#include "platform/Timer.h"

#include <QTimer>

#include <chrono>
#include <thread>

namespace {

class QtTimer : public Timer {
public:
    explicit QtTimer(QObject* parent) : Timer(parent) {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(100);
        connect(&timer_, &QTimer::timeout, this, &Timer::timeout);
    }
    void setInterval(int ms) override {
        timer_.setInterval(ms);
        if (timer_.isActive())
            timer_.start();
    }
    int interval() const override { return timer_.interval(); }
    void setEnabled(bool enabled) override {
        if (enabled)
            timer_.start();
        else
            timer_.stop();
    }
    bool isEnabled() const override { return timer_.isActive(); }
    void shareWakeUps() override {
        timer_.setTimerType(Qt::CoarseTimer);
        if (timer_.isActive())
            timer_.start();
    }

private:
    QTimer timer_;
};

} // namespace

SystemClock::SystemClock() {
    elapsed_.start();
    // Start the counter where the machine's uptime-like monotonic clock is,
    // so that separate processes (the simulator, the benchmarks) agree.
    offset_ = elapsed_.msecsSinceReference();
}

qint32 SystemClock::milliseconds() const {
    return static_cast<qint32>(static_cast<quint32>(offset_ + elapsed_.elapsed()));
}

qint64 SystemClock::microseconds() const {
    return offset_ * 1000 + elapsed_.nsecsElapsed() / 1000;
}

void SystemClock::sleepUntil(qint64 us) {
    // One sleep for the whole wait; a sleep cut short is slept again.
    for (qint64 left = us - microseconds(); left > 0; left = us - microseconds())
        std::this_thread::sleep_for(std::chrono::microseconds(left));
}

QDateTime SystemClock::now() const { return QDateTime::currentDateTime(); }

Timer* SystemClock::createTimer(QObject* parent) { return new QtTimer(parent); }
