// Where each exchange was sent, on the virtual clock: a receiver driving
// east at 12 m/s with a fix a second (GGA and RMC at 9600 Bd) under an FSK
// run of 300 ms, stalled for 10 s mid-run. Every record is placed within
// centimetres of where the walk was at its send, none of the stalled
// stretch is a map point, the stream names it stale and records the GPS
// alarm raised and cleared. A receiver without a fix gives no_fix, the GPS
// switched off gives off; the map logs keep the window's texts.
#include "NmeaWalk.h"
#include "SimOnDevice.h"
#include "WindowHarness.h"
#include "analysis/AnalysisWindow.h"
#include "analysis/CoverageMap.h"
#include "analysis/RunRecorder.h"
#include "common/TextFile.h"
#include "gps/Distance.h"
#include "gps/FixTrack.h"
#include "looptest/RunControl.h"
#include "looptest/TestCycle.h"

#include <QJsonDocument>
#include <QDir>
#include <QJsonObject>
#include <QSet>
#include <QtTest>

namespace {

constexpr int kBaud = 9600;
constexpr int kStallFrom = 10, kStallFor = 10;  // seconds of the walk

QList<QJsonObject> stream(const QString& path) {
    QFile f(path);
    QList<QJsonObject> out;
    if (!f.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (!line.isEmpty())
            out << QJsonDocument::fromJson(line).object();
    return out;
}

// A receiver on the virtual clock: second n of the walk goes out at
// startMs + n s, arriving whole once its characters have crossed the wire.
struct Receiver {
    FakeDevice* device;
    VirtualClock& clock;
    nmeawalk::Walk walk;
    qint64 startMs;
    int seconds;
    bool stall;
    void schedule() {
        for (int n = 0; n < seconds; ++n) {
            if (stall && n >= kStallFrom && n < kStallFrom + kStallFor)
                continue;
            const QByteArray bytes = nmeawalk::secondOf(walk, n);
            const qint64 wireMs = (bytes.size() * 10'000 + kBaud - 1) / kBaud;
            clock.after(startMs + n * 1000 + wireMs - clock.nowMs(), [this, bytes] { device->send(bytes); });
        }
    }
    // Metres between a position and the walk at a microsecond instant.
    double offBy(const records::Position& p, std::int64_t us) const {
        const nmeawalk::Place at = nmeawalk::placeAt(walk, double(us - startMs * 1000) / 1e6);
        return hubeny::distance(p.lat, p.lon, at.latitude, at.longitude, 0);
    }
};

} // namespace

class GpsRecordsTest : public QObject {
    Q_OBJECT
private slots:
    void placedAtTheSendThroughAStall();
    void noFixAndOff();
};

void GpsRecordsTest::placedAtTheSendThroughAStall() {
    WindowHarness h;
    SimOnDevice sim(h.ports.addDevice(QStringLiteral("COM3")), h.clock);
    FakeDevice* gpsPort = h.ports.addDevice(QStringLiteral("COM9"));
    Form1& f = h.start();
    analysis::AnalysisSettings settings = inside(f).recorder->settings();
    settings.gpsAlarm = true;
    inside(f).recorder->setSettings(settings);
    inside(f).ui.GPS_Port->setText(QStringLiteral("COM9"));
    inside(f).ui.GPS_Baudrate->setCurrentText(QString::number(kBaud));
    inside(f).ui.GPS_On->setChecked(true);
    QVERIFY(gpsPort->isOpenByHost());
    nmeawalk::Walk walk;
    walk.latitude = 35.0;
    walk.longitude = 137.0;
    walk.speed = 12.0;
    walk.heading = 90.0;
    Receiver rx{gpsPort, h.clock, walk, h.clock.nowMs() + 100, 40, true};
    rx.schedule();
    h.advance(2500);

    inside(f).ui.Com_Port->setText(QStringLiteral("COM3"));
    inside(f).ui.LogFile_Flg->setChecked(true);
    inside(f).ui.LogFileName->setText(QStringLiteral("drive"));
    inside(f).ui.MapFileName->setText(QStringLiteral("drive"));
    inside(f).ui.Tx_CnEnd->setText(QStringLiteral("100"));
    QList<records::Exchange> ex;
    QString commLog, mapLog;
    QObject::connect(inside(f).cycle.get(), &TestCycle::exchangeEvaluated, &f, [&](const records::Exchange& e) { ex << e; });
    QObject::connect(inside(f).run.get(), &RunControl::runStarted, &f, [&](const records::RunStart& r) {
        commLog = r.commLog;
        mapLog = r.mapLog;
    });
    inside(f).TestStartSW[1]->click();
    h.advance(33'000);
    QCOMPARE(ex.size(), 100);

    // The stretch without fixes: from the last fix before the stall plus
    // the limit to the first fix after it.
    const std::int64_t lastBefore = (rx.startMs + (kStallFrom - 1) * 1000) * 1000;
    const std::int64_t firstAfter = (rx.startMs + (kStallFrom + kStallFor) * 1000) * 1000;
    int stale = 0, placed = 0;
    double worst = 0;
    for (const records::Exchange& e : ex) {
        const QString at = QStringLiteral("packet %1").arg(e.packet);
        QVERIFY2(e.position, qPrintable(at));
        if (e.sentUs > lastBefore + gps::FixTrack::kLimitUs + 2000 && e.sentUs < firstAfter) {
            QVERIFY2(e.gps == records::GpsState::Stale && !e.position->usable(), qPrintable(at));
            QVERIFY2(*e.position->fixAgeUs > gps::FixTrack::kLimitUs, qPrintable(at));
            ++stale;
        } else if (e.sentUs < lastBefore + gps::FixTrack::kLimitUs - 2000 || e.sentUs > firstAfter + 2000) {
            QVERIFY2(e.gps == records::GpsState::Ok && e.position->usable(), qPrintable(at));
            worst = std::max(worst, rx.offBy(*e.position, e.sentUs));
            ++placed;
        }
    }
    QVERIFY2(worst < 0.1, qPrintable(QString::number(worst)));
    QVERIFY2(stale >= 25 && placed >= 65, qPrintable(QStringLiteral("%1 %2").arg(stale).arg(placed)));

    // None of the stretch is on the map.
    const analysis::CoverageMap& map = inside(f).analysisWindow->map();
    int usable = 0;
    for (const records::Exchange& e : ex)
        usable += e.position->usable();
    QCOMPARE(map.drawnPoints(), usable);
    QCOMPARE(map.unplacedPoints(), 100 - usable);

    // The stream: stale named, no coordinates; the alarm raised in the
    // stretch and cleared by the first fix after it.
    const QList<QJsonObject> lines = stream(inside(f).recorder->streamPath());
    int staleLines = 0;
    QStringList alarms;
    std::int64_t raisedUs = 0, clearedUs = 0;
    for (const QJsonObject& o : lines) {
        if (o.value("type") == QLatin1String("exchange") && o.value("gps") == QLatin1String("stale")) {
            ++staleLines;
            QVERIFY(o.value("lat").isNull() && o.value("stale_lat").isDouble() && o.value("fix_age_us").toInteger() > 2'000'000);
        }
        if (o.value("type") == QLatin1String("alarm")) {
            alarms << o.value("state").toString();
            (o.value("state") == QLatin1String("raised") ? raisedUs : clearedUs) = o.value("at_us").toInteger();
        }
    }
    QVERIFY(staleLines >= stale);
    QCOMPARE(alarms, QStringList({"raised", "cleared"}));
    QVERIFY(raisedUs > lastBefore && raisedUs < firstAfter && clearedUs >= firstAfter);

    // The map log keeps the texts of the evaluation: a line a packet, those
    // evaluated in the stalled stretch all with the last position the
    // window showed.
    QString text;
    QVERIFY(textfile::read(QDir(h.dir()).filePath(mapLog), &text));
    const QStringList rows = text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 101);
    QSet<QString> stalledTexts;
    for (int i = 0; i < ex.size(); ++i)
        if (ex[i].gps == records::GpsState::Stale && ex[i].sentUs < firstAfter - 600'000)
            stalledTexts.insert(rows[i + 1].section(u',', 0, 1));
    QCOMPARE(stalledTexts.size(), 1);
    Q_UNUSED(commLog);
}

void GpsRecordsTest::noFixAndOff() {
    WindowHarness h;
    SimOnDevice sim(h.ports.addDevice(QStringLiteral("COM3")), h.clock);
    FakeDevice* gpsPort = h.ports.addDevice(QStringLiteral("COM9"));
    Form1& f = h.start();
    inside(f).ui.GPS_Port->setText(QStringLiteral("COM9"));
    inside(f).ui.GPS_Baudrate->setCurrentText(QString::number(kBaud));
    inside(f).ui.GPS_On->setChecked(true);
    nmeawalk::Walk walk;
    walk.noFix = true;
    Receiver rx{gpsPort, h.clock, walk, h.clock.nowMs() + 100, 30, false};
    rx.schedule();
    h.advance(1500);

    inside(f).ui.Com_Port->setText(QStringLiteral("COM3"));
    inside(f).ui.LogFile_Flg->setChecked(true);
    inside(f).ui.Tx_CnEnd->setText(QStringLiteral("6"));
    QList<records::Exchange> ex;
    QObject::connect(inside(f).cycle.get(), &TestCycle::exchangeEvaluated, &f, [&](const records::Exchange& e) { ex << e; });
    inside(f).TestStartSW[1]->click();
    h.advance(3000);
    QCOMPARE(ex.size(), 6);
    for (const records::Exchange& e : ex) {
        QCOMPARE(e.gps, records::GpsState::NoFix);
        QVERIFY(!e.position);
    }
    const QList<QJsonObject> on = stream(inside(f).recorder->streamPath());
    int noFix = 0;
    for (const QJsonObject& o : on)
        if (o.value("type") == QLatin1String("exchange")) {
            QCOMPARE(o.value("gps").toString(), QStringLiteral("no_fix"));
            QCOMPARE(o.value("fix").toInt(-1), 0);
            ++noFix;
        }
    QCOMPARE(noFix, 6);

    // GPS off: another state, fix null.
    ex.clear();
    inside(f).ui.GPS_On->setChecked(false);
    inside(f).TestStartSW[1]->click();
    h.advance(3000);
    QCOMPARE(ex.size(), 6);
    for (const records::Exchange& e : ex)
        QCOMPARE(e.gps, records::GpsState::Off);
    const QList<QJsonObject> off = stream(inside(f).recorder->streamPath());
    QVERIFY(off.size() > on.size());
    for (qsizetype i = on.size(); i < off.size(); ++i)
        if (off[i].value("type") == QLatin1String("exchange")) {
            QCOMPARE(off[i].value("gps").toString(), QStringLiteral("off"));
            QVERIFY(off[i].value("fix").isNull());
        }
}

QTEST_MAIN(GpsRecordsTest)
#include "gps_records_test.moc"
