// The record stream lines parsed back with QJsonDocument, the writer's
// append and failure, the run report's figures and the analysis settings
// file.
#include "analysis/AnalysisSettings.h"
#include "analysis/RunReport.h"
#include "export/RecordStream.h"

#include <QtTest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace recordstream;

namespace {

QJsonObject parse(const QByteArray& line) {
    if (!line.endsWith('\n') || line.count('\n') != 1)
        return {};
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    return error.error == QJsonParseError::NoError ? doc.object() : QJsonObject();
}

const QDateTime kTokyo(QDate(2024, 5, 1), QTime(9, 30, 0, 250), Qt::OffsetFromUTC, 9 * 3600);

records::Exchange answered() {
    records::Exchange e;
    e.runId = 7;
    e.packet = 1002;
    e.payload = QStringLiteral("002");
    e.sent = kTokyo;
    e.sentUs = 5'000'000;
    e.answeredUs = 5'081'234;
    e.rttUs = 81'234;
    e.outcome = records::Outcome::Answered;
    e.farRssi = -81;
    e.ackRssi = -77;
    e.noise = -112;
    e.mode = records::Mode::LoRa;
    e.spreading = 3;
    e.periodMs = 10000;
    records::Position p;
    p.lat = 35.681236;
    p.lon = -139.767125;
    p.alt = 40.5;
    p.fix = 1;
    p.sats = 8;
    p.hdop = 0.9;
    p.distanceM = 1234.5;
    e.position = p;
    return e;
}

}  // namespace

class ExportRecordStreamTest : public QObject {
    Q_OBJECT
private slots:
    void exchangeRecords() {
        const QByteArray line = exchangeLine(answered());
        QVERIFY(line.startsWith(R"({"type":"exchange","schema":2,)"));
        const QJsonObject o = parse(line);
        const std::pair<const char*, QJsonValue> fields[] = {
            {"packet", 1002}, {"payload", "002"}, {"time", "2024-05-01T09:30:00.250+09:00"},
            {"outcome", "answered"}, {"rtt_us", 81234}, {"far_rssi", -81}, {"ack_rssi", -77}, {"noise", -112},
            {"lat", 35.681236}, {"lon", -139.767125}, {"alt", 40.5}, {"fix", 1}, {"sats", 8}, {"hdop", 0.9},
            {"dist_m", 1234.5}, {"mode", "LoRa"}, {"spreading", 3}, {"period_ms", 10000}};
        for (const auto& [name, value] : fields)
            QVERIFY2(o.value(QLatin1String(name)) == value, name);

        // Lost, without GPS: every absent figure is present as null.
        records::Exchange e = answered();
        e.outcome = records::Outcome::Lost;
        e.rttUs.reset();
        e.answeredUs.reset();
        e.farRssi.reset();
        e.ackRssi.reset();
        e.position.reset();
        const QJsonObject lost = parse(exchangeLine(e));
        QCOMPARE(lost.value("outcome").toString(), QStringLiteral("lost"));
        for (const char* name : {"rtt_us", "far_rssi", "ack_rssi", "lat", "lon", "alt", "fix", "sats", "hdop", "dist_m"})
            QVERIFY2(lost.value(QLatin1String(name)).isNull(), name);
        QCOMPARE(lost.value("noise").toInt(), -112);

        // A position without a fix gives no coordinates, but its receiver state.
        e.position = answered().position;
        e.position->fix = 0;
        const QJsonObject noFix = parse(exchangeLine(e));
        QVERIFY(noFix.value("lat").isNull() && noFix.value("dist_m").isNull());
        QCOMPARE(noFix.value("sats").toInt(), 8);
    }

    // Schema 2: the GPS state at the send and how its position came, after
    // every field of schema 1 in its old order; a stale position keeps its
    // place and age but gives no coordinates; markers carry their place;
    // alarms have records of their own.
    void positionAtTheSend() {
        records::Exchange e = answered();
        e.gps = records::GpsState::Ok;
        e.position->how = records::PositionHow::Interpolated;
        e.position->fixAgeUs = 402'113;
        e.position->ggaUtc = QStringLiteral("003029.00");
        e.position->speedMps = 12.0;
        const QByteArray line = exchangeLine(e);
        const QJsonObject o = parse(line);
        QVERIFY(line.contains(R"("checksum_ok":true,"gps":"ok","pos_how":"interpolated","fix_age_us":402113,)"
                              R"("gga_utc":"003029.00","speed_mps":12,"stale_lat":null,"stale_lon":null,"geoid_m":null})"));
        QCOMPARE(o.value("lat").toDouble(), 35.681236);

        e.gps = records::GpsState::Stale;
        e.position->stale = true;
        e.position->how = records::PositionHow::Held;
        e.position->fixAgeUs = 9'700'000;
        const QJsonObject stale = parse(exchangeLine(e));
        QCOMPARE(stale.value("gps").toString(), QStringLiteral("stale"));
        for (const char* name : {"lat", "lon", "alt", "dist_m"})
            QVERIFY2(stale.value(QLatin1String(name)).isNull(), name);
        QCOMPARE(stale.value("stale_lat").toDouble(), 35.681236);
        QCOMPARE(stale.value("stale_lon").toDouble(), -139.767125);
        QCOMPARE(stale.value("fix_age_us").toInteger(), 9700000);
        QCOMPARE(stale.value("pos_how").toString(), QStringLiteral("held"));

        // GPS on without any fix against GPS off: fix 0 against null.
        e.position.reset();
        e.gps = records::GpsState::NoFix;
        const QJsonObject noFix = parse(exchangeLine(e));
        QCOMPARE(noFix.value("gps").toString(), QStringLiteral("no_fix"));
        QCOMPARE(noFix.value("fix").toInt(-1), 0);
        QVERIFY(noFix.value("lat").isNull() && noFix.value("pos_how").isNull() && noFix.value("gga_utc").isNull());
        e.gps = records::GpsState::Off;
        const QJsonObject off = parse(exchangeLine(e));
        QCOMPARE(off.value("gps").toString(), QStringLiteral("off"));
        QVERIFY(off.value("fix").isNull());

        records::Marker m;
        m.runId = 7;
        m.number = 3;
        m.gps = records::GpsState::Ok;
        m.position = answered().position;
        m.position->how = records::PositionHow::Extrapolated;
        const QJsonObject marker = parse(markerLine(m));
        QCOMPARE(marker.value("lat").toDouble(), 35.681236);
        QCOMPARE(marker.value("gps").toString(), QStringLiteral("ok"));
        QCOMPARE(marker.value("pos_how").toString(), QStringLiteral("extrapolated"));
        m.position.reset();
        m.gps = records::GpsState::Off;
        QVERIFY(parse(markerLine(m)).value("lat").isNull());

        const QByteArray alarm = alarmLine(7, QStringLiteral("gps_fix"), true, kTokyo, 12'000'000);
        QCOMPARE(alarm, QByteArray(R"({"type":"alarm","schema":2,"run":7,"alarm":"gps_fix","state":"raised",)"
                                   R"("time":"2024-05-01T09:30:00.250+09:00","at_us":12000000})" "\n"));
        QCOMPARE(parse(alarmLine(7, QStringLiteral("gps_fix"), false, {}, 1)).value("state").toString(),
                 QStringLiteral("cleared"));
    }

    // Every record read back gives the same record: written again, the
    // same bytes.
    void linesReadBackAsWritten() {
        records::Exchange e = answered();
        e.position->geoidM = 39.3;
        records::Exchange lost = answered();
        lost.outcome = records::Outcome::Lost;
        lost.rttUs.reset();
        lost.answeredUs.reset();
        lost.farRssi.reset();
        lost.position->checksumOk = false;   // receiver state only
        lost.position->lat = lost.position->lon = lost.position->alt = 0;
        lost.position->distanceM.reset();
        records::Exchange noGps = answered();
        noGps.position.reset();
        for (const records::Exchange& x : {e, lost, noGps}) {
            const QByteArray line = exchangeLine(x);
            const Decoded d = decodeLine(line.chopped(1));
            QCOMPARE(d.kind, Decoded::Kind::Exchange);
            QCOMPARE(d.schema, kSchema);
            QCOMPARE(exchangeLine(d.exchange), line);
        }
        records::RunStart start;
        start.runId = 3;
        start.started = kTokyo;
        start.port = QStringLiteral("COM3");
        start.mode = records::Mode::LoRa;
        start.spreading = 5;
        start.periodMs = 66000;
        start.kind = records::RunKind::Counted;
        start.length = 12;
        start.commLog = QStringLiteral("a.log");
        start.mapLog = QStringLiteral("m.log");
        start.version = QStringLiteral("0.900.5");
        QCOMPARE(runLine(decodeLine(runLine(start)).run), runLine(start));
        const records::LateAnswer late{3, 1001, QStringLiteral("001"), 1'200'000, -90};
        QCOMPARE(lateLine(decodeLine(lateLine(late)).late), lateLine(late));
        records::Marker m{3, 2, QStringLiteral("角 \"北\"\n"), kTokyo, 77, 5};
        QCOMPARE(markerLine(decodeLine(markerLine(m)).marker), markerLine(m));
        records::RunEnd end{3, kTokyo, records::EndCause::Completed, QStringLiteral("done"), 12};
        const analysis::Figures none;
        QCOMPARE(endLine(decodeLine(endLine(end, none)).end, none), endLine(end, none));
        QCOMPARE(decodeLine("{\"type\":\"exchange\",\"packet\":1}").kind, Decoded::Kind::Bad);
        QCOMPARE(decodeLine("{\"type\":\"gps\",\"schema\":9}").kind, Decoded::Kind::Other);
    }

    // JSON that parsers commonly disagree on reads as Qt's JSON parser reads
    // it: the same lines taken or refused, the same values.
    void unusualJson() {
        const QByteArray late = R"({"type":"late","schema":2,"run":3,"packet":1,"payload":"001","rtt_us":5})";
        // Of repeated names the last counts, also where it spoils the record.
        Decoded d = decodeLine(R"({"type":"late","schema":2,"packet":1,"rtt_us":5,"packet":2})");
        QCOMPARE(d.kind, Decoded::Kind::Late);
        QCOMPARE(d.late.packet, 2);
        QCOMPARE(decodeLine(R"({"type":"late","schema":2,"packet":1,"packet":"x"})").kind, Decoded::Kind::Bad);
        QCOMPARE(decodeLine(R"({"type":"late","type":"gps","schema":2})").kind, Decoded::Kind::Other);
        // A byte order mark before the first record (a file saved by an editor).
        d = decodeLine("\xEF\xBB\xBF" + late);
        QCOMPARE(d.kind, Decoded::Kind::Late);
        QCOMPARE(d.late.rttUs, 5);
        // Control characters unescaped in a string, a lone surrogate, an
        // integer past 64 bits, a fraction without digits.
        d = decodeLine("{\"type\":\"marker\",\"schema\":2,\"run\":18446744073709551616,\"number\":2.,"
                       "\"note\":\"a\tb \\ud800\",\"at_us\":8999999999999999,\"after_packet\":1e3}");
        QCOMPARE(d.kind, Decoded::Kind::Marker);
        QCOMPARE(d.marker.runId, 0u);   // beyond what a run number can be
        QCOMPARE(d.marker.number, 2);
        QCOMPARE(d.marker.note, QStringLiteral("a\tb ") + QChar(0xD800));
        QCOMPARE(d.marker.atUs, 8'999'999'999'999'999);
        QCOMPARE(d.marker.afterPacket, 1000);
        // Zero written as a fraction, negative zero: both 0; a number that
        // underflows to zero, at any depth, refuses the line.
        d = decodeLine(R"({"type":"marker","schema":2,"lat":0.0,"lon":-0.0,"alt":-0,"extra":{"a":[0.0]}})");
        QCOMPARE(d.kind, Decoded::Kind::Marker);
        QVERIFY(d.marker.position);
        QVERIFY(!std::signbit(d.marker.position->lon));
        QCOMPARE(markerLine(d.marker).contains(R"("lat":0,"lon":0,"alt":0,)"), true);
        for (const QByteArray& bad : {QByteArray(R"({"type":"late","schema":2,"packet":1,"rtt_us":1e-400})"),
                                      QByteArray(R"({"type":"late","schema":2,"packet":1,"x":[{"y":-2e-324}]})"),
                                      QByteArray(R"({"type":"late","schema":2,"packet":1,"rtt_us":1e400})"),
                                      late.chopped(1), QByteArray("[") + late + ']', late + " x"}) {
            d = decodeLine(bad);
            QCOMPARE(d.kind, Decoded::Kind::Bad);
            QVERIFY2(d.problem.startsWith(QLatin1String("not a JSON record: ")), qPrintable(d.problem));
        }
        // The reason given is Qt's.
        QCOMPARE(decodeLine(late.chopped(1)).problem, QStringLiteral("not a JSON record: invalid termination by number"));
    }

    void otherRecords() {
        records::RunStart start;
        start.runId = 7;
        start.started = QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), Qt::OffsetFromUTC, -(3 * 3600 + 30 * 60));
        start.port = QStringLiteral("/dev/ttyUSB0");
        start.kind = records::RunKind::Counted;
        start.length = 100;
        start.periodMs = 1000;
        start.commLog = QStringLiteral("試験_0102.log");
        start.version = QStringLiteral("0.900.5");
        const QJsonObject run = parse(runLine(start));
        QCOMPARE(run.value("type").toString(), QStringLiteral("run"));
        QCOMPARE(run.value("time").toString(), QStringLiteral("2024-01-02T03:04:05.000-03:30"));
        QCOMPARE(run.value("kind").toString(), QStringLiteral("counted"));
        QCOMPARE(run.value("length").toInt(), 100);
        QCOMPARE(run.value("comm_log").toString(), start.commLog);
        QCOMPARE(run.value("version").toString(), start.version);

        records::LateAnswer late{7, 1001, QStringLiteral("001"), 1'200'000, -90};
        const QJsonObject l = parse(lateLine(late));
        QCOMPARE(l.value("type").toString(), QStringLiteral("late"));
        QCOMPARE(l.value("packet").toInteger(), 1001);
        QCOMPARE(l.value("rtt_us").toInteger(), 1200000);
        QCOMPARE(l.value("far_rssi").toInt(), -90);

        records::Marker m;
        m.number = 2;
        m.note = QStringLiteral("角を曲がった \"北\"\\\n\t\x01終");
        const QJsonObject marker = parse(markerLine(m));
        QCOMPARE(marker.value("number").toInt(), 2);
        QCOMPARE(marker.value("note").toString(), m.note);
        QVERIFY(marker.value("time").isNull());

        analysis::LinkStatistics stats;
        stats.add(answered());
        records::RunEnd end;
        end.cause = records::EndCause::WriteFailed;
        end.sent = 2;
        const QJsonObject e = parse(endLine(end, stats.figures()));
        QCOMPARE(e.value("cause").toString(), QStringLiteral("write_failed"));
        const QJsonObject s = e.value("stats").toObject();
        for (const char* name : {"sent", "answered", "lost", "late", "per", "per_low", "per_high", "rtt_min_us",
                                 "rtt_mean_us", "rtt_max_us", "rtt_mdev_us", "rtt_p50_us", "rtt_p95_us", "rtt_p99_us",
                                 "longest_outage"})
            QVERIFY2(s.contains(QLatin1String(name)) && !s.value(QLatin1String(name)).isNull(), name);
        QCOMPARE(s.value("sent").toInt(), 2);
        QCOMPARE(s.value("per").toDouble(), 0.0);
        QCOMPARE(s.value("rtt_p99_us").toInteger(), 81234);
        // The empty run: counts are 0, figures null, still one valid line.
        const QJsonObject empty = parse(endLine(records::RunEnd(), analysis::LinkStatistics().figures()));
        QCOMPARE(empty.value("stats").toObject().value("answered").toInt(-1), 0);
        QVERIFY(empty.value("stats").toObject().value("per").isNull());
    }

    void writer() {
        QTemporaryDir dir;
        RecordStreamWriter w(dir.filePath(QStringLiteral("試験.jsonl")));
        QVERIFY(w.append(exchangeLine(answered())));
        QVERIFY(w.append(lateLine({})));
        QFile f(w.path());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), exchangeLine(answered()) + lateLine({}));

        RecordStreamWriter missing(dir.filePath(QStringLiteral("no/such/dir.jsonl")));
        QVERIFY(!missing.append(lateLine({})));
        QVERIFY(!missing.error().isEmpty());
        if (QFile::exists(QStringLiteral("/dev/full"))) {
            RecordStreamWriter full(QStringLiteral("/dev/full"));
            QVERIFY(!full.append(lateLine({})));
            QVERIFY(!full.error().isEmpty());
        }
    }

    void report() {
        analysis::LinkStatistics stats(4);
        const bool pattern[] = {true, true, false, false, true, true, true, false, true, true};
        for (int i = 0; i < 10; ++i) {
            records::Exchange e;
            e.packet = i + 1;
            e.sentUs = (i + 1) * 1'000'000LL;
            e.periodMs = 1000;
            e.outcome = pattern[i] ? records::Outcome::Answered : records::Outcome::Lost;
            if (pattern[i])
                e.rttUs = 50'000 + i * 1000;
            stats.add(e);
        }
        records::RunStart start;
        start.version = QStringLiteral("0.900.5");
        records::RunEnd end;
        end.sent = 10;
        end.cause = records::EndCause::Completed;
        records::Marker m;
        m.number = 1;
        m.afterPacket = 4;
        m.note = QStringLiteral("橋の下");
        const QString text = analysis::runReport(start, end, stats.figures(), {m});
        QVERIFY2(text.contains(QStringLiteral("30.00 %  (95 % 区間 10.78 % - 60.32 %)")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("直近 4 の誤り率")));
        QVERIFY(text.contains(QStringLiteral("25.00 %")));
        QVERIFY(text.contains(QStringLiteral("2 パケット  2.000 s")));
        QVERIFY(text.contains(QStringLiteral("規定回数完了")));
        QVERIFY(text.contains(QStringLiteral("  1  -  パケット 4 の後  橋の下\n")));
        // rtt 50, 51, 54, 55, 56, 58, 59 ms: nearest-rank p50 is the 4th.
        QVERIFY(text.contains(QRegularExpression(QStringLiteral(
            R"(\n\s+50\.000\s+54\.714\s+59\.000\s+\d\.\d{3}\s+55\.000\s+59\.000\s+59\.000\n)"))));
        const QString empty = analysis::runReport({}, {}, analysis::LinkStatistics().figures());
        QVERIFY(empty.contains(QStringLiteral("パケット誤り率")));
        QVERIFY(!empty.contains(QStringLiteral("nan")));
    }

    void settingsFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QLatin1String(analysis::AnalysisSettings::kFileName));
        QCOMPARE(analysis::AnalysisSettings::load(path), analysis::AnalysisSettings());
        analysis::AnalysisSettings s{200, 0, false, true};
        QVERIFY(s.save(path));
        QCOMPARE(analysis::AnalysisSettings::load(path), s);
        // Bad values fall back to their defaults one by one (another file:
        // QSettings keeps what it read of a path for the whole process).
        const QString badPath = dir.filePath(QStringLiteral("bad.ini"));
        QFile f(badPath);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[analysis]\nrolling_window=0\n[alarm]\ndead_link_losses=abc\nsound=false\ngps_fix=maybe\n");
        f.close();
        const analysis::AnalysisSettings bad = analysis::AnalysisSettings::load(badPath);
        QCOMPARE(bad.rollingWindow, 50);
        QCOMPARE(bad.alarmLosses, 5);
        QCOMPARE(bad.alarmSound, false);
        QCOMPARE(bad.gpsAlarm, false);
        // A folder that cannot exist: its parent is a file.
        QString error;
        QVERIFY(!s.save(path + QStringLiteral("/x.ini"), &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_APPLESS_MAIN(ExportRecordStreamTest)
#include "export_record_stream_test.moc"
