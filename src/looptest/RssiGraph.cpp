#include "looptest/RssiGraph.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The chart spans +10 dBm at the top edge to -170 dBm at the bottom edge.
constexpr float kTopDbm = 10.0f;
constexpr float kSpanDb = 180.0f;

int pixel(float y) { return int(std::lround(y)); }

} // namespace

RssiGraph::RssiGraph(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
}

void RssiGraph::clear(const QColor& colour) {
    fitToWidget();
    image_.fill(colour);
    update();
}

void RssiGraph::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    // A graph step repaints the surface only; the frame around it is drawn
    // when the paint reaches it (shown, uncovered, resized).
    if (!contentsRect().contains(event->rect()))
        drawFrame(&p);
    p.drawImage(contentsRect().topLeft(), image_);
}

void RssiGraph::resizeEvent(QResizeEvent*) { fitToWidget(); }

// The image follows the size inside the frame; what was drawn stays at the
// top left.
void RssiGraph::fitToWidget() {
    const QSize inside = contentsRect().size();
    if (image_.size() == inside)
        return;
    QImage grown(inside, QImage::Format_RGB32);
    grown.fill(Qt::white);
    QPainter p(&grown);
    p.drawImage(0, 0, image_);
    p.end();
    image_ = grown;
}

// Moves every row kStep pixels to the left, in place.
void RssiGraph::scroll() {
    const int w = image_.width();
    if (w <= kStep)
        return;
    const size_t bytes = size_t(w - kStep) * sizeof(quint32);
    for (int y = 0; y < image_.height(); ++y) {
        uchar* row = image_.scanLine(y);
        std::memmove(row, row + kStep * sizeof(quint32), bytes);
    }
}

void RssiGraph::step(const std::optional<Bar>& bar, const Noise& noise, const Colours& colours) {
    fitToWidget();
    const int w = image_.width();
    const int h = image_.height();
    if (w <= 0 || h <= 0)
        return;
    const float s = float(h) / kSpanDb;
    const auto levelY = [s](double dbm) { return s * (kTopDbm - float(dbm)); };

    scroll();
    // The new column in the background colour, then the grid lines at
    // -160, -140, ... 0 dBm across the whole width (over the older bars
    // too): rows of pixels, written directly before any painter opens.
    const int x0 = w - kStep;
    const QRgb back = colours.back.rgb();
    const int from = std::max(x0, 0);
    for (int y = 0; y < h; ++y)
        std::fill_n(reinterpret_cast<QRgb*>(image_.scanLine(y)) + from, w - from, back);
    const QRgb grid = colours.grid.rgb();
    for (int i = 10; i <= 170; i += 20) {
        const int y = pixel(float(h) - float(i) * s);
        if (y >= 0 && y < h)
            std::fill_n(reinterpret_cast<QRgb*>(image_.scanLine(y)), w, grid);
    }

    QPainter p(&image_);
    p.setRenderHint(QPainter::Antialiasing, false);

    // A 3-pixel-thick segment joined to the previous step's one.
    const auto trace = [&](const std::optional<double>& from, const std::optional<double>& to, const QColor& colour) {
        if (!from || !to)
            return;
        const float y0 = levelY(*from);
        const float y1 = levelY(*to);
        p.setPen(colour);
        for (int k : {0, -1, 1})
            p.drawLine(x0, pixel(y0 + float(k)), w, pixel(y1 + float(k)));
    };

    if (bar) {
        if (bar->value) {
            const int top = pixel(levelY(*bar->value));
            if (top < h)
                p.fillRect(QRect(QPoint(x0, std::max(top, 0)), QPoint(w - 1, h - 1)), colours.bar);
        }
        trace(bar->average0, bar->average1, colours.average);
    }
    trace(noise.noise0, noise.noise1, colours.noise);
    p.end();
    update(contentsRect());
}
