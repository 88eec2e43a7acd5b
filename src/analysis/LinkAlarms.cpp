#include "analysis/LinkAlarms.h"

#include <algorithm>

namespace analysis {

AlarmChange DeadLinkAlarm::settle() {
    const bool should = k_ > 0 && run_ >= k_;
    if (should == active_)
        return AlarmChange::None;
    active_ = should;
    return should ? AlarmChange::Raised : AlarmChange::Cleared;
}

AlarmChange DeadLinkAlarm::setLosses(int k) {
    k_ = std::max(0, k);
    return settle();
}

AlarmChange DeadLinkAlarm::runStarted() {
    run_ = 0;
    return settle();
}

AlarmChange DeadLinkAlarm::add(const records::Exchange& e) {
    if (e.outcome == records::Outcome::Lost)
        ++run_;
    else
        run_ = 0;
    return settle();
}

AlarmChange GpsFixAlarm::clear() {
    if (!active_)
        return AlarmChange::None;
    active_ = false;
    return AlarmChange::Cleared;
}

AlarmChange GpsFixAlarm::turn(bool& flag, bool on, std::int64_t nowUs) {
    if (on == flag)
        return AlarmChange::None;
    flag = on;
    sinceUs_ = nowUs;  // the silence counts from being switched on
    return on ? AlarmChange::None : clear();
}

AlarmChange GpsFixAlarm::setEnabled(bool on, std::int64_t nowUs) { return turn(enabled_, on, nowUs); }

AlarmChange GpsFixAlarm::setGpsInUse(bool inUse, std::int64_t nowUs) { return turn(inUse_, inUse, nowUs); }

AlarmChange GpsFixAlarm::runStarted(std::int64_t nowUs) {
    running_ = true;
    sinceUs_ = nowUs;
    return clear();
}

AlarmChange GpsFixAlarm::runEnded() {
    running_ = false;
    return clear();
}

AlarmChange GpsFixAlarm::positionTaken(std::int64_t nowUs) {
    sinceUs_ = nowUs;
    return clear();
}

AlarmChange GpsFixAlarm::tick(std::int64_t nowUs) {
    if (active_ || !watching() || nowUs - sinceUs_ < timeoutUs_)
        return AlarmChange::None;
    active_ = true;
    return AlarmChange::Raised;
}

std::int64_t GpsFixAlarm::silentUs(std::int64_t nowUs) const {
    return watching() ? std::max<std::int64_t>(0, nowUs - sinceUs_) : 0;
}

}  // namespace analysis
