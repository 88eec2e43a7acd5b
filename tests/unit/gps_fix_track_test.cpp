// The position at an instant from the receiver's fixes: a straight route
// east at 12 m/s with a fix a second, sampled between fixes, ahead of the
// last one, across a gap and past the limit; fixes without a position and
// corrupted sentences; speed from RMC and VTG; and the dating of sentences
// that arrive in pieces at a baud rate.
#include "gps/Distance.h"
#include "gps/FixTrack.h"

#include <QtTest>

#include <cmath>

namespace {

constexpr double kLat = 35.0, kLon = 139.0;
constexpr double kSpeed = 12.0;                         // m/s, due east
const double kMetresPerDegLon = 111320.0 * std::cos(kLat * M_PI / 180.0);

QString checksummed(const QString& body) {
    int x = 0;
    for (const QChar c : body)
        x ^= c.unicode() & 0xFF;
    return QStringLiteral("$%1*%2").arg(body, QString::number(x, 16).rightJustified(2, u'0').toUpper());
}

// ddmm.mmmmmm of a latitude or longitude.
QString ddmm(double deg, int digits) {
    const int d = int(deg);
    return QStringLiteral("%1%2").arg(d, digits, 10, QLatin1Char('0')).arg((deg - d) * 60, 9, 'f', 6, QLatin1Char('0'));
}

double lonAt(double seconds) { return kLon + kSpeed * seconds / kMetresPerDegLon; }

QString utc(double seconds) { return QStringLiteral("0000%1.00").arg(int(seconds) % 60, 2, 10, QLatin1Char('0')); }

// A receiver without a fix: empty position fields.
QString noFixGga(double seconds) { return checksummed(QStringLiteral("GPGGA,%1,,,,,0,00,99.9,,M,,M,,").arg(utc(seconds))); }

QString gga(double seconds, int quality = 1) {
    const QString t = utc(seconds);
    return checksummed(QStringLiteral("GPGGA,%1,%2,N,%3,E,%4,08,0.9,40.0,M,39.2,M,,")
                           .arg(t, ddmm(kLat, 2), ddmm(lonAt(seconds), 3))
                           .arg(quality));
}

// Metres between a position and the route at t seconds.
double offRoute(const records::Position& p, double seconds) {
    return hubeny::distance(p.lat, p.lon, kLat, lonAt(seconds), 0);
}

constexpr std::int64_t kS = 1'000'000;

} // namespace

class GpsFixTrackTest : public QObject {
    Q_OBJECT
private slots:
    void positionAtTheSend();
    void gapsStaleAndNoFix();
    void speedOverGround();
    void sentencesDatedByTheirFirstCharacter();
};

void GpsFixTrackTest::positionAtTheSend() {
    gps::FixTrack t;
    for (int n = 0; n <= 5; ++n)
        t.addSentence(gga(n), n * kS);

    // Between two fixes: on the route where it was at that instant, not
    // where the fix before put it (4.8 m back at 0.4 s).
    gps::PositionAt at = t.at(2 * kS + 400'000);
    QCOMPARE(at.state, records::GpsState::Ok);
    QVERIFY(at.position && at.position->usable());
    QCOMPARE(at.position->how, records::PositionHow::Interpolated);
    QVERIFY2(offRoute(*at.position, 2.4) < 0.05, qPrintable(QString::number(offRoute(*at.position, 2.4))));
    QCOMPARE(at.position->fixAgeUs, std::optional<std::int64_t>(400'000));
    QCOMPARE(at.position->ggaUtc, QStringLiteral("000002.00"));
    QCOMPARE(at.position->fix, 1);
    QCOMPARE(at.position->sats, 8);
    QCOMPARE(at.position->alt, 40.0);
    // On a fix's own instant: that fix.
    QVERIFY(offRoute(*t.at(3 * kS).position, 3.0) < 0.05);

    // No later fix yet: ahead along the last two, up to the limit.
    at = t.at(5 * kS + 1'500'000);
    QCOMPARE(at.state, records::GpsState::Ok);
    QCOMPARE(at.position->how, records::PositionHow::Extrapolated);
    QVERIFY(offRoute(*at.position, 6.5) < 0.05);
    at = t.at(5 * kS + gps::FixTrack::kLimitUs);
    QCOMPARE(at.state, records::GpsState::Ok);
    QVERIFY(offRoute(*at.position, 7.0) < 0.05);

    // Past the limit: stale, kept where the last fix stood, with its age,
    // never a usable position.
    at = t.at(5 * kS + gps::FixTrack::kLimitUs + 1);
    QCOMPARE(at.state, records::GpsState::Stale);
    QVERIFY(at.position && !at.position->usable());
    QVERIFY(at.position->stale);
    QCOMPARE(at.position->how, records::PositionHow::Held);
    QVERIFY(offRoute(*at.position, 5.0) < 0.05);
    QCOMPARE(at.position->fixAgeUs, std::optional<std::int64_t>(gps::FixTrack::kLimitUs + 1));

    // A single fix is held as it stands; before any fix there is none.
    gps::FixTrack one;
    one.addSentence(gga(0), 10 * kS);
    QCOMPARE(one.at(10 * kS + 500'000).position->how, records::PositionHow::Held);
    QVERIFY(offRoute(*one.at(10 * kS + 500'000).position, 0) < 0.05);
    QCOMPARE(one.at(10 * kS - 1).state, records::GpsState::NoFix);
    QVERIFY(!one.at(10 * kS - 1).position);
}

void GpsFixTrackTest::gapsStaleAndNoFix() {
    // A receiver stalled for 10 s: the sends of the stretch are stale from
    // the limit on, and the fixes on each side are not joined across it.
    gps::FixTrack t;
    for (int n = 0; n <= 3; ++n)
        t.addSentence(gga(n), n * kS);
    for (int n = 14; n <= 16; ++n)
        t.addSentence(gga(n), n * kS);
    int stale = 0;
    for (std::int64_t s = 3 * kS; s < 14 * kS; s += 300'000) {
        const gps::PositionAt at = t.at(s);
        if (s - 3 * kS > gps::FixTrack::kLimitUs) {
            QCOMPARE(at.state, records::GpsState::Stale);
            QVERIFY(!at.position->usable());
            ++stale;
        } else {
            QCOMPARE(at.state, records::GpsState::Ok);
            QCOMPARE(at.position->how, records::PositionHow::Extrapolated);
            QVERIFY(offRoute(*at.position, double(s) / kS) < 0.05);
        }
    }
    QCOMPARE(stale, 30);
    // After the stall: interpolated again.
    QCOMPARE(t.at(14 * kS + 100'000).position->how, records::PositionHow::Interpolated);
    QVERIFY(offRoute(*t.at(14 * kS + 100'000).position, 14.1) < 0.05);

    // A gap of two missed fixes (3 s) is not bridged: ahead of the fix
    // before it instead, while within the limit; the first fix after it is
    // held until the next (its predecessor lies beyond the limit).
    gps::FixTrack gap;
    for (const int n : {0, 1, 4})
        gap.addSentence(gga(n), n * kS);
    QCOMPARE(gap.at(1 * kS + 500'000).position->how, records::PositionHow::Extrapolated);
    QVERIFY(offRoute(*gap.at(1 * kS + 500'000).position, 1.5) < 0.05);
    QCOMPARE(gap.at(4 * kS + 100'000).position->how, records::PositionHow::Held);
    // With the receiver's speed and course it goes on along them.
    gap.addSentence(checksummed(QStringLiteral("GPRMC,000004.00,A,3500.000000,N,13900.000000,E,23.326,90.0,071217,,,A")),
                    4 * kS + 50'000);
    QCOMPARE(gap.at(4 * kS + 500'000).position->how, records::PositionHow::Extrapolated);
    QVERIFY(offRoute(*gap.at(4 * kS + 500'000).position, 4.5) < 0.05);

    // GPS on without a fix: no_fix, not stale and not off; the age of the
    // last fix there was is kept. A fix quality 0 sentence that still
    // carries coordinates is no position either.
    gps::FixTrack lost;
    lost.addSentence(gga(0), 0);
    lost.addSentence(noFixGga(1), kS);
    gps::PositionAt at = lost.at(kS + 200'000);
    QCOMPARE(at.state, records::GpsState::NoFix);
    QVERIFY(!at.position);
    lost.addSentence(gga(2, 0), 2 * kS);
    at = lost.at(2 * kS + 200'000);
    QCOMPARE(at.state, records::GpsState::NoFix);
    QVERIFY(at.position && !at.position->usable());
    QCOMPARE(at.position->fixAgeUs, std::optional<std::int64_t>(2 * kS + 200'000));

    // A sentence with a bad or missing checksum is not the receiver's word.
    gps::FixTrack bad;
    bad.addSentence(gga(0), 0);
    QString corrupt = gga(1);
    corrupt[20] = corrupt[20] == u'1' ? u'2' : u'1';
    bad.addSentence(corrupt, kS);
    bad.addSentence(gga(1).left(gga(1).indexOf(u'*')), kS);
    QCOMPARE(bad.fixes(), std::size_t(1));
    QCOMPARE(bad.at(kS + 100'000).position->how, records::PositionHow::Held);

    // Switched off and on: nothing from before.
    t.clear();
    QCOMPARE(t.at(15 * kS).state, records::GpsState::NoFix);
}

void GpsFixTrackTest::speedOverGround() {
    gps::FixTrack t;
    t.addSentence(gga(0), 0);
    QVERIFY(!t.at(100'000).position->speedMps);
    // 23.33 knots; a void RMC says nothing.
    t.addSentence(checksummed(QStringLiteral("GPRMC,000000.00,A,3500.000000,N,13900.000000,E,23.33,90.0,071217,,,A")), 200'000);
    t.addSentence(checksummed(QStringLiteral("GPRMC,000000.00,V,,,,,,,071217,,,N")), 300'000);
    QVERIFY(std::fabs(*t.at(400'000).position->speedMps - 12.0) < 0.01);
    // VTG in km/h, and in the old layout without unit letters (knots).
    t.addSentence(checksummed(QStringLiteral("GPVTG,90.0,T,,M,5.40,N,10.0,K,A")), 500'000);
    QVERIFY(std::fabs(*t.at(600'000).position->speedMps - 10.0 / 3.6) < 1e-9);
    t.addSentence(checksummed(QStringLiteral("GPVTG,90.0,,3.0,5.556")), 700'000);
    QVERIFY(std::fabs(*t.at(800'000).position->speedMps - 3.0 * 1852 / 3600) < 1e-9);
    // An old speed is no speed.
    t.addSentence(gga(3), 3 * kS);
    QVERIFY(!t.at(3 * kS).position->speedMps);
}

void GpsFixTrackTest::sentencesDatedByTheirFirstCharacter() {
    // At 4800 Bd a character takes 2083 us. The first read brings a whole
    // sentence and the start of the next; the "$" of the first arrived a
    // sentence's time on the wire before the read.
    const QString first = gga(0) + QStringLiteral("\r\n");
    const QString second = gga(1) + QStringLiteral("\r\n");
    const std::int64_t charUs = 10'000'000 / 4800;
    gps::FixTrack t;
    const std::int64_t read1 = 10 * kS;
    t.received(first + second.left(10), read1, 4800);
    QCOMPARE(t.fixes(), std::size_t(1));
    // The second sentence is completed by a later read; its "$" came 10
    // characters before the first read ended.
    const std::int64_t read2 = 11 * kS;
    t.received(second.mid(10), read2, 4800);
    QCOMPARE(t.fixes(), std::size_t(2));
    const std::int64_t firstAt = read1 - (first.size() + 9) * charUs;
    const std::int64_t secondAt = read1 - 9 * charUs;
    // Halfway between the two instants the position is halfway between.
    const gps::PositionAt mid = t.at((firstAt + secondAt) / 2);
    QCOMPARE(mid.position->how, records::PositionHow::Interpolated);
    QVERIFY(offRoute(*mid.position, 0.5) < 0.05);
    QCOMPARE(t.at(secondAt).position->fixAgeUs, std::optional<std::int64_t>(0));
    QCOMPARE(t.at(secondAt - 1).position->fixAgeUs, std::optional<std::int64_t>(secondAt - 1 - firstAt));

    // A read's characters are never dated before the previous read: bytes
    // that sat in the port's buffer date from when they could have come.
    const QString third = gga(2) + QStringLiteral("\r\n");
    t.received(third, read2 + 1000, 4800);
    QCOMPARE(t.at(read2 - 1).position->fixAgeUs, std::optional<std::int64_t>(read2 - 1 - secondAt));
    QCOMPARE(t.at(read2 + 1000).position->fixAgeUs, std::optional<std::int64_t>(1000));
}

QTEST_APPLESS_MAIN(GpsFixTrackTest)
#include "gps_fix_track_test.moc"
