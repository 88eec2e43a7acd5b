#include "stats/LinkStatistics.h"

#include <algorithm>
#include <cmath>

namespace analysis {

void Spread::add(double x) {
    ++n_;
    if (n_ == 1) {
        min_ = max_ = x;
    } else {
        min_ = std::min(min_, x);
        max_ = std::max(max_, x);
    }
    const double d = x - mean_;
    mean_ += d / double(n_);
    m2_ += d * (x - mean_);
}

std::optional<double> Spread::mean() const {
    return n_ ? std::optional<double>(mean_) : std::nullopt;
}
std::optional<double> Spread::min() const {
    return n_ ? std::optional<double>(min_) : std::nullopt;
}
std::optional<double> Spread::max() const {
    return n_ ? std::optional<double>(max_) : std::nullopt;
}
std::optional<double> Spread::stddev() const {
    return n_ ? std::optional<double>(std::sqrt(std::max(0.0, m2_ / double(n_)))) : std::nullopt;
}

Interval wilson95(std::uint64_t k, std::uint64_t n) {
    constexpr double z = 1.959963984540054;  // two-sided 95 % normal quantile
    const double nn = double(n);
    const double p = double(k) / nn;
    const double z2 = z * z;
    const double denom = 1 + z2 / nn;
    const double centre = (p + z2 / (2 * nn)) / denom;
    const double half = z / denom * std::sqrt(p * (1 - p) / nn + z2 / (4 * nn * nn));
    // At k = 0 and k = n the bound is 0 or 1 exactly; rounding must not move it.
    return {k == 0 ? 0.0 : std::max(0.0, centre - half), k == n ? 1.0 : std::min(1.0, centre + half)};
}

LinkStatistics::LinkStatistics(int rollingWindow) {
    setRollingWindow(rollingWindow);
    recent_.resize(kRecentPackets);
}

void LinkStatistics::setRollingWindow(int n) {
    ring_.assign(std::size_t(std::max(1, n)), 0);
    ringNext_ = 0;
    ringLost_ = 0;
    f_.rollingCount = 0;
}

void LinkStatistics::reset() {
    const int n = rollingWindow();
    f_ = Figures();
    rtts_.clear();
    rttSpread_ = Spread();
    recent_.assign(kRecentPackets, Recent());
    recentNext_ = 0;
    firstSentUs_.reset();
    outageStartUs_ = 0;
    currentIsLongest_ = false;
    setRollingWindow(n);
}

void LinkStatistics::noteOutage(std::uint64_t count, std::int64_t us) {
    if (count > f_.longestOutage || currentIsLongest_) {
        f_.longestOutage = count;
        f_.longestOutageUs = us;
        currentIsLongest_ = true;
    }
}

void LinkStatistics::add(const records::Exchange& e) {
    const bool lost = e.outcome == records::Outcome::Lost;
    const auto periodUs = std::int64_t(std::llround(e.periodMs * 1000.0));
    ++f_.evaluated;
    if (!firstSentUs_)
        firstSentUs_ = e.sentUs;
    f_.spanUs = e.sentUs + periodUs - *firstSentUs_;

    if (ringLost_ && ring_[ringNext_])
        --ringLost_;
    ring_[ringNext_] = lost ? 1 : 0;
    ringLost_ += lost ? 1 : 0;
    ringNext_ = (ringNext_ + 1) % ring_.size();
    f_.rollingCount = std::min<std::uint64_t>(f_.rollingCount + 1, ring_.size());

    recent_[recentNext_] = Recent{e.packet, lost, false};
    recentNext_ = (recentNext_ + 1) % recent_.size();

    if (lost) {
        ++f_.lost;
        if (f_.currentOutage++ == 0)
            outageStartUs_ = e.sentUs;
        noteOutage(f_.currentOutage, e.sentUs + periodUs - outageStartUs_);
    } else {
        ++f_.answered;
        if (f_.currentOutage) {
            // The outage ended at this send; while it lasted its duration
            // was estimated with the period, the true end replaces that.
            if (currentIsLongest_)
                f_.longestOutageUs = e.sentUs - outageStartUs_;
            currentIsLongest_ = false;
            f_.currentOutage = 0;
        }
        if (e.rttUs) {
            rtts_.add(*e.rttUs);
            rttSpread_.add(double(*e.rttUs));
        }
        f_.lastAnswerUs = e.answeredUs ? *e.answeredUs : e.sentUs + e.rttUs.value_or(0);
    }
    for (const records::Signal& s : records::kSignals)
        if (const std::optional<int> v = s.of(e))
            f_.levels[s].add(*v);
}

void LinkStatistics::add(const records::LateAnswer& late) {
    for (Recent& r : recent_) {
        if (r.packet == late.packet && r.packet != 0 && r.lost && !r.late) {
            r.late = true;
            ++f_.late;
            return;
        }
    }
}

Figures LinkStatistics::figures() const {
    Figures out = runningFigures();
    RttFigures& r = out.rtt;
    if (r.count) {
        r.p50Us = rtts_.at(50);
        r.p95Us = rtts_.at(95);
        r.p99Us = rtts_.at(99);
        r.percentilesExact = rtts_.exact();
    }
    return out;
}

Figures LinkStatistics::runningFigures() const {
    Figures out = f_;
    out.rollingWindow = rollingWindow();
    if (out.evaluated) {
        out.per = double(out.lost) / double(out.evaluated);
        out.perInterval = wilson95(out.lost, out.evaluated);
    }
    // The rolling window restarts when resized: no rate until it holds one.
    if (out.rollingCount)
        out.rollingPer = double(ringLost_) / double(out.rollingCount);
    if (out.spanUs && *out.spanUs > 0)
        out.answeredPerMinute = double(out.answered) * 60e6 / double(*out.spanUs);
    RttFigures& r = out.rtt;
    r.count = rttSpread_.count();
    if (r.count) {
        r.minUs = std::int64_t(*rttSpread_.min());
        r.maxUs = std::int64_t(*rttSpread_.max());
        r.meanUs = rttSpread_.mean();
        r.mdevUs = rttSpread_.stddev();
    }
    return out;
}

std::optional<std::int64_t> LinkStatistics::sinceLastAnswerUs(std::int64_t nowUs) const {
    if (!f_.lastAnswerUs)
        return std::nullopt;
    return std::max<std::int64_t>(0, nowUs - *f_.lastAnswerUs);
}

}  // namespace analysis
