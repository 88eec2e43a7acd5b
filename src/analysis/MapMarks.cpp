#include "analysis/MapMarks.h"

#include "analysis/MapLegend.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace analysis {

namespace {

// The figure of a spot with several losses: the count in a small opaque box
// at the cross's upper right. A larger count covers the smaller one drawn
// before it at the same place.
void drawCount(QPainter& p, const QPointF& c, int count) {
    const QString text = QString::number(count);
    QFont small = p.font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() - 2));
    p.setFont(small);
    const QFontMetricsF fm(small);
    const QRectF box(c.x() + 4, c.y() - 5 - fm.height(), fm.horizontalAdvance(text) + 4, fm.height());
    p.setPen(QPen(QColor(QLatin1String(exportdata::kLostRgb)), 0.8));
    p.setBrush(Qt::white);
    p.drawRect(box);
    p.setPen(Qt::black);
    p.drawText(box, Qt::AlignCenter, text);
}

// A marker: a small flag on a pole whose foot is the spot, with its number.
void drawMarker(QPainter& p, const QPointF& c, int number) {
    p.setPen(QPen(Qt::black, 1.2));
    p.drawLine(c, c + QPointF(0, -16));
    const QString text = QString::number(number);
    const QFontMetricsF fm(p.font());
    const QRectF flag(c.x(), c.y() - 16, fm.horizontalAdvance(text) + 6, fm.height());
    p.setBrush(QColor(0xff, 0xd0, 0x30));
    p.drawRect(flag);
    p.drawText(flag, Qt::AlignCenter, text);
}

}  // namespace

std::uint64_t LostSpots::cellOf(const QPointF& px) {
    const auto x = static_cast<std::int32_t>(std::floor(px.x() / kSpotPx));
    const auto y = static_cast<std::int32_t>(std::floor(px.y() / kSpotPx));
    return (std::uint64_t(std::uint32_t(x)) << 32) | std::uint32_t(y);
}

void LostSpots::clear() {
    spots_.clear();
    cells_.clear();
    lateCounts_.clear();
}

const MapMark& LostSpots::add(const QPointF& px, bool late, int shape) {
    const double cx = std::floor(px.x() / kSpotPx), cy = std::floor(px.y() / kSpotPx);
    for (double dx = -1; dx <= 1; ++dx) {
        for (double dy = -1; dy <= 1; ++dy) {
            const auto it = cells_.find(cellOf(QPointF((cx + dx + 0.5) * kSpotPx, (cy + dy + 0.5) * kSpotPx)));
            if (it == cells_.end())
                continue;
            for (const int i : it->second) {
                MapMark& s = spots_[std::size_t(i)];
                if (s.shape != shape || std::hypot(s.px.x() - px.x(), s.px.y() - px.y()) > kSpotPx)
                    continue;
                ++s.count;
                lateCounts_[std::size_t(i)] += late ? 1 : 0;
                s.late = lateCounts_[std::size_t(i)] == s.count;
                return s;
            }
        }
    }
    MapMark s;
    s.kind = MapMark::Kind::Lost;
    s.px = px;
    s.late = late;
    s.shape = shape;
    cells_[cellOf(px)].push_back(int(spots_.size()));
    spots_.push_back(s);
    lateCounts_.push_back(late ? 1 : 0);
    return spots_.back();
}

std::vector<const MapMark*> LostSpots::near(const QPointF& px, double r) const {
    // A cross reaches kCrossPx from its spot; a figure stands to its upper
    // right, at most kFigureWidthPx wide and kFigureHeightPx high.
    constexpr double kCrossPx = 5, kFigureWidthPx = 28, kFigureHeightPx = 20;
    std::vector<const MapMark*> out;
    const int x0 = int(std::floor((px.x() - r - kFigureWidthPx) / kSpotPx));
    const int x1 = int(std::floor((px.x() + r + kCrossPx) / kSpotPx));
    const int y0 = int(std::floor((px.y() - r - kCrossPx) / kSpotPx));
    const int y1 = int(std::floor((px.y() + r + kFigureHeightPx) / kSpotPx));
    for (int cx = x0; cx <= x1; ++cx) {
        for (int cy = y0; cy <= y1; ++cy) {
            const auto it = cells_.find(cellOf(QPointF((cx + 0.5) * kSpotPx, (cy + 0.5) * kSpotPx)));
            if (it == cells_.end())
                continue;
            for (const int i : it->second) {
                const MapMark& s = spots_[std::size_t(i)];
                const QPointF d = px - s.px;
                const bool onCross = std::abs(d.x()) < r + kCrossPx && std::abs(d.y()) < r + kCrossPx;
                const bool onFigure = s.count > 1 && d.x() > -r && d.x() < kFigureWidthPx + r && d.y() < r
                                      && d.y() > -kFigureHeightPx - r;
                if (onCross || onFigure)
                    out.push_back(&s);
            }
        }
    }
    return out;
}

void drawMark(QPainter& p, const MapMark& m) {
    switch (m.kind) {
    case MapMark::Kind::Answered:
        drawAnswered(p, m.px, m.fill, m.shape);
        return;
    case MapMark::Kind::Lost:
        drawLost(p, m.px, m.late, m.shape);
        if (m.count > 1) {
            p.save();
            drawCount(p, m.px, m.count);
            p.restore();
        }
        return;
    case MapMark::Kind::Marker:
        p.save();
        drawMarker(p, m.px, m.number);
        p.restore();
        return;
    }
}

}  // namespace analysis
