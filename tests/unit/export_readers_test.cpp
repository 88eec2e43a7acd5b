// The readers of exports: a hand-made communication log with its map log
// (two runs, midnight passed, a late answer, no fix, a bad checksum, the
// southern and western hemispheres, the GPS switched off for a packet) and
// the record stream of the same runs give the same points; cut and
// hand-edited files are named by file and line and the rest is still read.
#include "export/LogReader.h"
#include "export/StreamReader.h"
#include "export/Writers.h"
#include "gps/Gga.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace exportdata;

namespace {

QString dataDir() {
    const QString root = qEnvironmentVariable("QVX_SOURCE_DIR");
    return QDir(root.isEmpty() ? QStringLiteral(QVX_TEST_SOURCE_DIR) : root).filePath(QStringLiteral("tests/data/export"));
}
QByteArray readAll(const QString& name) {
    QFile f(QDir(dataDir()).filePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
const QString kLog = QStringLiteral("170921_FSK Mode_field.log");
const QString kMap = QStringLiteral("170921_FSK Mode_Map_field.log");

Runs fromLogs() { return readCommLog(readAll(kLog), kLog, readAll(kMap), kMap); }

// One line per point: what both sources must agree on (times without the
// UTC offset, which the logs do not record).
QStringList summary(const Runs& r) {
    QStringList out;
    for (const Run& run : r.runs) {
        out << QStringLiteral("run");
        for (const Point& p : run.points) {
            QString pos = QStringLiteral("-");
            if (p.position)
                pos = QStringLiteral("%1 %2 %3 fix%4 sats%5")
                          .arg(degreesText(p.position->lat), degreesText(p.position->lon))
                          .arg(p.position->alt).arg(p.position->fix).arg(p.position->sats);
            out << QStringLiteral("%1 %2 %3 %4 rtt%5 %6/%7/%8 %9")
                       .arg(p.packet).arg(p.payload, p.time.left(19), outcomeName(p.outcome))
                       .arg(p.rttMs ? QString::number(*p.rttMs) : QStringLiteral("-"))
                       .arg(p.farRssi ? QString::number(*p.farRssi) : QStringLiteral("-"))
                       .arg(p.ackRssi ? QString::number(*p.ackRssi) : QStringLiteral("-"))
                       .arg(p.noise ? QString::number(*p.noise) : QStringLiteral("-"))
                       .arg(pos);
        }
    }
    return out;
}

} // namespace

class ExportReadersTest : public QObject {
    Q_OBJECT
private slots:
    void logsGiveThePointsOfTheRun() {
        const Runs r = fromLogs();
        QVERIFY2(r.problems.empty(), qPrintable(r.problems.empty() ? QString() : r.problems.front().text()));
        const QStringList want{
            QStringLiteral("run"),
            QStringLiteral("1 001 2017-09-21T23:59:58 answered rtt47 -75/-80/-112 35.6811866 139.7670783 40.5 fix1 sats8"),
            // Its answer stands in the next packet's line: late, not dead.
            QStringLiteral("2 002 2017-09-21T23:59:59 late rtt- -/-/-111 35.6813333 139.7671666 41 fix2 sats11"),
            QStringLiteral("3 003 2017-09-22T00:00:00 answered rtt52 -90/-91/-110 35.6813333 139.7671666 41 fix2 sats11"),
            QStringLiteral("4 004 2017-09-22T00:00:01 answered rtt49 -101/-91/-110 -"),    // fix quality 0
            QStringLiteral("5 005 2017-09-22T00:00:02 answered rtt50 -98/-99/-110 -"),     // bad checksum
            QStringLiteral("run"),
            QStringLiteral("1 001 2017-09-22T10:00:01 answered rtt30 -58/-60/-112 -33.8583333 151.21 12 fix1 sats9"),
            QStringLiteral("2 002 2017-09-22T10:00:02 answered rtt31 -66/-60/-112 -"),     // no map line: GPS off
            QStringLiteral("3 003 2017-09-22T10:00:03 lost rtt- -/-/-112 51.5 -0.125 15 fix1 sats6"),
        };
        QCOMPARE(summary(r), want);
        QCOMPARE(r.runs.at(0).name, QStringLiteral("170921_FSK Mode_field.log 2017-09-21 23:59:57"));
    }

    void streamOfTheSameRunGivesTheSamePoints() {
        const Runs s = readStream(readAll(QStringLiteral("field.jsonl")), QStringLiteral("field.jsonl"));
        QVERIFY(s.problems.empty());
        QCOMPARE(summary(s), summary(fromLogs()));
        // And so the same GeoJSON features but for the layer names.
        const auto features = [](const Runs& r) {
            QJsonArray f = QJsonDocument::fromJson(toGeoJson(r.runs)).object().value(QStringLiteral("features")).toArray();
            for (int i = 0; i < f.size(); ++i) {
                QJsonObject o = f[i].toObject();
                QJsonObject p = o.value(QStringLiteral("properties")).toObject();
                p.remove(QStringLiteral("run"));
                p.insert(QStringLiteral("time"), p.value(QStringLiteral("time")).toString().left(19));
                o.insert(QStringLiteral("properties"), p);
                f[i] = o;
            }
            return f;
        };
        QCOMPARE(features(s).size(), 5);
        QCOMPARE(features(s), features(fromLogs()));
    }

    // Without its map log the communication log still gives the positions
    // of its GGA sentences (and cannot know the GPS was off for a packet).
    void logWithoutMapLog() {
        const Runs r = readCommLog(readAll(kLog), kLog);
        QVERIFY(r.problems.empty());
        QVERIFY(r.runs.at(1).points.at(1).position.has_value());
        QCOMPARE(r.runs.at(1).points.at(1).position->lon, -0.125);
    }

    void mapLogByTheNamingRule() {
        QCOMPARE(mapLogPathFor(QStringLiteral("/x/170921_FSK Mode_field.log")), QStringLiteral("/x/170921_FSK Mode_Map_field.log"));
        QCOMPARE(mapLogPathFor(QStringLiteral("170922_LoRa4096_.log")), QStringLiteral("170922_LoRa4096_Map_.log"));
        QCOMPARE(mapLogPathFor(QStringLiteral("/x/170921_FSK Mode_Map_field.log")), QString());
        QCOMPARE(mapLogPathFor(QStringLiteral("/x/notes.log")), QString());
    }

    void cutAndEditedFilesAreNamedAndTheRestRead() {
        QByteArray log = readAll(kLog);
        const QByteArray cut = log.left(log.indexOf("\r\n00:00:01"));
        log.replace("\r\n00:00:00,", "\r\n00:00:00 garbage\r\n00:00:00,");
        Runs r = readCommLog(log, kLog, readAll(kMap), kMap);
        QCOMPARE(r.problems.size(), std::size_t(1));
        QCOMPARE(r.problems.front().text(), kLog + QStringLiteral(":6: not a line of a run"));
        QCOMPARE(r.runs.at(0).points.size(), std::size_t(5));

        r = readCommLog(cut.left(cut.size() - 20), kLog);
        QCOMPARE(r.problems.size(), std::size_t(1));
        QCOMPARE(r.problems.front().line, 6);
        QCOMPARE(r.runs.at(0).points.size(), std::size_t(3));   // kept, its cut sentence no position
        QVERIFY(!r.runs.at(0).points.at(2).position);
        QCOMPARE(*r.runs.at(0).points.at(2).farRssi, -90);

        QByteArray stream = readAll(QStringLiteral("field.jsonl"));
        stream.replace("{\"type\": \"late\"", "{\"type\": late");
        stream.chop(30);
        const Runs s = readStream(stream, QStringLiteral("f.jsonl"));
        QCOMPARE(s.problems.size(), std::size_t(2));
        QCOMPARE(s.problems.at(0).text().left(12), QStringLiteral("f.jsonl:4: n"));
        QCOMPARE(s.problems.at(1).text(), QStringLiteral("f.jsonl:13: last line cut short, not a complete record"));
        QCOMPARE(s.runs.size(), std::size_t(2));
        QCOMPARE(s.runs.at(0).points.at(1).outcome, Outcome::Lost);   // its late record was lost
        QCOMPARE(s.runs.at(1).points.size(), std::size_t(3));
    }

    // A record of a schema this reader does not know is named and not read
    // as one it does (schema 2 is known); a run cut off before its end
    // record is read whole, with a note.
    void unknownSchemasAndRunsWithoutTheirEnd() {
        QList<QByteArray> lines = readAll(QStringLiteral("field.jsonl")).split('\n');
        lines[4].replace("\"schema\": 1}", "\"schema\": 3}");      // packet 3 of run 1
        lines[5].replace("\"schema\": 1}", "\"schema\": 2}");      // packet 4
        lines[6].replace("\"schema\": 1}", "\"schema\": \"1\"}");  // packet 5: no number
        lines.removeAt(12);                                          // the end of run 2
        const Runs s = readStream(lines.join('\n'), QStringLiteral("f.jsonl"));
        QCOMPARE(s.problems.size(), std::size_t(2));
        QCOMPARE(s.problems.at(0).text(),
                 QStringLiteral("f.jsonl:5: record of schema 3, this reader knows schemas 1 and 2: skipped"));
        QCOMPARE(s.problems.at(1).line, 7);
        QCOMPARE(s.runs.at(0).points.size(), std::size_t(3));
        QCOMPARE(s.runs.at(0).points.at(2).packet, 4);
        QCOMPARE(s.notes.size(), std::size_t(1));
        QCOMPARE(s.notes.front().line, 9);
        QVERIFY(s.notes.front().message.contains(QStringLiteral("without its \"end\" record")));
        QCOMPARE(s.runs.at(1).points.size(), std::size_t(3));
    }

    // The position of a GGA sentence of any talker, for the records.
    void ggaPosition_data() {
        QTest::addColumn<QString>("sentence");
        QTest::addColumn<QString>("want");
        QTest::newRow("worked example") << "$GPGGA,023000.00,3539.1234,N,13945.6789,E,1,08,0.9,40.5,M,39.2,M,,*57"
                                        << "35.6520566 139.761315 40.5 fix1 sats8 hdop0.9 ok";
        QTest::newRow("GN talker, same fields") << "$GNGGA,023000.00,3539.1234,N,13945.6789,E,1,08,0.9,40.5,M,39.2,M,,*49"
                                                << "35.6520566 139.761315 40.5 fix1 sats8 hdop0.9 ok";
        QTest::newRow("south west") << "$GPGGA,023000.00,3539.1234,S,13945.6789,W,2,12,,-3,M,,M,,*60"
                                    << "-35.6520566 -139.761315 -3 fix2 sats12 hdop- ok";
        QTest::newRow("bad checksum") << "$GPGGA,023000.00,3539.1234,N,13945.6789,E,1,08,0.9,40.5,M,39.2,M,,*58"
                                      << "35.6520566 139.761315 40.5 fix1 sats8 hdop0.9 bad";
        QTest::newRow("no checksum") << "$GPGGA,023000.00,3539.1234,N,13945.6789,E,1,08,0.9,40.5,M,39.2,M,,"
                                     << "35.6520566 139.761315 40.5 fix1 sats8 hdop0.9 bad";
        QTest::newRow("no fix, no position") << "$GPGGA,023003.00,,,,,0,00,,,M,,M,,*66" << "none";
        QTest::newRow("minutes past 60") << "$GPGGA,023000.00,3560.0000,N,13945.6789,E,1,08,0.9,40.5,M,,M,,*57" << "none";
        QTest::newRow("not GGA") << "$GPRMC,023000.00,A,3539.1234,N,13945.6789,E,0.0,,,,*00" << "none";
    }
    void ggaPosition() {
        QFETCH(QString, sentence);
        QFETCH(QString, want);
        const auto p = gga::position(sentence);
        const QString got = !p ? QStringLiteral("none")
            : QStringLiteral("%1 %2 %3 fix%4 sats%5 hdop%6 %7")
                  .arg(degreesText(p->lat), degreesText(p->lon)).arg(p->alt).arg(p->fix).arg(p->sats)
                  .arg(p->hdop ? QString::number(*p->hdop) : QStringLiteral("-"), p->checksumOk ? QStringLiteral("ok") : QStringLiteral("bad"));
        QCOMPARE(got, want);
    }
};

QTEST_APPLESS_MAIN(ExportReadersTest)
#include "export_readers_test.moc"
