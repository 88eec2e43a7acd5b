#include "analysis/MapLegend.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace analysis {

namespace {

using exportdata::kScaleSteps;
using exportdata::ScaleStep;

// Margin (answer RSSI − floor noise) in dB on the colours of the RSSI
// scale; the success rate in percent from blue (good) to orange (bad).
const ScaleStep kMarginScale[kScaleSteps] = {
    {30, exportdata::kRssiScale[0].rgb, ">= 30 dB"},
    {20, exportdata::kRssiScale[1].rgb, "20 .. 29 dB"},
    {10, exportdata::kRssiScale[2].rgb, "10 .. 19 dB"},
    {5, exportdata::kRssiScale[3].rgb, "5 .. 9 dB"},
    {-1000000, exportdata::kRssiScale[4].rgb, "< 5 dB"},
};
const ScaleStep kSuccessScale[kScaleSteps] = {
    {99, "#2166ac", ">= 99 %"},
    {95, "#92c5de", "95 .. 99 %"},
    {80, "#f7f7f7", "80 .. 95 %"},
    {50, "#fdb863", "50 .. 80 %"},
    {-1000000, "#e66101", "< 50 %"},
};

constexpr double kMark = 4.5;  // radius of a point mark, px

}  // namespace

const QColor kMapGround(0xF4, 0xF4, 0xF0);
const QColor kNoValueColour(0xB8, 0xB8, 0xB8);

namespace {

MapScale fixedScale(const QString& title, const ScaleStep* steps) {
    MapScale s{title, {}, {}};
    for (int i = 0; i < kScaleSteps; ++i)
        s.steps[std::size_t(i)] = {double(steps[i].atLeastDbm), steps[i].rgb, QLatin1String(steps[i].label)};
    return s;
}

MapScale levelScale(const QString& title, const exportdata::LevelScale& levels) {
    MapScale s{title, {}, levels.basisTextJa()};
    for (int i = 0; i < kScaleSteps; ++i)
        s.steps[std::size_t(i)] = {i + 1 < kScaleSteps ? double(levels.bound(i)) : -1e9,
                                   exportdata::LevelScale::rgb(i), levels.label(i)};
    return s;
}

}  // namespace

MapScale valueScale(MapValue v, const exportdata::LevelScale& levels) {
    const records::Signal& s = records::signal(v);
    const QString title = QString::fromUtf8(s.caption);
    if (s.scale == records::ColourScale::RunRange)
        return levelScale(title, levels);
    return fixedScale(title, kMarginScale);
}

MapScale successScale() { return fixedScale(QStringLiteral("成功率"), kSuccessScale); }

int stepOf(const MapScale& scale, double value) {
    for (int i = 0; i < kScaleSteps - 1; ++i)
        if (value >= scale.steps[std::size_t(i)].atLeast)
            return i;
    return kScaleSteps - 1;
}

QColor colourOf(const MapScale& scale, double value) {
    return QColor(QLatin1String(scale.steps[std::size_t(stepOf(scale, value))].rgb));
}

double niceMetres(double metres) {
    if (!(metres > 0))
        return 1;
    const double decade = std::pow(10.0, std::floor(std::log10(metres)));
    for (double f : {5.0, 2.0, 1.0})
        if (f * decade <= metres * (1 + 1e-9))
            return f * decade;
    return decade;
}

QString metresLabel(double metres) {
    if (metres >= 1000)
        return QString::number(metres / 1000, 'g', 4) + QStringLiteral(" km");
    return QString::number(metres, 'g', 4) + QStringLiteral(" m");
}

void drawScaleBar(QPainter& p, const QRectF& area, double pixelsPerMetre) {
    const double metres = niceMetres(area.width() / 5 / pixelsPerMetre);
    const double len = metres * pixelsPerMetre;
    const QRectF bar(area.left() + 12, area.bottom() - 18, len, 6);
    p.save();
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawRect(bar);
    p.setBrush(Qt::black);
    p.drawRect(QRectF(bar.left(), bar.top(), len / 2, bar.height()));
    p.drawText(QRectF(bar.left(), bar.top() - 18, len + 60, 16), Qt::AlignLeft | Qt::AlignBottom,
               QStringLiteral("0    ") + metresLabel(metres));
    p.restore();
}

void drawNorthArrow(QPainter& p, const QRectF& area) {
    const QPointF tip(area.right() - 26, area.top() + 26);
    QPainterPath arrow;
    arrow.moveTo(tip);
    arrow.lineTo(tip + QPointF(8, 26));
    arrow.lineTo(tip + QPointF(0, 20));
    arrow.lineTo(tip + QPointF(-8, 26));
    arrow.closeSubpath();
    p.save();
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::black);
    p.drawPath(arrow);
    p.drawText(QRectF(tip.x() - 10, tip.y() + 26, 20, 16), Qt::AlignCenter, QStringLiteral("N"));
    p.restore();
}

namespace {

// Cut in the middle: runs of one file differ by the start time at the end.
QString layerLabel(const LegendLayer& l) {
    if (l.name.size() <= kLegendLayerChars)
        return l.name;
    const int tail = kLegendLayerChars / 2;  // " yyyy-MM-dd HH:mm:ss"
    return l.name.left(kLegendLayerChars - tail - 1) + QChar(0x2026) + l.name.right(tail);
}

void drawShape(QPainter& p, const QPointF& c, double r, int shape);

QStringList legendLines(const LegendContent& legend, const QStringList& marks) {
    QStringList labels{legend.scale.title};
    for (const MapScale::Step& step : legend.scale.steps)
        labels << step.label;
    if (legend.pointMarks)
        labels += marks;
    for (const LegendLayer& l : legend.layers)
        labels << layerLabel(l);
    if (!legend.note.isEmpty())
        labels += legend.note.split(QLatin1Char('\n'));
    return labels;
}

// A mark's outline in a layer's shape, of radius r, with the pen and brush set.
void drawShape(QPainter& p, const QPointF& c, double r, int shape) {
    switch (((shape % kLayerShapes) + kLayerShapes) % kLayerShapes) {
    case 0:
        p.drawEllipse(c, r, r);
        return;
    case 1:
        p.drawRect(QRectF(c.x() - r * 0.9, c.y() - r * 0.9, 1.8 * r, 1.8 * r));
        return;
    case 2:
        p.drawPolygon(QPolygonF{c + QPointF(0, -1.2 * r), c + QPointF(1.1 * r, 0.85 * r), c + QPointF(-1.1 * r, 0.85 * r)});
        return;
    case 3:
        p.drawPolygon(QPolygonF{c + QPointF(0, -1.25 * r), c + QPointF(1.25 * r, 0), c + QPointF(0, 1.25 * r),
                                c + QPointF(-1.25 * r, 0)});
        return;
    default:
        p.drawPolygon(QPolygonF{c + QPointF(0, 1.2 * r), c + QPointF(1.1 * r, -0.85 * r), c + QPointF(-1.1 * r, -0.85 * r)});
        return;
    }
}

QStringList markLabels() {
    return {QStringLiteral("損失"), QStringLiteral("損失 (遅延応答)"), QStringLiteral("値なし"), QStringLiteral("基準点")};
}

}  // namespace

double legendWidth(const QFont& font, const LegendContent& legend) {
    const QFontMetricsF fm(font);
    double width = 0;
    for (const QString& l : legendLines(legend, markLabels()))
        width = std::max(width, fm.horizontalAdvance(l));
    return width + 38;
}

void drawLegend(QPainter& p, const QRectF& area, const LegendContent& legend) {
    const QFontMetricsF fm(p.font());
    const double line = fm.height() + 3;
    const QStringList marks = markLabels();
    const double w = legendWidth(p.font(), legend), h = line * legendLines(legend, marks).size() + 10;
    const QRectF box(area.right() - w - 8, area.bottom() - h - 8, w, h);
    p.save();
    p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawRoundedRect(box, 4, 4);
    double y = box.top() + 5;
    auto text = [&](const QString& t, double indent) {
        p.setPen(Qt::black);
        p.drawText(QRectF(box.left() + indent, y, box.width() - indent, line), Qt::AlignLeft | Qt::AlignVCenter, t);
    };
    text(legend.scale.title, 6);
    y += line;
    const QPointF markAt(box.left() + 14, 0);
    for (const MapScale::Step& step : legend.scale.steps) {
        p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
        p.setBrush(QColor(QLatin1String(step.rgb)));
        p.drawRect(QRectF(box.left() + 8, y + line / 2 - 5, 12, 10));
        text(step.label, 30);
        y += line;
    }
    if (legend.pointMarks) {
        for (int i = 0; i < marks.size(); ++i, y += line) {
            const QPointF c(markAt.x(), y + line / 2);
            if (i < 2)
                drawLost(p, c, i == 1);
            else if (i == 2)
                drawAnswered(p, c, kNoValueColour);
            else
                drawDatum(p, c);
            text(marks[i], 30);
        }
    }
    for (const LegendLayer& l : legend.layers) {
        p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.2));
        p.setBrush(Qt::white);
        drawShape(p, QPointF(markAt.x(), y + line / 2), kMark, l.shape);
        text(layerLabel(l), 30);
        y += line;
    }
    if (!legend.note.isEmpty())
        for (const QString& l : legend.note.split(QLatin1Char('\n'))) {
            text(l, 6);
            y += line;
        }
    p.restore();
}

void drawAnswered(QPainter& p, const QPointF& c, const QColor& fill, int shape) {
    // The first layer's dots as they always were; the others' with a dark
    // edge, so that their shape shows on every colour.
    p.setPen(shape ? QPen(QColor(0x30, 0x30, 0x30), 1.2) : QPen(fill.darker(150), 0.8));
    p.setBrush(fill);
    drawShape(p, c, kMark, shape);
}

void drawLost(QPainter& p, const QPointF& c, bool late, int shape) {
    const QColor colour(QLatin1String(late ? exportdata::kLateRgb : exportdata::kLostRgb));
    if (shape) {
        p.setPen(QPen(colour, 1.2));
        p.setBrush(Qt::NoBrush);
        drawShape(p, c, kMark + 2.5, shape);
    }
    // A white edge first: the cross stays readable on the darkest dots and
    // on streets.
    for (const QPen& pen : {QPen(Qt::white, 4.4, Qt::SolidLine, Qt::FlatCap), QPen(colour, 2.2, Qt::SolidLine, Qt::FlatCap)}) {
        p.setPen(pen);
        p.drawLine(c + QPointF(-kMark, -kMark), c + QPointF(kMark, kMark));
        p.drawLine(c + QPointF(-kMark, kMark), c + QPointF(kMark, -kMark));
    }
}

void drawDatum(QPainter& p, const QPointF& c) {
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 6, 6);
    p.drawLine(c + QPointF(-10, 0), c + QPointF(10, 0));
    p.drawLine(c + QPointF(0, -10), c + QPointF(0, 10));
}

}  // namespace analysis
