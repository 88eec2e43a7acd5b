// The pure side of the map and the RSSI-distance plot: the path-loss fit
// recovers a known model and refuses what fixes no slope; the local
// projection agrees with Hubeny's distance; grid cells split at the origin
// and give their medians and success rates.
#include "analysis/CoverageGrid.h"
#include "stats/PathLoss.h"
#include "gps/Distance.h"

#include <QtTest>

#include <cmath>
#include <limits>

using namespace analysis;

namespace {

// n and A exactly, with a symmetric +-3 dB scatter at every distance (the
// means lie on the model, so the fit must return it exactly).
std::vector<PathLossSample> model(double n, double a, double scatter = 3) {
    std::vector<PathLossSample> s;
    for (double d = 10; d <= 2000; d *= 1.25)
        for (double e : {scatter, -scatter})
            s.push_back({d, a - 10 * n * std::log10(d) + e});
    return s;
}

}  // namespace

class AnalysisCoverageTest : public QObject {
    Q_OBJECT
private slots:
    void fitRecoversKnownModel();
    void fitRefusesDegenerateSamples();
    void projectionAgreesWithHubeny_data();
    void projectionAgreesWithHubeny();
    void gridCells();
};

void AnalysisCoverageTest::fitRecoversKnownModel() {
    const auto fit = fitPathLoss(model(2.7, -40));
    QVERIFY(fit);
    QCOMPARE(fit->samples, 48);
    QVERIFY(std::abs(fit->exponent - 2.7) < 1e-9);
    QVERIFY(std::abs(fit->referenceDbm - -40) < 1e-9);
    QVERIFY(std::abs(fit->rmsErrorDb - 3) < 1e-9);
    QCOMPARE(fit->nearestM, 10.0);
    // -110 dBm is 70 dB below A: 10^(70 / 27) m.
    QVERIFY(std::abs(*fit->distanceAt(-110) - std::pow(10.0, 70 / 27.0)) < 1e-6);
    QVERIFY(std::abs(fit->levelAt(100) - (-40 - 54)) < 1e-9);

    // Another reference distance: the same line, A read at 100 m.
    const auto at100 = fitPathLoss(model(2.7, -40), 100);
    QVERIFY(at100);
    QVERIFY(std::abs(at100->referenceDbm - (-40 - 54)) < 1e-9);
    QVERIFY(std::abs(*at100->distanceAt(-110) - *fit->distanceAt(-110)) < 1e-6);

    // Far from the origin with tiny spread: still exact (sums of deviations).
    std::vector<PathLossSample> far;
    for (double d = 5000; d < 5010; d += 1)
        far.push_back({d, -50 - 35 * std::log10(d)});
    const auto farFit = fitPathLoss(far);
    QVERIFY(farFit);
    QVERIFY(std::abs(farFit->exponent - 3.5) < 1e-4);

    // A level that rises with distance reaches no threshold.
    const auto rising = fitPathLoss({{10, -90}, {100, -80}});
    QVERIFY(rising);
    QVERIFY(rising->exponent < 0);
    QVERIFY(!rising->distanceAt(-110));
}

void AnalysisCoverageTest::fitRefusesDegenerateSamples() {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QVERIFY(!fitPathLoss({}));
    QVERIFY(!fitPathLoss({{100, -80}}));
    QVERIFY(!fitPathLoss({{100, -80}, {100, -90}, {100, -85}}));  // one distance: no slope
    QVERIFY(!fitPathLoss({{0, -40}, {0, -41}, {100, -80}}));       // d = 0 is left out
    QVERIFY(!fitPathLoss({{0.5, -40}, {100, -80}}));               // under a metre: GPS noise
    QVERIFY(!fitPathLoss({{nan, -40}, {100, -80}, {200, nan}}));
    QVERIFY(!fitPathLoss(model(2, -40), 0));
    // The points at 0 do not disturb a fit of the others.
    std::vector<PathLossSample> s = model(2, -40, 0);
    s.push_back({0, 0});
    s.push_back({-5, -200});
    const auto fit = fitPathLoss(s);
    QVERIFY(fit);
    QCOMPARE(fit->samples, int(s.size()) - 2);
    QVERIFY(std::abs(fit->exponent - 2) < 1e-9);
}

void AnalysisCoverageTest::projectionAgreesWithHubeny_data() {
    QTest::addColumn<double>("lat0");
    QTest::addColumn<double>("lon0");
    QTest::newRow("Tokyo") << 35.681236 << 139.767125;
    QTest::newRow("south and west") << -33.8688 << -70.6693;
    QTest::newRow("equator") << 0.0001 << 10.0;
    QTest::newRow("north") << 64.1466 << -21.9426;
}

// Within the kilometres of a walk the flat map keeps distances to 0.1 %.
void AnalysisCoverageTest::projectionAgreesWithHubeny() {
    QFETCH(double, lat0);
    QFETCH(double, lon0);
    const LocalProjection proj(lat0, lon0);
    QCOMPARE(proj.toMetres(lat0, lon0), QPointF(0, 0));
    for (const auto& [dLat, dLon] : {std::pair{0.003, 0.0}, {0.0, 0.004}, {-0.01, 0.012}, {0.02, -0.02}}) {
        const QPointF m = proj.toMetres(lat0 + dLat, lon0 + dLon);
        const double hubeny = hubeny::distance(lat0 + dLat, lon0 + dLon, lat0, lon0);
        QVERIFY2(std::abs(std::hypot(m.x(), m.y()) - hubeny) < hubeny * 1e-3,
                 qPrintable(QStringLiteral("%1 m flat, %2 m Hubeny").arg(std::hypot(m.x(), m.y())).arg(hubeny)));
        QCOMPARE(m.x() > 0, dLon > 0);  // east is +x, north +y
        QCOMPARE(m.y() > 0, dLat > 0);
    }
    // Across the antimeridian the short way.
    const LocalProjection date(10, 179.9995);
    QVERIFY(std::abs(date.toMetres(10, -179.9995).x() - 2 * date.toMetres(10, 180).x()) < 0.01);
}

void AnalysisCoverageTest::gridCells() {
    CoverageGrid g(50);
    QCOMPARE(g.keyOf(QPointF(-0.1, -0.1)), CoverageGrid::Key(-1, -1));
    QCOMPARE(g.keyOf(QPointF(0, 49.9)), CoverageGrid::Key(0, 0));
    QCOMPARE(g.keyOf(QPointF(50, -50)), CoverageGrid::Key(1, -1));
    QCOMPARE(g.rectOf({-1, 2}), QRectF(-50, 100, 50, 50));
    for (int v : {-80, -60, -100})
        g.add(QPointF(10, 10), true, v);
    g.add(QPointF(20, 20), false, std::nullopt);
    g.add(QPointF(-10, 10), true, std::nullopt);
    QCOMPARE(g.cells().size(), std::size_t(2));
    const CoverageGrid::Cell& c = g.cells().at({0, 0});
    QCOMPARE(c.samples, 4);
    QCOMPARE(c.successRate(), 0.75);
    QCOMPARE(*c.median(), -80.0);
    g.add(QPointF(30, 30), true, -70);
    QCOMPARE(*g.cells().at({0, 0}).median(), -75.0);  // even count: the middle two
    QVERIFY(!g.cells().at({-1, 0}).median());
    g.setCellM(25);
    QVERIFY(g.cells().empty());
}

QTEST_APPLESS_MAIN(AnalysisCoverageTest)
#include "analysis_coverage_test.moc"
