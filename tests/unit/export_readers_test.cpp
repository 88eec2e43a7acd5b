// The readers of exports: a hand-made communication log with its map log
// (two runs, midnight passed, a late answer, no fix, a bad checksum, the
// southern and western hemispheres, the GPS switched off for a packet) and
// the record stream of the same runs give the same records; map lines of
// a trial run written with File保存 off and damaged lines shift nothing;
// cut and hand-edited files are named by file and line and the rest is
// still read.
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
const QString kStream = QStringLiteral("field.jsonl");

Runs fromLogs(const QByteArray& map = readAll(kMap)) { return readCommLog(readAll(kLog), kLog, map, kMap); }
Runs fromStream() { return readStream(readAll(kStream), kStream); }

QString opt(const std::optional<int>& v) { return v ? QString::number(*v) : QStringLiteral("-"); }

// One line per exchange: what both sources must agree on.
QStringList summary(const Runs& r) {
    QStringList out;
    for (const Layer& run : r.runs) {
        out << QStringLiteral("run");
        const auto late = run.latePackets();
        for (const records::Exchange& e : run.exchanges) {
            QString pos = QStringLiteral("-");
            if (const records::Position* p = mapPosition(e))
                pos = QStringLiteral("%1 %2 %3 fix%4 sats%5 geoid%6")
                          .arg(degreesText(p->lat), degreesText(p->lon))
                          .arg(p->alt).arg(p->fix).arg(p->sats).arg(p->geoidM ? *p->geoidM : -1);
            const bool lost = e.outcome == records::Outcome::Lost;
            out << QStringLiteral("%1 %2 %3 %4 rtt%5 %6/%7/%8 %9")
                       .arg(e.packet).arg(e.payload, e.sent.toString(Qt::ISODate),
                                          lost ? (late.count(e.packet) ? "late" : "lost") : "answered")
                       .arg(e.rttUs ? QString::number(*e.rttUs / 1000) : QStringLiteral("-"))
                       .arg(opt(e.farRssi), opt(e.ackRssi), opt(e.noise), pos);
        }
    }
    return out;
}

// The map points of a set of runs: packet and coordinates.
QStringList mapPoints(const Runs& r) {
    QStringList out;
    for (const Layer& run : r.runs)
        for (const records::Exchange& e : run.exchanges)
            if (const records::Position* p = mapPosition(e))
                out << QStringLiteral("%1 %2 %3").arg(e.packet).arg(degreesText(p->lat), degreesText(p->lon));
    return out;
}

QString firstProblem(const Runs& r) { return r.problems.empty() ? QString() : r.problems.front().text(); }

} // namespace

class ExportReadersTest : public QObject {
    Q_OBJECT
private slots:
    void logsGiveTheRecordsOfTheRun() {
        const Runs r = fromLogs();
        QVERIFY2(r.problems.empty(), qPrintable(firstProblem(r)));
        const QStringList want{
            QStringLiteral("run"),
            // Local times in the zone the sentences' UTC times give.
            QStringLiteral("1 001 2017-09-21T23:59:58+09:00 answered rtt47 -75/-80/-112 35.6811866 139.7670783 40.5 fix1 sats8 geoid39.3"),
            // Its answer stands in the next packet's line: late, not dead.
            QStringLiteral("2 002 2017-09-21T23:59:59+09:00 late rtt- -/-/-111 35.6813333 139.7671666 41 fix2 sats11 geoid39.3"),
            QStringLiteral("3 003 2017-09-22T00:00:00+09:00 answered rtt52 -90/-91/-110 35.6813333 139.7671666 41 fix2 sats11 geoid39.3"),
            QStringLiteral("4 004 2017-09-22T00:00:01+09:00 answered rtt49 -101/-91/-110 -"),    // fix quality 0
            QStringLiteral("5 005 2017-09-22T00:00:02+09:00 answered rtt50 -98/-99/-110 -"),     // bad checksum
            QStringLiteral("run"),
            QStringLiteral("1 001 2017-09-22T10:00:01+09:00 answered rtt30 -58/-60/-112 -33.8583333 151.21 12 fix1 sats9 geoid20"),
            QStringLiteral("2 002 2017-09-22T10:00:02+09:00 answered rtt31 -66/-60/-112 -"),     // no map line: GPS off
            QStringLiteral("3 003 2017-09-22T10:00:03+09:00 lost rtt- -/-/-112 51.5 -0.125 15 fix1 sats6 geoid45"),
        };
        QCOMPARE(summary(r), want);
        QCOMPARE(r.runs.at(0).name, QStringLiteral("170921_FSK Mode_field.log 2017-09-21 23:59:57"));
        QCOMPARE(r.runs.at(0).start.started.offsetFromUtc(), 9 * 3600);
    }

    // The stream of the same runs: the same records, and layers named by
    // the start time the run record carries.
    void streamOfTheSameRunGivesTheSameRecords() {
        const Runs s = fromStream();
        QVERIFY2(s.problems.empty(), qPrintable(firstProblem(s)));
        QCOMPARE(summary(s), summary(fromLogs()));
        QCOMPARE(s.runs.at(0).name, QStringLiteral("field.jsonl 2017-09-21 23:59:57"));
        QCOMPARE(s.runs.at(1).name, QStringLiteral("field.jsonl 2017-09-22 10:00:00"));
        QCOMPARE(s.runs.at(0).markers.size(), std::size_t(1));
        QCOMPARE(s.runs.at(0).markers.front().note, QStringLiteral("=gate, \"north\""));
        // And so the same GeoJSON exchange features but for the layer names.
        const auto features = [](const Runs& r) {
            QJsonArray out;
            for (const QJsonValue v : QJsonDocument::fromJson(toGeoJson(r)).object().value(QStringLiteral("features")).toArray()) {
                QJsonObject o = v.toObject();
                QJsonObject p = o.value(QStringLiteral("properties")).toObject();
                if (p.value(QStringLiteral("kind")) != QStringLiteral("exchange"))
                    continue;
                p.remove(QStringLiteral("run"));
                o.insert(QStringLiteral("properties"), p);
                out.append(o);
            }
            return out;
        };
        QCOMPARE(features(s).size(), 5);
        QCOMPARE(features(s), features(fromLogs()));
    }

    // A trial run with File保存 off writes its map lines but no log lines;
    // a damaged map line or log line loses its own packet's position only.
    void trialRunsAndDamagedLinesShiftNothing() {
        const QByteArray map = readAll(kMap);
        const QStringList want = mapPoints(fromLogs());
        QCOMPARE(want.size(), 5);
        QByteArray trial;
        for (int i = 0; i < 25; ++i)
            trial += QByteArray(" 35.70") + QByteArray::number(i) + ", 139.7,12,-70,-72,-112\r\n";
        const qsizetype body = map.indexOf("\r\n") + 2;
        Runs r = fromLogs(map.left(body) + trial + map.mid(body));
        QCOMPARE(mapPoints(r), want);
        QCOMPARE(firstProblem(r), kMap + QStringLiteral(": 25 map lines match no packet of the communication log"));

        // Packet 3's map line damaged: it still had the GPS on.
        QByteArray damaged = map;
        damaged.replace(" 35.6813333, 139.7671666, 41,-90,-91,-110", " 35.68#33, 139.7671666 41,-90,-91,-110");
        r = fromLogs(damaged);
        QCOMPARE(mapPoints(r), want);
        QCOMPARE(r.problems.size(), std::size_t(1));
        QCOMPARE(r.problems.front().line, 4);

        // Packet 1's log line damaged: the others keep their counts and positions.
        QByteArray log = readAll(kLog);
        log.replace(", 47,-75,-80,-112,$GPGGA", "\x01\x02");
        r = readCommLog(log, kLog, map, kMap);
        QStringList less = want;
        less.removeFirst();
        QCOMPARE(mapPoints(r), less);
        QCOMPARE(r.runs.at(0).exchanges.front().packet, 2);
    }

    // Without its map log the communication log still gives the positions
    // of its GGA sentences (and cannot know the GPS was off for a packet).
    void logWithoutMapLog() {
        const Runs r = readCommLog(readAll(kLog), kLog);
        QVERIFY(r.problems.empty());
        QVERIFY(mapPosition(r.runs.at(1).exchanges.at(1)));
        QCOMPARE(r.runs.at(1).exchanges.at(1).position->lon, -0.125);
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
        QCOMPARE(r.runs.at(0).exchanges.size(), std::size_t(5));
        QCOMPARE(r.runs.at(0).exchanges.at(2).packet, 3);

        r = readCommLog(cut.left(cut.size() - 20), kLog);
        QCOMPARE(r.problems.size(), std::size_t(1));
        QCOMPARE(r.problems.front().line, 6);
        QCOMPARE(r.runs.at(0).exchanges.size(), std::size_t(3));   // kept, its cut sentence no position
        QVERIFY(!mapPosition(r.runs.at(0).exchanges.at(2)));
        QCOMPARE(*r.runs.at(0).exchanges.at(2).farRssi, -90);

        QByteArray stream = readAll(kStream);
        stream.replace("{\"type\":\"late\"", "{\"type\":late");
        stream.chop(30);
        const Runs s = readStream(stream, QStringLiteral("f.jsonl"));
        QCOMPARE(s.problems.size(), std::size_t(2));
        QCOMPARE(s.problems.at(0).text().left(12), QStringLiteral("f.jsonl:5: n"));
        QCOMPARE(s.problems.at(1).text(), QStringLiteral("f.jsonl:14: last line cut short, not a complete record"));
        QCOMPARE(s.runs.size(), std::size_t(2));
        QVERIFY(s.runs.at(0).late.empty());   // its late record was lost
        QCOMPARE(s.runs.at(1).exchanges.size(), std::size_t(3));
    }

    // A record of a schema this reader does not know is named and not read
    // as one it does (schema 2 is known); a run cut off before its end
    // record is read whole, with a note.
    void unknownSchemasAndRunsWithoutTheirEnd() {
        QList<QByteArray> lines = readAll(QStringLiteral("field.jsonl")).split('\n');
        lines[5].replace("\"schema\":1,", "\"schema\":3,");      // packet 3 of run 1
        lines[6].replace("\"schema\":1,", "\"schema\":2,");      // packet 4
        lines[7].replace("\"schema\":1,", "\"schema\":\"1\",");  // packet 5: no number
        lines.removeAt(13);                                        // the end of run 2
        const Runs s = readStream(lines.join('\n'), QStringLiteral("f.jsonl"));
        QCOMPARE(s.problems.size(), std::size_t(2));
        QCOMPARE(s.problems.at(0).text(),
                 QStringLiteral("f.jsonl:6: record of schema 3, this reader knows schemas 1 and 2: skipped"));
        QCOMPARE(s.problems.at(1).line, 8);
        QCOMPARE(s.runs.at(0).exchanges.size(), std::size_t(3));
        QCOMPARE(s.runs.at(0).exchanges.at(2).packet, 4);
        QCOMPARE(s.notes.size(), std::size_t(1));
        QCOMPARE(s.notes.front().line, 10);
        QVERIFY(s.notes.front().message.contains(QStringLiteral("without its \"end\" record")));
        QCOMPARE(s.runs.at(1).exchanges.size(), std::size_t(3));
    }

    // The position of a GGA sentence of any talker, for the records.
    void ggaPosition_data() {
        QTest::addColumn<QString>("sentence");
        QTest::addColumn<QString>("want");
        QTest::newRow("worked example") << "$GPGGA,023000.00,3539.1234,N,13945.6789,E,1,08,0.9,40.5,M,39.2,M,,*57"
                                        << "35.6520566 139.761315 40.5 fix1 sats8 hdop0.9 geoid39.2 ok";
        QTest::newRow("GN talker, same fields") << "$GNGGA,023000.00,3539.1234,N,13945.6789,E,1,08,0.9,40.5,M,39.2,M,,*49"
                                                << "35.6520566 139.761315 40.5 fix1 sats8 hdop0.9 geoid39.2 ok";
        QTest::newRow("south west") << "$GPGGA,023000.00,3539.1234,S,13945.6789,W,2,12,,-3,M,,M,,*60"
                                    << "-35.6520566 -139.761315 -3 fix2 sats12 hdop- geoid- ok";
        QTest::newRow("bad checksum") << "$GPGGA,023000.00,3539.1234,N,13945.6789,E,1,08,0.9,40.5,M,39.2,M,,*58"
                                      << "35.6520566 139.761315 40.5 fix1 sats8 hdop0.9 geoid39.2 bad";
        QTest::newRow("no checksum") << "$GPGGA,023000.00,3539.1234,N,13945.6789,E,1,08,0.9,40.5,M,39.2,M,,"
                                     << "35.6520566 139.761315 40.5 fix1 sats8 hdop0.9 geoid39.2 bad";
        QTest::newRow("no fix, no position") << "$GPGGA,023003.00,,,,,0,00,,,M,,M,,*66" << "none";
        QTest::newRow("minutes past 60") << "$GPGGA,023000.00,3560.0000,N,13945.6789,E,1,08,0.9,40.5,M,,M,,*57" << "none";
        QTest::newRow("not GGA") << "$GPRMC,023000.00,A,3539.1234,N,13945.6789,E,0.0,,,,*00" << "none";
    }
    void ggaPosition() {
        QFETCH(QString, sentence);
        QFETCH(QString, want);
        const auto p = gga::position(sentence);
        const QString got = !p ? QStringLiteral("none")
            : QStringLiteral("%1 %2 %3 fix%4 sats%5 hdop%6 geoid%7 %8")
                  .arg(degreesText(p->lat), degreesText(p->lon)).arg(p->alt).arg(p->fix).arg(p->sats)
                  .arg(p->hdop ? QString::number(*p->hdop) : QStringLiteral("-"),
                       p->geoidM ? QString::number(*p->geoidM) : QStringLiteral("-"),
                       p->checksumOk ? QStringLiteral("ok") : QStringLiteral("bad"));
        QCOMPARE(got, want);
    }
};

QTEST_APPLESS_MAIN(ExportReadersTest)
#include "export_readers_test.moc"
