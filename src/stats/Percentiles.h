#pragma once
// Percentiles of the round-trip times of one run. Up to kExactLimit samples
// every sample is kept and a percentile is exact (nearest rank: the smallest
// sample with at least p % of the samples at or below it). Past that the
// samples move into a logarithmic bucket sketch: bucket i holds the values in
// (g^(i-1), g^i] with g = (1 + a) / (1 - a), and a percentile is the nearest
// rank's bucket reported as 2 g^i / (g + 1), which lies within a relative
// error a = kSketchRelativeError of every value in that bucket. The sketch
// grows with the logarithm of the largest value only (about 1,900 buckets
// for 100 s in microseconds), so memory stays bounded for any run length.
#include <cstdint>
#include <optional>
#include <vector>

namespace analysis {

class Percentiles {
public:
    static constexpr std::size_t kExactLimit = 100000;
    static constexpr double kSketchRelativeError = 0.005;

    void add(std::int64_t value);
    void clear();
    std::uint64_t count() const { return count_; }
    bool exact() const { return !sketched_; }
    // p in (0, 100]; empty without samples.
    std::optional<std::int64_t> at(double p) const;

private:
    void addToSketch(std::int64_t value, std::uint64_t n);
    static std::uint64_t rank(double p, std::uint64_t n);

    std::uint64_t count_ = 0;
    bool sketched_ = false;
    mutable std::vector<std::int64_t> samples_;  // reordered by at()
    std::uint64_t zeros_ = 0;                     // values <= 0 in the sketch
    std::vector<std::uint64_t> buckets_;
};

}  // namespace analysis
