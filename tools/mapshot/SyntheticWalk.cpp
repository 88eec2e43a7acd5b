#include "SyntheticWalk.h"

#include <QPointF>

#include <cmath>
#include <cstdint>

namespace mapshot {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kStepS = 2.0;       // one exchange every two seconds
constexpr double kSpeed = 1.4;       // walking, m/s
constexpr double kSensitivity = -116;

// A small linear congruential generator: the same numbers everywhere.
struct Random {
    std::uint32_t state = 20240501;
    double uniform() {  // [0, 1)
        state = state * 1664525u + 1013904223u;
        return double(state >> 8) / double(1u << 24);
    }
    double around(double spread) { return (uniform() * 2 - 1) * spread; }
};

}  // namespace

Walk syntheticWalk() {
    Walk w;
    // Waypoints in metres east and north of the datum point.
    const QPointF route[] = {{0, 0},     {220, 30},   {260, 420},  {700, 460},  {760, 900},
                             {1150, 940}, {1180, 600}, {820, 560}, {600, 180}, {250, -120},
                             {-150, -80}, {-120, 200}, {0, 0}};
    const double perLat = 111320.0;
    const double perLon = 111320.0 * std::cos(w.datumLat * kPi / 180);
    Random rnd;
    std::int64_t packet = 0;
    const QDateTime start(QDate(2024, 5, 1), QTime(10, 0), Qt::OffsetFromUTC, 9 * 3600);
    for (std::size_t leg = 0; leg + 1 < std::size(route); ++leg) {
        const QPointF a = route[leg], b = route[leg + 1];
        const double length = std::hypot(b.x() - a.x(), b.y() - a.y());
        const int steps = std::max(1, int(length / (kSpeed * kStepS)));
        for (int s = 0; s < steps; ++s) {
            const QPointF m = a + (b - a) * (double(s) / steps);
            records::Exchange e;
            e.runId = 1;
            e.packet = ++packet;
            e.payload = QStringLiteral("%1").arg(packet % 1000, 3, 10, QLatin1Char('0'));
            e.sent = start.addMSecs(qint64(packet * kStepS * 1000));
            e.sentUs = std::int64_t(packet * kStepS * 1e6);
            e.periodMs = kStepS * 1000;
            records::Position p;
            p.lat = w.datumLat + (m.y() + rnd.around(2.5)) / perLat;   // a GPS wanders a few metres
            p.lon = w.datumLon + (m.x() + rnd.around(2.5)) / perLon;
            p.alt = 40;
            p.fix = 1;
            p.sats = 9;
            p.hdop = 0.9;
            // Under the railway bridge: no fix for a stretch.
            if (leg == 3 && s > 40 && s < 52)
                p.fix = 0;
            const double d = std::max(1.0, std::hypot(m.x(), m.y()));
            p.distanceM = d;
            e.position = p;
            const double shadow = 5 * std::sin(m.x() / 90) * std::cos(m.y() / 130);
            const double level = -30 - 27 * std::log10(d) + shadow + rnd.around(3);
            e.noise = int(std::lround(-117 + rnd.around(2)));
            if (level > kSensitivity + rnd.around(2)) {
                e.outcome = records::Outcome::Answered;
                e.farRssi = int(std::lround(level));
                e.ackRssi = int(std::lround(level - 2 + rnd.around(2)));
                e.rttUs = 48000 + std::int64_t(rnd.uniform() * 6000);
                e.answeredUs = e.sentUs + *e.rttUs;
            } else {
                e.outcome = records::Outcome::Lost;
                // Now and then the answer comes after its period.
                if (rnd.uniform() < 0.15)
                    w.lateAnswers.push_back({1, e.packet, e.payload, 2400000, int(std::lround(level))});
            }
            w.exchanges.push_back(e);
        }
    }
    return w;
}

}  // namespace mapshot
