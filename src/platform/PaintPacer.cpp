#include "platform/PaintPacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include <algorithm>

PaintPacer::PaintPacer(QWidget* window, int gapMs) : QObject(window), window_(window), gapMs_(gapMs) {
    held_.setSingleShot(true);
    held_.setTimerType(Qt::PreciseTimer);
    connect(&held_, &QTimer::timeout, this, &PaintPacer::deliver);
    window_->installEventFilter(this);
}

bool PaintPacer::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_ || event->type() != QEvent::UpdateRequest || delivering_)
        return false;
    if (!sincePaint_.isValid() || sincePaint_.elapsed() >= gapMs_) {
        sincePaint_.start();
        return false;
    }
    // Held back: the toolkit asks for no further paint of this window until
    // this request has been delivered, so one delivery paints everything
    // changed in between.
    ++heldBack_;
    if (!held_.isActive())
        held_.start(int(std::max<qint64>(1, gapMs_ - sincePaint_.elapsed())));
    return true;
}

void PaintPacer::deliver() {
    delivering_ = true;
    sincePaint_.start();
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(window_, &request);
    delivering_ = false;
}
