#pragma once
// Picture1, the RSSI strip chart. It owns its pixels: a persistent QImage
// that the graph step scrolls and draws into; paintEvent only blits it.
#include <QImage>
#include <QWidget>

class RssiGraph : public QWidget {
    Q_OBJECT
public:
    explicit RssiGraph(QWidget* parent = nullptr);

    const QImage& image() const { return image_; }
    // Fills the whole surface with one colour (an empty graph).
    void clear(const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage image_;
};
