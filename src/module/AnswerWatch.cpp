#include "module/AnswerWatch.h"

#include "module/CommandSet.h"

#include <algorithm>

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

bool AnswerWatch::feed(const QString& hex, std::int64_t us, const QString& pattern) {
    if (found_) {
        if (kept_.size() < pattern_.size() + kLevelChars)
            kept_ = (kept_ + hex).left(pattern_.size() + kLevelChars);
        return false;
    }
    if (pattern.isEmpty())
        return false;
    // The tail kept is from the same pattern; a changed pattern starts anew.
    if (pattern != pattern_) {
        pattern_ = pattern;
        kept_.clear();
    }
    const QString text = kept_ + hex;
    const int at = text.indexOf(pattern_);
    if (at < 0) {
        // A match still to come starts in the last pattern-less-one-byte chars.
        kept_ = text.right(std::max(0, int(pattern_.size()) - 3));
        return false;
    }
    found_ = true;
    us_ = us;
    kept_ = text.mid(at, pattern_.size() + kLevelChars);
    return true;
}

std::optional<std::int64_t> AnswerWatch::instantUs() const {
    return found_ ? std::optional<std::int64_t>(us_) : std::nullopt;
}

std::optional<int> AnswerWatch::farRssi() const {
    return found_ ? farEndRssiIn(kept_, pattern_) : std::nullopt;
}

} // namespace cmdset
