#pragma once
// The statistics of one run, fed its records one at a time. Every figure is
// kept incrementally in constant memory (the rolling window is a ring of N
// outcomes, the late-answer check a ring of the last kRecentPackets), except
// the round-trip percentiles (see Percentiles.h).
//
// Definitions:
//  - evaluated: exchanges the cycle decided; answered + lost == evaluated.
//  - late: lost exchanges whose answer a later step found (LateAnswer
//    records naming a packet counted lost among the last kRecentPackets;
//    each packet counts once).
//  - per: lost / evaluated, with the 95 % Wilson score interval.
//  - rolling: lost / exchanges among the last N evaluated.
//  - round trip (answered exchanges): min, mean, max, mdev as ping gives it,
//    sqrt(mean(x^2) - mean(x)^2) (the population standard deviation; kept
//    with Welford's update, which computes the same value without the
//    cancellation of the two sums), and the percentiles p50, p95, p99.
//  - every level of records::kSignals (far/answer RSSI and floor noise
//    whenever present, answered or not; margin = answer RSSI - noise where
//    both are): count, mean, min, max and population standard deviation.
//  - an outage: consecutive lost exchanges. Its duration runs from the send
//    of its first lost packet to the send of the answered packet that ended
//    it, or while it lasts, to its last lost packet's send plus the period
//    (when that packet was judged lost). On a steady cycle both are n periods.
//  - span: from the first send to the last exchange's send plus the period;
//    answered per minute = answered / span.
#include "records/LateAnswerWindow.h"
#include "stats/Percentiles.h"
#include "records/Exchange.h"
#include "records/Signals.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace analysis {

// Running mean, minimum, maximum and population standard deviation.
class Spread {
public:
    void add(double x);
    std::uint64_t count() const { return n_; }
    std::optional<double> mean() const;
    std::optional<double> min() const;
    std::optional<double> max() const;
    std::optional<double> stddev() const;

private:
    std::uint64_t n_ = 0;
    double mean_ = 0;
    double m2_ = 0;
    double min_ = 0;
    double max_ = 0;
};

struct Interval {
    double low = 0;
    double high = 0;
};

// The 95 % Wilson score interval of k events in n trials (n > 0).
Interval wilson95(std::uint64_t k, std::uint64_t n);

struct RttFigures {
    std::uint64_t count = 0;
    std::optional<std::int64_t> minUs, maxUs, p50Us, p95Us, p99Us;
    std::optional<double> meanUs, mdevUs;
    bool percentilesExact = true;
};

struct Figures {
    std::uint64_t evaluated = 0;
    std::uint64_t answered = 0;
    std::uint64_t lost = 0;
    std::uint64_t late = 0;
    std::optional<double> per;          // 0..1
    std::optional<Interval> perInterval;
    std::optional<double> rollingPer;   // over the last rollingCount exchanges
    std::uint64_t rollingCount = 0;
    int rollingWindow = 0;
    RttFigures rtt;
    records::PerLevel<Spread> levels;   // indexed by records::Level
    std::uint64_t longestOutage = 0;    // exchanges
    std::int64_t longestOutageUs = 0;
    std::uint64_t currentOutage = 0;    // losses since the last answer
    std::optional<std::int64_t> lastAnswerUs;  // monotonic instant
    std::optional<std::int64_t> spanUs;
    std::optional<double> answeredPerMinute;
};

class LinkStatistics {
public:
    static constexpr int kDefaultRollingWindow = 50;
    static constexpr std::size_t kRecentPackets = records::kLateAnswerWindow;

    explicit LinkStatistics(int rollingWindow = kDefaultRollingWindow);

    // Empties every figure (a new run). The rolling window size stays.
    void reset();
    // Resizes the rolling window (at least 1); its contents restart.
    void setRollingWindow(int n);
    int rollingWindow() const { return int(ring_.size()); }

    void add(const records::Exchange& e);
    void add(const records::LateAnswer& late);

    Figures figures() const;
    // The same without the round-trip percentiles (left empty), at a cost
    // that does not grow with the run: what a plot takes at every exchange
    // of a recorded run fed in bulk.
    Figures runningFigures() const;
    // Microseconds from the last answer to nowUs (monotonic), empty before
    // the first answer of the run.
    std::optional<std::int64_t> sinceLastAnswerUs(std::int64_t nowUs) const;

private:
    struct Recent {
        std::int64_t packet = 0;
        bool lost = false;
        bool late = false;
    };
    void noteOutage(std::uint64_t count, std::int64_t us);

    Figures f_;
    Percentiles rtts_;
    // Rolling window: 1 = lost, in a ring.
    std::vector<unsigned char> ring_;
    std::size_t ringNext_ = 0;
    std::uint64_t ringLost_ = 0;
    std::vector<Recent> recent_;
    std::size_t recentNext_ = 0;
    std::optional<std::int64_t> firstSentUs_;
    std::int64_t outageStartUs_ = 0;
    bool currentIsLongest_ = false;  // the outage under way holds the record
    Spread rttSpread_;
};

}  // namespace analysis
