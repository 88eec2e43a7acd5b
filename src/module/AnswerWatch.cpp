#include "module/AnswerWatch.h"

#include "module/CommandSet.h"

namespace cmdset {

namespace {
constexpr int kLevelChars = 6;  // two bytes of hex dump
}

void AnswerWatch::begin() {
    pattern_.clear();
    kept_.clear();
    found_ = false;
    us_ = 0;
}

void AnswerWatch::recognise(const QString& dump, const QString& pattern, std::int64_t us) {
    const int at = dump.indexOf(pattern);
    if (found_ || pattern.isEmpty() || at < 0)
        return;
    found_ = true;
    us_ = us;
    pattern_ = pattern;
    kept_ = dump.mid(at, pattern.size() + kLevelChars);
}

void AnswerWatch::follow(const QString& hex) {
    if (found_ && kept_.size() < pattern_.size() + kLevelChars)
        kept_ = (kept_ + hex).left(pattern_.size() + kLevelChars);
}

std::optional<std::int64_t> AnswerWatch::instantUs() const {
    return found_ ? std::optional<std::int64_t>(us_) : std::nullopt;
}

std::optional<int> AnswerWatch::farRssi() const {
    return found_ ? farEndRssiIn(kept_, pattern_) : std::nullopt;
}

} // namespace cmdset
