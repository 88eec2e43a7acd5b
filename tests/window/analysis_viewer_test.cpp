// Recorded runs re-opened in the analysis window: a run fed live through a
// RunRecorder leaves its record stream; that file dropped on the live
// window opens a viewer whose every figure, plot count, map and distance
// page equals the live window's, and whose time scrubber shows exactly
// what a live window fed the run up to that moment showed. A communication
// log opens through the button the same way; a stream of two runs gives two
// layers, which the map shows together, each shown and hidden by its box
// while the figures stay the picked layer's; and qvx-loopback --open shows
// files without touching its data folder.
#include "analysis/AnalysisWindow.h"
#include "analysis/CoverageMap.h"
#include "analysis/LinkCharts.h"
#include "analysis/RssiDistancePlot.h"
#include "analysis/RunRecorder.h"
#include "export/LogReader.h"
#include "shell/StartOptions.h"

#include <QtTest>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cmath>

using namespace analysis;

namespace {

const QDateTime kStart(QDate(2024, 5, 1), QTime(9, 30), Qt::OffsetFromUTC, 9 * 3600);
constexpr std::int64_t kPeriodUs = 300'000;
constexpr double kLat0 = 35.681236, kLon0 = 139.767125;

// A walk away from the datum: levels falling with distance, every 7th
// packet lost (one answered late), a marker after packet `markerAfter`.
struct KnownRun {
    std::uint64_t runId = 1;
    int packets = 90;
    int markerAfter = 40;
    int farBase = -60;
    double lonOffset = 0;  // the walk moved east

    records::RunStart start() const {
        records::RunStart r;
        r.runId = runId;
        r.started = kStart.addSecs(qint64(runId) * 3600);
        r.port = QStringLiteral("/dev/ttyUSB0");
        r.periodMs = 300;
        r.kind = records::RunKind::Counted;
        r.length = packets;
        r.commLog = QStringLiteral("240501_FSK_known.log");
        r.version = QStringLiteral("0.900.5");
        return r;
    }
    std::int64_t sentUs(int n) const { return std::int64_t(runId) * 3'600'000'000 + n * kPeriodUs; }
    records::Exchange exchange(int n) const {
        records::Exchange e;
        e.runId = runId;
        e.packet = n;
        e.payload = QStringLiteral("%1").arg(n % 1000, 3, 10, QLatin1Char('0'));
        e.sentUs = sentUs(n);
        e.sent = kStart.addMSecs(e.sentUs / 1000);
        e.periodMs = 300;
        e.noise = -112 + n % 3;
        records::Position p;
        const double d = 20.0 * n;
        p.lat = kLat0 + d / 111000.0;
        p.lon = kLon0 + lonOffset + d / 91000.0 / 2;
        p.fix = n % 11 == 5 ? 0 : 1;  // now and then no fix: counted, not drawn
        p.sats = 9;
        p.distanceM = d;
        e.position = p;
        e.gps = p.fix ? records::GpsState::Ok : records::GpsState::NoFix;
        if (n % 7 != 0) {
            e.outcome = records::Outcome::Answered;
            e.rttUs = 60'000 + (n * 1'237) % 9'000;
            e.answeredUs = e.sentUs + *e.rttUs;
            e.farRssi = farBase - int(std::lround(25 * std::log10(d))) + n % 4;
            e.ackRssi = *e.farRssi - 2;
        }
        return e;
    }
    records::LateAnswer late(int n) const { return {runId, n, QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0')), 450'000, -99}; }
    records::Marker marker() const {
        records::Marker m;
        m.runId = runId;
        m.number = 1;
        m.note = QStringLiteral("角");
        m.afterPacket = markerAfter;
        m.atUs = sentUs(markerAfter) + 100'000;
        m.time = kStart.addMSecs(m.atUs / 1000);
        return m;
    }
    records::RunEnd end() const {
        records::RunEnd r;
        r.runId = runId;
        r.ended = kStart.addMSecs(sentUs(packets) / 1000 + 300);
        r.cause = records::EndCause::Completed;
        r.sent = packets;
        return r;
    }
    // Feeds the run to a recorder as the cycle does, its clock following;
    // up to (and with) packet `upTo`, the end only when whole.
    void feed(RunRecorder& rec, std::int64_t& nowUs, int upTo = INT_MAX) const {
        nowUs = sentUs(0);
        rec.onRunStart(start());
        for (int n = 1; n <= packets && n <= upTo; ++n) {
            nowUs = sentUs(n);
            rec.onExchange(exchange(n));
            if (n == 15)
                rec.onLateAnswer(late(14));
            if (n == markerAfter)
                rec.onMarker(marker());
        }
        if (upTo >= packets)
            rec.onRunEnd(end());
    }
};

// A live window on a recorder with a virtual clock.
struct Live {
    QTemporaryDir dir;
    std::int64_t nowUs = 0;
    RunRecorder rec{dir.path()};
    AnalysisWindow window{rec, QString()};
    Live() {
        rec.setClock([this] { return Instant{kStart.addMSecs(nowUs / 1000), nowUs}; });
    }
};

// Everything the window shows of a run, by name.
QMap<QString, QString> shown(AnalysisWindow& w) {
    QMap<QString, QString> out;
    w.refreshFigures();
    w.charts().flush();
    w.distancePlot().flush();
    for (const QLabel* l : w.findChildren<QLabel*>()) {
        const QString name = l->objectName();
        if ((l->textInteractionFlags() & Qt::TextSelectableByMouse) || name == QLatin1String("RunState") ||
            name == QLatin1String("AlarmState") || name == QLatin1String("MarkerLast"))
            if (!name.isEmpty() && name != QLatin1String("ScrubTime") && name != QLatin1String("CompareVerdict"))
                out.insert(name, l->text());
    }
    out.insert(QStringLiteral("distance figures"), w.distancePlot().figures()->text());
    const LinkCharts& c = w.charts();
    out.insert(QStringLiteral("plot points"), QStringLiteral("%1 %2 %3 %4").arg(c.rollingPoints()).arg(c.rssiPoints())
                                                   .arg(c.marginPoints()).arg(c.histogramTotal()));
    const CoverageMap& m = w.map();
    out.insert(QStringLiteral("map"), QStringLiteral("%1 drawn, %2 unplaced, %3 grid cells, %4 marks")
                                          .arg(m.drawnPoints()).arg(m.unplacedPoints()).arg(m.grid().cells().size())
                                          .arg(m.drawList().size()));
    return out;
}

// The analysis window that is not `other`, among the top-level ones.
AnalysisWindow* viewerWindow(const QWidget* other) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* a = qobject_cast<AnalysisWindow*>(w); a && a != other && a->isVisible())
            return a;
    return nullptr;
}

void compareShown(const QMap<QString, QString>& got, const QMap<QString, QString>& want) {
    QCOMPARE(got.keys(), want.keys());
    for (auto it = want.cbegin(); it != want.cend(); ++it)
        QVERIFY2(got.value(it.key()) == it.value(),
                 qPrintable(QStringLiteral("%1: viewer '%2', live '%3'").arg(it.key(), got.value(it.key()), it.value())));
}

}  // namespace

class AnalysisViewerTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<AnalysisWindow*>(w))
                w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void droppedStreamShowsTheLiveRunAndScrubs();
    void commLogOpensAsItsRecordsFedLive();
    void twoRunsAreTwoLayers();
    void layersShareTheMap();
    void openOnTheCommandLine();
};

void AnalysisViewerTest::droppedStreamShowsTheLiveRunAndScrubs() {
    const KnownRun run;
    Live live;
    run.feed(live.rec, live.nowUs);
    const QString stream = live.dir.filePath(QStringLiteral("240501_FSK_known.jsonl"));
    QVERIFY(QFileInfo::exists(stream));
    const QMap<QString, QString> whole = shown(live.window);
    QCOMPARE(whole.value(QStringLiteral("Evaluated")), QStringLiteral("90"));
    QCOMPARE(whole.value(QStringLiteral("Late")), QStringLiteral("1"));
    const QByteArray before = [&] { QFile f(stream); f.open(QIODevice::ReadOnly); return f.readAll(); }();

    // Dropped on the live window: a viewer window of its own.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(stream)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&live.window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&live.window, &drop);
    QVERIFY(drop.isAccepted());
    AnalysisWindow* viewer = viewerWindow(&live.window);
    QVERIFY(viewer);
    QTRY_COMPARE(viewer->findChild<QComboBox*>(QStringLiteral("RunLayer"))->count(), 1);  // read on its own thread
    compareShown(shown(*viewer), whole);
    QCOMPARE(viewer->findChild<QLabel*>(QStringLiteral("RunState"))->text(), QStringLiteral("停止中"));
    // The live window still shows its own run; the file read is untouched
    // and nothing else was written beside it.
    compareShown(shown(live.window), whole);
    QFile f(stream);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
    QCOMPARE(QDir(live.dir.path()).entryList(QDir::Files).size(), 2);  // the stream and its run report

    // Scrubbed to just after packet 50 was sent, then back to packet 20:
    // what a live window showed at those moments.
    auto* scrubber = viewer->findChild<QSlider*>(QStringLiteral("TimeScrubber"));
    QVERIFY(scrubber);
    QCOMPARE(scrubber->accessibleName(), QStringLiteral("TimeScrubber"));
    QCOMPARE(std::int64_t(scrubber->maximum()), (run.sentUs(90) - run.sentUs(1)) / 1000);
    for (int upTo : {50, 20, 89}) {
        Live prefix;
        run.feed(prefix.rec, prefix.nowUs, upTo);
        prefix.nowUs = run.sentUs(upTo) + 100'000;
        prefix.window.refreshClock();
        scrubber->setValue(int((prefix.nowUs - run.sentUs(1)) / 1000));
        QTRY_COMPARE(viewer->findChild<QLabel*>(QStringLiteral("Evaluated"))->text(), QString::number(upTo));
        compareShown(shown(*viewer), shown(prefix.window));
        QVERIFY(viewer->findChild<QLabel*>(QStringLiteral("ScrubTime"))->text().contains(
            QStringLiteral("%1 / 90 パケット").arg(upTo)));
    }
    QCOMPARE(shown(*viewer).value(QStringLiteral("MarkerLast")).contains(QStringLiteral("角")), true);
    scrubber->setValue(scrubber->maximum());
    QTRY_COMPARE(viewer->findChild<QLabel*>(QStringLiteral("RunState"))->text(), QStringLiteral("停止中"));
    compareShown(shown(*viewer), whole);
}

void AnalysisViewerTest::commLogOpensAsItsRecordsFedLive() {
    QTemporaryDir dir;
    const QString source = QStringLiteral(QVX_SOURCE_DIR "/tests/data/export/");
    for (const char* name : {"170921_FSK Mode_field.log", "170921_FSK Mode_Map_field.log"})
        QVERIFY(QFile::copy(source + QLatin1String(name), dir.filePath(QLatin1String(name))));
    const QString log = dir.filePath(QStringLiteral("170921_FSK Mode_field.log"));
    QFile f(log);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QFile m(dir.filePath(QStringLiteral("170921_FSK Mode_Map_field.log")));
    QVERIFY(m.open(QIODevice::ReadOnly));
    const exportdata::Runs runs = exportdata::readCommLog(f.readAll(), log, m.readAll(), m.fileName());
    QVERIFY(!runs.runs.empty());
    // The log's records fed live, in the order the reader gives them.
    Live live;
    struct Feed : exportdata::RecordSink {
        RunRecorder& rec;
        explicit Feed(RunRecorder& r) : rec(r) {}
        void runStart(const records::RunStart& r, const QString&, const QString&) override { rec.onRunStart(r); }
        void exchange(const records::Exchange& e) override { rec.onExchange(e); }
        void late(const records::LateAnswer& l) override { rec.onLateAnswer(l); }
        void marker(const records::Marker& mk) override { rec.onMarker(mk); }
        void runEnd(const records::RunEnd& r) override { rec.onRunEnd(r); }
    } feed(live.rec);
    exportdata::Runs first;
    first.runs.push_back(runs.runs.front());
    first.replay(feed);
    live.nowUs = runs.runs.front().exchanges.back().sentUs;
    if (!runs.runs.front().end)  // the view's clock stops at the last send
        live.window.refreshClock();

    live.window.setOpenChooser([&] { return QStringList{log}; });
    auto* open = live.window.findChild<QPushButton*>(QStringLiteral("OpenRunButton"));
    QVERIFY(open);
    QCOMPARE(open->text(), QStringLiteral("開く…"));
    open->click();
    AnalysisWindow* viewer = viewerWindow(&live.window);
    QVERIFY(viewer);
    QTRY_COMPARE(viewer->findChild<QComboBox*>(QStringLiteral("RunLayer"))->count(), int(runs.runs.size()));
    const QMap<QString, QString> got = shown(*viewer), want = shown(live.window);
    QVERIFY(got.value(QStringLiteral("map")).startsWith(QStringLiteral("%1 drawn").arg(live.window.map().drawnPoints())));
    QVERIFY(live.window.map().drawnPoints() > 0);  // positions came from the map log
    compareShown(got, want);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

void AnalysisViewerTest::twoRunsAreTwoLayers() {
    KnownRun one, two;
    two.runId = 2;
    two.packets = 40;
    two.markerAfter = 10;
    two.farBase = -45;
    Live live;  // both runs into one stream, as two runs under one log name
    one.feed(live.rec, live.nowUs);
    const QMap<QString, QString> first = shown(live.window);
    two.feed(live.rec, live.nowUs);
    const QMap<QString, QString> second = shown(live.window);
    QVERIFY(first != second);

    live.window.openFiles({live.dir.filePath(QStringLiteral("240501_FSK_known.jsonl")),
                           live.dir.filePath(QStringLiteral("missing.jsonl"))});
    AnalysisWindow* viewer = viewerWindow(&live.window);
    QVERIFY(viewer);
    auto* layers = viewer->findChild<QComboBox*>(QStringLiteral("RunLayer"));
    QVERIFY(layers);
    QTRY_COMPARE(layers->count(), 2);
    QVERIFY(layers->itemText(1).contains(QStringLiteral("(40 パケット)")));
    QVERIFY(viewer->findChild<QLabel*>(QStringLiteral("ViewerStatus"))->text().contains(QStringLiteral("読込失敗: missing.jsonl")));
    QCOMPARE(layers->currentIndex(), 0);
    compareShown(shown(*viewer), first);
    layers->setCurrentIndex(1);
    compareShown(shown(*viewer), second);
    QVERIFY(viewer->windowTitle().contains(QStringLiteral("2024-05-01 11:30:00")));
    layers->setCurrentIndex(0);
    compareShown(shown(*viewer), first);

    // The shown run (B) against the one chosen (A): the second run loses 5
    // of 40 against the first's 12 of 90, lower but far from significant;
    // the direction follows the choice, and "なし" clears it.
    auto* against = viewer->findChild<QComboBox*>(QStringLiteral("CompareLayer"));
    auto* verdict = viewer->findChild<QLabel*>(QStringLiteral("CompareVerdict"));
    QVERIFY(against && verdict);
    QCOMPARE(against->count(), 3);
    layers->setCurrentIndex(1);
    against->setCurrentIndex(1);
    QVERIFY2(verdict->text().startsWith(QStringLiteral("A = ") + layers->itemText(0).section(QStringLiteral(" ("), 0, 0)),
             qPrintable(verdict->text()));
    QVERIFY2(verdict->text().contains(QStringLiteral("B: error rate 0.8 % lower")) &&
                 verdict->text().contains(QStringLiteral("not significant")),
             qPrintable(verdict->text()));
    layers->setCurrentIndex(0);
    against->setCurrentIndex(2);
    QVERIFY2(verdict->text().contains(QStringLiteral("B: error rate 0.8 % higher")), qPrintable(verdict->text()));
    against->setCurrentIndex(0);
    QVERIFY(verdict->text().isEmpty());
}

namespace {

int marksOf(const CoverageMap& map, int shape, MapMark::Kind kind) {
    int n = 0;
    for (const MapMark& m : map.drawList())
        if (m.kind == kind && m.shape == shape)
            n += kind == MapMark::Kind::Lost ? m.count : 1;
    return n;
}

QMap<QString, QString> figuresOnly(QMap<QString, QString> shown) {
    shown.remove(QStringLiteral("map"));
    return shown;
}

}  // namespace

// Two runs in two files: the second goes on the map beside the first by
// its box, in squares, and off again leaving the map as it was to the
// pixel; the scrubber limits it to the same time since its own first send;
// the picked layer hides by its box too; and through all of it the figures
// are the picked layer's.
void AnalysisViewerTest::layersShareTheMap() {
    KnownRun one, two;
    two.runId = 2;
    two.packets = 40;
    two.farBase = -45;
    two.lonOffset = 0.004;
    Live a, b;
    one.feed(a.rec, a.nowUs);
    two.feed(b.rec, b.nowUs);
    const QMap<QString, QString> first = figuresOnly(shown(a.window));
    const QMap<QString, QString> second = figuresOnly(shown(b.window));
    a.window.openFiles({a.dir.filePath(QStringLiteral("240501_FSK_known.jsonl")),
                        b.dir.filePath(QStringLiteral("240501_FSK_known.jsonl"))});
    AnalysisWindow* viewer = viewerWindow(&a.window);
    QVERIFY(viewer);
    auto* layers = viewer->findChild<QComboBox*>(QStringLiteral("RunLayer"));
    QTRY_COMPARE(layers->count(), 2);
    viewer->resize(1100, 760);
    viewer->findChild<QTabWidget*>(QStringLiteral("AnalysisTabs"))->setCurrentIndex(1);
    QVERIFY(QTest::qWaitForWindowExposed(viewer));
    auto* box0 = viewer->findChild<QCheckBox*>(QStringLiteral("MapLayer(0)"));
    auto* box1 = viewer->findChild<QCheckBox*>(QStringLiteral("MapLayer(1)"));
    QVERIFY(box0 && box1);
    QCOMPARE(box1->text(), layers->itemText(1).section(QStringLiteral(" ("), 0, 0));  // announced by its caption
    QVERIFY(box0->isChecked() && !box1->isChecked());
    CoverageMap& map = viewer->map();
    const int alone = int(map.drawList().size());
    // Shown and hidden once: the extent is then the one run one's points
    // alone are given when the layers change.
    box1->setChecked(true);
    box1->setChecked(false);
    QCOMPARE(int(map.drawList().size()), alone);
    const QImage before = map.grab().toImage();

    // Run two placed: 40 packets, 4 without a fix, 5 of the rest lost.
    box1->setChecked(true);
    QCOMPARE(map.overlayCount(), 1);
    QCOMPARE(marksOf(map, 1, MapMark::Kind::Answered), 31);
    QCOMPARE(marksOf(map, 1, MapMark::Kind::Lost), 5);
    const std::vector<MapMark> marks = map.drawList();
    const auto spots = std::count_if(marks.begin(), marks.end(),
                                     [](const MapMark& m) { return m.kind == MapMark::Kind::Lost && m.shape == 1; });
    QCOMPARE(int(marks.size()), alone + 31 + int(spots));
    QCOMPARE(map.shownPoints(), map.drawnPoints() + 36);
    const QImage both = map.grab().toImage();
    int changed = 0;
    for (int y = 0; y < both.height(); ++y)
        for (int x = 0; x < both.width(); ++x)
            changed += both.pixel(x, y) != before.pixel(x, y);
    QVERIFY2(changed > 31 * 20, qPrintable(QString::number(changed)));
    QCOMPARE(figuresOnly(shown(*viewer)), first);
    box1->setChecked(false);
    QCOMPARE(map.overlayCount(), 0);
    QCOMPARE(int(map.drawList().size()), alone);
    QCOMPARE(map.grab().toImage(), before);

    // Scrubbed to packet 20 of run one: run two up to its own packet 20
    // (two of them without a fix).
    box1->setChecked(true);
    auto* scrubber = viewer->findChild<QSlider*>(QStringLiteral("TimeScrubber"));
    scrubber->setValue(int((one.sentUs(20) - one.sentUs(1)) / 1000 + 100));
    QTRY_COMPARE(viewer->findChild<QLabel*>(QStringLiteral("Evaluated"))->text(), QStringLiteral("20"));
    QCOMPARE(map.drawnPoints(), 18);
    QCOMPARE(map.shownPoints(), 18 + 18);
    scrubber->setValue(scrubber->maximum());
    QTRY_COMPARE(viewer->findChild<QLabel*>(QStringLiteral("Evaluated"))->text(), QStringLiteral("90"));
    QCOMPARE(map.shownPoints(), map.drawnPoints() + 36);

    // The picked layer hidden: only run two's marks, the figures still run one's.
    box0->setChecked(false);
    QVERIFY(!map.ownShown());
    for (const MapMark& m : map.drawList())
        QCOMPARE(m.shape, 1);
    QCOMPARE(figuresOnly(shown(*viewer)), first);
    // Checked again by hand it stays when run two is picked: run two's
    // figures, run one beside it in circles.
    box0->setChecked(true);
    layers->setCurrentIndex(1);
    QCOMPARE(figuresOnly(shown(*viewer)), second);
    QVERIFY(box0->isChecked() && box1->isChecked());
    QCOMPARE(map.overlayCount(), 1);
    QVERIFY(marksOf(map, 0, MapMark::Kind::Answered) > 50);
    QCOMPARE(marksOf(map, 1, MapMark::Kind::Answered), 31);
    // Picked back, run two leaves the map with the pick only if picking
    // had put it there: here it was checked by hand, so it stays.
    layers->setCurrentIndex(0);
    QCOMPARE(map.overlayCount(), 1);
    QCOMPARE(figuresOnly(shown(*viewer)), first);
}

// The command line: --open takes files and no run options; the program
// shows them, takes its picture and leaves the data folder as it was (no
// lock held against a running copy, no settings or logs written).
void AnalysisViewerTest::openOnTheCommandLine() {
    StartOptions o;
    QString error;
    QVERIFY(o.parse({QStringLiteral("qvx-loopback"), QStringLiteral("--open"), QStringLiteral("a.jsonl"), QStringLiteral("b.log")}, &error));
    QCOMPARE(o.openFiles, QStringList({QStringLiteral("a.jsonl"), QStringLiteral("b.log")}));
    StartOptions none;
    QVERIFY(none.parse({QStringLiteral("qvx-loopback")}, &error));
    QVERIFY(!none.viewing());
    for (const QStringList& bad : {QStringList{QStringLiteral("--open")},
                                   QStringList{QStringLiteral("--open"), QStringLiteral("--count"), QStringLiteral("3"), QStringLiteral("a.jsonl")},
                                   QStringList{QStringLiteral("a.jsonl")}}) {
        StartOptions b;
        QVERIFY2(!b.parse(QStringList{QStringLiteral("qvx-loopback")} + bad, &error), qPrintable(bad.join(' ')));
    }

    const KnownRun run;
    Live live;
    run.feed(live.rec, live.nowUs);
    QTemporaryDir data;
    QVERIFY(QDir(data.path()).mkpath(QStringLiteral(".")));
    const QString shot = live.dir.filePath(QStringLiteral("shot.png"));
    QProcess p;
    p.start(QStringLiteral(QVX_BIN_DIR "/qvx-loopback"),
            {QStringLiteral("--data-dir"), data.path(), QStringLiteral("--open"),
             live.dir.filePath(QStringLiteral("240501_FSK_known.jsonl")), QStringLiteral("--screenshot"), shot,
             QStringLiteral("--quit")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    QImage image(shot);
    QVERIFY(!image.isNull());
    QVERIFY(image.width() > 600);
    QCOMPARE(QDir(data.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    // A file that is not there: status 1, named.
    p.start(QStringLiteral(QVX_BIN_DIR "/qvx-loopback"),
            {QStringLiteral("--data-dir"), data.path(), QStringLiteral("--open"), data.filePath(QStringLiteral("none.jsonl")),
             QStringLiteral("--quit")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 1);
    QVERIFY(p.readAllStandardError().contains("none.jsonl"));
}

QTEST_MAIN(AnalysisViewerTest)
#include "analysis_viewer_test.moc"
