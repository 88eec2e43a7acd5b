// The sensitivity page and the reach threshold fed records: a walk whose
// losses follow a known logistic law gives bins, a curve and levels near
// the law's, the distance page's threshold follows the measured 90 % level
// until the operator sets one, the page's picture and the run report carry
// them; and the fits' limits: runs without losses, with losses the level
// does not explain, and without distances.
#include "analysis/AnalysisWindow.h"
#include "analysis/RssiDistancePlot.h"
#include "analysis/RunRecorder.h"
#include "analysis/SensitivityPage.h"
#include "stats/Sensitivity.h"

#include <QtTest>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include <cmath>
#include <random>

using namespace analysis;

namespace {

// Far RSSI = -35 - 30 log10(d) + N(0, 4) at a distance from 50 to 1500 m
// and back; answered with probability 1 / (1 + exp(-(rssi + 112) / 2)).
std::vector<records::Exchange> walk(int count, bool withDistance, bool levelExplainsLosses, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> shadow(0, 4);
    std::uniform_real_distribution<double> u(0, 1);
    std::vector<records::Exchange> out;
    for (int i = 0; i < count; ++i) {
        const double t = std::abs(2.0 * i / count - 1);
        const double d = 50 * std::pow(30.0, 1 - t);
        const double level = -35 - 30 * std::log10(d) + shadow(rng);
        const bool answered = levelExplainsLosses ? u(rng) < 1 / (1 + std::exp(-(level + 112) / 2)) : u(rng) > 0.1;
        records::Exchange e;
        e.runId = 1;
        e.packet = i + 1;
        e.sentUs = std::int64_t(i) * 300'000;
        e.outcome = answered ? records::Outcome::Answered : records::Outcome::Lost;
        if (answered) {
            e.farRssi = int(std::lround(level));
            e.ackRssi = *e.farRssi - 3;
        }
        e.noise = -120;
        records::Position p;
        p.lat = 35 + d / 111000;
        p.lon = 139;
        p.fix = 1;
        p.sats = 8;
        if (withDistance)
            p.distanceM = d;
        e.position = p;
        out.push_back(e);
    }
    return out;
}

}  // namespace

class AnalysisSensitivityTest : public QObject {
    Q_OBJECT
private slots:
    void pageThresholdPictureAndReport();
    void fitsKnowTheirLimits();
};

void AnalysisSensitivityTest::pageThresholdPictureAndReport() {
    QTemporaryDir dir;
    RunRecorder rec(dir.path());
    AnalysisWindow window(rec, {});
    records::RunStart start;
    start.runId = 1;
    start.commLog = QStringLiteral("240501_FSK_walk.log");
    rec.onRunStart(start);
    RssiDistancePlot& plot = window.distancePlot();
    QCOMPARE(plot.threshold(), int(defaultThresholdDbm(false)));
    for (const records::Exchange& e : walk(3000, true, true, 7))
        rec.onExchange(e);
    SensitivityPage& page = window.sensitivityPage();
    page.refit();
    const Sensitivity& s = page.analysis(SensitivityPage::Far).sensitivity;
    QCOMPARE(s.lostLevel, LostLevel::PathLoss);
    QVERIFY(s.p50 && s.p90);
    QVERIFY2(std::abs(s.p50->value - -112) < 1.5, qPrintable(QString::number(s.p50->value)));
    QVERIFY(s.p50->low < s.p50->value && s.p50->value < s.p50->high);
    QVERIFY(std::abs(s.p90->value - (-112 + 2 * std::log(9.0))) < 2);
    // The table holds every bin; the figures name how the lost got a level.
    auto* bins = window.findChild<QTableWidget*>(QStringLiteral("SensitivityBins"));
    QVERIFY(bins);
    QCOMPARE(bins->rowCount(), int(s.bins.size()));
    QVERIFY(bins->rowCount() > 10);
    const QString figures = window.findChild<QLabel*>(QStringLiteral("SensitivityFigures"))->text();
    QVERIFY2(figures.contains(QStringLiteral("成功率 90 %: ")) && figures.contains(QStringLiteral("伝搬損失則")),
             qPrintable(figures));
    for (const char* name : {"SensitivityLevel", "SensitivityChart", "SensitivityBins", "SensitivityFigures"}) {
        auto* w = window.findChild<QWidget*>(QLatin1String(name));
        QVERIFY2(w && w->accessibleName() == QLatin1String(name), name);
    }
    window.findChild<QComboBox*>(QStringLiteral("SensitivityLevel"))->setCurrentIndex(SensitivityPage::Margin);
    QVERIFY(window.findChild<QLabel*>(QStringLiteral("SensitivityFigures"))->text().contains(QStringLiteral(" dB (")));

    // The reach threshold is the measured 90 % level, until set by hand.
    QCOMPARE(plot.threshold(), int(std::lround(s.p90->value)));
    plot.setThreshold(-120);
    page.refit();
    QCOMPARE(plot.threshold(), -120);

    QStringList offered;
    window.setSavePathChooser([&](const QString& suggested) {
        offered << QFileInfo(suggested).fileName();
        return dir.filePath(QFileInfo(suggested).fileName());
    });
    window.resize(1000, 700);
    window.show();
    window.findChild<QPushButton*>(QStringLiteral("SensitivitySavePng"))->click();
    QCOMPARE(offered, QStringList{QStringLiteral("240501_FSK_walk.sensitivity.png")});
    const QImage picture(dir.filePath(offered[0]));
    QVERIFY(!picture.isNull() && picture.width() > 400);
    window.hide();

    records::RunEnd end;
    end.runId = 1;
    rec.onRunEnd(end);
    QFile report(rec.summaryPath());
    QVERIFY(report.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(report.readAll());
    QVERIFY2(text.contains(QStringLiteral("感度 (95 % 区間)")) && text.contains(QStringLiteral("(90 % 感度)")),
             qPrintable(text));
}

void AnalysisSensitivityTest::fitsKnowTheirLimits() {
    const auto far = [](const std::vector<records::Exchange>& run) {
        LevelSeries series;
        for (const records::Exchange& e : run)
            series.add(e);
        return analyseLevels(series.far, -105);
    };
    // Nothing lost: no curve, and the path loss is least squares with the
    // reach at the default threshold.
    std::vector<records::Exchange> all = walk(400, true, true, 3);
    for (records::Exchange& e : all)
        if (e.outcome == records::Outcome::Lost) {
            e.outcome = records::Outcome::Answered;
            e.farRssi = -125;
        }
    const LevelAnalysis none = far(all);
    QVERIFY(!none.sensitivity.p50);
    QVERIFY(none.reach && none.reach->nSe && none.reach->censored == 0);
    QVERIFY(!none.reach->thresholdMeasured && *none.reach->thresholdDbm == -105);
    QVERIFY(none.reach->reachM && none.reach->reachM->low < none.reach->reachM->value);

    // Losses the level does not explain (one in ten everywhere): they are
    // no censoring, and no curve claims a sensitivity.
    const LevelAnalysis random = far(walk(2000, true, false, 4));
    QVERIFY(!random.sensitivity.p90 || random.sensitivity.p90->value < -130);
    QVERIFY(random.reach && std::abs(random.reach->fit.exponent - 3) < 0.2);

    // Without distances the lost take their neighbours' median level; no
    // path loss.
    const LevelAnalysis plain = far(walk(3000, false, true, 5));
    QCOMPARE(plain.sensitivity.lostLevel, LostLevel::Neighbours);
    QVERIFY(plain.sensitivity.p50 && std::abs(plain.sensitivity.p50->value - -112) < 4);
    QVERIFY(!plain.reach);
}

QTEST_MAIN(AnalysisSensitivityTest)
#include "analysis_sensitivity_test.moc"
