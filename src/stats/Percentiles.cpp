#include "stats/Percentiles.h"

#include <algorithm>
#include <cmath>

namespace analysis {

namespace {
const double kGamma = (1 + Percentiles::kSketchRelativeError) / (1 - Percentiles::kSketchRelativeError);
const double kLogGamma = std::log(kGamma);
}  // namespace

void Percentiles::clear() {
    *this = Percentiles();
}

void Percentiles::add(std::int64_t value) {
    ++count_;
    if (!sketched_) {
        if (samples_.size() < kExactLimit) {
            samples_.push_back(value);
            return;
        }
        sketched_ = true;
        for (std::int64_t v : samples_)
            addToSketch(v, 1);
        std::vector<std::int64_t>().swap(samples_);
    }
    addToSketch(value, 1);
}

void Percentiles::addToSketch(std::int64_t value, std::uint64_t n) {
    if (value <= 0) {
        zeros_ += n;
        return;
    }
    // Bucket i holds (g^(i-1), g^i]; a value of 1 lands in bucket 0.
    const auto i = std::size_t(std::max(0.0, std::ceil(std::log(double(value)) / kLogGamma)));
    if (i >= buckets_.size())
        buckets_.resize(i + 1, 0);
    buckets_[i] += n;
}

std::uint64_t Percentiles::rank(double p, std::uint64_t n) {
    // Nearest rank, 1-based; the small slack keeps 95 % of 100 at 95, not 96.
    auto r = std::uint64_t(std::ceil(p / 100.0 * double(n) - 1e-9));
    return std::clamp<std::uint64_t>(r, 1, n);
}

std::optional<std::int64_t> Percentiles::at(double p) const {
    if (count_ == 0)
        return std::nullopt;
    const std::uint64_t r = rank(p, count_);
    if (!sketched_) {
        auto nth = samples_.begin() + std::ptrdiff_t(r - 1);
        std::nth_element(samples_.begin(), nth, samples_.end());
        return *nth;
    }
    std::uint64_t seen = zeros_;
    if (r <= seen)
        return 0;
    for (std::size_t i = 0; i < buckets_.size(); ++i) {
        seen += buckets_[i];
        if (r <= seen)
            return std::int64_t(std::llround(2 * std::pow(kGamma, double(i)) / (kGamma + 1)));
    }
    return std::nullopt;  // not reached: the buckets hold every sample
}

}  // namespace analysis
