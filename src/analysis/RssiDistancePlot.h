#pragma once
// Far-end and answer RSSI against the distance from the datum point, on a
// logarithmic distance axis, with the log-distance path-loss fit of each
// (PathLoss.h) drawn as a line, the threshold the operator sets (the floor
// noise, a receiver's sensitivity) as a level, and the fitted figures: the
// exponent, the level at 1 m and the distance where the fit reaches the
// threshold.
//
// The distance is Hubeny's from the datum point set here; without one, the
// distance the record carries (the main window's, from its datum point).
// Exchanges without a usable position or a distance are left out, as are
// distances under PathLoss's kMinDistanceM.
//
// Exchanges are noted as they come; the dots, the fit and the figures
// follow at most every kFlushMs, and not while the plot is hidden. A dot
// is drawn once per (distance to 1 %, dBm): a long walk adds few. The fits
// come from running sums (PathLossSums), so a refit costs the same at the
// millionth sample as at the tenth; only a new datum point, which moves
// every distance, goes over the samples again.
#include "analysis/CoverageGrid.h"
#include "stats/PathLoss.h"
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
    // The starting threshold: defaultThresholdDbm (Sensitivity.h) of FSK;
    // the analysis window sets the run's mode's and the measured level.
    static constexpr int kDefaultThresholdDbm = -105;

    explicit RssiDistancePlot(QWidget* parent = nullptr);

    // As CoverageMap::setDatum: 0 latitude or longitude means none.
    void setDatum(double latitude, double longitude);
    void clearDatum();
    void setThreshold(int dbm);
    int threshold() const;
    // The threshold becomes the mean floor noise seen (the button); no
    // change before any noise was seen.
    void useNoiseThreshold();

    void clear();
    void addExchange(const records::Exchange& e);
    // Brings the dots, the fits and the figures up to date now.
    void flush();
    void setShown(bool shown);

    std::optional<PathLossFit> farFit() const { return farFit_; }
    std::optional<PathLossFit> ackFit() const { return ackFit_; }
    int farSamples() const { return far_.samples(); }
    int ackSamples() const { return ack_.samples(); }
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
        double lat, lon;
        std::optional<double> distanceM;  // as the record carried it
        std::optional<int> far, ack;
    };
    std::optional<double> distanceOf(const Raw& r) const;
    void take(const Raw& r);
    void rebuild();
    void schedule();
    void showFit(const std::optional<PathLossFit>& fit, QLineSeries* line);
    QString fitText(const QString& name, const std::optional<PathLossFit>& fit) const;

    Datum datum_;
    std::vector<Raw> raw_;
    PathLossSums far_, ack_;
    std::set<std::pair<int, int>> farDots_, ackDots_;
    std::vector<QPointF> farPending_, ackPending_;
    double noiseSum_ = 0;
    int noiseCount_ = 0;
    double nearestM_ = 0, farthestM_ = 0;
    int lowDbm_ = 0, highDbm_ = 0;
    std::optional<PathLossFit> farFit_, ackFit_;
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
