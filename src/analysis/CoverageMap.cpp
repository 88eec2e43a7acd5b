#include "analysis/CoverageMap.h"

#include "analysis/Pictures.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QResizeEvent>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace analysis {

namespace {

constexpr double kEdgePx = 20;           // free border around the extent
constexpr double kCellLabelPx = 44;      // cells this wide carry their figures
constexpr double kCellCountPx = 16;      // cells this wide carry their sample count
constexpr int kCellAlphaOverTiles = 170; // cells let the streets show through
const QSize kUnshownSize(1200, 900);

QRectF around(const QPointF& m, double half) { return {m.x() - half, m.y() - half, 2 * half, 2 * half}; }

// box with a fraction of its size added on each side, at least kMinExtentM
// wide and high.
QRectF padded(const QRectF& box, double fraction) {
    const double w = std::max(box.width() * (1 + 2 * fraction), CoverageMap::kMinExtentM);
    const double h = std::max(box.height() * (1 + 2 * fraction), CoverageMap::kMinExtentM);
    return {box.center().x() - w / 2, box.center().y() - h / 2, w, h};
}

}  // namespace

CoverageMap::CoverageMap(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CoverageMap"));
    setAccessibleName(QStringLiteral("CoverageMap"));
    setAccessibleDescription(QStringLiteral("カバレッジ地図"));
    setMinimumSize(320, 240);
    setAttribute(Qt::WA_OpaquePaintEvent);
    levelScale_ = valueScale(value_, levels_);
}

void CoverageMap::setDatum(double latitude, double longitude) {
    const Datum d = datumOf(latitude, longitude);
    if (d == datum_)
        return;
    datum_ = d;
    reproject();
}

void CoverageMap::clearDatum() { setDatum(0, 0); }

void CoverageMap::setValue(MapValue v) {
    if (v == value_)
        return;
    value_ = v;
    updateLevelScale();
    levelScale_ = valueScale(value_, levels_);
    rebuildGrid();
}

void CoverageMap::setView(View v) {
    if (v == view_)
        return;
    view_ = v;
    invalidate();
}

void CoverageMap::setCellSize(double metres) {
    if (metres == grid_.cellM() || !(metres > 0))
        return;
    grid_.setCellM(metres);
    rebuildGrid();
}

void CoverageMap::setMinSamples(int n) {
    n = std::max(1, n);
    if (n == minSamples_)
        return;
    minSamples_ = n;
    invalidate();
}

void CoverageMap::setMode(records::Mode mode) {
    if (mode == mode_)
        return;
    mode_ = mode;
    updateLevelScale();
    invalidate();
}

// The scale of the levels drawn so far, by the exports' rule; true when it
// changed (everything is then drawn again in its colours).
bool CoverageMap::updateLevelScale() {
    const exportdata::LevelScale next =
        exportdata::LevelScale::forRun(mode_ == records::Mode::LoRa, levelRanges_[value_]);
    if (next == levels_)
        return false;
    levels_ = next;
    levelScale_ = valueScale(value_, levels_);
    return true;
}

bool CoverageMap::setTileSource(const QString& source, const QString& attribution, QString* error) {
    if (source.trimmed().isEmpty()) {
        setBaseMap(nullptr);
        return true;
    }
    if (base_ && base_->source() == source.trimmed() && base_->givenAttribution() == attribution.trimmed())
        return true;
    std::unique_ptr<BaseMap> base = BaseMap::open(source, attribution, error);
    if (!base)
        return false;
    setBaseMap(std::move(base));
    return true;
}

void CoverageMap::setBaseMap(std::unique_ptr<BaseMap> base) {
    if (!base && !base_)
        return;
    base_ = std::move(base);
    // Tiles that come later draw the map again, in one redraw per batch.
    if (base_)
        connect(base_.get(), &BaseMap::tilesArrived, this, &CoverageMap::invalidate);
    invalidate();
}

void CoverageMap::clear() {
    points_.clear();
    markers_.clear();
    unplaced_ = 0;
    lost_ = 0;
    levelRanges_ = {};
    updateLevelScale();
    reproject();
}

std::optional<int> CoverageMap::valueOf(const Point& p) const { return p.levels[value_]; }

bool CoverageMap::onRunScale() const { return records::signal(value_).scale == records::ColourScale::RunRange; }

// The projection's origin is the datum point, else the first fix (of the
// own exchanges, else of an overlay); the extent holds the origin and every
// point shown.
void CoverageMap::reproject() {
    projection_.reset();
    if (datum_)
        projection_.emplace(datum_->first, datum_->second);
    else if (!points_.empty())
        projection_.emplace(points_.front().lat, points_.front().lon);
    for (const Overlay& o : overlays_)
        if (!projection_ && !o.points.empty())
            projection_.emplace(o.points.front().lat, o.points.front().lon);
    extentM_ = dataM_ = around(QPointF(0, 0), 1);
    if (!projection_) {
        extentM_ = padded(dataM_, 0.05);
        rebuildGrid();
        return;
    }
    for (Point& p : points_) {
        p.m = projection_->toMetres(p.lat, p.lon);
        if (ownShown_)
            dataM_ |= around(p.m, 1);
    }
    for (Overlay& o : overlays_)
        for (Point& p : o.points) {
            p.m = projection_->toMetres(p.lat, p.lon);
            if (o.shown)
                dataM_ |= around(p.m, 1);
        }
    for (MarkerPoint& k : markers_) {
        k.m = projection_->toMetres(k.lat, k.lon);
        dataM_ |= around(k.m, 1);
    }
    extentM_ = padded(dataM_, 0.05);
    rebuildGrid();
}

void CoverageMap::rebuildGrid() {
    grid_.clear();
    forShown([this](const Point& p, int) { grid_.add(p.m, p.answered, valueOf(p)); });
    invalidate();
}

bool CoverageMap::widenFor(const QPointF& m) {
    dataM_ |= around(m, 1);
    if (extentM_.contains(m))
        return false;
    extentM_ = padded(dataM_, 0.25);
    return true;
}

void CoverageMap::invalidate() {
    stale_ = true;
    update();
}

// Exchanges come up to ten times a second: what they drew shows with the
// next repaint, at most every kRepaintMs.
void CoverageMap::scheduleRepaint() {
    if (repaintScheduled_)
        return;
    repaintScheduled_ = true;
    QTimer::singleShot(kRepaintMs, this, [this] {
        repaintScheduled_ = false;
        update();
    });
}

bool CoverageMap::imageCurrent() const { return view_ == View::Points && !stale_ && image_.size() == size(); }

void CoverageMap::addExchange(const records::Exchange& e) {
    if (!e.position || !e.position->usable()) {
        ++unplaced_;
        scheduleRepaint();
        return;
    }
    if (!projection_) {
        projection_.emplace(e.position->lat, e.position->lon);
        dataM_ = around(QPointF(0, 0), 1);
        extentM_ = padded(dataM_, 0);
    }
    Point pt{e.position->lat, e.position->lon, projection_->toMetres(e.position->lat, e.position->lon),
             e.packet, e.outcome == records::Outcome::Answered, false, records::levelsOf(e)};
    points_.push_back(pt);
    lost_ += pt.answered ? 0 : 1;
    // The level scale is the run's whether or not its layer is shown.
    bool rescaled = false;
    if (pt.answered) {
        for (const records::Signal& s : records::kSignals)
            if (s.scale == records::ColourScale::RunRange && pt.levels[s])
                levelRanges_[s].add(*pt.levels[s]);
        rescaled = onRunScale() && updateLevelScale();
    }
    if (!ownShown_) {  // counted, not drawn
        scheduleRepaint();
        return;
    }
    grid_.add(pt.m, pt.answered, valueOf(pt));
    if (widenFor(pt.m) || rescaled || !imageCurrent()) {
        stale_ = true;
        scheduleRepaint();
        return;
    }
    // Into the backing image at once, keeping the drawing order: a loss
    // joins its spot above everything; a dot goes under the losses and
    // markers it touches, which are drawn again over it.
    QPainter p(&image_);
    p.setFont(font());
    p.setRenderHint(QPainter::Antialiasing);
    const Frame f = frameFor(size());
    const QPointF c = f.toPx(pt.m);
    if (pt.answered) {
        drawMark(p, answeredMark(pt, f));
        for (const MapMark* s : spots_.near(c, 6))
            drawMark(p, *s);
    } else {
        drawMark(p, spots_.add(c, false, ownShape_));
    }
    redrawMarkersNear(p, c, f);
    ++marksDrawn_;
    scheduleRepaint();
}

// Markers are few: each one near a new mark is drawn again over it.
void CoverageMap::redrawMarkersNear(QPainter& p, const QPointF& c, const Frame& f) const {
    for (const MarkerPoint& k : markers_)
        if (QLineF(f.toPx(k.m), c).length() < 40)
            drawMark(p, MapMark{MapMark::Kind::Marker, f.toPx(k.m), {}, 1, false, k.number});
}

void CoverageMap::addMarker(const records::Marker& m) {
    if (!m.position || !m.position->usable())
        return;
    if (!projection_) {
        projection_.emplace(m.position->lat, m.position->lon);
        dataM_ = around(QPointF(0, 0), 1);
        extentM_ = padded(dataM_, 0);
    }
    markers_.push_back({projection_->toMetres(m.position->lat, m.position->lon), m.number, m.position->lat,
                        m.position->lon});
    if (widenFor(markers_.back().m) || view_ != View::Points || stale_ || image_.size() != size()) {
        invalidate();
        return;
    }
    QPainter p(&image_);
    p.setFont(font());
    p.setRenderHint(QPainter::Antialiasing);
    const Frame f = frameFor(size());
    drawMark(p, MapMark{MapMark::Kind::Marker, f.toPx(markers_.back().m), {}, 1, false, m.number});
    update();
}

MapMark CoverageMap::answeredMark(const Point& pt, const Frame& f) const {
    const std::optional<int> v = valueOf(pt);
    MapMark m;
    m.px = f.toPx(pt.m);
    m.fill = v ? colourOf(levelScale(), *v) : kNoValueColour;
    m.shape = ownShape_;
    return m;
}

std::vector<MapMark> CoverageMap::marksFor(const Frame& f) const {
    std::vector<MapMark> marks;
    marks.reserve(std::size_t(shownPoints()) + markers_.size());
    forShown([&](const Point& pt, int shape) {
        if (pt.answered) {
            marks.push_back(answeredMark(pt, f));
            marks.back().shape = shape;
        }
    });
    LostSpots spots;
    forShown([&](const Point& pt, int shape) {
        if (!pt.answered)
            spots.add(f.toPx(pt.m), pt.late, shape);
    });
    marks.insert(marks.end(), spots.spots().begin(), spots.spots().end());
    if (ownShown_)
        for (const MarkerPoint& k : markers_)
            marks.push_back(MapMark{MapMark::Kind::Marker, f.toPx(k.m), {}, 1, false, k.number});
    return marks;
}

void CoverageMap::markLate(std::int64_t packet) {
    // Points come in packet order: the search stops at an older packet (a
    // late answer is for one of the last few; one without a position has
    // no point).
    for (auto it = points_.rbegin(); it != points_.rend() && it->packet >= packet; ++it) {
        if (it->packet == packet && !it->answered) {
            it->late = true;
            if (view_ != View::Points)
                return;
            if (!imageCurrent()) {
                stale_ = true;
                scheduleRepaint();
                return;
            }
            // The spot's cross drawn again in the late colour over the red one.
            const Frame f = frameFor(size());
            std::vector<const MapMark*> at = spots_.near(f.toPx(it->m), 1);
            at.erase(std::remove_if(at.begin(), at.end(), [this](const MapMark* s) { return s->shape != ownShape_; }),
                     at.end());
            if (!at.empty() && ownShown_) {
                MapMark late = *at.front();
                late.late = true;
                QPainter p(&image_);
                p.setRenderHint(QPainter::Antialiasing);
                drawMark(p, late);
                ++marksDrawn_;
            }
            scheduleRepaint();
            return;
        }
    }
}

LegendContent CoverageMap::legend() const {
    LegendContent legend{levelScale(), true, {}};
    if (view_ == View::GridSuccess)
        legend.scale = successScale();
    else if (view_ == View::GridMedian)
        legend.scale.title = QStringLiteral("中央値: ") + legend.scale.title;
    if (view_ != View::GridSuccess && onRunScale())
        legend.note = levelScale().basis;
    if (view_ == View::GridSuccess)
        legend.note = QStringLiteral("色: 95 % 区間の下限");
    if (view_ != View::Points)
        legend.note += QStringLiteral("\n格子 %1 m, %2 点以上").arg(grid_.cellM()).arg(minSamples_);
    legend.layers = legendLayers();
    return legend;
}

// The legend stands in a strip of its own on the right, so that it never
// hides a point; a narrow map draws it over the points instead.
double CoverageMap::legendStrip(const QSize& size) const {
    // Measuring the legend's texts costs more than drawing a point: once
    // per legend, font and width asked.
    const LegendKey key{value_, view_, grid_.cellM(), minSamples_, levels_, font().key(), legendLayers()};
    if (!(legendKey_ == key)) {
        legendKey_ = key;
        legendPx_ = legendWidth(font(), legend()) + 16;
    }
    const double w = legendPx_;
    return size.width() >= 3 * w ? w : 0;
}

CoverageMap::Frame CoverageMap::frameFor(const QSize& size) const {
    Frame f;
    const double strip = legendStrip(size);
    const double w = std::max(1.0, size.width() - strip - 2 * kEdgePx);
    const double h = std::max(1.0, size.height() - 2 * kEdgePx);
    f.scale = std::min(w / extentM_.width(), h / extentM_.height());
    f.centreM = extentM_.center();
    f.centrePx = QPointF((size.width() - strip) / 2.0, size.height() / 2.0);
    return f;
}

std::optional<QPointF> CoverageMap::pixelOf(double lat, double lon) const {
    if (!projection_)
        return std::nullopt;
    return frameFor(size()).toPx(projection_->toMetres(lat, lon));
}

// The cells of the grid views, each with its figures (the success rate,
// its interval or the median, and the sample count) as far as it is wide
// enough for them.
void CoverageMap::drawCells(QPainter& p, const Frame& f) const {
    const double side = grid_.cellM() * f.scale;
    QFont small = p.font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() - 1));
    p.setFont(small);
    for (const auto& [key, cell] : grid_.cells()) {
        if (cell.samples < minSamples_)
            continue;
        const QRectF m = grid_.rectOf(key);
        const QRectF r(f.toPx(QPointF(m.left(), m.bottom())), QSizeF(side, side));
        const std::optional<double> median = cell.median();
        // The class of the value as the label prints it: a success cell
        // by its printed lower bound, a median cell by its printed median.
        const QString rateText = QString::number(cell.successRate() * 100, 'f', 0) + QStringLiteral(" %");
        const QString bounds = QStringLiteral("%1-%2").arg(cell.lowerPercent()).arg(cell.upperPercent());
        const QString medianText = median ? QString::number(*median, 'f', 0) : QStringLiteral("-");
        QColor c = view_ == View::GridSuccess ? colourOf(successScale(), cell.lowerPercent())
                 : median                     ? colourOf(levelScale(), medianText.toDouble())
                                              : kNoValueColour;
        if (base_)
            c.setAlpha(kCellAlphaOverTiles);
        p.setPen(QPen(QColor(0x60, 0x60, 0x60), 0.8));
        p.setBrush(c);
        p.drawRect(r);
        const QString count = QStringLiteral("n=%1").arg(cell.samples);
        QString text;
        if (side >= kCellLabelPx)
            text = view_ == View::GridSuccess ? QStringLiteral("%1\n%2\n%3").arg(rateText, bounds, count)
                                              : QStringLiteral("%1\n%2\n%3").arg(medianText, rateText, count);
        else if (side >= kCellCountPx)
            text = QString::number(cell.samples);
        if (!text.isEmpty()) {
            // Black on the light classes, white on the dark ones.
            p.setPen(c.lightnessF() > 0.45 || base_ ? Qt::black : Qt::white);
            p.drawText(r, Qt::AlignCenter, text);
        }
    }
}

// The ground (or the streets), the grid cells, the distance rings and the
// marks: what the backing image holds. The grid views draw the losses and
// markers above their cells, so that no loss hides in a cell.
void CoverageMap::drawBase(QPainter& p, const QSize& size, const Frame& f) const {
    p.fillRect(QRect(QPoint(0, 0), size), kMapGround);
    p.setRenderHint(QPainter::Antialiasing);
    if (base_ && projection_) {
        const LocalProjection& proj = *projection_;
        base_->draw(
            p, QRectF(QPointF(0, 0), size),
            [&](double lat, double lon) { return f.toPx(proj.toMetres(lat, lon)); },
            [&](const QPointF& px) { return proj.toDegrees(f.toMetres(px)); }, f.scale);
    }
    if (view_ != View::Points) {
        p.save();
        drawCells(p, f);
        p.restore();
    }
    if (datum_) {
        const QPointF c = f.toPx(QPointF(0, 0));
        double farPx = 0;
        for (const QPointF& corner : {QPointF(0, 0), QPointF(size.width(), 0), QPointF(0, size.height()),
                                      QPointF(size.width(), size.height())})
            farPx = std::max(farPx, std::hypot(corner.x() - c.x(), corner.y() - c.y()));
        const double step = niceMetres(farPx / f.scale / 3);
        p.setBrush(Qt::NoBrush);
        for (double r = step; r * f.scale <= farPx; r += step) {
            p.setPen(QPen(QColor(0x70, 0x70, 0x90), 1, Qt::DashLine));
            p.drawEllipse(c, r * f.scale, r * f.scale);
            p.setPen(QColor(0x50, 0x50, 0x70));
            p.drawText(QPointF(c.x() + 3, c.y() - r * f.scale - 3), metresLabel(r));
        }
    }
    for (const MapMark& m : marksFor(f))
        if (view_ == View::Points || m.kind != MapMark::Kind::Answered)
            drawMark(p, m);
}

void CoverageMap::drawOverlays(QPainter& p, const QSize& size, const Frame& f) const {
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area(QPointF(0, 0), size);
    if (datum_)
        drawDatum(p, f.toPx(QPointF(0, 0)));
    p.setPen(Qt::black);
    QString head = QStringLiteral("点 %1 (損失 %2)   位置なし %3").arg(points_.size()).arg(lost_).arg(unplaced_);
    if (const int others = shownPoints() - (ownShown_ ? int(points_.size()) : 0); others || !ownShown_)
        head += QStringLiteral("   表示中の層: 点 %1").arg(shownPoints());
    if (!projection_)
        head += QStringLiteral("   測位待ち");
    p.drawText(QRectF(8, 4, size.width() - 60, 18), Qt::AlignLeft | Qt::AlignVCenter, head);
    drawNorthArrow(p, area);
    drawScaleBar(p, area, f.scale);
    if (base_ && !base_->attribution().isEmpty()) {
        // Beside the scale bar, clear of the legend's strip.
        const QRectF at(size.width() * 0.2 + 90, size.height() - 20, size.width() * 0.8 - 98 - legendStrip(size), 18);
        const QFontMetricsF fm(p.font());
        const QString text = fm.elidedText(QStringLiteral("地図: ") + base_->attribution(), Qt::ElideRight, at.width());
        const QRectF box(at.right() - fm.horizontalAdvance(text) - 6, at.top(), fm.horizontalAdvance(text) + 6, at.height());
        p.fillRect(box, QColor(255, 255, 255, 200));
        p.setPen(Qt::black);
        p.drawText(box, Qt::AlignCenter, text);
    }
    drawLegend(p, area, legend());
}

void CoverageMap::render(QPainter& p, const QSize& size) const {
    p.save();
    p.setFont(font());
    const Frame f = frameFor(size);
    drawBase(p, size, f);
    drawOverlays(p, size, f);
    p.restore();
}

bool CoverageMap::savePicture(const QString& path, QString* error, QSize size) const {
    if (size.isEmpty())
        size = testAttribute(Qt::WA_WState_Visible) ? this->size() : kUnshownSize;
    return writePicture(path, size, QStringLiteral("カバレッジ地図"),
                        [this](QPainter& p, const QSize& s) { render(p, s); }, error);
}

void CoverageMap::paintEvent(QPaintEvent*) {
    const Frame f = frameFor(size());
    if (stale_ || image_.size() != size()) {
        image_ = QImage(size(), QImage::Format_ARGB32_Premultiplied);
        QPainter ip(&image_);
        ip.setFont(font());
        drawBase(ip, size(), f);
        stale_ = false;
        // The spots of this frame, for the marks drawn in from now on.
        spots_.clear();
        forShown([&](const Point& pt, int shape) {
            if (!pt.answered)
                spots_.add(f.toPx(pt.m), pt.late, shape);
        });
        ++fullRedraws_;
        if (view_ == View::Points)
            marksDrawn_ += std::int64_t(shownPoints());
    }
    QPainter p(this);
    p.drawImage(0, 0, image_);
    drawOverlays(p, size(), f);
}

void CoverageMap::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    stale_ = true;
}

}  // namespace analysis
