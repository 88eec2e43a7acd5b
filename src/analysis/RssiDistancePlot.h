#pragma once
// Far-end and answer RSSI against the distance from the datum point, on a
// logarithmic distance axis, with the log-distance path-loss fit of each
// drawn as a line, the reach threshold as a level, and the fitted figures:
// the exponent and the level at 1 m with their standard errors, the
// shadowing spread, the distance range fitted on, and the distance where
// the fit reaches the threshold with its interval.
//
// The fits are analyseLevels' (Sensitivity.h): lost packets enter them as
// censored levels, the threshold is the measured 90 % level of the far-end
// RSSI (else the mode's default) until the operator sets one, so the page
// shows the figures of the run report and of `qvx-export --to summary` for
// the same records.
//
// The distance is the one the record carries (the main window's, from its
// datum point, with the height when it takes it), else Hubeny's from the
// datum point set here. Exchanges without a usable position or a distance
// have no dot, as have distances under PathLoss's kMinDistanceM.
//
// Exchanges are noted as they come; the dots follow at most every
// kFlushMs, and not while the plot is hidden. A dot is drawn once per
// (distance to 1 %, dBm): a long walk adds few. A fit goes over every
// point, so it runs on a thread of its own, one at a time, on a copy of
// the points: at most every kRefitRunUs of the run's own time, at once
// after the run's end, a new datum point or threshold, or a feed from the
// start (a file opened, a scrub back). flush() fits on the calling thread.
#include "analysis/CoverageGrid.h"
#include "stats/PathLoss.h"
#include "stats/Sensitivity.h"
#include "records/Exchange.h"

#include <QWidget>

#include <optional>
#include <set>
#include <utility>
#include <vector>

class QChart;
class QChartView;
class QLabel;
class QLineSeries;
class QLogValueAxis;
class QPushButton;
class QScatterSeries;
class QSpinBox;
class QValueAxis;

namespace analysis {

class RssiDistancePlot : public QWidget {
    Q_OBJECT
public:
    static constexpr int kFlushMs = 250;
    static constexpr std::int64_t kRefitRunUs = 5'000'000;
    // The starting threshold: defaultThresholdDbm (Sensitivity.h) of FSK.
    static constexpr int kDefaultThresholdDbm = -105;

    explicit RssiDistancePlot(QWidget* parent = nullptr);

    // As CoverageMap::setDatum: 0 latitude or longitude means none.
    void setDatum(double latitude, double longitude);
    void clearDatum();
    // The operator's threshold (the box, the noise button): the reach is
    // taken there from now on, in every run shown here.
    void setThreshold(int dbm);
    // The threshold in the box: the operator's, else the one the last fit
    // took (the measured 90 % level, rounded) or the mode's default.
    int threshold() const;
    bool thresholdSetByHand() const { return handThreshold_.has_value(); }
    // A measured far-end 90 % level (the sensitivity page's): shown in the
    // box until the operator sets one; the fit finds the same level itself.
    void showMeasuredThreshold(double dbm);
    // The threshold becomes the mean floor noise seen (the button); no
    // change before any noise was seen.
    void useNoiseThreshold();

    // A new run; lora picks the default threshold.
    void clear(bool lora = false);
    void addExchange(const records::Exchange& e);
    // The run ended: its last points are fitted at once.
    void runEnded();
    // Brings the dots, the fits and the figures up to date now.
    void flush();
    // What the plot's timer does while shown: the dots now, a fit on its
    // thread when one is due and none is running.
    void refresh();
    void setShown(bool shown);

    // The path-loss fits shown (the line and the figures).
    std::optional<PathLossFit> farFit() const;
    std::optional<PathLossFit> ackFit() const;
    const LevelAnalysis& farAnalysis() const { return farResult_; }
    const LevelAnalysis& ackAnalysis() const { return ackResult_; }
    int farSamples() const { return farSamples_; }
    int ackSamples() const { return ackSamples_; }
    // The fits' work: fits started (each over every point, the points of
    // the last one), and whether one is running on its thread.
    int fitsStarted() const { return fitsStarted_; }
    std::size_t lastFitPoints() const { return lastFitPoints_; }
    bool fitting() const { return inFlight_; }
    // Dots the two scatter series hold (the work of a redraw).
    int drawnDots() const;
    QChartView* chartView() const { return view_; }
    QLabel* figures() const { return figures_; }
    // PNG or SVG (by suffix) of the plot and its figures at the plot's size.
    bool savePicture(const QString& path, QString* error = nullptr);

signals:
    // A save button: "png" or "svg".
    void saveRequested(const QString& suffix);

private:
    struct Raw {
        std::int64_t atUs;
        bool placed;                      // a usable position
        double lat, lon;
        std::optional<double> distanceM;  // as the record carried it
        std::optional<int> far, ack;
        bool answered;
    };
    struct Fit;
    std::optional<double> distanceOf(const Raw& r) const;
    void take(const Raw& r);
    void rebuild();
    void schedule();
    void moveDots();
    std::optional<double> fitThreshold() const;
    bool fitDue() const;
    void startFit();
    void applyFit(const LevelAnalysis& far, const LevelAnalysis& ack);
    void showFits();
    void showFit(const std::optional<PathLossFit>& fit, QLineSeries* line);
    QString fitText(const QString& name, const LevelAnalysis& a) const;

    Datum datum_;
    std::vector<Raw> raw_;
    std::vector<LevelPoint> farPoints_, ackPoints_;  // as analyseLevels takes them
    int farSamples_ = 0, ackSamples_ = 0;            // dots' samples: answered, at a distance
    bool lora_ = false;
    std::optional<int> handThreshold_;
    LevelAnalysis farResult_, ackResult_;
    // The fits: of which points (a generation per feed from the start),
    // the run's time of the newest point fitted, and the one running.
    int generation_ = 0;
    int fittedGeneration_ = -1;
    std::size_t fittedPoints_ = 0;
    std::int64_t fittedAtUs_ = 0;
    bool refitNow_ = false;
    bool inFlight_ = false;
    int fitsStarted_ = 0;
    std::size_t lastFitPoints_ = 0;
    std::set<std::pair<int, int>> farDots_, ackDots_;
    std::vector<QPointF> farPending_, ackPending_;
    double noiseSum_ = 0;
    int noiseCount_ = 0;
    double nearestM_ = 0, farthestM_ = 0;
    int lowDbm_ = 0, highDbm_ = 0;
    bool any_ = false;  // a sample at kMinDistanceM or farther
    bool dirty_ = false, scheduled_ = false, shown_ = false;

    QChart* chart_ = nullptr;
    QChartView* view_ = nullptr;
    QLogValueAxis* x_ = nullptr;
    QValueAxis* y_ = nullptr;
    QScatterSeries* farDotsSeries_ = nullptr;
    QScatterSeries* ackDotsSeries_ = nullptr;
    QLineSeries* farLine_ = nullptr;
    QLineSeries* ackLine_ = nullptr;
    QLineSeries* thresholdLine_ = nullptr;
    QSpinBox* threshold_ = nullptr;
    QPushButton* noiseButton_ = nullptr;
    QLabel* figures_ = nullptr;
};

}  // namespace analysis
