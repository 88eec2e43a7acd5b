#include "analysis/LinkCharts.h"

#include "analysis/Decimation.h"
#include "stats/Histogram.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QPen>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QTimer>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace analysis {

namespace {

constexpr int kHistogramBins = 30;
constexpr int kDotsBelow = 100;
constexpr int kUnlaidColumns = 600;  // a plot not laid out yet

// A 1, 2 or 5 times a power of ten near x: at or above it (ceiling) or the
// nearest.
double niceNumber(double x, bool ceiling) {
    const double z = std::pow(10.0, std::floor(std::log10(x)));
    const double q = x / z;
    if (ceiling)
        return (q <= 1 ? 1 : q <= 2 ? 2 : q <= 5 ? 5 : 10) * z;
    return (q < 1.5 ? 1 : q < 3 ? 2 : q < 7 ? 5 : 10) * z;
}

// [lo, hi] widened to whole nice steps, as QValueAxis::applyNiceNumbers()
// after setRange(lo, hi) makes it (from the axis's present tick count), but
// handed to the axis only when it differs from what the axis shows: every
// range the axis takes lays its labels out again, and a flush that set the
// raw range and then the nice one cost two layouts of every axis for a
// range that mostly stays the same.
void span(QValueAxis* axis, double lo, double hi) {
    int ticks = axis->tickCount();
    if (hi > lo && ticks > 1) {
        const double range = niceNumber(hi - lo, true);
        const double step = niceNumber(range / (ticks - 1), false);
        const double first = std::floor(lo / step), last = std::ceil(hi / step);
        ticks = int(last - first) + 1;
        lo = first * step;
        hi = last * step;
    }
    if (axis->min() != lo || axis->max() != hi)
        axis->setRange(lo, hi);
    if (axis->tickCount() != ticks)
        axis->setTickCount(ticks);
}

// The smallest range of nice whole steps that holds [lo, hi] with a margin.
void fit(QValueAxis* axis, double lo, double hi, double minSpan) {
    if (hi - lo < minSpan) {
        const double mid = (lo + hi) / 2;
        lo = mid - minSpan / 2;
        hi = mid + minSpan / 2;
    }
    const double pad = (hi - lo) * 0.05;
    span(axis, std::floor(lo - pad), std::ceil(hi + pad));
}

void widen(std::optional<double>& lo, std::optional<double>& hi, const Spread& s) {
    if (!s.count())
        return;
    lo = lo ? std::min(*lo, *s.min()) : *s.min();
    hi = hi ? std::max(*hi, *s.max()) : *s.max();
}

}  // namespace

LinkCharts::LinkCharts(QWidget* parent) : QObject(parent) {
    rolling_ = makePlot(parent, QStringLiteral("RollingPerChart"), QStringLiteral("直近誤り率"),
                        QStringLiteral("パケット番号"), QStringLiteral("誤り率 (%)"));
    rollingLine_.series = addLine(rolling_, QStringLiteral("直近誤り率"), QColor(0xC0, 0x30, 0x30));
    rolling_.y->setRange(0, 100);

    histogram_ = makePlot(parent, QStringLiteral("RttHistogram"), QStringLiteral("往復時間の分布"),
                          QStringLiteral("往復時間 (ms)"), QStringLiteral("回数"));
    histogramLine_ = new QLineSeries(this);
    auto* area = new QAreaSeries(histogramLine_);
    area->setName(QStringLiteral("往復時間"));
    area->setColor(QColor(0x40, 0x80, 0xC0));
    area->setBorderColor(QColor(0x20, 0x50, 0x90));
    histogram_.chart->addSeries(area);
    area->attachAxis(histogram_.x);
    area->attachAxis(histogram_.y);

    rssi_ = makePlot(parent, QStringLiteral("RssiChart"), QStringLiteral("RSSI とノイズ"),
                     QStringLiteral("経過時間 (s)"), QStringLiteral("dBm"));
    // The levels in dBm share this plot; differences of levels (dB) have
    // the next one.
    const auto addLevels = [this](Plot& p, bool dbm) {
        for (const records::Signal& s : records::kSignals)
            if (inDbm(s) == dbm)
                levelLines_[s].series = addLine(p, QString::fromUtf8(s.caption), QColor(QRgb(s.rgb)));
    };
    addLevels(rssi_, true);
    rssi_.chart->legend()->setVisible(true);
    rssi_.chart->legend()->setAlignment(Qt::AlignBottom);

    margin_ = makePlot(parent, QStringLiteral("MarginChart"), QStringLiteral("マージン (自局受信 RSSI − ノイズ)"),
                       QStringLiteral("経過時間 (s)"), QStringLiteral("dB"));
    addLevels(margin_, false);
    clear();
}

LinkCharts::Plot LinkCharts::makePlot(QWidget* parent, const QString& name, const QString& title,
                                      const QString& xTitle, const QString& yTitle) {
    Plot p;
    p.chart = new QChart;
    p.chart->setTitle(title);
    p.chart->legend()->setVisible(false);
    p.chart->setAnimationOptions(QChart::NoAnimation);
    p.chart->setMargins(QMargins(4, 4, 4, 4));
    p.x = new QValueAxis;
    p.y = new QValueAxis;
    p.x->setTitleText(xTitle);
    p.y->setTitleText(yTitle);
    p.x->setLabelFormat(QStringLiteral("%g"));
    p.y->setLabelFormat(QStringLiteral("%g"));
    p.chart->addAxis(p.x, Qt::AlignBottom);
    p.chart->addAxis(p.y, Qt::AlignLeft);
    p.view = new QChartView(p.chart, parent);  // the view owns the chart
    p.view->setObjectName(name);
    p.view->setAccessibleName(name);
    p.view->setAccessibleDescription(title);
    p.view->setRenderHint(QPainter::Antialiasing, false);
    p.view->setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    p.view->setMinimumSize(320, 200);
    // A new width asks for new columns.
    connect(p.chart, &QChart::plotAreaChanged, this, [this] { schedule(); });
    return p;
}

QLineSeries* LinkCharts::addLine(Plot& p, const QString& name, const QColor& colour) {
    auto* s = new QLineSeries;
    s->setName(name);
    s->setPen(QPen(colour, 0));  // cosmetic: drawn without stroking
    s->setMarkerSize(5);
    p.chart->addSeries(s);
    s->attachAxis(p.x);
    s->attachAxis(p.y);
    return s;
}

void LinkCharts::clear() {
    for (Line* l : allLines()) {
        l->series->clear();
        l->points.clear();
    }
    histogramLine_->clear();
    originUs_.reset();
    firstPacket_ = lastPacket_ = 0;
    lastSeconds_ = 0;
    dbmLow_ = dbmHigh_ = dbLow_ = dbHigh_ = std::nullopt;
    rttTenths_.clear();
    histogramTotal_ = 0;
    rolling_.x->setRange(0, 10);
    histogram_.x->setRange(0, 100);
    histogram_.y->setRange(0, 1);
    rssi_.x->setRange(0, 10);
    rssi_.y->setRange(-130, -30);
    margin_.x->setRange(0, 10);
    margin_.y->setRange(0, 50);
    dirty_ = false;
}

void LinkCharts::append(Line& l, const QPointF& point) {
    l.points.push_back(point);
    if (l.points.size() > std::size_t(kMaxPoints))
        l.points.pop_front();
}

// The window's points, a column's extremes each, replace the series' in one
// go (appending point by point would lay the line out again for every one).
void LinkCharts::draw(Line& l, const Plot& p) {
    const int width = int(p.chart->plotArea().width());
    const int columns = width > 0 ? width : kUnlaidColumns;
    // A lone answer between losses draws no line: dots while the plot is sparse.
    l.series->setPointsVisible(l.points.size() < std::size_t(kDotsBelow));
    l.series->replace(decimateMinMax(l.points, p.x->min(), p.x->max(), columns));
}

void LinkCharts::addExchange(const records::Exchange& e, const Figures& f) {
    if (!originUs_) {
        originUs_ = e.sentUs;
        firstPacket_ = e.packet;
    }
    lastPacket_ = e.packet;
    const double t = double(e.sentUs - *originUs_) / 1e6;
    lastSeconds_ = t;
    if (f.rollingPer)
        append(rollingLine_, QPointF(double(e.packet), *f.rollingPer * 100));
    for (const records::Signal& s : records::kSignals)
        if (const std::optional<int> v = s.of(e))
            append(levelLines_[s], QPointF(t, *v));
    if (e.rttUs) {
        ++rttTenths_[(*e.rttUs + 50) / 100];
        ++histogramTotal_;
    }
    dbmLow_ = dbmHigh_ = dbLow_ = dbHigh_ = std::nullopt;
    for (const records::Signal& s : records::kSignals) {
        if (inDbm(s))
            widen(dbmLow_, dbmHigh_, f.levels[s]);
        else
            widen(dbLow_, dbHigh_, f.levels[s]);
    }
    schedule();
}

void LinkCharts::setVisible(bool visible) {
    visible_ = visible;
    if (visible_ && dirty_)
        schedule();
}

void LinkCharts::schedule() {
    dirty_ = true;
    if (scheduled_ || !visible_ || !ownTimer_)
        return;
    scheduled_ = true;
    QTimer::singleShot(kFlushMs, this, &LinkCharts::flush);
}

void LinkCharts::flush() {
    scheduled_ = false;
    if (!dirty_)
        return;
    dirty_ = false;
    ++flushes_;
    const std::deque<QPointF>& rolling = rollingLine_.points;
    const double firstPoint = rolling.empty() ? double(firstPacket_) : rolling.front().x();
    span(rolling_.x, firstPoint, std::max(firstPoint + 10, double(lastPacket_)));
    double firstTime = 0;
    for (const records::Signal& s : records::kSignals)
        if (const Line& l = levelLines_[s]; inDbm(s) && !l.points.empty())
            firstTime = std::max(firstTime, l.points.front().x());
    const double seconds = std::max(10.0, std::ceil(lastSeconds_ - firstTime));
    span(rssi_.x, std::floor(firstTime), std::floor(firstTime) + seconds);
    span(margin_.x, std::floor(firstTime), std::floor(firstTime) + seconds);
    if (dbmLow_)
        fit(rssi_.y, *dbmLow_, *dbmHigh_, 10);
    if (dbLow_)
        fit(margin_.y, *dbLow_, *dbHigh_, 10);
    draw(rollingLine_, rolling_);
    for (const records::Signal& s : records::kSignals)
        if (inDbm(s))
            draw(levelLines_[s], rssi_);
    for (const records::Signal& s : records::kSignals)
        if (!inDbm(s))
            draw(levelLines_[s], margin_);
    rebuildHistogram();
}

void LinkCharts::rebuildHistogram() {
    if (rttTenths_.empty()) {
        histogramLine_->clear();
        return;
    }
    const stats::HistogramBins bins = stats::binRoundTrips(rttTenths_, kHistogramBins);
    const std::vector<int>& counts = bins.counts;
    const double start = bins.start;
    const double width = bins.width;
    QList<QPointF> steps;
    steps.reserve(int(counts.size()) * 2 + 2);
    steps.append(QPointF(start, 0));
    int top = 1;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        steps.append(QPointF(start + double(i) * width, counts[i]));
        steps.append(QPointF(start + double(i + 1) * width, counts[i]));
        top = std::max(top, counts[i]);
    }
    steps.append(QPointF(start + double(counts.size()) * width, 0));
    histogramLine_->replace(steps);
    span(histogram_.x, start - width, start + double(counts.size() + 1) * width);
    span(histogram_.y, 0, std::ceil(top * 1.1));
}

std::vector<LinkCharts::Line*> LinkCharts::allLines() {
    std::vector<Line*> lines{&rollingLine_};
    for (Line& l : levelLines_.items)
        lines.push_back(&l);
    return lines;
}

bool LinkCharts::inDbm(const records::Signal& s) { return QLatin1String(s.unit) == QLatin1String("dBm"); }

int LinkCharts::rollingPoints() const { return int(rollingLine_.points.size()); }
int LinkCharts::rssiPoints() const { return int(levelLines_[records::Level::FarRssi].points.size()); }
int LinkCharts::marginPoints() const { return int(levelLines_[records::Level::Margin].points.size()); }

int LinkCharts::drawnPoints() const {
    int n = histogramLine_->count();
    n += rollingLine_.series->count();
    for (const Line& l : levelLines_.items)
        n += l.series->count();
    return n;
}

}  // namespace analysis
