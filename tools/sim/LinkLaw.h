#pragma once
// A radio link whose levels and losses follow the distance between the two
// units: a log-distance path loss with shadowing, and a packet that gets
// through with a probability that falls off around the receiver's
// sensitivity.
//
//   level = A - 10 n log10(max(d, d0) / d0) + S + F
//
// S is slow shadowing (buildings, terrain), the same for both directions of
// the link (the path is the same), Gaussian with deviation shadowingDb and
// correlated over the distance walked: two places x metres apart have
// correlation exp(-x / shadowingDistance) (0: a new value every packet). F
// is fast fading, drawn for each packet and each direction. A leg (out to
// the loopback unit, or its answer back) is lost with probability
// 1 / (1 + exp((level - midpoint) / slope)); a packet comes back only when
// both legs get through.
#include <QRandomGenerator>

#include <cmath>

struct LinkLaw {
    bool enabled = false;
    double levelDbm = -22.0;       // A: far-end level at the reference distance
    double exponent = 3.0;         // n
    double referenceM = 1.0;       // d0
    double answerOffsetDb = -3.0;  // answer level less far-end level (the units' powers and antennas)
    double shadowingDb = 4.0;
    double shadowingDistanceM = 25.0;
    double fadingDb = 1.5;
    double midpointDbm = NAN;      // NaN: the modulation's own (see defaultMidpoint)
    double slopeDb = 1.0;

    // Level at which half the packets of one leg are lost: FSK -108 dBm;
    // LoRa -123 dBm at 128 chips, 2.5 dB lower for each doubling.
    static double defaultMidpoint(bool lora, int spreadingIndex);
    // The mean level at distance d (no shadowing, no fading).
    double meanLevel(double metres) const;
    // Probability that one leg at this level is lost.
    double lossProbability(double level, double midpoint) const;
};

// Where the walker is at an instant, as the law needs it: the distance to
// the loopback unit and the path walked so far (for the shadowing's
// correlation).
struct WalkPoint {
    double distanceM = 0.0;
    double travelledM = 0.0;
};

// The law's state over a run: the shadowing where the walker last was and
// a random source of its own (seeded), so the simulator's other random
// sources draw the same numbers whether the law is on or not.
class LinkModel {
public:
    LinkModel(const LinkLaw& law, double midpoint, quint32 seed);

    struct Packet {
        double farLevel;    // at the loopback unit
        double answerLevel; // of its answer at the local module
        bool lost;          // a leg did not get through
    };
    // One packet at the walker's place: levels drawn, loss decided.
    Packet next(const WalkPoint& at);

private:
    double gaussian();

    LinkLaw law_;
    double midpoint_;
    QRandomGenerator rng_;
    bool started_ = false;
    double shadowing_ = 0.0;
    double lastTravelled_ = 0.0;
    bool haveSpare_ = false;
    double spare_ = 0.0;
};
