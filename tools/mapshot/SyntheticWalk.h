#pragma once
// A synthetic field walk for pictures and demonstrations: a route through
// a street grid away from the datum point and back, one exchange every two
// seconds, far-end RSSI falling with distance on a log-distance model
// (level -30 dBm at 1 m, exponent 2.7) with slow shadowing from buildings
// and fast fading, answers lost below the module's sensitivity, and a
// stretch under a bridge without a fix. Deterministic: the same walk every
// time.
#include "records/Exchange.h"

#include <vector>

namespace mapshot {

struct Walk {
    double datumLat = 35.681236;
    double datumLon = 139.767125;
    std::vector<records::Exchange> exchanges;
    std::vector<records::LateAnswer> lateAnswers;
    records::Mode mode = records::Mode::Fsk;  // the level scale's steps
};

Walk syntheticWalk();

}  // namespace mapshot
