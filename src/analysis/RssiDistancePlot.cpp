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
#include <QSignalBlocker>
#include <QSpinBox>
#include <QThread>
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
    nameControl(this, QStringLiteral("RssiDistancePlot"));
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
    nameControl(view_, QStringLiteral("RssiDistanceChart"));
    view_->setAccessibleDescription(chart_->title());
    view_->setRenderHint(QPainter::Antialiasing);
    // Whole repaints: partial ones of a chart whose axes moved leave stale
    // patches (as the analysis window's plots).
    view_->setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    view_->setMinimumSize(320, 240);

    threshold_ = new QSpinBox;
    nameControl(threshold_, QStringLiteral("PathLossThreshold"));
    threshold_->setRange(-160, 0);
    threshold_->setSuffix(QStringLiteral(" dBm"));
    threshold_->setValue(kDefaultThresholdDbm);
    threshold_->setKeyboardTracking(false);
    noiseButton_ = new QPushButton(QStringLiteral("ノイズ平均を使う"));
    nameControl(noiseButton_, QStringLiteral("PathLossUseNoise"));
    noiseButton_->setEnabled(false);
    auto* png = new QPushButton(QStringLiteral("PNG 保存"));
    nameControl(png, QStringLiteral("DistanceSavePng"));
    auto* svg = new QPushButton(QStringLiteral("SVG 保存"));
    nameControl(svg, QStringLiteral("DistanceSaveSvg"));
    figures_ = new QLabel;
    nameControl(figures_, QStringLiteral("PathLossFigures"));
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

    // A threshold typed or stepped is the operator's.
    connect(threshold_, &QSpinBox::valueChanged, this, [this](int dbm) {
        handThreshold_ = dbm;
        refitNow_ = true;
        schedule();
    });
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

void RssiDistancePlot::setThreshold(int dbm) {
    handThreshold_ = dbm;
    if (threshold_->value() == dbm) {
        refitNow_ = true;
        schedule();
        return;
    }
    threshold_->setValue(dbm);  // refits through valueChanged
}

int RssiDistancePlot::threshold() const { return threshold_->value(); }

void RssiDistancePlot::showMeasuredThreshold(double dbm) {
    if (handThreshold_)
        return;
    const QSignalBlocker block(threshold_);
    threshold_->setValue(int(std::lround(dbm)));
}

// The operator's threshold, else none: analyseLevels then takes the
// measured 90 % level or the mode's default, as the summary does.
std::optional<double> RssiDistancePlot::fitThreshold() const {
    return handThreshold_ ? std::optional<double>(*handThreshold_) : std::nullopt;
}

void RssiDistancePlot::clear(bool lora) {
    lora_ = lora;
    raw_.clear();
    noiseSum_ = 0;
    noiseCount_ = 0;
    noiseButton_->setEnabled(false);
    farResult_ = ackResult_ = {};
    if (!handThreshold_) {
        const QSignalBlocker block(threshold_);
        threshold_->setValue(int(defaultThresholdDbm(lora_)));
    }
    rebuild();
}

void RssiDistancePlot::rebuild() {
    ++generation_;
    farPoints_.clear();
    ackPoints_.clear();
    farSamples_ = ackSamples_ = 0;
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
    if (!r.placed)
        return std::nullopt;
    if (r.distanceM)
        return r.distanceM;
    if (datum_)
        return hubeny::distance(r.lat, r.lon, datum_->first, datum_->second);
    return std::nullopt;
}

void RssiDistancePlot::take(const Raw& r) {
    const std::optional<double> d = distanceOf(r);
    // The fits' points, as LevelSeries makes them: every lost packet, every
    // answered one with the level.
    const auto point = [&](std::vector<LevelPoint>& to, std::optional<int> level) {
        if (r.answered && !level)
            return;
        LevelPoint p;
        p.atUs = r.atUs;
        p.distanceM = d;
        p.answered = r.answered;
        if (r.answered)
            p.level = double(*level);
        to.push_back(p);
    };
    point(farPoints_, r.far);
    point(ackPoints_, r.ack);
    if (!d || !(*d >= kMinDistanceM))
        return;
    const int bin = int(std::lround(std::log10(*d) * 200));  // 1/200 decade: about 1 %
    const bool first = !any_;
    auto note = [&](std::optional<int> v, int& samples, std::set<std::pair<int, int>>& seen,
                    std::vector<QPointF>& pending) {
        if (!v)
            return;
        ++samples;
        lowDbm_ = any_ ? std::min(lowDbm_, *v) : *v;
        highDbm_ = any_ ? std::max(highDbm_, *v) : *v;
        any_ = true;
        if (seen.insert({bin, *v}).second)
            pending.emplace_back(*d, *v);
    };
    note(r.far, farSamples_, farDots_, farPending_);
    note(r.ack, ackSamples_, ackDots_, ackPending_);
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
    const bool placed = e.position && e.position->usable();
    raw_.push_back({e.sentUs, placed, placed ? e.position->lat : 0, placed ? e.position->lon : 0,
                    placed ? e.position->distanceM : std::nullopt, e.farRssi, e.ackRssi,
                    e.outcome == records::Outcome::Answered});
    take(raw_.back());
    schedule();
}

void RssiDistancePlot::runEnded() {
    refitNow_ = true;
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
    QTimer::singleShot(kFlushMs, this, &RssiDistancePlot::refresh);
}

// What a fit on its thread takes and gives: its own copies only.
struct RssiDistancePlot::Fit {
    int number = 0;  // fitsStarted_ when it started
    int generation = 0;
    std::vector<LevelPoint> far, ack;
    double fallback = 0;
    std::optional<double> threshold;
    LevelAnalysis farResult, ackResult;
};

// A fit is due for points not fitted yet: the first of a feed, after the
// run's end or a new threshold, or kRefitRunUs of the run after the last.
bool RssiDistancePlot::fitDue() const {
    const std::size_t points = farPoints_.size() + ackPoints_.size();
    if (fittedGeneration_ != generation_)
        return true;
    if (points == fittedPoints_ && !refitNow_)
        return false;
    return refitNow_ || (!raw_.empty() && raw_.back().atUs - fittedAtUs_ >= kRefitRunUs);
}

void RssiDistancePlot::refresh() {
    scheduled_ = false;
    if (!dirty_)
        return;
    dirty_ = false;
    moveDots();
    if (!inFlight_ && fitDue())
        startFit();
    else if (fitDue())
        dirty_ = true;  // taken up when the running fit is in
    showFits();
}

void RssiDistancePlot::startFit() {
    auto fit = std::make_shared<Fit>();
    fit->generation = generation_;
    fit->far = farPoints_;
    fit->ack = ackPoints_;
    fit->fallback = defaultThresholdDbm(lora_);
    fit->threshold = fitThreshold();
    fittedGeneration_ = generation_;
    fittedPoints_ = farPoints_.size() + ackPoints_.size();
    fittedAtUs_ = raw_.empty() ? 0 : raw_.back().atUs;
    refitNow_ = false;
    inFlight_ = true;
    ++fitsStarted_;
    fit->number = fitsStarted_;
    lastFitPoints_ = fittedPoints_;
    QThread* thread = QThread::create([fit] {
        fit->farResult = analyseLevels(fit->far, fit->fallback, fit->threshold);
        fit->ackResult = analyseLevels(fit->ack, fit->fallback, fit->threshold);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    // The program does not end under a fit: the end waits for it.
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, thread, [thread] { thread->wait(); });
    // Gone with the plot when it goes first: the fit's data are its own.
    connect(thread, &QThread::finished, this, [this, fit] {
        inFlight_ = false;
        // A fit of points since cleared or fed again from the start says
        // nothing of the points now, nor does one overtaken by a later fit.
        if (fit->generation == generation_ && fit->number == fitsStarted_)
            applyFit(fit->farResult, fit->ackResult);
        if (fitDue())
            schedule();
    });
    thread->start();
}

void RssiDistancePlot::applyFit(const LevelAnalysis& far, const LevelAnalysis& ack) {
    farResult_ = far;
    ackResult_ = ack;
    if (!handThreshold_ && farResult_.reach && farResult_.reach->thresholdDbm) {
        const QSignalBlocker block(threshold_);
        threshold_->setValue(int(std::lround(*farResult_.reach->thresholdDbm)));
    }
    showFits();
}

std::optional<PathLossFit> RssiDistancePlot::farFit() const {
    return farResult_.reach ? std::optional<PathLossFit>(farResult_.reach->fit) : std::nullopt;
}

std::optional<PathLossFit> RssiDistancePlot::ackFit() const {
    return ackResult_.reach ? std::optional<PathLossFit>(ackResult_.reach->fit) : std::nullopt;
}

void RssiDistancePlot::showFit(const std::optional<PathLossFit>& fit, QLineSeries* l) {
    if (!fit) {
        l->clear();
        return;
    }
    l->replace(QList<QPointF>{{x_->min(), fit->levelAt(x_->min())}, {x_->max(), fit->levelAt(x_->max())}});
}

QString RssiDistancePlot::fitText(const QString& title, const LevelAnalysis& a) const {
    if (!a.reach)
        return title + QStringLiteral(": 近似なし (2 つ以上の距離の点が必要)");
    const Reach& r = *a.reach;
    const PathLossFit& fit = r.fit;
    const auto fixed = [](std::optional<double> v, int decimals) {
        return v ? QString::number(*v, 'f', decimals) : QStringLiteral("-");
    };
    // A nearly flat fit crosses the threshold absurdly far away; past ten
    // times the measured range the figure says only that.
    QString reachText = QStringLiteral("-");
    if (r.reachM && r.reachM->value > kReachShownUpTo * fit.farthestM)
        reachText = QStringLiteral("測定範囲の 10 倍超");
    else if (r.reachM)
        reachText = QStringLiteral("%1 m (95 % %2 .. %3 m)%4")
                        .arg(QString::number(r.reachM->value, 'f', 0), QString::number(r.reachM->low, 'f', 0),
                             QString::number(r.reachM->high, 'f', 0),
                             r.reachOutsideRange ? QStringLiteral(" 測定範囲外") : QString());
    const QString source = handThreshold_ ? QStringLiteral("手動") : r.thresholdMeasured
                                                                    ? QStringLiteral("90 % 感度 (実測)")
                                                                    : QStringLiteral("既定値");
    const QString thresholdText = handThreshold_ ? QString::number(*handThreshold_) : fixed(r.thresholdDbm, 1);
    const QString sigma = r.sigma ? QStringLiteral("%1 dB (95 % %2 .. %3)")
                                        .arg(QString::number(r.sigma->value, 'f', 1), QString::number(r.sigma->low, 'f', 1),
                                             QString::number(r.sigma->high, 'f', 1))
                                  : QStringLiteral("-");
    return QStringLiteral("%1: n = %2 (SE %3), A(1 m) = %4 dBm (SE %5), σ = %6"
                          "  (%10 点 %11 .. %12 m, 損失 %13 点を打ち切りとして)\n      %7 dBm 到達 %8 [しきい値: %9]")
        .arg(title, QString::number(fit.exponent, 'f', 2), fixed(r.nSe, 3), QString::number(fit.referenceDbm, 'f', 1),
             fixed(r.aSe, 2), sigma, thresholdText, reachText, source)
        .arg(fit.samples)
        .arg(QString::number(fit.nearestM, 'f', 0), QString::number(fit.farthestM, 'f', 0))
        .arg(r.censored);
}

void RssiDistancePlot::moveDots() {
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
}

void RssiDistancePlot::flush() {
    scheduled_ = false;
    if (!dirty_ && !fitDue())
        return;
    dirty_ = false;
    moveDots();
    if (fitDue()) {
        fittedGeneration_ = generation_;
        fittedPoints_ = farPoints_.size() + ackPoints_.size();
        fittedAtUs_ = raw_.empty() ? 0 : raw_.back().atUs;
        refitNow_ = false;
        ++fitsStarted_;
        lastFitPoints_ = fittedPoints_;
        const double fallback = defaultThresholdDbm(lora_);
        const LevelAnalysis far = analyseLevels(farPoints_, fallback, fitThreshold());
        applyFit(far, analyseLevels(ackPoints_, fallback, fitThreshold()));
    }
    showFits();
}

// The axes around the dots, the fit lines over them, the threshold and the
// figures of the fits in.
void RssiDistancePlot::showFits() {
    const std::optional<PathLossFit> farFit = this->farFit(), ackFit = this->ackFit();
    // The distance axis: whole decades around the samples, and far enough
    // to show where a fit reaches the threshold (up to ten times the
    // farthest sample).
    double lo = any_ ? nearestM_ : 1;
    double hi = any_ ? farthestM_ : 1000;
    for (const LevelAnalysis* a : {&farResult_, &ackResult_})
        if (a->reach && a->reach->reachM && a->reach->reachM->value < farthestM_ * 10)
            hi = std::max(hi, a->reach->reachM->value);
    x_->setRange(decadeBelow(lo), std::max(decadeAbove(hi), decadeBelow(lo) * 10));
    const double low = std::min(double(any_ ? lowDbm_ : -120), double(threshold()));
    const double high = any_ ? highDbm_ : -30;
    const double bottom = std::floor((low - 5) / 10) * 10, top = std::ceil((high + 5) / 10) * 10;
    y_->setRange(bottom, top);
    const int tens = int(std::lround((top - bottom) / 10));
    y_->setTickCount(tens <= 12 ? tens + 1 : tens / 2 + 1);  // a line every 10 or 20 dB
    showFit(farFit, farLine_);
    showFit(ackFit, ackLine_);
    const double level = handThreshold_                                            ? double(*handThreshold_)
                         : farResult_.reach && farResult_.reach->thresholdDbm ? *farResult_.reach->thresholdDbm
                                                                              : double(threshold());
    thresholdLine_->replace(QList<QPointF>{{x_->min(), level}, {x_->max(), level}});
    figures_->setText(fitText(QStringLiteral("相手受信"), farResult_) + QLatin1Char('\n') +
                      fitText(QStringLiteral("自局受信"), ackResult_));
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
