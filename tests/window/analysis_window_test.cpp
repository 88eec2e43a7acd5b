// The analysis window fed records through a RunRecorder on a virtual
// clock: the figures its labels show for a known run, the dead-link alarm's
// edges with its tone and attention request, markers and the files a run
// leaves (parsed back), a file that cannot be written, and the cost of
// feeding exchanges with the window shown.
#include "FakeServices.h"
#include "analysis/AlarmEffects.h"
#include "analysis/AnalysisWindow.h"
#include "analysis/LinkCharts.h"
#include "analysis/RunRecorder.h"

#include <QtTest>
#include <QAccessible>
#include <QComboBox>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace analysis;

namespace {

const QDateTime kStart(QDate(2024, 5, 1), QTime(9, 30), Qt::OffsetFromUTC, 9 * 3600);
constexpr std::int64_t kPeriodUs = 1'000'000;

// A recorder, its window and alarm effects on a virtual clock, in a
// temporary log folder.
struct Bench {
    QTemporaryDir dir;
    std::int64_t nowUs = 0;
    FakeSound sound;
    RunRecorder rec{dir.path()};
    AlarmEffects effects{&sound, QStringLiteral("/app")};
    AnalysisWindow window{rec, dir.filePath(QStringLiteral("qvx-loopback-analysis.ini"))};

    Bench() {
        rec.setClock([this] { return Instant{kStart.addMSecs(nowUs / 1000), nowUs}; });
        effects.setAttentionWidget(&window);
        QObject::connect(&rec, &RunRecorder::alarmRaised, &effects, &AlarmEffects::onAlarmRaised);
        QObject::connect(&rec, &RunRecorder::settingsChanged, &effects, &AlarmEffects::applySettings);
    }
    template <typename T>
    T* find(const char* name) const {
        return window.findChild<T*>(QLatin1String(name));
    }
    // A figure as the window shows it after its next pass.
    QString text(const char* name) {
        window.refreshFigures();
        const QLabel* l = find<QLabel>(name);
        return l ? l->text() : QStringLiteral("<no label %1>").arg(QLatin1String(name));
    }
    void setSpin(const char* name, int v) {
        QSpinBox* s = find<QSpinBox>(name);
        QVERIFY(s);
        s->setValue(v);
    }
    void start(const QString& commLog = {}) {
        records::RunStart r;
        r.runId = 1;
        r.started = kStart;
        r.port = QStringLiteral("/dev/ttyUSB0");
        r.periodMs = 1000;
        r.kind = records::RunKind::Counted;
        r.length = 20;
        r.commLog = commLog;
        r.version = QStringLiteral("0.900.5");
        rec.onRunStart(r);
    }
    // Packet n sent at n periods; answered packets take rttUs.
    void exchange(std::int64_t n, std::optional<std::int64_t> rttUs, int far = -80, int ack = -77,
                  int noise = -112) {
        records::Exchange e;
        e.runId = 1;
        e.packet = n;
        e.payload = QStringLiteral("%1").arg(n % 1000, 3, 10, QLatin1Char('0'));
        e.sentUs = n * kPeriodUs;
        e.sent = kStart.addMSecs(e.sentUs / 1000);
        e.periodMs = 1000;
        e.noise = noise;
        if (rttUs) {
            e.outcome = records::Outcome::Answered;
            e.rttUs = rttUs;
            e.answeredUs = e.sentUs + *rttUs;
            e.farRssi = far;
            e.ackRssi = ack;
        }
        nowUs = (n + 1) * kPeriodUs;  // evaluated at the next send
        rec.onExchange(e);
    }
    void end(std::int64_t sent) {
        records::RunEnd r;
        r.runId = 1;
        r.ended = kStart.addSecs(30);
        r.cause = records::EndCause::Completed;
        r.sent = sent;
        rec.onRunEnd(r);
    }
};

QList<QJsonObject> readStream(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QJsonObject> out;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        out << (error.error == QJsonParseError::NoError ? doc.object() : QJsonObject{{"type", "unparsable"}});
    }
    return out;
}

}  // namespace

void feedWalk(Bench& b, int count);

class AnalysisWindowTest : public QObject {
    Q_OBJECT
private slots:
    void knownLossPatternShowsExactFigures();
    void deadLinkAlarmRaisesAtKthLossAndClearsOnAnswer();
    void gpsFixAlarmAfterTenSilentSecondsWhenEnabled();
    void markersAndRunFilesParseBack();
    void unwritableStreamIsReportedAndRunGoesOn();
    void streamOnStandardOutputStaysJsonWithSummary();
    void feedingThousandExchangesWithWindowShown();
    void figuresFollowAtBoundedRateAndSettleExact();
    void fitsSmallScreenAndSpeaksCaptions();
};

void AnalysisWindowTest::knownLossPatternShowsExactFigures() {
    Bench b;
    b.setSpin("RollingWindow", 10);
    b.start();
    const QList<int> lost{3, 4, 5, 9, 15, 16};
    for (int n = 1; n <= 20; ++n)
        b.exchange(n, lost.contains(n) ? std::nullopt : std::optional<std::int64_t>(80'000 + 500 * n), -80 - n % 3,
                   -77, -112);
    records::LateAnswer late;
    late.runId = 1;
    late.packet = 9;
    late.rttUs = 1'400'000;
    b.rec.onLateAnswer(late);

    QCOMPARE(b.text("Evaluated"), QStringLiteral("20"));
    QCOMPARE(b.text("Answered"), QStringLiteral("14"));
    QCOMPARE(b.text("Lost"), QStringLiteral("6"));
    QCOMPARE(b.text("Late"), QStringLiteral("1"));
    QCOMPARE(b.text("Per"), QStringLiteral("30.00 %"));
    // 6 of 20: Wilson 95 % interval 0.14548 .. 0.51897.
    QCOMPARE(b.text("PerInterval"), QStringLiteral("14.55 – 51.90 %"));
    // Packets 11..20 hold the losses 15 and 16.
    QCOMPARE(b.text("RollingPer"), QStringLiteral("20.00 % (10 / 10 パケット)"));
    // 3, 4, 5 lost: from the send of 3 to the send of the answered 6.
    QCOMPARE(b.text("LongestOutage"), QStringLiteral("3 パケット (3.000 s)"));
    QCOMPARE(b.text("RttMin"), QStringLiteral("80.500 ms"));
    QCOMPARE(b.text("RttMax"), QStringLiteral("90.000 ms"));
    QCOMPARE(b.text("RttMean"), QStringLiteral("85.643 ms"));  // 80 ms + 0.5 ms * 158 / 14
    QCOMPARE(b.text("RttP50"), QStringLiteral("85.500 ms"));   // 7th of 14: packet 11
    QCOMPARE(b.text("AckRssiMean"), QStringLiteral("-77.0 dBm"));
    QCOMPARE(b.text("NoiseMin"), QStringLiteral("-112 dBm"));
    QCOMPARE(b.text("MarginMean"), QStringLiteral("35.0 dB"));
    QCOMPARE(b.text("MarginSd"), QStringLiteral("0.0 dB"));
    // Answered 14 over 20 s of sends.
    QCOMPARE(b.text("AnsweredPerMinute"), QStringLiteral("42.0 パケット/分"));
    // Packet 20 answered after 90 ms; now is the send of 21.
    QCOMPARE(b.text("SinceLastAnswer"), QStringLiteral("0.9 s"));

    // The rolling size was saved to the window's settings file and reloads.
    const AnalysisSettings saved = AnalysisSettings::load(b.dir.filePath(QStringLiteral("qvx-loopback-analysis.ini")));
    QCOMPARE(saved.rollingWindow, 10);
    // A new rolling size restarts the rolling rate at once.
    b.setSpin("RollingWindow", 50);
    QCOMPARE(b.text("RollingPer"), QStringLiteral("-"));
    QCOMPARE(b.text("Per"), QStringLiteral("30.00 %"));
}

void AnalysisWindowTest::deadLinkAlarmRaisesAtKthLossAndClearsOnAnswer() {
    Bench b;
    b.setSpin("AlarmLosses", 3);
    QCOMPARE(b.rec.settings().alarmLosses, 3);
    QSignalSpy raised(&b.rec, &RunRecorder::alarmRaised);
    QSignalSpy cleared(&b.rec, &RunRecorder::alarmCleared);
    b.start();
    b.exchange(1, 80'000);
    b.exchange(2, std::nullopt);
    b.exchange(3, std::nullopt);
    QCOMPARE(raised.count(), 0);
    QCOMPARE(b.text("AlarmState"), QStringLiteral("警報なし"));
    QVERIFY(b.sound.played.isEmpty());

    b.exchange(4, std::nullopt);
    QCOMPARE(raised.count(), 1);
    QCOMPARE(b.text("AlarmState"), QStringLiteral("回線断警報: 3 回連続損失"));
    QCOMPARE(b.sound.played, QStringList{QStringLiteral("/app/ALARM.wav")});
    QCOMPARE(b.effects.attentionRequests(), 1);
    // Five seconds on the clock since packet 1's answer at 1.08 s.
    b.nowUs = 6'080'000;
    b.window.refreshClock();
    QCOMPARE(b.text("SinceLastAnswer"), QStringLiteral("5.0 s"));

    b.exchange(5, std::nullopt);  // still down: no second tone
    QCOMPARE(raised.count(), 1);
    QCOMPARE(b.text("AlarmState"), QStringLiteral("回線断警報: 4 回連続損失"));
    b.exchange(6, 81'000);
    QCOMPARE(cleared.count(), 1);
    QCOMPARE(b.text("AlarmState"), QStringLiteral("警報なし"));

    // With the tone off the attention request still comes.
    b.find<QCheckBox>("AlarmSound")->setChecked(false);
    for (int n = 7; n <= 9; ++n)
        b.exchange(n, std::nullopt);
    QCOMPARE(raised.count(), 2);
    QCOMPARE(b.sound.played.size(), 1);
    QCOMPARE(b.effects.attentionRequests(), 2);
    // Raising K above the losses so far clears it; the end of the run too.
    b.setSpin("AlarmLosses", 5);
    QCOMPARE(cleared.count(), 2);
    b.setSpin("AlarmLosses", 2);
    QCOMPARE(raised.count(), 3);
    b.end(9);
    QCOMPARE(cleared.count(), 3);
    QCOMPARE(b.text("AlarmState"), QStringLiteral("警報なし"));
}

void AnalysisWindowTest::gpsFixAlarmAfterTenSilentSecondsWhenEnabled() {
    Bench b;
    QSignalSpy raised(&b.rec, &RunRecorder::alarmRaised);
    b.rec.setGpsInUse(true);
    b.start();
    b.nowUs = 20'000'000;
    b.rec.gpsTick();
    QCOMPARE(raised.count(), 0);  // off by default
    b.find<QCheckBox>("GpsAlarm")->setChecked(true);  // the silence counts from here
    b.nowUs = 29'999'000;
    b.rec.gpsTick();
    QCOMPARE(raised.count(), 0);
    b.nowUs = 30'000'000;
    b.rec.gpsTick();
    QCOMPARE(raised.count(), 1);
    QCOMPARE(raised.first().first().value<AlarmKind>(), AlarmKind::GpsFix);
    QCOMPARE(b.text("AlarmState"), QStringLiteral("GPS 測位断警報"));
    QCOMPARE(b.sound.played, QStringList{QStringLiteral("/app/ALARM.wav")});
    b.rec.positionTaken();
    QCOMPARE(b.text("AlarmState"), QStringLiteral("警報なし"));
    QVERIFY(AnalysisSettings::load(b.dir.filePath(QStringLiteral("qvx-loopback-analysis.ini"))).gpsAlarm);
}

void AnalysisWindowTest::markersAndRunFilesParseBack() {
    Bench b;
    b.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&b.window));
    QPushButton* button = b.find<QPushButton>("MarkerButton");
    QVERIFY(button && !button->isEnabled());  // no run, no marker
    b.start(QStringLiteral("240501_FSK_demo.log"));
    QVERIFY(button->isEnabled());
    b.exchange(1, 80'000);
    b.exchange(2, std::nullopt);
    b.find<QLineEdit>("MarkerNote")->setText(QStringLiteral("角を曲がった \"東\""));
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(b.find<QLineEdit>("MarkerNote")->text(), QString());
    b.exchange(3, 82'000);
    emit b.window.findChild<QShortcut*>(QStringLiteral("MarkerShortcut"))->activated();  // F2
    QVERIFY(b.text("MarkerLast").startsWith(QStringLiteral("マーカー 2")));
    b.end(3);

    const QList<QJsonObject> lines = readStream(b.dir.filePath(QStringLiteral("240501_FSK_demo.jsonl")));
    QStringList types;
    for (const QJsonObject& o : lines)
        types << o.value(QLatin1String("type")).toString();
    QCOMPARE(types, (QStringList{"run", "exchange", "exchange", "marker", "exchange", "marker", "end"}));
    QCOMPARE(lines[3].value(QLatin1String("number")).toInt(), 1);
    QCOMPARE(lines[3].value(QLatin1String("note")).toString(), QStringLiteral("角を曲がった \"東\""));
    QCOMPARE(lines[3].value(QLatin1String("after_packet")).toInt(), 2);
    QCOMPARE(lines[3].value(QLatin1String("at_us")).toInteger(), 3'000'000);
    QCOMPARE(lines[5].value(QLatin1String("number")).toInt(), 2);
    QCOMPARE(lines[5].value(QLatin1String("note")).toString(), QString());
    const QJsonObject stats = lines.last().value(QLatin1String("stats")).toObject();
    QCOMPARE(stats.value(QLatin1String("answered")).toInt(), 2);
    QCOMPARE(stats.value(QLatin1String("lost")).toInt(), 1);
    QCOMPARE(stats.value(QLatin1String("rtt_max_us")).toInt(), 82'000);
    QCOMPARE(b.rec.markers().size(), 2);

    QFile summary(b.dir.filePath(QStringLiteral("240501_FSK_demo.summary.txt")));
    QVERIFY(summary.open(QIODevice::ReadOnly));
    const QString report = QString::fromUtf8(summary.readAll());
    QVERIFY2(report.contains(QStringLiteral("角を曲がった")), qPrintable(report));
    QVERIFY(report.contains(QStringLiteral("規定回数完了")));
    QVERIFY(!button->isEnabled());
}

void AnalysisWindowTest::unwritableStreamIsReportedAndRunGoesOn() {
    Bench b;
    QSignalSpy failed(&b.rec, &RunRecorder::writeFailed);
    b.start(b.dir.filePath(QStringLiteral("no/such/folder/run.log")));
    b.exchange(1, 80'000);
    b.exchange(2, 81'000);
    QVERIFY(failed.count() >= 3);
    QVERIFY(failed.first().at(0).toString().endsWith(QLatin1String("no/such/folder/run.jsonl")));
    QVERIFY(b.text("AnalysisStatus").startsWith(QStringLiteral("書込失敗: run.jsonl")));
    QCOMPARE(b.text("Evaluated"), QStringLiteral("2"));
    b.end(2);
    QCOMPARE(failed.last().at(0).toString(), b.dir.filePath(QStringLiteral("no/such/folder/run.summary.txt")));
    QVERIFY(b.text("AnalysisStatus").startsWith(QStringLiteral("書込失敗: run.summary.txt")));
}

// A walk away from the far unit: the levels fall with fading around them,
// losses come in bursts as the margin shrinks, round trips jitter.
void feedWalk(Bench& b, int count) {
    std::uint32_t seed = 12345;
    const auto random = [&seed] {  // 0..1, the same every run
        seed = seed * 1664525u + 1013904223u;
        return double(seed >> 8) / double(1u << 24);
    };
    int burst = 0;
    for (int n = 1; n <= count; ++n) {
        const double walk = double(n) / count;
        const double fade = 6 * (random() + random() - 1);
        const int far = int(std::lround(-68 - 34 * walk + fade));
        const int ack = int(std::lround(-66 - 34 * walk + fade + 2 * (random() - 0.5)));
        if (burst == 0 && random() < 0.01 + 0.12 * walk * walk)
            burst = 1 + int(random() * 6);
        const bool lost = burst > 0 || ack < -108;
        burst = std::max(0, burst - 1);
        const auto rtt = std::int64_t(78'000 + 6'000 * random() + 3'000 * random() * random());
        b.exchange(n, lost ? std::nullopt : std::optional<std::int64_t>(rtt), far, ack,
                   -112 + int(random() * 4));
        QCoreApplication::processEvents();  // the window repaints as it would live
    }
}

// --jsonl - with an unattended run's summary: standard output holds only
// the records, the summary goes to standard error.
void AnalysisWindowTest::streamOnStandardOutputStaysJsonWithSummary() {
#ifdef Q_OS_UNIX
    Bench b;
    const QString outPath = b.dir.filePath(QStringLiteral("stdout.txt"));
    const QString errPath = b.dir.filePath(QStringLiteral("stderr.txt"));
    std::fflush(stdout);
    std::fflush(stderr);
    const int savedOut = dup(1), savedErr = dup(2);
    QVERIFY(std::freopen(qPrintable(outPath), "w", stdout) && std::freopen(qPrintable(errPath), "w", stderr));
    b.rec.setStreamToStdout(true);
    b.rec.setPrintSummary(true);
    b.start();
    b.exchange(1, 80'000);
    b.exchange(2, std::nullopt);
    b.end(2);
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(savedOut, 1);
    dup2(savedErr, 2);
    close(savedOut);
    close(savedErr);
    QStringList types;
    for (const QJsonObject& o : readStream(outPath))
        types << o.value(QLatin1String("type")).toString();
    QCOMPARE(types, (QStringList{"run", "exchange", "exchange", "end"}));
    QFile err(errPath);
    QVERIFY(err.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(err.readAll()).contains(QStringLiteral("パケット誤り率")));
#else
    QSKIP("redirects the standard streams by file descriptor");
#endif
}

void AnalysisWindowTest::feedingThousandExchangesWithWindowShown() {
    double hiddenMs = 0;
    {
        Bench hidden;
        hidden.start(QStringLiteral("cost.log"));
        QElapsedTimer t;
        t.start();
        feedWalk(hidden, 1000);
        hiddenMs = double(t.nsecsElapsed()) / 1e6 / 1000;
    }
    Bench b;
    b.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&b.window));
    b.start(QStringLiteral("cost.log"));
    QElapsedTimer t;
    t.start();
    feedWalk(b, 1000);
    const double perExchangeMs = double(t.nsecsElapsed()) / 1e6 / 1000;
    b.window.charts().flush();
    // The plots' worst update: a whole run's points arriving at once (the
    // window shown after being hidden), painted.
    b.window.hide();
    b.end(1000);
    b.start(QStringLiteral("cost.log"));
    feedWalk(b, 1000);
    t.restart();
    b.window.show();
    b.window.charts().flush();
    b.window.repaint();
    const double catchUpMs = double(t.nsecsElapsed()) / 1e6;
    t.restart();
    const QPixmap shown = b.window.grab();  // every widget and plot painted
    const double repaintMs = double(t.nsecsElapsed()) / 1e6;
    qInfo("1000 exchanges, each with its .jsonl line: %.3f ms each with the window shown, %.3f ms hidden; "
          "plots catching up 1000 exchanges: %.1f ms; painting the whole window: %.1f ms",
          perExchangeMs, hiddenMs, catchUpMs, repaintMs);
    QCOMPARE(b.text("Evaluated"), QStringLiteral("1000"));
    const LinkCharts& charts = b.window.charts();
    QCOMPARE(charts.rollingPoints(), 1000);
    QCOMPARE(charts.histogramTotal(), int(b.rec.figures().answered));
    QCOMPARE(charts.rssiPoints(), int(b.rec.figures().levels[records::Level::FarRssi].count()));
    QCOMPARE(charts.marginPoints(), int(b.rec.figures().levels[records::Level::Margin].count()));
    const QString shot = qEnvironmentVariable("QVX_ANALYSIS_SHOT");
    if (!shot.isEmpty())
        QVERIFY(shown.save(shot));
    // Generous bound: a step of the fastest cycle is 100 ms.
    QVERIFY2(perExchangeMs < 20, qPrintable(QString::number(perExchangeMs)));
}

// Exchanges much faster than the figures' pass: the labels are updated a
// bounded number of times (about once per kFiguresMs of real time, not once
// per exchange), none while another page is in view, and once the pass
// has come they hold exactly the recorder's figures, in labels whose fixed
// size fits their text.
void AnalysisWindowTest::figuresFollowAtBoundedRateAndSettleExact() {
    Bench b;
    b.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&b.window));
    b.start(QStringLiteral("rate.log"));
    const auto labelText = [&b](const char* name) { return b.find<QLabel>(name)->text(); };
    const int before = b.window.figureRefreshes();
    const int plotsBefore = b.window.charts().flushes();
    QElapsedTimer t;
    t.start();
    feedWalk(b, 400);
    const qint64 elapsed = t.elapsed();
    const int passes = b.window.figureRefreshes() - before;
    // The plots at every other pass at most.
    const int plotSpacingMs = AnalysisWindow::kPlotsMs - AnalysisWindow::kClockRefreshMs / 2;
    const int plotPasses = b.window.charts().flushes() - plotsBefore;
    QVERIFY2(plotPasses <= elapsed / plotSpacingMs + 1,
             qPrintable(QStringLiteral("%1 plot passes in %2 ms").arg(plotPasses).arg(elapsed)));
    // A pass at most once per kFiguresMs, less half a clock tick of slack.
    const int spacingMs = AnalysisWindow::kFiguresMs - AnalysisWindow::kClockRefreshMs / 2;
    QVERIFY2(passes <= elapsed / spacingMs + 1,
             qPrintable(QStringLiteral("%1 passes in %2 ms").arg(passes).arg(elapsed)));
    QVERIFY(passes < 400 / 4);
    // The pass comes by itself.
    QTRY_COMPARE(labelText("Evaluated"), QStringLiteral("400"));
    QStringList shown;
    for (QLabel* l : b.window.findChildren<QLabel*>())
        if (b.window.figure(l->objectName()) == l)
            shown << l->objectName() + QLatin1Char('=') + l->text();
    QVERIFY(shown.size() >= 30);
    b.window.refreshFigures();  // what a pass made is what the figures are now
    for (const QString& entry : shown) {
        const QString name = entry.section(QLatin1Char('='), 0, 0);
        QCOMPARE(QString(name + QLatin1Char('=') + labelText(qPrintable(name))), entry);
        const QLabel* l = b.find<QLabel>(qPrintable(name));
        QCOMPARE(l->minimumSize(), l->maximumSize());
        QVERIFY2(l->sizeHint().width() <= l->width(), qPrintable(entry));
    }
    QCOMPARE(labelText("Answered"), QString::number(b.rec.figures().answered));

    // Another page in view: no pass at all; back on the statistics page the
    // figures are brought up to date at once.
    auto* tabs = b.find<QTabWidget>("AnalysisTabs");
    tabs->setCurrentIndex(1);
    const int hiddenBefore = b.window.figureRefreshes();
    for (int n = 401; n <= 450; ++n) {
        b.exchange(n, 80'000);
        QCoreApplication::processEvents();
    }
    QTest::qWait(2 * AnalysisWindow::kFiguresMs);
    QCOMPARE(b.window.figureRefreshes(), hiddenBefore);
    QCOMPARE(labelText("Evaluated"), QStringLiteral("400"));
    tabs->setCurrentIndex(0);
    QCOMPARE(labelText("Evaluated"), QStringLiteral("450"));
    QCOMPARE(b.window.charts().rollingPoints(), 450);
    // The run's end stops the clock: its last figures are shown at once.
    for (int n = 451; n <= 455; ++n)
        b.exchange(n, std::nullopt);
    const int plotsAtEnd = b.window.charts().flushes();
    b.end(455);
    QCOMPARE(labelText("Evaluated"), QStringLiteral("455"));
    QCOMPARE(b.window.charts().flushes(), plotsAtEnd + 1);  // its last points drawn too
    QCOMPARE(labelText("Lost"), QString::number(b.rec.figures().lost));
}

QTEST_MAIN(AnalysisWindowTest)
#include "analysis_window_test.moc"

// A 1366 x 768 laptop holds the whole window (its content scrolls), and a
// screen reader hears captions: buttons by their text, boxes and figures
// with the caption beside them, while their names stay what tools use.
void AnalysisWindowTest::fitsSmallScreenAndSpeaksCaptions() {
    Bench b;
    const QSize least = b.window.minimumSizeHint().expandedTo(b.window.minimumSize());
    QVERIFY2(least.width() <= 1366 - 16 && least.height() <= 768 - 60,
             qPrintable(QStringLiteral("%1 x %2").arg(least.width()).arg(least.height())));
    b.window.resize(1366 - 16, 768 - 60);
    b.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&b.window));
    QCOMPARE(b.window.size(), QSize(1366 - 16, 768 - 60));
    for (QAbstractButton* button : b.window.findChildren<QAbstractButton*>()) {
        if (button->text().isEmpty())
            continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(button);
        QVERIFY(a);
        QCOMPARE(a->text(QAccessible::Name), QString(button->text()).remove(u'&'));
    }
    for (QWidget* w : b.window.findChildren<QWidget*>()) {
        if (qobject_cast<QComboBox*>(w->parentWidget()) || qobject_cast<QAbstractSpinBox*>(w->parentWidget()))
            continue;
        if (qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QLineEdit*>(w))
            QVERIFY2(!w->accessibleDescription().isEmpty(), qPrintable(w->objectName()));
    }
    QCOMPARE(b.find<QLabel>("Evaluated")->accessibleDescription(), QStringLiteral("評価"));
    QCOMPARE(b.find<QLabel>("Evaluated")->accessibleName(), QStringLiteral("Evaluated"));
    QCOMPARE(b.find<QSpinBox>("RollingWindow")->accessibleName(), QStringLiteral("RollingWindow"));
}
