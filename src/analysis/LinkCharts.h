#pragma once
// The four plots of the analysis window: the rolling error rate against the
// packet count, the round-trip histogram, far/answer RSSI and floor noise
// against the run's time, and the margin against time.
//
// Exchanges are noted as they come (cheap); their points, the axes and the
// histogram reach the plots at most every kFlushMs (flush()), and not at
// all while the plots are hidden, so a fast cycle repaints them a few times
// a second rather than once per exchange. The line plots keep the most recent
// kMaxPoints exchanges; the histogram covers the whole run (round trips
// counted per 0.1 ms).
#include "stats/LinkStatistics.h"
#include "records/Exchange.h"

#include <QList>
#include <QObject>
#include <QPointF>

#include <map>
#include <optional>

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

    // Points each line plot holds (tests and the cost figures read them).
    int rollingPoints() const;
    int rssiPoints() const;
    int marginPoints() const;
    int histogramTotal() const { return histogramTotal_; }

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
        QList<QPointF> pending;  // points not yet in the series
    };
    static void append(Line& l, const QPointF& point);
    static void move(Line& l);
    void schedule();
    void rebuildHistogram();

    Plot rolling_, histogram_, rssi_, margin_;
    Line rollingLine_, farLine_, ackLine_, noiseLine_, marginLine_;
    QLineSeries* histogramLine_ = nullptr;

    std::optional<std::int64_t> originUs_;
    std::int64_t firstPacket_ = 0;
    std::int64_t lastPacket_ = 0;
    double lastSeconds_ = 0;
    std::optional<double> dbmLow_, dbmHigh_, dbLow_, dbHigh_;
    std::map<std::int64_t, int> rttTenths_;  // round trip in 0.1 ms -> count
    int histogramTotal_ = 0;
    bool dirty_ = false;
    bool scheduled_ = false;
    bool visible_ = false;
};

}  // namespace analysis
