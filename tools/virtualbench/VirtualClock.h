#pragma once
// A virtual clock that behaves like time: advancing it fires every due timer
// in due order, with "now" set to each one's due time before it fires, and
// re-armed timers fire again within the same advance when due. Scheduled
// callbacks (after()) share the same queue, so a simulated device's delayed
// answers interleave exactly with the window's timers.
#include "platform/Clock.h"

#include <QDateTime>
#include <functional>
#include <vector>

class ManualTimer;

class VirtualClock : public Clock {
public:
    // nowMs: the initial millisecond count (64-bit; milliseconds() wraps it
    // to a signed 32-bit count). start: the local date and time at nowMs.
    explicit VirtualClock(qint64 nowMs = 1'000'000,
                          QDateTime start = QDateTime(QDate(2017, 9, 21), QTime(13, 5, 9)));
    ~VirtualClock() override;

    qint32 milliseconds() const override;
    // The virtual time in whole milliseconds, as microseconds.
    qint64 microseconds() const override { return now_ * 1000; }
    QDateTime now() const override;
    Timer* createTimer(QObject* parent) override;
    // Virtual time has nothing between its milliseconds, and the timers
    // fire exactly when due: there is never anything to wait for.
    void sleepUntil(qint64) override {}

    qint64 nowMs() const { return now_; }
    // Moves time forward by ms, firing what falls due on the way.
    void advance(qint64 ms);
    void advanceTo(qint64 targetMs);
    // Runs fn once, ms from now (0: at the next advance, never re-entrantly).
    void after(qint64 ms, std::function<void()> fn);
    // Pretends that a step of the program took ms (moves now without firing
    // anything); use inside a handler to model slow work.
    void spend(qint64 ms) { now_ += ms; }

private:
    friend class ManualTimer;
    struct Pending {
        qint64 due;
        quint64 seq;
        std::function<void()> fn;
    };
    void registerTimer(ManualTimer* t);
    void unregisterTimer(ManualTimer* t);
    quint64 nextSeq() { return seq_++; }

    qint64 now_;
    qint64 startMs_;
    QDateTime start_;
    quint64 seq_ = 0;
    std::vector<ManualTimer*> timers_;
    std::vector<Pending> pending_;
};
