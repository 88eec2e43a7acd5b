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

private:
    QTimer timer_;
};

} // namespace

SystemClock::SystemClock() = default;

qint32 SystemClock::milliseconds() const { return millisecondsAt(microseconds()); }

qint64 SystemClock::microseconds() const {
    // The machine's monotonic clock itself, so that every clock of the
    // program (the window's, the ports' threads) and separate processes
    // (the simulator, the benchmarks) read the same instant alike, to the
    // microsecond.
    using namespace std::chrono;
    return duration_cast<std::chrono::microseconds>(steady_clock::now().time_since_epoch()).count();
}

void SystemClock::sleepUntil(qint64 us) {
    // One sleep for the whole wait; a sleep cut short is slept again.
    for (qint64 left = us - microseconds(); left > 0; left = us - microseconds())
        std::this_thread::sleep_for(std::chrono::microseconds(left));
}

QDateTime SystemClock::now() const { return QDateTime::currentDateTime(); }

Timer* SystemClock::createTimer(QObject* parent) { return new QtTimer(parent); }
