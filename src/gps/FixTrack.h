#pragma once
// The receiver's fixes on the microsecond clock, and the position at any
// instant from them: what the records carry as "where it was when it was
// sent".
//
// Every GGA sentence the GPS port delivers (any talker, whatever the
// window's redisplay condition takes for its displays) is kept with the
// instant its first character arrived: the instant the receiver began to
// tell the fix, which is as near to the fix's own instant as the port can
// see. A read hands over several characters at once; the ones before its
// last are dated back by their time on the wire at the port's baud rate.
// RMC and VTG sentences give the speed over ground.
//
// The position at an instant s:
//  - interpolated between the fix before s and the fix after it, by their
//    instants, when both have come and lie at most kLimitUs apart;
//  - otherwise, when the fix before s is at most kLimitUs old: extrapolated
//    from it and the fix before it (both usable, at most kLimitUs apart),
//    or without such a pair along the speed and course of the receiver's
//    newest RMC/VTG (at most kLimitUs old), or that fix held as it stands;
//  - otherwise stale: the fix before s is kept with its age, never usable.
// The GPS state at s is NoFix when the newest GGA sentence before s had no
// fix, or none has come at all. Sentences with a bad or missing checksum
// are not the receiver's word and are left out.
#include "records/Exchange.h"

#include <QString>

#include <cstdint>
#include <deque>
#include <optional>

namespace gps {

struct PositionAt {
    records::GpsState state = records::GpsState::NoFix;
    std::optional<records::Position> position;  // distance left empty
};

class FixTrack {
public:
    // Positions never reach further than this from the newest fix.
    static constexpr std::int64_t kLimitUs = 2'000'000;
    // Fixes older than this behind the newest are dropped (a record is made
    // at most one period, 66 s at the longest, after its send).
    static constexpr std::int64_t kKeepUs = 600'000'000;
    static constexpr std::size_t kMaxFixes = 8192;

    // Text as a read of the GPS port delivered it at instant us (its last
    // character's arrival); baud 0 or less: no dating back.
    void received(const QString& text, std::int64_t us, int baud);
    // One complete sentence (without its line end) that began at us.
    void addSentence(const QString& sentence, std::int64_t us);
    // The GPS was switched off: everything known goes.
    void clear();

    PositionAt at(std::int64_t us) const;

    std::size_t fixes() const { return fixes_.size(); }

private:
    struct Fix {
        std::int64_t us;
        bool usable;  // a fix with a position
        std::optional<records::Position> p;
        QString utc;
    };
    struct Speed {
        std::int64_t us;
        double mps;
        std::optional<double> courseDeg;  // true course over ground
    };
    void drop(std::int64_t newestUs);

    std::deque<Fix> fixes_;      // by instant
    std::deque<Speed> speeds_;   // by instant
    QString line_;               // a sentence still without its line end
    std::int64_t lineUs_ = 0;    // when its first character came
    std::int64_t lastReadUs_ = 0;
    bool haveRead_ = false;
};

} // namespace gps
