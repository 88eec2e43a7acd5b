#pragma once
// The four plots of the analysis window: the rolling error rate against the
// packet count, the round-trip histogram, far/answer RSSI and floor noise
// against the run's time, and the margin against time.
//
// Exchanges are noted as they come (cheap); their points, the axes and the
// histogram reach the plots at most every kFlushMs (flush()), and not at
// all while the plots are hidden, so a fast cycle repaints them a few times
// a second rather than once per exchange. The line plots cover the most
// recent kMaxPoints exchanges; what a series draws is that window reduced to
// the lowest and highest point of each pixel column (Decimation.h), so a
// redraw strokes at most about twice the plot's width in points however
// long the run. The histogram covers the whole run (round trips counted per
// 0.1 ms, drawn as at most a few dozen bins). Each plot repaints its whole
// view at a change: partial repaints of a chart whose axes moved left
// erased patches of grid and line behind.
#include "stats/LinkStatistics.h"
#include "records/Exchange.h"
#include "records/Signals.h"

#include <QList>
#include <QObject>
#include <QPointF>

#include <deque>
#include <map>
#include <optional>
#include <vector>

class QChart;
class QColor;
class QChartView;
class QLineSeries;
class QValueAxis;
class QWidget;

namespace analysis {

class LinkCharts : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxPoints = 4000;
    static constexpr int kFlushMs = 250;

    explicit LinkCharts(QWidget* parent);

    QChartView* rollingView() const { return rolling_.view; }
    QChartView* histogramView() const { return histogram_.view; }
    QChartView* rssiView() const { return rssi_.view; }
    QChartView* marginView() const { return margin_.view; }

    void clear();
    void addExchange(const records::Exchange& e, const Figures& f);
    // Recomputes the axes and the histogram now if anything changed.
    void flush();
    // While hidden, flush() waits for the next show.
    void setVisible(bool visible);
    // Off: no flush of its own after kFlushMs; the owner calls flush() (the
    // analysis window does, in the same pass as its figures).
    void setOwnTimer(bool on) { ownTimer_ = on; }

    // Points each line plot covers (tests and the cost figures read them).
    int rollingPoints() const;
    int rssiPoints() const;
    int marginPoints() const;
    int histogramTotal() const { return histogramTotal_; }
    // Points the series hand to the chart to draw, over every plot, and how
    // many flushes laid them out (the work of a redraw).
    int drawnPoints() const;
    int flushes() const { return flushes_; }

private:
    struct Plot {
        QChart* chart = nullptr;
        QChartView* view = nullptr;
        QValueAxis* x = nullptr;
        QValueAxis* y = nullptr;
    };
    Plot makePlot(QWidget* parent, const QString& name, const QString& title, const QString& xTitle,
                  const QString& yTitle);
    QLineSeries* addLine(Plot& p, const QString& name, const QColor& colour);
    struct Line {
        QLineSeries* series = nullptr;
        std::deque<QPointF> points;  // the most recent kMaxPoints
    };
    static void append(Line& l, const QPointF& point);
    static void draw(Line& l, const Plot& p);
    void schedule();
    void rebuildHistogram();

    Plot rolling_, histogram_, rssi_, margin_;
    // The rolling error rate's line, then one per level of records::kSignals.
    std::vector<Line*> allLines();
    static bool inDbm(const records::Signal& s);

    Line rollingLine_;
    records::PerLevel<Line> levelLines_;
    QLineSeries* histogramLine_ = nullptr;

    std::optional<std::int64_t> originUs_;
    std::int64_t firstPacket_ = 0;
    std::int64_t lastPacket_ = 0;
    double lastSeconds_ = 0;
    std::optional<double> dbmLow_, dbmHigh_, dbLow_, dbHigh_;
    std::map<std::int64_t, int> rttTenths_;  // round trip in 0.1 ms -> count
    int histogramTotal_ = 0;
    int flushes_ = 0;
    bool dirty_ = false;
    bool scheduled_ = false;
    bool visible_ = false;
    bool ownTimer_ = true;
};

}  // namespace analysis
