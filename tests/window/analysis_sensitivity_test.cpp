// The sensitivity page and the reach threshold fed records: a walk whose
// losses follow a known logistic law gives bins, a curve and levels near
// the law's, the distance page's threshold follows the measured 90 % level
// until the operator sets one, the page's picture and the run report carry
// them; the distance page shows the summary's fits of the run's own
// stream, refitted on its own thread a bounded number of times; and the
// fits' limits: runs without losses, with losses the level does not
// explain, and without distances.
#include "analysis/AnalysisWindow.h"
#include "analysis/RssiDistancePlot.h"
#include "analysis/RunRecorder.h"
#include "analysis/SensitivityPage.h"
#include "export/RunFiles.h"
#include "export/Summary.h"
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
    void distancePageShowsTheSummarysFits();
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

namespace {

void sameEstimate(const std::optional<Estimate>& a, const std::optional<Estimate>& b) {
    QCOMPARE(a.has_value(), b.has_value());
    if (a) {
        QCOMPARE(a->value, b->value);
        QCOMPARE(a->low, b->low);
        QCOMPARE(a->high, b->high);
    }
}

void sameReach(const std::optional<Reach>& page, const std::optional<Reach>& summary) {
    QVERIFY(page && summary);
    QCOMPARE(page->fit.exponent, summary->fit.exponent);
    QCOMPARE(page->fit.referenceDbm, summary->fit.referenceDbm);
    QCOMPARE(page->fit.samples, summary->fit.samples);
    QCOMPARE(page->nSe, summary->nSe);
    QCOMPARE(page->aSe, summary->aSe);
    sameEstimate(page->sigma, summary->sigma);
    sameEstimate(page->reachM, summary->reachM);
    QCOMPARE(page->thresholdDbm, summary->thresholdDbm);
    QCOMPARE(page->thresholdMeasured, summary->thresholdMeasured);
    QCOMPARE(page->censored, summary->censored);
}

}  // namespace

// The run fed live with the distance page in view: it refits on its own
// thread as the run goes, once per kRefitRunUs of the run's time at most
// (never per exchange), and after the end its figures are those of
// `qvx-export --to summary` over the run's own stream, threshold included.
void AnalysisSensitivityTest::distancePageShowsTheSummarysFits() {
    QTemporaryDir dir;
    RunRecorder rec(dir.path());
    AnalysisWindow window(rec, {});
    records::RunStart start;
    start.runId = 1;
    start.commLog = QStringLiteral("240501_FSK_walk.log");
    rec.onRunStart(start);
    RssiDistancePlot& plot = window.distancePlot();
    // 50 ms apart: a minute of run, a dozen fits.
    std::vector<records::Exchange> run = walk(1200, true, true, 11);
    for (std::size_t i = 0; i < run.size(); ++i)
        run[i].sentUs = std::int64_t(i) * 50'000;
    for (const records::Exchange& e : run) {
        rec.onExchange(e);
        plot.refresh();  // as the page's timer would, however often
        if (plot.fitting())
            QTRY_VERIFY_WITH_TIMEOUT(!plot.fitting(), 20000);
    }
    // 60 s of run: a fit per 5 s at most.
    const int fits = plot.fitsStarted();
    const int most = int((run.back().sentUs - run.front().sentUs) / RssiDistancePlot::kRefitRunUs) + 1;
    QVERIFY2(fits <= most && fits >= most - 2, qPrintable(QStringLiteral("%1 fits, %2 at most").arg(fits).arg(most)));
    records::RunEnd end;
    end.runId = 1;
    rec.onRunEnd(end);
    plot.refresh();
    QCOMPARE(plot.fitsStarted(), fits + 1);  // the end's points at once
    QTRY_VERIFY_WITH_TIMEOUT(!plot.fitting(), 20000);
    // Every point in the last fit: far and answer levels of 1200 exchanges.
    QCOMPARE(plot.lastFitPoints(), std::size_t(2 * 1200));
    plot.refresh();
    QCOMPARE(plot.fitsStarted(), fits + 1);  // nothing new: no fit

    exportdata::SummarySink sink;
    QVERIFY(exportdata::readRunFile(rec.streamPath(), sink));
    const exportdata::SummarySink::Result summary = sink.result();
    sameReach(plot.farAnalysis().reach, summary.far.reach);
    sameReach(plot.ackAnalysis().reach, summary.ack.reach);
    QVERIFY(summary.far.reach->thresholdMeasured && summary.far.reach->censored > 50);
    // The figures say so: n with its standard error, A, sigma, the reach
    // with its interval, the threshold and where it came from.
    const Reach& far = *summary.far.reach;
    const QString text = plot.figures()->text();
    for (const QString& part : {QStringLiteral("n = %1 (SE %2)").arg(far.fit.exponent, 0, 'f', 2).arg(*far.nSe, 0, 'f', 3),
                                QStringLiteral("A(1 m) = %1 dBm").arg(far.fit.referenceDbm, 0, 'f', 1),
                                QStringLiteral("σ = %1 dB").arg(far.sigma->value, 0, 'f', 1),
                                QStringLiteral("%1 dBm 到達 %2 m (95 % %3 .. %4 m)")
                                    .arg(*far.thresholdDbm, 0, 'f', 1)
                                    .arg(far.reachM->value, 0, 'f', 0)
                                    .arg(far.reachM->low, 0, 'f', 0)
                                    .arg(far.reachM->high, 0, 'f', 0),
                                QStringLiteral("[しきい値: 90 % 感度 (実測)]")})
        QVERIFY2(text.contains(part), qPrintable(part + QStringLiteral("\n") + text));
    QCOMPARE(plot.threshold(), int(std::lround(*far.thresholdDbm)));
    QVERIFY(!plot.thresholdSetByHand());

    // The operator's threshold: the summary's with the same one.
    plot.setThreshold(-100);
    plot.flush();
    const exportdata::SummarySink::Result byHand = sink.result(-100.0);
    sameReach(plot.farAnalysis().reach, byHand.far.reach);
    QVERIFY(plot.figures()->text().contains(QStringLiteral("-100 dBm 到達")) &&
            plot.figures()->text().contains(QStringLiteral("[しきい値: 手動]")));
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
