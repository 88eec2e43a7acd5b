#include "analysis/RssiDistancePlot.h"
#include "analysis/ControlNames.h"

#include "analysis/Pictures.h"
#include "gps/Distance.h"

#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPainter>
#include <QPushButton>
#include <QScatterSeries>
#include <QSpinBox>
#include <QTimer>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace analysis {

namespace {

// How far past the farthest sample a threshold distance is still shown.
constexpr double kReachShownUpTo = 10;

const QColor kFarColour(0x20, 0x80, 0x20);
const QColor kAckColour(0x20, 0x40, 0xC0);

void name(QWidget* w, const QString& n) { nameControl(w, n); }

QScatterSeries* dots(const QString& title, const QColor& colour) {
    auto* s = new QScatterSeries;
    s->setName(title);
    s->setMarkerSize(6);
    QColor fill = colour;
    fill.setAlpha(150);  // the other series shows through
    s->setColor(fill);
    s->setBorderColor(Qt::transparent);
    return s;
}

QLineSeries* line(const QString& title, const QColor& colour, Qt::PenStyle style) {
    auto* s = new QLineSeries;
    s->setName(title);
    s->setPen(QPen(colour, 2, style));
    return s;
}

double decadeBelow(double v) { return std::pow(10.0, std::floor(std::log10(v))); }
double decadeAbove(double v) { return std::pow(10.0, std::ceil(std::log10(v) - 1e-9)); }

}  // namespace

RssiDistancePlot::RssiDistancePlot(QWidget* parent) : QWidget(parent) {
    name(this, QStringLiteral("RssiDistancePlot"));
    chart_ = new QChart;
    chart_->setTitle(QStringLiteral("距離と RSSI (対数距離モデル: RSSI = A − 10·n·log10(d / 1 m))"));
    chart_->setAnimationOptions(QChart::NoAnimation);
    chart_->setMargins(QMargins(4, 4, 4, 4));
    x_ = new QLogValueAxis;
    x_->setBase(10);
    x_->setTitleText(QStringLiteral("基準点からの距離 (m)"));
    x_->setLabelFormat(QStringLiteral("%g"));
    x_->setMinorTickCount(8);
    y_ = new QValueAxis;
    y_->setTitleText(QStringLiteral("dBm"));
    y_->setLabelFormat(QStringLiteral("%g"));
    chart_->addAxis(x_, Qt::AlignBottom);
    chart_->addAxis(y_, Qt::AlignLeft);
    farDotsSeries_ = dots(QStringLiteral("相手受信 RSSI"), kFarColour);
    ackDotsSeries_ = dots(QStringLiteral("自局受信 RSSI"), kAckColour);
    farLine_ = line(QStringLiteral("相手受信の近似"), kFarColour.darker(140), Qt::SolidLine);
    ackLine_ = line(QStringLiteral("自局受信の近似"), kAckColour.darker(140), Qt::SolidLine);
    thresholdLine_ = line(QStringLiteral("しきい値"), QColor(0xB0, 0x30, 0x30), Qt::DashLine);
    for (QXYSeries* s : std::initializer_list<QXYSeries*>{farDotsSeries_, ackDotsSeries_, farLine_, ackLine_,
                                                         thresholdLine_}) {
        chart_->addSeries(s);
        s->attachAxis(x_);
        s->attachAxis(y_);
    }
    chart_->legend()->setAlignment(Qt::AlignBottom);
    view_ = new QChartView(chart_, this);
    name(view_, QStringLiteral("RssiDistanceChart"));
    view_->setAccessibleDescription(chart_->title());
    view_->setRenderHint(QPainter::Antialiasing);
    // Whole repaints: partial ones of a chart whose axes moved leave stale
    // patches (as the analysis window's plots).
    view_->setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    view_->setMinimumSize(320, 240);

    threshold_ = new QSpinBox;
    name(threshold_, QStringLiteral("PathLossThreshold"));
    threshold_->setRange(-160, 0);
    threshold_->setSuffix(QStringLiteral(" dBm"));
    threshold_->setValue(kDefaultThresholdDbm);
    threshold_->setKeyboardTracking(false);
    noiseButton_ = new QPushButton(QStringLiteral("ノイズ平均を使う"));
    name(noiseButton_, QStringLiteral("PathLossUseNoise"));
    noiseButton_->setEnabled(false);
    auto* png = new QPushButton(QStringLiteral("PNG 保存"));
    name(png, QStringLiteral("DistanceSavePng"));
    auto* svg = new QPushButton(QStringLiteral("SVG 保存"));
    name(svg, QStringLiteral("DistanceSaveSvg"));
    figures_ = new QLabel;
    name(figures_, QStringLiteral("PathLossFigures"));
    figures_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("しきい値")));
    row->addWidget(threshold_);
    row->addWidget(noiseButton_);
    row->addStretch(1);
    row->addWidget(png);
    row->addWidget(svg);
    auto* all = new QVBoxLayout(this);
    all->setContentsMargins(0, 0, 0, 0);
    all->addLayout(row);
    all->addWidget(view_, 1);
    all->addWidget(figures_);

    connect(threshold_, &QSpinBox::valueChanged, this, &RssiDistancePlot::schedule);
    connect(noiseButton_, &QPushButton::clicked, this, &RssiDistancePlot::useNoiseThreshold);
    connect(png, &QPushButton::clicked, this, [this] { emit saveRequested(QStringLiteral("png")); });
    connect(svg, &QPushButton::clicked, this, [this] { emit saveRequested(QStringLiteral("svg")); });
    clear();
}

void RssiDistancePlot::setDatum(double latitude, double longitude) {
    const Datum d = datumOf(latitude, longitude);
    if (d == datum_)
        return;
    datum_ = d;
    rebuild();
}

void RssiDistancePlot::clearDatum() { setDatum(0, 0); }

void RssiDistancePlot::setThreshold(int dbm) { threshold_->setValue(dbm); }
int RssiDistancePlot::threshold() const { return threshold_->value(); }

void RssiDistancePlot::clear() {
    raw_.clear();
    noiseSum_ = 0;
    noiseCount_ = 0;
    noiseButton_->setEnabled(false);
    rebuild();
}

void RssiDistancePlot::rebuild() {
    far_.clear();
    ack_.clear();
    farDots_.clear();
    ackDots_.clear();
    farPending_.clear();
    ackPending_.clear();
    farDotsSeries_->clear();
    ackDotsSeries_->clear();
    nearestM_ = farthestM_ = 0;
    lowDbm_ = highDbm_ = 0;
    any_ = false;
    for (const Raw& r : raw_)
        take(r);
    schedule();
}

std::optional<double> RssiDistancePlot::distanceOf(const Raw& r) const {
    if (datum_)
        return hubeny::distance(r.lat, r.lon, datum_->first, datum_->second);
    return r.distanceM;
}

void RssiDistancePlot::take(const Raw& r) {
    const std::optional<double> d = distanceOf(r);
    if (!d || !(*d >= kMinDistanceM))
        return;
    const int bin = int(std::lround(std::log10(*d) * 200));  // 1/200 decade: about 1 %
    const bool first = !any_;
    auto note = [&](std::optional<int> v, PathLossSums& sums, std::set<std::pair<int, int>>& seen,
                    std::vector<QPointF>& pending) {
        if (!v)
            return;
        sums.add({*d, double(*v)});
        lowDbm_ = any_ ? std::min(lowDbm_, *v) : *v;
        highDbm_ = any_ ? std::max(highDbm_, *v) : *v;
        any_ = true;
        if (seen.insert({bin, *v}).second)
            pending.emplace_back(*d, *v);
    };
    note(r.far, far_, farDots_, farPending_);
    note(r.ack, ack_, ackDots_, ackPending_);
    if (!any_)
        return;
    nearestM_ = first ? *d : std::min(nearestM_, *d);
    farthestM_ = std::max(farthestM_, *d);
}

void RssiDistancePlot::addExchange(const records::Exchange& e) {
    if (e.noise) {
        noiseSum_ += *e.noise;
        ++noiseCount_;
        noiseButton_->setEnabled(true);
    }
    if (!e.position || !e.position->usable() || (!e.farRssi && !e.ackRssi))
        return;
    raw_.push_back({e.position->lat, e.position->lon, e.position->distanceM, e.farRssi, e.ackRssi});
    take(raw_.back());
    schedule();
}

void RssiDistancePlot::useNoiseThreshold() {
    if (noiseCount_)
        setThreshold(int(std::lround(noiseSum_ / noiseCount_)));
}

void RssiDistancePlot::setShown(bool shown) {
    shown_ = shown;
    if (shown_ && dirty_)
        schedule();
}

void RssiDistancePlot::schedule() {
    dirty_ = true;
    if (scheduled_ || !shown_)
        return;
    scheduled_ = true;
    QTimer::singleShot(kFlushMs, this, &RssiDistancePlot::flush);
}

void RssiDistancePlot::showFit(const std::optional<PathLossFit>& fit, QLineSeries* l) {
    if (!fit) {
        l->clear();
        return;
    }
    l->replace(QList<QPointF>{{x_->min(), fit->levelAt(x_->min())}, {x_->max(), fit->levelAt(x_->max())}});
}

QString RssiDistancePlot::fitText(const QString& title, const std::optional<PathLossFit>& fit) const {
    if (!fit)
        return title + QStringLiteral(": 近似なし (2 つ以上の距離の点が必要)");
    const std::optional<double> reach = fit->distanceAt(threshold());
    // A nearly flat fit crosses the threshold absurdly far away; past ten
    // times the measured range the figure says only that.
    const QString reachText = !reach ? QStringLiteral("-")
        : *reach > kReachShownUpTo * fit->farthestM ? QStringLiteral("測定範囲の 10 倍超")
                                                    : QString::number(*reach, 'f', 0) + QStringLiteral(" m");
    return QStringLiteral("%1: n = %2, A(1 m) = %3 dBm, %4 dBm 到達 %5  (%6 点, 残差 %7 dB)")
        .arg(title, QString::number(fit->exponent, 'f', 2), QString::number(fit->referenceDbm, 'f', 1))
        .arg(threshold())
        .arg(reachText)
        .arg(fit->samples)
        .arg(QString::number(fit->rmsErrorDb, 'f', 1));
}

void RssiDistancePlot::flush() {
    scheduled_ = false;
    if (!dirty_)
        return;
    dirty_ = false;
    auto move = [](std::vector<QPointF>& pending, QScatterSeries* s) {
        if (pending.empty())
            return;
        QList<QPointF> all = s->points();
        all += QList<QPointF>(pending.begin(), pending.end());
        pending.clear();
        s->replace(all);
    };
    move(farPending_, farDotsSeries_);
    move(ackPending_, ackDotsSeries_);
    farFit_ = far_.fit();
    ackFit_ = ack_.fit();

    // The distance axis: whole decades around the samples, and far enough
    // to show where a fit reaches the threshold (up to ten times the
    // farthest sample).
    double lo = any_ ? nearestM_ : 1;
    double hi = any_ ? farthestM_ : 1000;
    for (const auto& fit : {farFit_, ackFit_})
        if (fit)
            if (const auto reach = fit->distanceAt(threshold()); reach && *reach < farthestM_ * 10)
                hi = std::max(hi, *reach);
    x_->setRange(decadeBelow(lo), std::max(decadeAbove(hi), decadeBelow(lo) * 10));
    const double low = std::min(double(any_ ? lowDbm_ : -120), double(threshold()));
    const double high = any_ ? highDbm_ : -30;
    const double bottom = std::floor((low - 5) / 10) * 10, top = std::ceil((high + 5) / 10) * 10;
    y_->setRange(bottom, top);
    const int tens = int(std::lround((top - bottom) / 10));
    y_->setTickCount(tens <= 12 ? tens + 1 : tens / 2 + 1);  // a line every 10 or 20 dB
    showFit(farFit_, farLine_);
    showFit(ackFit_, ackLine_);
    thresholdLine_->replace(QList<QPointF>{{x_->min(), double(threshold())}, {x_->max(), double(threshold())}});
    figures_->setText(fitText(QStringLiteral("相手受信"), farFit_) + QLatin1Char('\n') +
                      fitText(QStringLiteral("自局受信"), ackFit_));
}

int RssiDistancePlot::drawnDots() const { return farDotsSeries_->count() + ackDotsSeries_->count(); }

bool RssiDistancePlot::savePicture(const QString& path, QString* error) {
    flush();
    // The chart lays its axes out in posted events: let them run first.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const QSize chartSize = view_->size().isEmpty() ? QSize(900, 600) : view_->size();
    return writeChartWithFigures(
        path, chartSize, chart_->title(),
        [&](QPainter& p, const QSize& s) { view_->render(&p, QRectF(QPointF(0, 0), s)); }, figures_->text(), font(),
        figures_->sizeHint().height(), error);
}

}  // namespace analysis
