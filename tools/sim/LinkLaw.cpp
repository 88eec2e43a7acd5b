#include "LinkLaw.h"

#include <algorithm>

double LinkLaw::defaultMidpoint(bool lora, int spreadingIndex) {
    if (!lora)
        return -108.0;
    return -123.0 - 2.5 * std::clamp(spreadingIndex, 0, 5);
}

double LinkLaw::meanLevel(double metres) const {
    const double d0 = referenceM > 0 ? referenceM : 1.0;
    return levelDbm - 10.0 * exponent * std::log10(std::max(metres, d0) / d0);
}

double LinkLaw::lossProbability(double level, double midpoint) const {
    if (slopeDb <= 0)
        return level < midpoint ? 1.0 : 0.0;
    return 1.0 / (1.0 + std::exp((level - midpoint) / slopeDb));
}

LinkModel::LinkModel(const LinkLaw& law, double midpoint, quint32 seed)
    // A stream apart from the simulator's own (same seed, other numbers).
    : law_(law), midpoint_(midpoint), rng_(seed ^ 0x9E3779B9u) {}

double LinkModel::gaussian() {
    // Box-Muller, written out so that a seed gives the same levels on every
    // platform's standard library.
    if (haveSpare_) {
        haveSpare_ = false;
        return spare_;
    }
    constexpr double kTwoPi = 6.283185307179586;
    const double u1 = 1.0 - rng_.generateDouble();   // (0, 1]
    const double u2 = rng_.generateDouble();
    const double r = std::sqrt(-2.0 * std::log(u1));
    spare_ = r * std::sin(kTwoPi * u2);
    haveSpare_ = true;
    return r * std::cos(kTwoPi * u2);
}

LinkModel::Packet LinkModel::next(const WalkPoint& at) {
    // Shadowing as a Gauss-Markov process along the path walked: the
    // stationary deviation stays shadowingDb whatever the spacing.
    const double sigma = std::max(0.0, law_.shadowingDb);
    if (!started_) {
        shadowing_ = sigma * gaussian();
        started_ = true;
    } else {
        const double moved = std::fabs(at.travelledM - lastTravelled_);
        const double rho = law_.shadowingDistanceM > 0 ? std::exp(-moved / law_.shadowingDistanceM) : 0.0;
        shadowing_ = rho * shadowing_ + std::sqrt(std::max(0.0, 1.0 - rho * rho)) * sigma * gaussian();
    }
    lastTravelled_ = at.travelledM;
    const double fading = std::max(0.0, law_.fadingDb);
    const double mean = law_.meanLevel(at.distanceM) + shadowing_;
    Packet p;
    p.farLevel = mean + fading * gaussian();
    p.answerLevel = mean + law_.answerOffsetDb + fading * gaussian();
    // Both legs are drawn every packet, so one packet's fate does not shift
    // the random numbers of the next.
    const bool outLost = rng_.generateDouble() < law_.lossProbability(p.farLevel, midpoint_);
    const bool backLost = rng_.generateDouble() < law_.lossProbability(p.answerLevel, midpoint_);
    p.lost = outLost || backLost;
    return p;
}
