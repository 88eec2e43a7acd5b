// A simulated run's files read back give the records the run emitted: the
// window against the simulated module and a GPS feed on the virtual clock,
// a trial run with File保存 off (its map lines written, no log lines), then
// two saved runs under one log name, the first with answers ten periods
// late. The record stream read back gives every record as emitted; the
// communication log with its map log gives every exchange to the log's
// precision, the same late answers and the same map points; the two runs
// have run ids of their own in the stream (continuing the file's count)
// and a report each.
#include "SimOnDevice.h"
#include "WindowHarness.h"
#include "analysis/RunRecorder.h"
#include "export/LogReader.h"
#include "export/RecordStream.h"
#include "export/StreamReader.h"
#include "export/Writers.h"
#include "looptest/RunControl.h"
#include "looptest/TestCycle.h"

#include <QFile>
#include <QtTest>

namespace {

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A GGA sentence at the given UTC instant, moving north a little every second.
QByteArray gga(const QDateTime& utc, int second) {
    const QByteArray body = QStringLiteral("GPGGA,%1.00,%2,N,13946.0000,E,1,08,0.9,40.5,M,39.3,M,,")
                                .arg(utc.toString(QStringLiteral("HHmmss")))
                                .arg(3540.0 + 0.006 * second, 9, 'f', 4, QLatin1Char('0'))
                                .toLatin1();
    int sum = 0;
    for (const char c : body) sum ^= static_cast<unsigned char>(c);
    return '$' + body + '*' + QByteArray::number(sum, 16).toUpper().rightJustified(2, '0') + "\r\n";
}

// What a communication log carries of an exchange. The map log keeps the
// position at the evaluation, the stream the one at the send: they are
// compared to 4 decimals (about 10 m; the walk here moves far less a period).
QString logView(const records::Exchange& e, bool late) {
    const records::Position* p = exportdata::mapPosition(e);
    return QStringLiteral("%1 %2 %3 %4 rtt%5 %6/%7/%8 %9")
        .arg(e.packet)
        .arg(e.payload)
        .arg(e.sent.toSecsSinceEpoch())
        .arg(e.outcome == records::Outcome::Answered ? "answered" : late ? "late" : "lost")
        .arg(e.rttUs ? QString::number(std::llround(*e.rttUs / 1000.0)) : QStringLiteral("-"))
        .arg(e.farRssi.value_or(0)).arg(e.ackRssi.value_or(0)).arg(e.noise.value_or(0))
        .arg(p ? QStringLiteral("%1 %2 %3 %4 %5 %6 %7").arg(QString::number(p->lat, 'f', 4), QString::number(p->lon, 'f', 4))
                     .arg(p->alt).arg(p->fix).arg(p->sats).arg(p->hdop.value_or(-1)).arg(p->geoidM.value_or(-1))
               : QStringLiteral("-"));
}

QStringList logViews(const exportdata::Layer& run) {
    const auto late = run.latePackets();
    QStringList out;
    for (const records::Exchange& e : run.exchanges)
        out << logView(e, late.count(e.packet) > 0);
    return out;
}

} // namespace

class ExportRoundTripTest : public QObject {
    Q_OBJECT
private slots:
    void runsReadBackFromTheirFiles();
};

void ExportRoundTripTest::runsReadBackFromTheirFiles() {
    WindowHarness h;
    SimConfig cfg;
    cfg.loopDelayMs = 37;
    cfg.lossPattern = "---x-----";
    cfg.farRssi = RssiSpec::sequence({-70, -71, -72, -73, -74});
    cfg.ackRssi = RssiSpec::sequence({-60, -61, -62});
    cfg.noiseRssi = RssiSpec::sequence({-110, -111, -112, -113});
    SimOnDevice sim(h.ports.addDevice(QStringLiteral("COM3")), h.clock, cfg);
    FakeDevice* gps = h.ports.addDevice(QStringLiteral("COM9"));
    Form1& f = h.start();
    int second = 0;
    std::function<void()> feed = [&] {
        gps->send(gga(h.clock.now().toUTC(), second++));
        h.clock.after(1000, feed);
    };
    feed();
    inside(f).ui.Com_Port->setText(QStringLiteral("COM3"));
    inside(f).ui.GPS_Port->setText(QStringLiteral("COM9"));
    inside(f).ui.GPS_On->setChecked(true);
    inside(f).ui.LogFile_Flg->setChecked(false);
    inside(f).ui.LogFileName->setText(QStringLiteral("rt"));
    inside(f).ui.MapFileName->setText(QStringLiteral("rt"));

    QList<records::Exchange> emitted;
    QList<records::LateAnswer> late;
    QList<records::RunStart> starts;
    QObject::connect(inside(f).cycle.get(), &TestCycle::exchangeEvaluated, &f, [&](const records::Exchange& e) { emitted << e; });
    QObject::connect(inside(f).cycle.get(), &TestCycle::lateAnswer, &f, [&](const records::LateAnswer& l) { late << l; });
    QObject::connect(inside(f).run.get(), &RunControl::runStarted, &f, [&](const records::RunStart& r) { starts << r; });
    const auto run = [&](int packets, const std::function<void(int)>& during = {}) {
        inside(f).ui.Tx_CnEnd->setText(QString::number(packets));
        const int before = sim.dataCommands();
        inside(f).TestStartSW[1]->click();
        while (sim.dataCommands() < before + packets) {
            h.advance(1);
            if (during) during(sim.dataCommands() - before);
        }
        h.advance(3000);
    };

    // The trial: map lines, no communication log, no stream.
    run(6);
    QVERIFY(starts.last().commLog.isEmpty());
    const int trial = emitted.size();
    // The stream file already holds a run 7 (an earlier session).
    inside(f).ui.LogFile_Flg->setChecked(true);
    const QString streamPath = analysis::RunRecorder::streamPathFor(
        h.dir(), inside(f).ui.LogFileHedder->text() + QStringLiteral("rt.log"));
    QFile old(streamPath);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("{\"type\":\"run\",\"schema\":1,\"run\":7}\n{\"type\":\"end\",\"schema\":1,\"run\":7}\n");
    old.close();
    // Packets 10 to 12 answered ten periods late.
    run(30, [&](int sent) { sim.config().loopDelayMs = sent >= 9 && sent < 12 ? 10 * 300 + 37 : 37; });
    const int first = emitted.size();
    run(5);
    QCOMPARE(inside(f).recorder->streamPath(), streamPath);
    QCOMPARE(emitted.size(), trial + 35);
    QVERIFY2(late.size() == 3, qPrintable(QString::number(late.size())));

    // The stream: every record as emitted, the runs as 8 and 9.
    const exportdata::Runs s = exportdata::readStream(fileBytes(streamPath), streamPath);
    QVERIFY(s.problems.empty());
    QCOMPARE(s.runs.size(), std::size_t(3));
    QCOMPARE(s.runs[1].start.runId, std::uint64_t(8));
    QCOMPARE(s.runs[2].start.runId, std::uint64_t(9));
    QCOMPARE(s.runs[1].exchanges.front().runId, std::uint64_t(8));
    QList<records::Exchange> read;
    for (const exportdata::Layer& l : {s.runs[1], s.runs[2]})
        read.append(QList<records::Exchange>(l.exchanges.begin(), l.exchanges.end()));
    QCOMPARE(read.size(), 35);
    for (int i = 0; i < read.size(); ++i) {
        records::Exchange want = emitted[trial + i];
        want.runId = read[i].runId;
        QCOMPARE(recordstream::exchangeLine(read[i]), recordstream::exchangeLine(want));
    }
    QCOMPARE(s.runs[1].late.size(), std::size_t(3));
    QCOMPARE(s.runs[1].late.front().packet, late.front().packet);

    // Two reports, one per run, in the one summary file.
    const QString summary = QString::fromUtf8(fileBytes(inside(f).recorder->summaryPath()));
    QCOMPARE(summary.count(QStringLiteral("規定回数完了")), 2);

    // The logs: the same exchanges, late answers and map points.
    const exportdata::Runs g = exportdata::readCommLog(fileBytes(starts[1].commLog), starts[1].commLog,
                                                       fileBytes(starts[1].mapLog), starts[1].mapLog);
    QCOMPARE(g.runs.size(), std::size_t(2));
    QCOMPARE(g.problems.size(), std::size_t(1));   // the trial run's map lines, named
    QVERIFY2(g.problems.front().message.startsWith(QStringLiteral("6 map lines")), qPrintable(g.problems.front().text()));
    QCOMPARE(logViews(g.runs[0]), logViews(s.runs[1]));
    QCOMPARE(logViews(g.runs[1]), logViews(s.runs[2]));
    QCOMPARE(g.runs[0].latePackets(), s.runs[1].latePackets());
    QVERIFY(exportdata::mapPosition(g.runs[0].exchanges.front()));
    QCOMPARE(g.runs[0].start.started.toSecsSinceEpoch(), starts[1].started.toSecsSinceEpoch());
    Q_UNUSED(first);
}

QTEST_MAIN(ExportRoundTripTest)
#include "export_roundtrip_test.moc"
