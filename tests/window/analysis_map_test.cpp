// The coverage map and the RSSI-distance plot fed records: points land
// where Hubeny's distances from the datum put them (read from the grabbed
// image), lost packets are crosses (purple once answered late), unusable
// positions are never drawn, grid cells under the minimum stay empty; the
// window's pages, their controls and the pictures they save.
#include "analysis/AnalysisWindow.h"
#include "analysis/CoverageMap.h"
#include "analysis/RssiDistancePlot.h"
#include "analysis/RunRecorder.h"
#include "export/RssiScale.h"
#include "export/Writers.h"
#include "gps/Distance.h"
#include "records/Signals.h"

#include <QtTest>
#include <QAccessible>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include <cmath>

using namespace analysis;

namespace {

constexpr double kLat0 = 35.0, kLon0 = 139.0;

records::Exchange exchange(std::int64_t packet, double dLat, double dLon, std::optional<int> far,
                           std::optional<int> ack = std::nullopt, std::optional<int> noise = std::nullopt) {
    records::Exchange e;
    e.runId = 1;
    e.packet = packet;
    e.sentUs = packet * 1'000'000;
    e.outcome = far ? records::Outcome::Answered : records::Outcome::Lost;
    e.farRssi = far;
    e.ackRssi = ack;
    e.noise = noise;
    records::Position p;
    p.lat = kLat0 + dLat;
    p.lon = kLon0 + dLon;
    p.fix = 1;
    p.sats = 8;
    e.position = p;
    return e;
}

QColor rgb(const char* hex) { return QColor(QLatin1String(hex)); }

QColor pixel(const QImage& img, const QPointF& at) { return img.pixelColor(at.toPoint()); }

// The same colour but for antialiasing's last bit or two.
bool near(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) <= 4 && std::abs(a.green() - b.green()) <= 4 && std::abs(a.blue() - b.blue()) <= 4;
}

// Whether a pixel of the colour lies in the rectangle from a to b.
bool anyOf(const QImage& img, const QPointF& a, const QPointF& b, const QColor& colour) {
    for (int x = int(std::floor(a.x())); x <= int(std::ceil(b.x())); ++x)
        for (int y = int(std::floor(a.y())); y <= int(std::ceil(b.y())); ++y)
            if (img.pixelColor(x, y) == colour)
                return true;
    return false;
}

// Pixels a mark covers around c (a 7 x 7 square), other than ground.
int marked(const QImage& img, const QPointF& c) {
    int n = 0;
    for (int dx = -3; dx <= 3; ++dx)
        for (int dy = -3; dy <= 3; ++dy)
            n += img.pixelColor(c.toPoint() + QPoint(dx, dy)) != kMapGround;
    return n;
}

}  // namespace

class AnalysisMapTest : public QObject {
    Q_OBJECT
private slots:
    void pointsLandWhereTheDistancesSay();
    void gridCellsNeedTheirSamples();
    void windowFeedsMapAndPlot();
    void lostMarksStayVisibleAtSharedSpots();
    void levelScaleFollowsTheRunAsTheExportsDo();
    void costPerExchange();
};

void AnalysisMapTest::pointsLandWhereTheDistancesSay() {
    CoverageMap map;
    map.resize(600, 500);
    map.setDatum(kLat0, kLon0);
    // 0.001 degree east and north: about 91 m and 111 m.
    const double east = hubeny::distance(kLat0, kLon0 + 0.001, kLat0, kLon0);
    const double north = hubeny::distance(kLat0 + 0.001, kLon0, kLat0, kLon0);
    map.addExchange(exchange(1, 0, 0.001, -60));     // strongest step
    map.addExchange(exchange(2, 0.001, 0, -105));    // -110 .. -101
    map.addExchange(exchange(3, 0, -0.001, std::nullopt));  // lost, to the west
    records::Exchange noFix = exchange(4, -0.0006, 0, -60);
    noFix.position->fix = 0;
    records::Exchange badSum = exchange(5, -0.0006, 0.0006, -60);
    badSum.position->checksumOk = false;
    records::Exchange noGps = exchange(6, 0, 0, -60);
    noGps.position.reset();
    for (const auto& e : {noFix, badSum, noGps})
        map.addExchange(e);
    QCOMPARE(map.drawnPoints(), 3);
    QCOMPARE(map.unplacedPoints(), 3);

    const double ppm = map.pixelsPerMetre();
    const QPointF datum = *map.pixelOf(kLat0, kLon0);
    const QPointF eastPx = datum + QPointF(east * ppm, 0);
    const QPointF northPx = datum + QPointF(0, -north * ppm);
    const QPointF westPx = datum - QPointF(east * ppm, 0);
    QVERIFY(QLineF(*map.pixelOf(kLat0, kLon0 + 0.001), eastPx).length() < 0.5);
    QVERIFY(QLineF(*map.pixelOf(kLat0 + 0.001, kLon0), northPx).length() < 0.5);

    const QImage img = map.grab().toImage();
    QCOMPARE(pixel(img, eastPx), rgb(exportdata::kRssiScale[0].rgb));
    QCOMPARE(pixel(img, northPx), rgb(exportdata::kRssiScale[3].rgb));
    // A cross, not a dot: its centre is the lost colour, beside it (where a
    // dot would be) the ground or the cross's white edge.
    QVERIFY(near(pixel(img, westPx), rgb(exportdata::kLostRgb)));
    QVERIFY(pixel(img, westPx + QPointF(3, 0)).lightness() >= kMapGround.lightness());
    QCOMPARE(pixel(img, eastPx + QPointF(2, 0)), rgb(exportdata::kRssiScale[0].rgb));
    // Unusable positions left no mark.
    for (const auto& e : {noFix, badSum})
        QCOMPARE(marked(img, *map.pixelOf(e.position->lat, e.position->lon)), 0);

    // The value that colours the points: the answer RSSI is absent here.
    map.setValue(MapValue::AckRssi);
    QCOMPARE(pixel(map.grab().toImage(), eastPx), kNoValueColour);
    map.setValue(MapValue::FarRssi);

    // The late answer turns the cross purple.
    map.markLate(3);
    QVERIFY(near(pixel(map.grab().toImage(), westPx), rgb(exportdata::kLateRgb)));

    // A point far outside widens the map: everything moves inward, the
    // projection still holds.
    map.addExchange(exchange(7, 0.01, 0.01, -80));
    const double ppm2 = map.pixelsPerMetre();
    QVERIFY(ppm2 < ppm / 4);
    const QPointF datum2 = *map.pixelOf(kLat0, kLon0);
    const QImage wide = map.grab().toImage();
    QCOMPARE(pixel(wide, datum2 + QPointF(east * ppm2, 0)), rgb(exportdata::kRssiScale[0].rgb));
    QCOMPARE(pixel(wide, *map.pixelOf(kLat0 + 0.01, kLon0 + 0.01)), rgb(exportdata::kRssiScale[1].rgb));
}

void AnalysisMapTest::gridCellsNeedTheirSamples() {
    CoverageMap map;
    map.resize(600, 500);
    // No datum: the first fix is the origin, cells are aligned on it.
    // Metres to degrees near the origin, from Hubeny's own figures.
    const double perLat = hubeny::distance(kLat0 + 0.001, kLon0, kLat0, kLon0) / 0.001;
    const double perLon = hubeny::distance(kLat0, kLon0 + 0.001, kLat0, kLon0) / 0.001;
    auto at = [&](std::int64_t n, double eastM, double northM, std::optional<int> far) {
        map.addExchange(exchange(n, northM / perLat, eastM / perLon, far));
    };
    // Cell (0, 0): 5 answered, median far RSSI -82. Cell (-1, 0): 3 of 4.
    const int far[] = {-80, -82, -84, -60, -100};
    for (int i = 0; i < 5; ++i)
        at(i + 1, i * 8.0, i * 8.0, far[i]);
    for (int i = 0; i < 4; ++i)
        at(i + 6, -10.0 - i * 8, 10.0 + i * 8, i == 3 ? std::nullopt : std::optional<int>(-70));
    map.setCellSize(50);
    map.setView(CoverageMap::View::GridSuccess);
    const auto px = [&](double eastM, double northM) { return *map.pixelOf(kLat0 + northM / perLat, kLon0 + eastM / perLon); };
    const QPointF inA = px(5, 45), inB = px(-45, 45);
    // A cell's success class is that of the lower bound of its 95 % Wilson
    // interval: 5 of 5 is at least 56 %, 3 of 4 at least 30 %.
    const auto success = [](int step) { return rgb(successScale().steps[step].rgb); };
    QImage img = map.grab().toImage();
    QCOMPARE(pixel(img, inA), success(3));                           // 5/5: 56 .. 100: "50 .. 80 %"
    QCOMPARE(pixel(img, inB), kMapGround);                           // 4 < 5: not drawn
    QCOMPARE(marked(img, px(-25, 25)), 0);                            // nor its answered points
    map.setMinSamples(4);
    img = map.grab().toImage();
    QCOMPARE(pixel(img, inB), success(4));                           // 3/4: 30 .. 95: "< 50 %"
    // The loss of that cell stays a cross above the cell.
    QVERIFY(near(pixel(img, px(-34, 34)), rgb(exportdata::kLostRgb)));
    map.setView(CoverageMap::View::GridMedian);
    QCOMPARE(pixel(map.grab().toImage(), inA), rgb(exportdata::kRssiScale[1].rgb));  // -82 dBm
    // A cell size of 100 m puts all nine in one cell from -100 to 0 m east?
    // No: cells stay aligned on the origin, so (0, 0) and (-1, 0) again.
    map.setCellSize(100);
    QCOMPARE(int(map.grid().cells().size()), 2);
    QCOMPARE(map.grid().cells().at({0, 0}).samples, 5);

    // 19 of 20 (95 %) is not "95 .. 99 %": its interval is 76.4 .. 99.1 %, so
    // "50 .. 80 %". Only
    // 300 of 300 (98.7 .. 100 %) is, and 400 of 400 (99.05 ..) is ">= 99 %".
    struct Case {
        double eastM;
        int answered, samples, step;
    };
    const Case cases[] = {{110, 19, 20, 3}, {160, 300, 300, 1}, {210, 400, 400, 0}};
    std::int64_t n = 100;
    for (const Case& c : cases)
        for (int i = 0; i < c.samples; ++i)
            at(++n, c.eastM + (i % 6) * 5.0, 10 + (i / 6 % 6) * 5.0, i < c.answered ? std::optional<int>(-70) : std::nullopt);
    map.setCellSize(50);
    map.setView(CoverageMap::View::GridSuccess);
    QCOMPARE(map.grid().cells().at({2, 0}).lowerPercent(), 76);
    QCOMPARE(map.grid().cells().at({2, 0}).upperPercent(), 100);
    img = map.grab().toImage();
    for (const Case& c : cases)
        QCOMPARE(pixel(img, px(c.eastM - 8, 47)), success(c.step));
}

void AnalysisMapTest::windowFeedsMapAndPlot() {
    QTemporaryDir dir;
    RunRecorder rec(dir.path());
    AnalysisWindow window(rec, {});
    window.setDatum(kLat0, kLon0);
    records::RunStart start;
    start.runId = 1;
    start.commLog = QStringLiteral("240501_FSK_walk.log");
    rec.onRunStart(start);
    // A walk east on a known model: far RSSI = -35 - 25 log10(d), answer 3 dB lower.
    std::int64_t n = 0;
    for (double dLon = 0.0002; dLon < 0.03; dLon *= 1.3) {
        const double d = hubeny::distance(kLat0, kLon0 + dLon, kLat0, kLon0);
        const int level = int(std::lround(-35 - 25 * std::log10(d)));
        rec.onExchange(exchange(++n, 0, dLon, level, level - 3, -115));
    }
    rec.onExchange(exchange(++n, 0, 0.001, std::nullopt));
    records::LateAnswer late;
    late.runId = 1;
    late.packet = n;
    rec.onLateAnswer(late);
    QCOMPARE(window.map().drawnPoints(), int(n));
    // Every level has its row of figures; every one with a colour scale is
    // a choice of the map, in the table's order, titling the legend.
    auto* values = window.findChild<QComboBox*>(QStringLiteral("MapValue"));
    QVERIFY(values);
    int item = 0;
    for (const records::Signal& s : records::kSignals) {
        QVERIFY2(window.figure(QLatin1String(s.name) + QStringLiteral("Mean")), s.name);
        if (s.scale == records::ColourScale::None)
            continue;
        QCOMPARE(values->itemText(item), QString::fromUtf8(s.caption));
        values->setCurrentIndex(item++);
        QCOMPARE(window.map().value(), s.level);
        QCOMPARE(valueScale(s.level, window.map().levelSteps()).title, QString::fromUtf8(s.caption));
    }
    QCOMPARE(values->count(), item);
    values->setCurrentIndex(0);

    RssiDistancePlot& plot = window.distancePlot();
    plot.setThreshold(-110);
    plot.flush();
    QVERIFY(plot.farFit() && plot.ackFit());
    QVERIFY(std::abs(plot.farFit()->exponent - 2.5) < 0.05);
    QVERIFY(std::abs(plot.farFit()->referenceDbm - -35) < 1);
    QVERIFY(std::abs(plot.ackFit()->referenceDbm - -38) < 1);
    // -110 dBm is 75 dB below -35: 10^(75 / 25) = 1000 m.
    QVERIFY(std::abs(*plot.farFit()->distanceAt(-110) / 1000 - 1) < 0.1);
    QVERIFY2(plot.figures()->text().contains(QStringLiteral("n = 2.5")), qPrintable(plot.figures()->text()));
    // A threshold the fit reaches only far past the walk (100 km against
    // a walk of under 3 km) is not given as a distance.
    plot.setThreshold(-160);
    plot.flush();
    QVERIFY2(plot.figures()->text().contains(QStringLiteral("-160 dBm 到達 測定範囲の 10 倍超")),
             qPrintable(plot.figures()->text()));
    auto* useNoise = window.findChild<QPushButton*>(QStringLiteral("PathLossUseNoise"));
    QVERIFY(useNoise && useNoise->isEnabled());
    useNoise->click();
    QCOMPARE(plot.threshold(), -115);

    // Every control of the new pages is addressable.
    for (const char* page : {"MapPage", "DistancePage"}) {
        auto* w = window.findChild<QWidget*>(QLatin1String(page));
        QVERIFY2(w, page);
        const auto controls = w->findChildren<QWidget*>();
        int count = 0;
        for (QWidget* c : controls) {
            if (!qobject_cast<QComboBox*>(c) && !qobject_cast<QSpinBox*>(c) && !qobject_cast<QPushButton*>(c))
                continue;
            ++count;
            QVERIFY(!c->objectName().isEmpty());
            // Buttons are announced by their captions, boxes by their names.
            if (auto* b = qobject_cast<QPushButton*>(c))
                QCOMPARE(QAccessible::queryAccessibleInterface(b)->text(QAccessible::Name), b->text());
            else
                QCOMPARE(c->accessibleName(), c->objectName());
        }
        QVERIFY(count >= 3);
    }

    // Pictures: from the buttons (the chooser is offered the run's own
    // name), and for an unattended run beside its logs.
    QStringList offered;
    window.setSavePathChooser([&](const QString& suggested) {
        offered << QFileInfo(suggested).fileName();
        return dir.filePath(QFileInfo(suggested).fileName());
    });
    window.resize(1000, 700);
    window.show();
    for (const char* button : {"MapSavePng", "MapSaveSvg", "DistanceSavePng", "DistanceSaveSvg"})
        window.findChild<QPushButton*>(QLatin1String(button))->click();
    QCOMPARE(offered, QStringList({"240501_FSK_walk.map.png", "240501_FSK_walk.map.svg",
                                   "240501_FSK_walk.rssi-distance.png", "240501_FSK_walk.rssi-distance.svg"}));
    for (const QString& name : offered) {
        QFile f(dir.filePath(name));
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(name));
        const QByteArray bytes = f.readAll();
        if (name.endsWith(QLatin1String(".png")))
            QVERIFY(!QImage::fromData(bytes, "PNG").isNull());
        else
            QVERIFY(bytes.contains("<svg") && bytes.contains("</svg>"));
    }
    window.hide();
    const QString unattended = rec.mapPicturePath();
    QCOMPARE(unattended, dir.filePath(QStringLiteral("240501_FSK_walk.map.png")));
    QFile::remove(unattended);
    QVERIFY(window.saveMapPicture(unattended));
    QCOMPARE(QImage(unattended).size(), QSize(1200, 900));  // a map never shown: a fixed size
    // A file that cannot be written is reported, not passed over.
    QString error;
    QVERIFY(!window.saveMapPicture(dir.filePath(QStringLiteral("no/such/folder/x.png")), &error));
    QVERIFY(!error.isEmpty());
    // A new run empties the map.
    rec.onRunEnd({});
    start.runId = 2;
    rec.onRunStart(start);
    QCOMPARE(window.map().drawnPoints(), 0);
}

// Exchanges sharing spots, losses before and after answers: every loss is
// drawn above every answer, one cross per spot with its count, so the
// crosses (with their counts) add up to the head line's lost count, both
// when drawn into the shown map one by one and when drawn afresh. Markers
// are flags above them.
void AnalysisMapTest::lostMarksStayVisibleAtSharedSpots() {
    CoverageMap map;
    map.resize(600, 500);
    map.setDatum(kLat0, kLon0);
    map.show();
    (void)map.grab();  // the backing image exists: what follows is drawn into it
    struct Spot {
        double dLat, dLon;
        QString order;  // x lost, o answered, in the order they come
    };
    const QList<Spot> spots{{0, 0.0005, QStringLiteral("xoxoooxooo")},
                            {0.0005, 0, QStringLiteral("ooxooxo")},
                            {-0.0005, 0, QStringLiteral("x")},
                            {0, -0.0005, QStringLiteral("oooo")}};
    std::int64_t n = 0;
    int lost = 0;
    // Interleaved across spots, as a run that passes them again and again.
    for (int i = 0; i < 10; ++i) {
        for (const Spot& s : spots) {
            if (i >= s.order.size())
                continue;
            const bool isLost = s.order.at(i) == u'x';
            lost += isLost;
            map.addExchange(exchange(++n, s.dLat, s.dLon, isLost ? std::nullopt : std::optional<int>(-70)));
        }
    }
    records::Marker marker;
    marker.number = 1;
    records::Position at;
    at.lat = kLat0;
    at.lon = kLon0 - 0.0005;
    at.fix = 1;
    marker.position = at;
    map.addMarker(marker);
    records::Marker nowhere;
    nowhere.number = 2;
    map.addMarker(nowhere);  // no position: not drawn

    const auto check = [&](const char* how) {
        const std::vector<MapMark> marks = map.drawList();
        int counted = 0, crosses = 0;
        bool lostSeen = false;
        for (const MapMark& m : marks) {
            if (m.kind == MapMark::Kind::Answered)
                QVERIFY2(!lostSeen, how);  // no dot over a cross
            if (m.kind != MapMark::Kind::Lost)
                continue;
            lostSeen = true;
            ++crosses;
            counted += m.count;
        }
        QVERIFY2(crosses == 3 && counted == lost, how);
        QCOMPARE(marks.back().kind, MapMark::Kind::Marker);
        QCOMPARE(marks.back().number, 1);
        // In the picture: the lost colour at each spot's centre, the
        // count's white box at the upper right of the shared ones.
        const QImage img = map.grab().toImage();
        for (const Spot& s : spots) {
            const QPointF c = *map.pixelOf(kLat0 + s.dLat, kLon0 + s.dLon);
            const int losses = int(s.order.count(u'x'));
            if (losses == 0)
                continue;
            QVERIFY2(near(pixel(img, c), rgb(exportdata::kLostRgb)), how);
            QCOMPARE(anyOf(img, c + QPointF(5, -12), c + QPointF(9, -7), QColor(Qt::white)), losses > 1);
        }
    };
    check("drawn in one by one");
    QCOMPARE(lost, 6);
    map.setView(CoverageMap::View::GridSuccess);
    map.setView(CoverageMap::View::Points);
    check("drawn afresh");
    // The marker's flag above the dots of its spot.
    const QPointF foot = *map.pixelOf(kLat0, kLon0 - 0.0005);
    QVERIFY(anyOf(map.grab().toImage(), foot + QPointF(1, -15), foot + QPointF(5, -10), QColor(0xff, 0xd0, 0x30)));
}

// Drawing into the backing image per exchange stays cheap: a walk of
// 20,000 exchanges shown on screen.
// One rule picks the level scale of the live map and of the exports: the
// mode's steps (LoRa reaches lower), the run's own range only when its weak
// end lies more than a step below them; a stray reading does not move it.
// The map draws what it drew before in the new colours once the scale
// changes.
void AnalysisMapTest::levelScaleFollowsTheRunAsTheExportsDo() {
    using exportdata::LevelRange;
    using exportdata::LevelScale;
    const auto levels = [](int from, int to) {
        LevelRange r;
        for (int v = from; v >= to; --v)
            for (int k = 0; k < 4; ++k)
                r.add(v);
        return r;
    };
    for (bool lora : {false, true})
        for (int i = 0; i < exportdata::kScaleSteps; ++i)
            QCOMPARE(LevelScale(lora).label(i),
                     QLatin1String((lora ? exportdata::kLoraRssiScale : exportdata::kRssiScale)[i].label));
    LevelRange fsk = levels(-45, -110);
    QCOMPARE(LevelScale::forRun(false, fsk), LevelScale(false));
    fsk.add(-140);   // one stray reading in 265
    QCOMPARE(LevelScale::forRun(false, fsk), LevelScale(false));
    QCOMPARE(LevelScale::forRun(false, levels(-60, -120)), LevelScale(false));   // a step below -110: still FSK's
    const LevelScale own = LevelScale::forRun(false, levels(-80, -130));
    QCOMPARE(own.basis(), LevelScale::Basis::RunRange);
    QCOMPARE(own.label(4), QStringLiteral("< -120 dBm"));
    QCOMPARE(own.label(3), QStringLiteral("-120 .. -111 dBm"));
    QVERIFY(own.basisText().contains(QStringLiteral("-130 .. -80 dBm")));
    const LevelScale lora = LevelScale::forRun(true, levels(-80, -125));
    QCOMPARE(lora, LevelScale(true));
    QVERIFY(lora.stepOf(-125) != lora.stepOf(-111));

    // The live map and the exports' first pass over the same exchanges.
    const auto run = [](CoverageMap& map, records::Mode mode, int weakest) {
        exportdata::Survey survey;
        records::RunStart start;
        start.runId = 1;
        start.mode = mode;
        survey.runStart(start, QStringLiteral("run"), QStringLiteral("run"));
        map.clear();
        map.setMode(mode);
        for (int i = 0, level = -80; level >= weakest; ++i, level -= 2) {
            const records::Exchange e = exchange(i + 1, 0, 0.001 * i, level);
            map.addExchange(e);
            survey.exchange(e);
            (void)map.grab();   // drawn as it comes
        }
        survey.finish();
        return survey.scale;
    };
    const auto colourAt = [](CoverageMap& map, int i) {
        return pixel(map.grab().toImage(), *map.pixelOf(kLat0, kLon0 + 0.001 * i));
    };
    CoverageMap map;
    map.resize(900, 500);
    QCOMPARE(run(map, records::Mode::LoRa, -124), map.levelSteps());
    QCOMPARE(map.levelSteps(), LevelScale(true));
    QCOMPARE(colourAt(map, 16), rgb(LevelScale::rgb(2)));  // -112 dBm
    QCOMPARE(colourAt(map, 22), rgb(LevelScale::rgb(3)));  // -124 dBm

    // FSK down to -130: the run's range; the -112 dBm point, drawn in the
    // open FSK step when it came, is now in a step of its own.
    QCOMPARE(run(map, records::Mode::Fsk, -130), map.levelSteps());
    QCOMPARE(map.levelSteps().basis(), LevelScale::Basis::RunRange);
    QCOMPARE(colourAt(map, 16), rgb(LevelScale::rgb(3)));
    QCOMPARE(colourAt(map, 22), rgb(LevelScale::rgb(4)));
    QCOMPARE(colourAt(map, 0), rgb(LevelScale::rgb(0)));
}

void AnalysisMapTest::costPerExchange() {
    CoverageMap map;
    map.resize(900, 700);
    map.setDatum(kLat0, kLon0);
    map.show();
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 20000; ++i) {
        const double a = i * 0.01, r = 0.00001 * i;
        map.addExchange(exchange(i + 1, r * std::sin(a), r * std::cos(a), i % 7 ? std::optional<int>(-60 - i % 50) : std::nullopt));
        if (i % 50 == 0)
            QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    const qint64 ms = t.elapsed();
    qInfo("20000 exchanges on the shown map: %lld ms", ms);
    QVERIFY(ms < 10000);
}

QTEST_MAIN(AnalysisMapTest)
#include "analysis_map_test.moc"
