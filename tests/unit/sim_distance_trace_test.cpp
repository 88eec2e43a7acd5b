// Where the simulator takes the walker to be: a truth trace read while it
// grows, between and past its lines, a file written anew, a schedule of
// distances, and a file it cannot use.
#include "DistanceTrace.h"
#include "gps/Distance.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

void append(const QString& path, const QByteArray& text) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::Append));
    f.write(text);
}

} // namespace

class SimDistanceTraceTest : public QObject {
    Q_OBJECT
private slots:
    void growingTruthTrace() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("truth.csv"));
        DistanceTrace trace(path);
        QCOMPARE(trace.at(0).distanceM, 0.0);   // no file yet: at the loopback unit
        append(path, "mono_us,utc,lat,lon,sent\n1000000,2024-05-01T00:00:00.000Z,35.681200000,139.7671");
        QCOMPARE(trace.at(1'000'000).distanceM, 0.0);
        QCOMPARE(trace.rows(), 0);   // half a line is not read
        append(path, "00000,1\n2000000,2024-05-01T00:00:01.000Z,35.681300000,139.767200000,1\n");
        QCOMPARE(trace.rows(), 0);
        QCOMPARE(trace.at(500'000).distanceM, 0.0);   // before the first line: where it starts
        QCOMPARE(trace.rows(), 2);
        const double step = hubeny::distance(35.6813, 139.7672, 35.6812, 139.7671);
        QVERIFY(step > 14 && step < 15);
        // Halfway: the distance of the place halfway, as the program would
        // compute it from a fix there.
        const WalkPoint half = trace.at(1'500'000);
        QCOMPARE(half.distanceM, hubeny::distance(35.68125, 139.76715, 35.6812, 139.7671));
        QCOMPARE(half.travelledM, step / 2);
        // Past the last line it goes on for a second at the same speed, then stays.
        QCOMPARE(trace.at(2'500'000).distanceM, hubeny::distance(35.68135, 139.76725, 35.6812, 139.7671));
        const WalkPoint stays = trace.at(9'000'000);
        QCOMPARE(stays.distanceM, hubeny::distance(35.6814, 139.7673, 35.6812, 139.7671));
        QCOMPARE(stays.travelledM, 2 * step);
        // A line not later than the one before is left out.
        append(path, "2000000,x,35.7,139.8,1\n");
        QCOMPARE(trace.at(2'000'000).distanceM, step);
        QCOMPARE(trace.rows(), 2);

        // Written anew (a new walk under the same name): read from its start.
        QVERIFY(QFile::remove(path));
        append(path, "mono_us,utc,lat,lon,sent\n5000000,t,35.6813,139.7672,1\n");
        QCOMPARE(trace.at(6'000'000).distanceM, step);   // still measured from the first walk's start
        QCOMPARE(trace.rows(), 1);
    }

    void farEndAndDistanceSchedule() {
        QTemporaryDir dir;
        const QString walk = dir.filePath(QStringLiteral("walk.csv"));
        append(walk, "mono_us,lat,lon\n10,35.6812,139.7671\n");
        DistanceTrace fromFarEnd(walk, DistanceTrace::Place{35.6800, 139.7671});
        QCOMPARE(fromFarEnd.at(10).distanceM, hubeny::distance(35.6812, 139.7671, 35.68, 139.7671));

        // Distances alone: the path walked counts the way back too.
        const QString schedule = dir.filePath(QStringLiteral("schedule.csv"));
        append(schedule, "distance_m,mono_us\n100,0\n300,1000\n200,2000\n");
        DistanceTrace distances(schedule);
        QCOMPARE(distances.at(500).distanceM, 200.0);
        const WalkPoint back = distances.at(1500);
        QCOMPARE(back.distanceM, 250.0);
        QCOMPARE(back.travelledM, 250.0);
        QCOMPARE(distances.at(2000).travelledM, 300.0);

        // A file without the columns is named once and ignored.
        const QString other = dir.filePath(QStringLiteral("other.csv"));
        append(other, "time,lat,lon\n0,35,139\n");
        DistanceTrace unusable(other);
        QCOMPARE(unusable.at(0).distanceM, 0.0);
        QVERIFY(unusable.error().contains("mono_us"));
        QCOMPARE(unusable.rows(), 0);
    }
};

QTEST_GUILESS_MAIN(SimDistanceTraceTest)
#include "sim_distance_trace_test.moc"
