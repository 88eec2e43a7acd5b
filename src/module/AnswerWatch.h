#pragma once
// What the receive handler recognised of one period's looped-back answer:
// that it came, when, and the far end's two signal-strength bytes that
// followed its pattern. The handler recognises the answer in RxData, which
// keeps only the newest 80 bytes; noise after the answer (or before it)
// may push it out of there before the step evaluates the packet. This
// keeps the pattern and its level bytes from the moment of recognition on.
#include <QString>

#include <cstdint>
#include <optional>

namespace cmdset {

class AnswerWatch {
public:
    // A new period: nothing recognised.
    void begin();
    // The handler recognised the answer: the dump as it shows it now
    // (holding the pattern), the pattern and the arrival instant of the
    // bytes that completed it. Only the first recognition of a period counts.
    void recognise(const QString& dump, const QString& pattern, std::int64_t us);
    // A later receive event's bytes as a hex dump: the level bytes still
    // missing after the pattern are taken from them.
    void follow(const QString& hex);

    bool recognised() const { return found_; }
    std::optional<std::int64_t> instantUs() const;
    // The far end's level from the two bytes after the pattern, as far as
    // they have come (a missing byte counts 0, as in the dump).
    std::optional<int> farRssi() const;

private:
    QString pattern_;
    QString kept_;  // the pattern and what followed it, up to the two level bytes
    bool found_ = false;
    std::int64_t us_ = 0;
};

} // namespace cmdset
