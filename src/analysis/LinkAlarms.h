#pragma once
// The two alarms of a run, as state machines without a window, a timer or a
// sound: the caller feeds them records and instants and acts on the change
// each call reports (show the alarm, play the alarm tone, ask the desktop for
// attention; remove the alarm on Cleared).
//
// Dead link: raised by the K-th consecutive lost exchange (K = 0: off),
// cleared by the next answered one, by a new run, or when K changes so that
// the losses so far no longer reach it.
//
// GPS fix lost: while a run is under way and the GPS is in use, raised when
// no position has come for the timeout (10 s), counted from the latest of
// the run start, the GPS being switched on and the last position; cleared
// by the next position, the run's end or the GPS being switched off. Off
// unless enabled.
#include "records/Exchange.h"

#include <cstdint>

namespace analysis {

enum class AlarmChange { None, Raised, Cleared };

class DeadLinkAlarm {
public:
    static constexpr int kDefaultLosses = 5;

    explicit DeadLinkAlarm(int losses = kDefaultLosses) : k_(losses < 0 ? 0 : losses) {}

    AlarmChange setLosses(int k);
    int losses() const { return k_; }
    AlarmChange runStarted();
    AlarmChange add(const records::Exchange& e);

    bool active() const { return active_; }
    int consecutiveLosses() const { return run_; }

private:
    AlarmChange settle();

    int k_;
    int run_ = 0;
    bool active_ = false;
};

class GpsFixAlarm {
public:
    static constexpr std::int64_t kDefaultTimeoutUs = 10'000'000;

    explicit GpsFixAlarm(bool enabled = false, std::int64_t timeoutUs = kDefaultTimeoutUs)
        : enabled_(enabled), timeoutUs_(timeoutUs) {}

    AlarmChange setEnabled(bool on, std::int64_t nowUs);
    bool enabled() const { return enabled_; }
    AlarmChange setGpsInUse(bool inUse, std::int64_t nowUs);
    AlarmChange runStarted(std::int64_t nowUs);
    AlarmChange runEnded();
    // A usable position was taken at nowUs.
    AlarmChange positionTaken(std::int64_t nowUs);
    // Called periodically (the GPS tick): raises the alarm once the timeout
    // has passed without a position.
    AlarmChange tick(std::int64_t nowUs);

    bool active() const { return active_; }
    // Microseconds without a position at nowUs while watching, else 0.
    std::int64_t silentUs(std::int64_t nowUs) const;

private:
    bool watching() const { return enabled_ && inUse_ && running_; }
    AlarmChange clear();
    AlarmChange turn(bool& flag, bool on, std::int64_t nowUs);

    bool enabled_;
    std::int64_t timeoutUs_;
    bool inUse_ = false;
    bool running_ = false;
    bool active_ = false;
    std::int64_t sinceUs_ = 0;
};

}  // namespace analysis
