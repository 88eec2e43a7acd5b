#include "VirtualClock.h"

#include "platform/Timer.h"

#include <algorithm>
#include <limits>

class ManualTimer : public Timer {
public:
    ManualTimer(VirtualClock& clock, QObject* parent) : Timer(parent), clock_(clock) { clock_.registerTimer(this); }
    ~ManualTimer() override { clock_.unregisterTimer(this); }

    void setInterval(int ms) override {
        interval_ = ms;
        if (enabled_)
            arm();
    }
    int interval() const override { return interval_; }
    void setEnabled(bool enabled) override {
        enabled_ = enabled;
        if (enabled_)
            arm();
    }
    bool isEnabled() const override { return enabled_; }

    bool due(qint64 limit) const { return enabled_ && interval_ > 0 && dueAt_ <= limit; }
    qint64 dueAt() const { return dueAt_; }
    quint64 seq() const { return seq_; }
    void fire() {
        dueAt_ += interval_;
        seq_ = clock_.nextSeq();
        emit timeout();
    }

private:
    void arm() {
        dueAt_ = clock_.nowMs() + interval_;
        seq_ = clock_.nextSeq();
    }
    VirtualClock& clock_;
    int interval_ = 100;
    bool enabled_ = false;
    qint64 dueAt_ = 0;
    quint64 seq_ = 0;
};

VirtualClock::VirtualClock(qint64 nowMs, QDateTime start) : now_(nowMs), startMs_(nowMs), start_(std::move(start)) {}

VirtualClock::~VirtualClock() = default;

qint32 VirtualClock::milliseconds() const { return static_cast<qint32>(static_cast<quint32>(now_)); }

QDateTime VirtualClock::now() const { return start_.addMSecs(now_ - startMs_); }

Timer* VirtualClock::createTimer(QObject* parent) { return new ManualTimer(*this, parent); }

void VirtualClock::registerTimer(ManualTimer* t) { timers_.push_back(t); }

void VirtualClock::unregisterTimer(ManualTimer* t) { timers_.erase(std::remove(timers_.begin(), timers_.end(), t), timers_.end()); }

void VirtualClock::after(qint64 ms, std::function<void()> fn) {
    pending_.push_back({now_ + std::max<qint64>(ms, 0), nextSeq(), std::move(fn)});
}

void VirtualClock::advance(qint64 ms) { advanceTo(now_ + ms); }

void VirtualClock::advanceTo(qint64 targetMs) {
    for (;;) {
        // The earliest due item, timers and callbacks alike; ties in the
        // order they were armed.
        ManualTimer* timer = nullptr;
        for (ManualTimer* t : timers_)
            if (t->due(targetMs) && (!timer || t->dueAt() < timer->dueAt() ||
                                     (t->dueAt() == timer->dueAt() && t->seq() < timer->seq())))
                timer = t;
        auto cb = pending_.end();
        for (auto it = pending_.begin(); it != pending_.end(); ++it)
            if (it->due <= targetMs && (cb == pending_.end() || it->due < cb->due ||
                                        (it->due == cb->due && it->seq < cb->seq)))
                cb = it;
        const bool takeCallback =
            cb != pending_.end() &&
            (!timer || cb->due < timer->dueAt() || (cb->due == timer->dueAt() && cb->seq < timer->seq()));
        if (takeCallback) {
            now_ = std::max(now_, cb->due);
            auto fn = std::move(cb->fn);
            pending_.erase(cb);
            fn();
        } else if (timer) {
            now_ = std::max(now_, timer->dueAt());
            timer->fire();
        } else {
            break;
        }
    }
    now_ = std::max(now_, targetMs);
}
