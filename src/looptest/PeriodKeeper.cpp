#include "looptest/PeriodKeeper.h"

#include <algorithm>
#include <cmath>

void PeriodKeeper::reset() {
    carryMs_ = 0;
    dueUs_ = -1;
    exactDueUs_ = -1;
}

qint64 PeriodKeeper::stepStart(qint64 nowUs) const {
    return dueUs_ >= 0 && dueUs_ <= nowUs ? dueUs_ : nowUs;
}

PeriodKeeper::Arm PeriodKeeper::rearm(double periodMs, qint64 t0Us, qint64 nowUs, qint64 maxCompensationUs) {
    const qint64 overheadUs = nowUs - t0Us;
    const bool compensated = overheadUs >= 0 && overheadUs < maxCompensationUs;
    // An uncompensated step starts the schedule afresh: nothing is carried.
    if (!compensated)
        carryMs_ = 0;
    const double compensation = compensated ? overheadUs / 1000.0 : 0.0;

    Arm arm{0, 0};
    double exact = 0;
    if (periodMs < kSubTickPeriodMs) {
        exact = std::max(0.0, periodMs - compensation + carryMs_);
    } else {
        arm.firings = int(periodMs / kSubTickPeriodMs);
        exact = (periodMs - compensation + carryMs_) / arm.firings;
    }
    // Round half to even (the default rounding mode).
    arm.intervalMs = int(std::nearbyint(exact));
    const int firings = std::max(1, arm.firings);
    carryMs_ = (exact - arm.intervalMs) * firings;
    dueUs_ = nowUs + qint64(arm.intervalMs) * firings * 1000;
    // The schedule's own instant for the next step; after a step that was
    // not compensated (or with no period left) the schedule starts afresh
    // and the next send is not held to it.
    exactDueUs_ = compensated && exact > 0 ? nowUs + qint64(std::llround(exact * firings * 1000)) : -1;
    return arm;
}

qint64 PeriodKeeper::sendInstant(qint64 t0Us) const {
    const qint64 at = (exactDueUs_ >= 0 ? exactDueUs_ : t0Us) + kSendOffsetUs;
    const qint64 aligned = at / 1000 * 1000 + kSendPhaseUs - std::max<qint64>(0, sendUs_);
    return aligned >= at ? aligned : aligned + 1000;
}

std::optional<qint64> PeriodKeeper::nextSendInstant() const {
    return exactDueUs_ >= 0 ? std::optional<qint64>(sendInstant(exactDueUs_)) : std::nullopt;
}

void PeriodKeeper::sendTook(qint64 us) {
    // Averaged over about eight sends, so one slow write moves the send
    // instants by an eighth of its excess, not the whole.
    us = std::clamp<qint64>(us, 0, kSendPhaseUs);
    if (sendUs_ < 0) {
        sendUs_ = us;
        return;
    }
    const qint64 d = us - sendUs_;
    sendUs_ += d / 8 != 0 ? d / 8 : (d > 0) - (d < 0);
}
