#include "gps/FixTrack.h"

#include "gps/Gga.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace gps {

namespace {

constexpr qsizetype kLongestSentence = 200;  // NMEA allows 82 characters

// The fields of a sentence between "$" and "*" when its checksum is good.
std::optional<QStringList> checkedFields(const QString& sentence) {
    const qsizetype star = sentence.indexOf(QLatin1Char('*'));
    if (!sentence.startsWith(QLatin1Char('$')) || star < 0 || sentence.size() < star + 3)
        return std::nullopt;
    bool ok = false;
    const int given = sentence.mid(star + 1, 2).toInt(&ok, 16);
    int sum = 0;
    for (qsizetype i = 1; i < star; ++i)
        sum ^= sentence.at(i).unicode() & 0xFF;
    if (!ok || given != sum)
        return std::nullopt;
    return sentence.mid(1, star - 1).split(QLatin1Char(','));
}

std::optional<double> number(const QStringList& f, int i) {
    if (i >= f.size())
        return std::nullopt;
    bool ok = false;
    const double v = f[i].toDouble(&ok);
    return ok && std::isfinite(v) && v >= 0 ? std::optional<double>(v) : std::nullopt;
}

constexpr double kKnot = 1852.0 / 3600.0;  // m/s

std::optional<double> knots(const QStringList& f, int i) {
    const std::optional<double> kn = number(f, i);
    return kn ? std::optional<double>(*kn * kKnot) : std::nullopt;
}

struct Motion {
    std::optional<double> mps;
    std::optional<double> courseDeg;
};

// Speed and course over ground from RMC (valid status) or VTG (either
// layout).
Motion motionOf(const QString& type, const QStringList& f) {
    if (type == QLatin1String("RMC")) {
        if (f.size() <= 8 || f[2] != QLatin1String("A"))
            return {};
        return {knots(f, 7), number(f, 8)};
    }
    if (type != QLatin1String("VTG"))
        return {};
    if (f.size() > 7 && f[2] == QLatin1String("T")) {
        const std::optional<double> kmh = number(f, 7);
        return {kmh ? std::optional<double>(*kmh / 3.6) : knots(f, 5), number(f, 1)};
    }
    return {knots(f, 3), number(f, 1)};  // the old layout without unit letters
}

// The point metres along a course from a position, on the ellipsoid's
// local radii (WGS84): what a few seconds of travel need.
void moveAlong(records::Position& p, double metres, double courseDeg) {
    constexpr double a = 6378137.0, e2 = 0.00669437999014;
    const double phi = p.lat * M_PI / 180.0, c = courseDeg * M_PI / 180.0;
    const double w = std::sqrt(1 - e2 * std::sin(phi) * std::sin(phi));
    const double m = a * (1 - e2) / (w * w * w), n = a / w;
    p.lat += metres * std::cos(c) / m * 180.0 / M_PI;
    p.lon += metres * std::sin(c) / (n * std::cos(phi)) * 180.0 / M_PI;
}

double between(double a, double b, double t) { return a + (b - a) * t; }

// Longitudes across the antimeridian move the short way.
double lonBetween(double a, double b, double t) {
    if (b - a > 180)
        b -= 360;
    else if (a - b > 180)
        b += 360;
    double v = between(a, b, t);
    if (v > 180)
        v -= 360;
    else if (v < -180)
        v += 360;
    return v;
}

} // namespace

void FixTrack::received(const QString& text, std::int64_t us, int baud) {
    const qsizetype n = text.size();
    // A character's time on the wire: start bit, 8 data bits, stop bit.
    const std::int64_t charUs = baud > 0 ? std::int64_t(10'000'000 / baud) : 0;
    const std::int64_t earliest = haveRead_ ? lastReadUs_ : us - std::int64_t(n) * charUs;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == u'$') {
            line_ = c;
            lineUs_ = std::max<std::int64_t>(earliest, us - std::int64_t(n - 1 - i) * charUs);
        } else if (c == u'\r' || c == u'\n') {
            if (!line_.isEmpty())
                addSentence(line_, lineUs_);
            line_.clear();
        } else if (!line_.isEmpty()) {
            line_ += c;
            if (line_.size() > kLongestSentence)
                line_.clear();
        }
    }
    lastReadUs_ = us;
    haveRead_ = true;
}

void FixTrack::addSentence(const QString& sentence, std::int64_t us) {
    const std::optional<QStringList> f = checkedFields(sentence);
    if (!f || f->isEmpty() || (*f)[0].size() != 5)
        return;
    const QString type = (*f)[0].right(3);
    if (type == QLatin1String("GGA")) {
        Fix fix{us, false, gga::position(sentence), f->value(1)};
        fix.usable = fix.p && fix.p->fix > 0;
        const auto at = std::upper_bound(fixes_.begin(), fixes_.end(), us,
                                         [](std::int64_t t, const Fix& x) { return t < x.us; });
        fixes_.insert(at, std::move(fix));
    } else if (const Motion m = motionOf(type, *f); m.mps) {
        const auto at = std::upper_bound(speeds_.begin(), speeds_.end(), us,
                                         [](std::int64_t t, const Speed& x) { return t < x.us; });
        speeds_.insert(at, Speed{us, *m.mps, m.courseDeg});
    } else {
        return;
    }
    drop(std::max(us, fixes_.empty() ? us : fixes_.back().us));
}

void FixTrack::drop(std::int64_t newestUs) {
    while (!fixes_.empty() && (fixes_.size() > kMaxFixes || fixes_.front().us < newestUs - kKeepUs))
        fixes_.pop_front();
    while (!speeds_.empty() && (speeds_.size() > kMaxFixes || speeds_.front().us < newestUs - kKeepUs))
        speeds_.pop_front();
}

void FixTrack::clear() {
    fixes_.clear();
    speeds_.clear();
    line_.clear();
    haveRead_ = false;
}

PositionAt FixTrack::at(std::int64_t s) const {
    PositionAt out;
    const auto after = std::upper_bound(fixes_.begin(), fixes_.end(), s,
                                        [](std::int64_t t, const Fix& x) { return t < x.us; });
    if (after == fixes_.begin())
        return out;  // nothing had come by then
    const auto last = std::prev(after);

    // The newest usable fix at or before s, for the age.
    auto newest = last;
    while (!newest->usable && newest != fixes_.begin())
        --newest;
    const std::optional<std::int64_t> age =
        newest->usable ? std::optional<std::int64_t>(s - newest->us) : std::nullopt;

    if (!last->usable) {
        // The receiver's latest word before s: no fix.
        if (last->p) {
            out.position = last->p;
            out.position->fixAgeUs = age;
            out.position->ggaUtc = last->utc;
        }
        return out;
    }

    const Fix& b = *last;
    records::Position p = *b.p;
    p.fixAgeUs = age;
    p.ggaUtc = b.utc;
    const auto speed = std::upper_bound(speeds_.begin(), speeds_.end(), s,
                                        [](std::int64_t t, const Speed& x) { return t < x.us; });
    const Speed* motion = speed != speeds_.begin() && s - std::prev(speed)->us <= kLimitUs ? &*std::prev(speed) : nullptr;
    if (motion)
        p.speedMps = motion->mps;

    const auto place = [&](const Fix& from, const Fix& to, double t, records::PositionHow how) {
        p.lat = between(from.p->lat, to.p->lat, t);
        p.lon = lonBetween(from.p->lon, to.p->lon, t);
        p.alt = between(from.p->alt, to.p->alt, t);
        p.how = how;
    };
    const double sinceB = double(s - b.us);
    if (after != fixes_.end() && after->usable && after->us - b.us <= kLimitUs && after->us > b.us) {
        place(b, *after, sinceB / double(after->us - b.us), records::PositionHow::Interpolated);
        out.state = records::GpsState::Ok;
    } else if (s - b.us <= kLimitUs) {
        out.state = records::GpsState::Ok;
        p.how = records::PositionHow::Held;
        const Fix* a = last != fixes_.begin() ? &*std::prev(last) : nullptr;
        if (a && a->usable && b.us > a->us && b.us - a->us <= kLimitUs) {
            place(*a, b, 1.0 + sinceB / double(b.us - a->us), records::PositionHow::Extrapolated);
        } else if (motion && motion->courseDeg && s > b.us) {
            // The first fix after a gap: along the receiver's own motion.
            moveAlong(p, motion->mps * sinceB / 1e6, *motion->courseDeg);
            p.how = records::PositionHow::Extrapolated;
        }
    } else {
        out.state = records::GpsState::Stale;
        p.how = records::PositionHow::Held;
        p.stale = true;
    }
    out.position = p;
    return out;
}

} // namespace gps
