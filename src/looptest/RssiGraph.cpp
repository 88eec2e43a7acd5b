#include "looptest/RssiGraph.h"

#include <QPainter>

RssiGraph::RssiGraph(QWidget* parent) : QWidget(parent) {}

void RssiGraph::clear(const QColor& colour) {
    image_.fill(colour);
    update();
}

void RssiGraph::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, image_);
}

void RssiGraph::resizeEvent(QResizeEvent*) {
    if (image_.size() == size())
        return;
    QImage grown(size(), QImage::Format_RGB32);
    grown.fill(Qt::white);
    QPainter p(&grown);
    p.drawImage(0, 0, image_);
    image_ = grown;
}
