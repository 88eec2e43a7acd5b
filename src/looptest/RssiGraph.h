#pragma once
// Picture1, the RSSI strip chart. It owns its pixels: a persistent QImage
// that the graph step scrolls and draws into; paintEvent only blits it.
// Like a picture box it has a one-pixel frame; the image is the surface
// inside it (a 343 x 218 box draws on 341 x 216 pixels).
#include <QColor>
#include <QFrame>
#include <QImage>

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

    // One evaluated exchange: scrolls the chart one step to the left and
    // paints the new strip at the right edge: grid, then for a success the
    // bar of value (none when it is empty) and the average trace from
    // average0 to average1, then the noise trace from noise0 to noise1. A
    // trace is drawn only when both of its ends have a level.
    void step(bool success, const QString& value, const QString& average0, const QString& average1,
              const QString& noise0, const QString& noise1, const Colours& colours);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitToWidget();
    void scroll();

    QImage image_;
};
