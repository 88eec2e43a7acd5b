#pragma once
// Picture1, the RSSI strip chart. It owns its pixels: a persistent QImage
// that the graph step scrolls and draws into; paintEvent only blits it.
// Like a picture box it has a one-pixel frame; the image is the surface
// inside it (a 343 x 218 box draws on 341 x 216 pixels).
#include <QColor>
#include <QFrame>
#include <QImage>

#include <optional>

class RssiGraph : public QFrame {
    Q_OBJECT
public:
    explicit RssiGraph(QWidget* parent = nullptr);

    struct Colours {
        QColor back;      // fill of the new strip
        QColor grid;      // the 20 dB lines
        QColor noise;     // floor-noise trace
        QColor bar;       // the plotted value's bar
        QColor average;   // its ten-sample average trace
    };

    // Width of one step in pixels.
    static constexpr int kStep = 3;

    const QImage& image() const { return image_; }
    // Fills the whole surface with one colour (an empty graph).
    void clear(const QColor& colour);

    // Levels in dBm; an empty one has no level (its box is empty).
    // A success's plotted value and its ten-sample average before and after
    // the exchange.
    struct Bar {
        std::optional<double> value;
        std::optional<double> average0;
        std::optional<double> average1;
    };
    // The floor noise before the exchange's report and after it.
    struct Noise {
        std::optional<double> noise0;
        std::optional<double> noise1;
    };

    // One evaluated exchange: scrolls the chart one step to the left and
    // paints the new strip at the right edge: grid, then for a success (a
    // bar given) the bar of its value (none without one) and the average
    // trace from average0 to average1, then the noise trace from noise0 to
    // noise1. A trace is drawn only when both of its ends have a level.
    void step(const std::optional<Bar>& bar, const Noise& noise, const Colours& colours);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitToWidget();
    void scroll();

    QImage image_;
};
