// Link statistics against figures worked out by hand or taken from
// published tables: counts, error rate and its Wilson interval, rolling
// rate, outages, round-trip figures and percentiles; then the two alarms.
#include "analysis/LinkAlarms.h"
#include "stats/Histogram.h"
#include "stats/LinkStatistics.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

using analysis::AlarmChange;
using analysis::LinkStatistics;
using records::Exchange;
using records::Outcome;

namespace {

constexpr std::int64_t kPeriodUs = 1'000'000;

// Packet n sent at n seconds; answered ones take rtt microseconds and carry
// far -70 - n, answer -60 - n, noise -100 dBm.
Exchange exchange(std::int64_t packet, bool answered, std::int64_t rtt = 0) {
    Exchange e;
    e.packet = packet;
    e.payload = QStringLiteral("%1").arg(packet % 1000, 3, 10, QLatin1Char('0'));
    e.sentUs = packet * kPeriodUs;
    e.periodMs = kPeriodUs / 1000.0;
    e.noise = -100;
    e.outcome = answered ? Outcome::Answered : Outcome::Lost;
    if (answered) {
        e.rttUs = rtt;
        e.answeredUs = e.sentUs + rtt;
        e.farRssi = int(-70 - packet);
        e.ackRssi = int(-60 - packet);
    }
    return e;
}

// A = answered (rtt 1000 us times its position among the answers), L = lost.
void feed(LinkStatistics& s, const QString& pattern) {
    int answers = 0;
    for (int i = 0; i < pattern.size(); ++i) {
        const bool a = pattern[i] == QLatin1Char('A');
        s.add(exchange(i + 1, a, a ? 1000 * ++answers : 0));
    }
}

}  // namespace

class AnalysisStatisticsTest : public QObject {
    Q_OBJECT
private slots:
    // The histogram's bins must hold every round trip: whatever the values,
    // at least one bin, each value counted in the bin whose edges enclose it,
    // and no more than a couple of bins beyond the asked-for number.
    void histogramBinsHoldEveryValue_data() {
        QTest::addColumn<qint64>("firstTenths");   // first value, 0.1 ms
        QTest::addColumn<qint64>("lastTenths");
        QTest::addColumn<qint64>("gapTenths");     // 0: single values; else pairs v, v + gap
        QTest::newRow("singles 0.1..2000 ms") << qint64(1) << qint64(20'000) << qint64(0);
        QTest::newRow("pairs 0.1 ms apart") << qint64(1) << qint64(20'000) << qint64(1);
        QTest::newRow("pairs 3 ms apart, one bin edge each") << qint64(1) << qint64(20'000) << qint64(30);
        QTest::newRow("pairs 0.7 ms apart") << qint64(100) << qint64(5'000) << qint64(7);
        QTest::newRow("pairs 123.4 ms apart") << qint64(100) << qint64(5'000) << qint64(1234);
    }
    void histogramBinsHoldEveryValue() {
        QFETCH(qint64, firstTenths);
        QFETCH(qint64, lastTenths);
        QFETCH(qint64, gapTenths);
        constexpr int kBins = 30;
        for (std::int64_t v = firstTenths; v <= lastTenths; ++v) {
            std::map<std::int64_t, int> values{{v, 1}};
            if (gapTenths)
                values[v + gapTenths] += 2;
            const stats::HistogramBins h = stats::binRoundTrips(values, kBins);
            QVERIFY2(!h.counts.empty(), qPrintable(QString::number(v)));
            QVERIFY(int(h.counts.size()) <= kBins + 2);
            QCOMPARE(std::accumulate(h.counts.begin(), h.counts.end(), 0), gapTenths ? 3 : 1);
            for (const auto& [t, n] : values) {
                const double ms = double(t) / 10;
                bool enclosed = false;   // some counted bin's edges hold it (edges shared)
                for (std::size_t i = 0; i < h.counts.size() && !enclosed; ++i)
                    enclosed = h.counts[i] > 0 && ms >= h.start + double(i) * h.width - 1e-9 &&
                               ms <= h.start + double(i + 1) * h.width + 1e-9;
                QVERIFY2(enclosed, qPrintable(QStringLiteral("%1 ms outside [%2, +%3 x %4]")
                                                  .arg(ms).arg(h.start).arg(h.counts.size()).arg(h.width)));
            }
        }
        QVERIFY(stats::binRoundTrips({}, kBins).counts.empty());
    }

    void lossPatterns_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("lost");
        QTest::addColumn<double>("perLow");   // Wilson 95 %, published 4-place figures
        QTest::addColumn<double>("perHigh");
        QTest::addColumn<double>("rolling");  // over the last 4
        QTest::addColumn<int>("longest");
        QTest::addColumn<double>("longestS");
        QTest::addColumn<int>("current");
        QTest::addColumn<double>("perMinute");
        QTest::newRow("one packet answered") << "A" << 0 << 0.0 << 0.7935 << 0.0 << 0 << 0.0 << 0 << 60.0;
        QTest::newRow("one packet lost") << "L" << 1 << 0.2065 << 1.0 << 1.0 << 1 << 1.0 << 1 << 0.0;
        QTest::newRow("3 of 10 lost, outage ended by an answer")
            << "AALLAAALAA" << 3 << 0.1078 << 0.6032 << 0.25 << 2 << 2.0 << 0 << 42.0;
        QTest::newRow("1 of 10 lost") << "AAAALAAAAA" << 1 << 0.0179 << 0.4042 << 0.0 << 1 << 1.0 << 0 << 54.0;
        QTest::newRow("all 10 lost") << "LLLLLLLLLL" << 10 << 0.7225 << 1.0 << 1.0 << 10 << 10.0 << 10 << 0.0;
        QTest::newRow("longest outage still under way")
            << "ALLLAALLLL" << 7 << 0.3968 << 0.8922 << 1.0 << 4 << 4.0 << 4 << 18.0;
        QTest::newRow("two equal outages")
            << "ALLAALLA" << 4 << 0.2152 << 0.7848 << 0.5 << 2 << 2.0 << 0 << 30.0;
    }
    void lossPatterns() {
        QFETCH(QString, pattern);
        QFETCH(int, lost);
        QFETCH(double, perLow);
        QFETCH(double, perHigh);
        QFETCH(double, rolling);
        QFETCH(int, longest);
        QFETCH(double, longestS);
        QFETCH(int, current);
        QFETCH(double, perMinute);
        LinkStatistics s(4);
        feed(s, pattern);
        const analysis::Figures f = s.figures();
        const auto n = std::uint64_t(pattern.size());
        QCOMPARE(f.evaluated, n);
        QCOMPARE(f.lost, std::uint64_t(lost));
        QCOMPARE(f.answered, n - std::uint64_t(lost));
        QCOMPARE(f.late, 0u);
        QCOMPARE(*f.per, double(lost) / double(n));
        QVERIFY2(qAbs(f.perInterval->low - perLow) < 1e-4, qPrintable(QString::number(f.perInterval->low)));
        QVERIFY2(qAbs(f.perInterval->high - perHigh) < 1e-4, qPrintable(QString::number(f.perInterval->high)));
        QCOMPARE(*f.rollingPer, rolling);
        QCOMPARE(f.longestOutage, std::uint64_t(longest));
        QCOMPARE(f.longestOutageUs, std::int64_t(longestS * 1e6));
        QCOMPARE(f.currentOutage, std::uint64_t(current));
        QCOMPARE(*f.answeredPerMinute, perMinute);
        QCOMPARE(bool(f.lastAnswerUs), lost < pattern.size());
    }

    void emptyRun() {
        LinkStatistics s;
        const analysis::Figures f = s.figures();
        QCOMPARE(f.evaluated, 0u);
        QVERIFY(!f.per && !f.perInterval && !f.rollingPer && !f.answeredPerMinute && !f.lastAnswerUs);
        QCOMPARE(f.rtt.count, 0u);
        QVERIFY(!f.rtt.minUs && !f.rtt.meanUs && !f.rtt.mdevUs && !f.rtt.p50Us && !f.rtt.p99Us);
        QVERIFY(!f.levels[records::Level::FarRssi].mean() && !f.levels[records::Level::Margin].stddev());
        QVERIFY(!s.sinceLastAnswerUs(123));
        QCOMPARE(f.rollingWindow, LinkStatistics::kDefaultRollingWindow);
    }

    // rtt 1000, 2000, 3000, 4000 us: mean 2500, mdev sqrt(7.5e6 - 6.25e6);
    // nearest-rank p50 is the 2nd value, p95 and p99 the 4th.
    // far -71 -72 -75 -76 (packets 1, 2, 5, 6), answer -61 -62 -65 -66,
    // noise -100 on all six: margin 39 38 35 34.
    void roundTripAndSignal() {
        LinkStatistics s;
        feed(s, QStringLiteral("AALLAA"));
        const analysis::Figures f = s.figures();
        QCOMPARE(f.rtt.count, 4u);
        QCOMPARE(*f.rtt.minUs, 1000);
        QCOMPARE(*f.rtt.maxUs, 4000);
        QCOMPARE(*f.rtt.meanUs, 2500.0);
        QVERIFY(qAbs(*f.rtt.mdevUs - 1118.033989) < 1e-6);
        QCOMPARE(*f.rtt.p50Us, 2000);
        QCOMPARE(*f.rtt.p95Us, 4000);
        QCOMPARE(*f.rtt.p99Us, 4000);
        QCOMPARE(*f.levels[records::Level::FarRssi].mean(), -73.5);
        QCOMPARE(*f.levels[records::Level::FarRssi].min(), -76.0);
        QCOMPARE(*f.levels[records::Level::FarRssi].max(), -71.0);
        QVERIFY(qAbs(*f.levels[records::Level::FarRssi].stddev() - std::sqrt(4.25)) < 1e-12);  // deviations 2.5 1.5 1.5 2.5
        QCOMPARE(f.levels[records::Level::Noise].count(), 6u);
        QCOMPARE(*f.levels[records::Level::Noise].stddev(), 0.0);
        QCOMPARE(f.levels[records::Level::Margin].count(), 4u);
        QCOMPARE(*f.levels[records::Level::Margin].mean(), 36.5);
        QCOMPARE(*f.levels[records::Level::Margin].min(), 34.0);
        // The last answer came at 6 s + 4 ms.
        QCOMPARE(*s.sinceLastAnswerUs(7'000'000), 1'000'000 - 4000);
    }

    void counterPastThousandAndLateAnswers() {
        LinkStatistics s;
        for (std::int64_t p = 1; p <= 1005; ++p)
            s.add(exchange(p, p != 3 && p != 1003, 500));
        records::LateAnswer late;
        late.packet = 1003;
        late.payload = QStringLiteral("003");
        s.add(late);
        s.add(late);  // the same answer reported twice counts once
        late.packet = 1004;  // answered in time: not a late one
        s.add(late);
        const analysis::Figures f = s.figures();
        QCOMPARE(f.evaluated, 1005u);
        QCOMPARE(f.lost, 2u);
        QCOMPARE(f.late, 1u);
        QCOMPARE(*f.rollingPer, 1.0 / 50);
        QVERIFY(qAbs(f.perInterval->low - 0.000546) < 1e-6);
        QVERIFY(qAbs(f.perInterval->high - 0.007227) < 1e-6);
        s.reset();
        QCOMPARE(s.figures().evaluated, 0u);
        QCOMPARE(s.figures().rollingWindow, 50);
    }

    // Irregular sends: an outage lasts until the send that ended it.
    void outageDurations() {
        LinkStatistics s;
        const std::pair<int, bool> run[] = {{0, true}, {1, false}, {2, false}, {3, true},  {10, false},
                                            {11, false}, {20, true}, {30, false}, {31, false}, {32, false}};
        for (const auto& [second, answered] : run) {
            Exchange e = exchange(1, answered, 100);
            e.sentUs = second * 1'000'000LL;
            s.add(e);
        }
        QCOMPARE(s.figures().longestOutage, 3u);
        QCOMPARE(s.figures().longestOutageUs, 3'000'000);  // under way: 30 s to 32 s + the period
        Exchange e = exchange(1, true, 100);
        e.sentUs = 40'000'000;
        s.add(e);
        QCOMPARE(s.figures().longestOutageUs, 10'000'000);
        // Two outages of two: the first (2 s) keeps the record over the second (10 s).
        LinkStatistics t;
        for (int i = 0; i < 7; ++i) {
            Exchange x = exchange(1, run[i].second, 100);
            x.sentUs = run[i].first * 1'000'000LL;
            t.add(x);
        }
        QCOMPARE(t.figures().longestOutage, 2u);
        QCOMPARE(t.figures().longestOutageUs, 2'000'000);
    }

    void percentilesExactThenSketched() {
        std::vector<std::int64_t> values(150000);
        std::iota(values.begin(), values.end(), 1);
        std::shuffle(values.begin(), values.end(), std::mt19937(7));
        analysis::Percentiles p;
        for (std::size_t i = 0; i < 100000; ++i)
            p.add(values[i]);
        std::vector<std::int64_t> sorted(values.begin(), values.begin() + 100000);
        std::sort(sorted.begin(), sorted.end());
        QVERIFY(p.exact());
        QCOMPARE(*p.at(50), sorted[49999]);
        QCOMPARE(*p.at(95), sorted[94999]);
        QCOMPARE(*p.at(99), sorted[98999]);
        for (std::size_t i = 100000; i < values.size(); ++i)
            p.add(values[i]);
        QVERIFY(!p.exact());
        QCOMPARE(p.count(), 150000u);
        for (const auto& [q, truth] : {std::pair{50.0, 75000.0}, {95.0, 142500.0}, {99.0, 148500.0}}) {
            const double got = double(*p.at(q));
            QVERIFY2(qAbs(got - truth) <= truth * analysis::Percentiles::kSketchRelativeError + 1,
                     qPrintable(QStringLiteral("p%1 = %2").arg(q).arg(got)));
        }
    }

    void deadLinkAlarm() {
        analysis::DeadLinkAlarm a(3);
        QCOMPARE(a.add(exchange(1, false)), AlarmChange::None);
        QCOMPARE(a.add(exchange(2, false)), AlarmChange::None);
        QCOMPARE(a.add(exchange(3, false)), AlarmChange::Raised);  // exactly at the K-th
        QCOMPARE(a.add(exchange(4, false)), AlarmChange::None);
        QVERIFY(a.active());
        QCOMPARE(a.add(exchange(5, true)), AlarmChange::Cleared);
        QCOMPARE(a.add(exchange(6, false)), AlarmChange::None);
        QCOMPARE(a.add(exchange(7, false)), AlarmChange::None);
        QCOMPARE(a.setLosses(2), AlarmChange::Raised);  // the losses already reach the new K
        QCOMPARE(a.setLosses(0), AlarmChange::Cleared);  // off
        for (int i = 8; i < 30; ++i)
            QCOMPARE(a.add(exchange(i, false)), AlarmChange::None);
        QCOMPARE(a.setLosses(5), AlarmChange::Raised);
        QCOMPARE(a.runStarted(), AlarmChange::Cleared);
        QCOMPARE(a.consecutiveLosses(), 0);
    }

    void gpsFixAlarm() {
        analysis::GpsFixAlarm off;  // off by default
        off.setGpsInUse(true, 0);
        off.runStarted(0);
        QCOMPARE(off.tick(60'000'000), AlarmChange::None);

        analysis::GpsFixAlarm a(true);
        a.setGpsInUse(true, 0);
        QCOMPARE(a.tick(20'000'000), AlarmChange::None);  // no run
        QCOMPARE(a.runStarted(30'000'000), AlarmChange::None);
        a.positionTaken(32'000'000);
        QCOMPARE(a.tick(41'999'999), AlarmChange::None);
        QCOMPARE(a.silentUs(41'999'999), 9'999'999);
        QCOMPARE(a.tick(42'000'000), AlarmChange::Raised);
        QCOMPARE(a.tick(50'000'000), AlarmChange::None);
        QCOMPARE(a.positionTaken(50'000'000), AlarmChange::Cleared);
        QCOMPARE(a.tick(60'000'000), AlarmChange::Raised);
        QCOMPARE(a.setGpsInUse(false, 61'000'000), AlarmChange::Cleared);
        QCOMPARE(a.tick(99'000'000), AlarmChange::None);
        QCOMPARE(a.setGpsInUse(true, 100'000'000), AlarmChange::None);  // counts from switching on
        QCOMPARE(a.tick(109'000'000), AlarmChange::None);
        QCOMPARE(a.tick(110'000'000), AlarmChange::Raised);
        QCOMPARE(a.runEnded(), AlarmChange::Cleared);
    }
};

QTEST_APPLESS_MAIN(AnalysisStatisticsTest)
#include "analysis_statistics_test.moc"
