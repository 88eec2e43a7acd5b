// The analysis window in the state a day-long run reaches: tens of
// thousands of exchanges with positions fed through a RunRecorder, the
// window shown on each page. What a redraw works on must not grow with the
// run: the plots' series hold at most two points per pixel column (each
// column's extremes kept), the map draws one mark per new point or late
// answer into its picture and redraws whole only when its view changes,
// and the path-loss fit follows every sample without going over them.
#include "analysis/AnalysisWindow.h"
#include "analysis/CoverageMap.h"
#include "analysis/LinkCharts.h"
#include "analysis/RssiDistancePlot.h"
#include "analysis/RunRecorder.h"
#include "gps/Distance.h"

#include <QtTest>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QValueAxis>

#include <cmath>
#include <map>

using namespace analysis;

namespace {

const QDateTime kStart(QDate(2024, 5, 1), QTime(9, 30), Qt::OffsetFromUTC, 9 * 3600);
constexpr std::int64_t kPeriodUs = 300'000;
constexpr double kLat0 = 35.6812, kLon0 = 139.7671;

// A recorder and its window on a virtual clock; a walk in circles around
// the datum point (so the map's extent settles after the first lap), the
// levels falling with distance, losses in bursts, one loss in five answered
// late.
struct LongRun {
    QTemporaryDir dir;
    std::int64_t nowUs = 0;
    RunRecorder rec{dir.path()};
    AnalysisWindow window{rec, dir.filePath(QStringLiteral("qvx-loopback-analysis.ini"))};
    std::uint32_t seed = 2024;
    int burst = 0;
    std::int64_t sent = 0;
    std::vector<PathLossSample> farSamples;
    QList<QPointF> farLine;  // the RSSI plot's far line: seconds since the first send, dBm

    LongRun() {
        rec.setClock([this] { return Instant{kStart.addMSecs(nowUs / 1000), nowUs}; });
        window.setDatum(kLat0, kLon0);
        records::RunStart r;
        r.runId = 1;
        r.started = kStart;
        r.periodMs = 300;
        r.version = QStringLiteral("0.900.5");
        rec.onRunStart(r);
    }
    double random() {
        seed = seed * 1664525u + 1013904223u;
        return double(seed >> 8) / double(1u << 24);
    }
    void feed(int count) {
        for (int i = 0; i < count; ++i) {
            const std::int64_t n = ++sent;
            const double turn = double(n % 2000) / 2000 * 2 * M_PI;
            const double radiusM = 150 + 100 * std::sin(double(n) / 300);
            const double lat = kLat0 + radiusM * std::sin(turn) / 111'000;
            const double lon = kLon0 + radiusM * std::cos(turn) / 90'000;
            const double d = hubeny::distance(lat, lon, kLat0, kLon0);
            const double fade = 5 * (random() + random() - 1);
            const int far = int(std::lround(-40 - 25 * std::log10(d) + fade));
            if (burst == 0 && random() < 0.03)
                burst = 1 + int(random() * 5);
            const bool lost = burst > 0;
            burst = std::max(0, burst - 1);
            records::Exchange e;
            e.runId = 1;
            e.packet = n;
            e.sentUs = n * kPeriodUs;
            e.sent = kStart.addMSecs(e.sentUs / 1000);
            e.periodMs = 300;
            e.noise = -112 + int(random() * 4);
            e.position = records::Position{lat, lon, 40, 1, 9, 0.9, true, d};
            if (!lost) {
                e.outcome = records::Outcome::Answered;
                e.rttUs = std::int64_t(60'000 + 8'000 * random());
                e.answeredUs = e.sentUs + *e.rttUs;
                e.farRssi = far;
                e.ackRssi = far - 2;
                if (d >= kMinDistanceM)
                    farSamples.push_back({d, double(far)});
                farLine.append(QPointF(double(e.sentUs - kPeriodUs) / 1e6, far));
            }
            nowUs = (n + 1) * kPeriodUs;
            rec.onExchange(e);
            if (lost && random() < 0.2) {
                records::LateAnswer late;
                late.runId = 1;
                late.packet = n;
                late.rttUs = 350'000;
                rec.onLateAnswer(late);
            }
            if (n % 500 == 0)
                QCoreApplication::processEvents();
        }
    }
    QTabWidget* tabs() const { return window.findChild<QTabWidget*>(QStringLiteral("AnalysisTabs")); }
    // Shows a page and lets every plot and the map catch up and paint.
    void settle(int page) {
        tabs()->setCurrentIndex(page);
        window.charts().flush();
        window.distancePlot().flush();
        QCoreApplication::processEvents();
        window.grab();
    }
};

// Every pixel column of a line plot: the lowest and highest value the
// series draws there are those of the points the plot covers there.
void checkColumnExtremes(const QChartView* view, const char* seriesName, const QList<QPointF>& all) {
    const QChart* chart = view->chart();
    const auto* x = qobject_cast<QValueAxis*>(chart->axes(Qt::Horizontal).first());
    const QLineSeries* series = nullptr;
    for (QAbstractSeries* s : chart->series())
        if (s->name() == QString::fromUtf8(seriesName))
            series = qobject_cast<QLineSeries*>(s);
    QVERIFY(series);
    const int columns = int(chart->plotArea().width());
    QVERIFY(columns > 100);
    QVERIFY2(series->count() <= 2 * columns + 2, qPrintable(QString::number(series->count())));
    const auto columnOf = [&](double v) {
        return std::clamp(int(std::floor((v - x->min()) * columns / (x->max() - x->min()))), 0, columns - 1);
    };
    using Range = std::pair<double, double>;
    const auto extremes = [&](const QList<QPointF>& points) {
        std::map<int, Range> m;
        for (const QPointF& p : points) {
            auto [it, fresh] = m.try_emplace(columnOf(p.x()), p.y(), p.y());
            it->second = {std::min(it->second.first, p.y()), std::max(it->second.second, p.y())};
        }
        return m;
    };
    QCOMPARE(extremes(series->points()), extremes(all));
    QCOMPARE(series->points().first(), all.first());
    QCOMPARE(series->points().last(), all.last());
}

}  // namespace

class AnalysisLongRunTest : public QObject {
    Q_OBJECT
private slots:
    void smallRunDrawsEveryPoint();
    void workPerRedrawStaysBoundedOverLongRun();
};

// A run shorter than the plots are wide draws exactly the points it had.
void AnalysisLongRunTest::smallRunDrawsEveryPoint() {
    LongRun run;
    run.window.resize(1180, 760);
    run.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&run.window));
    run.feed(60);
    run.settle(0);
    const LinkCharts& charts = run.window.charts();
    QCOMPARE(charts.rollingPoints(), 60);
    auto* rssi = charts.rssiView()->chart();
    for (QAbstractSeries* s : rssi->series())
        if (s->name() == QStringLiteral("相手受信 RSSI"))
            QCOMPARE(qobject_cast<QLineSeries*>(s)->count(), charts.rssiPoints());
}

void AnalysisLongRunTest::workPerRedrawStaysBoundedOverLongRun() {
    LongRun run;
    run.window.resize(1180, 760);
    run.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&run.window));
    const LinkCharts& charts = run.window.charts();
    CoverageMap& map = run.window.map();
    const RssiDistancePlot& distance = run.window.distancePlot();

    // The plots full: many times the exchanges they cover.
    run.feed(2 * LinkCharts::kMaxPoints);
    run.settle(0);
    QCOMPARE(charts.rollingPoints(), LinkCharts::kMaxPoints);
    const int drawnEarly = charts.drawnPoints();
    run.settle(1);
    run.settle(2);
    const int dotsEarly = distance.drawnDots();

    run.feed(4 * LinkCharts::kMaxPoints);
    run.settle(0);
    QCOMPARE(charts.rollingPoints(), LinkCharts::kMaxPoints);
    int columns = 0;
    for (QChartView* v : {charts.rollingView(), charts.rssiView(), charts.marginView()})
        columns += int(v->chart()->plotArea().width());
    // Five lines on three plots, each at most two points a column, and the
    // histogram's steps; the same at 24,000 exchanges as at 8,000.
    QVERIFY2(charts.drawnPoints() <= 2 * (columns + 2 * int(charts.rssiView()->chart()->plotArea().width())) + 200,
             qPrintable(QStringLiteral("%1 points for %2 columns").arg(charts.drawnPoints()).arg(columns)));
    QVERIFY2(charts.drawnPoints() < drawnEarly * 5 / 4,
             qPrintable(QStringLiteral("%1 then %2 points").arg(drawnEarly).arg(charts.drawnPoints())));

    // What the plots leave out is never an extreme of its pixel column.
    checkColumnExtremes(charts.rssiView(), "相手受信 RSSI", run.farLine.mid(run.farLine.size() - LinkCharts::kMaxPoints));

    // The map: new points and late answers one mark each, no full redraw
    // once the walk has shown its extent.
    run.settle(1);
    const int redraws = map.fullRedraws();
    const std::int64_t marks = map.marksDrawn();
    run.feed(2000);
    run.settle(1);
    QCOMPARE(map.fullRedraws(), redraws);
    QVERIFY2(map.marksDrawn() - marks <= 2000 + 2000 / 4,
             qPrintable(QString::number(map.marksDrawn() - marks)));
    QCOMPARE(map.drawnPoints(), int(run.sent));

    // RSSI against distance: the fit from running sums agrees with a fit
    // over every sample; the dots stay as few as their distinct places.
    run.settle(2);
    const auto fit = distance.farFit();
    const auto whole = fitPathLoss(run.farSamples);
    QVERIFY(fit && whole);
    QCOMPARE(fit->samples, whole->samples);
    QVERIFY(std::abs(fit->exponent - whole->exponent) < 1e-9);
    QVERIFY(std::abs(fit->referenceDbm - whole->referenceDbm) < 1e-7);
    QVERIFY(std::abs(fit->rmsErrorDb - whole->rmsErrorDb) < 1e-7);
    QVERIFY2(distance.drawnDots() < dotsEarly * 3 / 2,
             qPrintable(QStringLiteral("%1 then %2 dots").arg(dotsEarly).arg(distance.drawnDots())));
}

QTEST_MAIN(AnalysisLongRunTest)
#include "analysis_long_run_test.moc"
