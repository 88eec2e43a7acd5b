#pragma once
// What the receive handler recognised of one period's looped-back answer:
// whether the expected pattern came, when the bytes completing it arrived,
// and the far end's two signal-strength bytes that followed it. It follows
// every byte of the period, so an answer that later scrolls out of the
// 80-byte dump (line noise after it, or before it) is still known; it keeps
// only the few bytes a match or the two level bytes can still need.
#include <QString>

#include <cstdint>
#include <optional>

namespace cmdset {

class AnswerWatch {
public:
    // A new period: nothing recognised.
    void begin();
    // One receive event's bytes as a hex dump (3 characters a byte), their
    // arrival instant and the answer pattern looked for. True when these
    // bytes complete the pattern for the first time in the period.
    bool feed(const QString& hex, std::int64_t us, const QString& pattern);

    bool recognised() const { return found_; }
    // Arrival of the bytes that completed the pattern.
    std::optional<std::int64_t> instantUs() const;
    // The far end's level from the two bytes after the pattern, as far as
    // they have come (a missing byte counts 0, as in the dump).
    std::optional<int> farRssi() const;

private:
    QString pattern_;
    QString kept_;  // before a match: the tail a match may start in; after: the pattern and what follows
    bool found_ = false;
    std::int64_t us_ = 0;
};

} // namespace cmdset
