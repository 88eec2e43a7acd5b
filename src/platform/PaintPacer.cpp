#include "platform/PaintPacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

PaintPacer::PaintPacer(QWidget* window, int gapMs) : QObject(window), window_(window), gapMs_(gapMs) {
    beat_.setTimerType(Qt::CoarseTimer);
    beat_.setInterval(gapMs_);
    connect(&beat_, &QTimer::timeout, this, &PaintPacer::beat);
    window_->installEventFilter(this);
}

bool PaintPacer::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_ || event->type() != QEvent::UpdateRequest)
        return false;
    if (delivering_ || !sincePaint_.isValid() || sincePaint_.elapsed() >= gapMs_ - kSlackMs) {
        // Painted now: whatever was held is painted with it.
        held_ = false;
        sincePaint_.start();
        return false;
    }
    // Held back: the toolkit asks for no further paint of this window until
    // this request has been delivered, so one delivery paints everything
    // changed in between.
    ++heldBack_;
    held_ = true;
    idleBeats_ = 0;
    if (!beat_.isActive())
        beat_.start();
    return true;
}

void PaintPacer::beat() {
    if (!held_) {
        // Quiet for a while: stopped (the next change is painted at once).
        // Kept through short lulls, so that while the window keeps
        // changing the beat stays in step with the ticks it has met.
        if (++idleBeats_ >= kIdleBeats)
            beat_.stop();
        return;
    }
    idleBeats_ = 0;
    // Queued, not done here: the ticks due in this same wake-up change the
    // window first, and the one paint shows their changes too.
    if (!deliveryQueued_) {
        deliveryQueued_ = true;
        QMetaObject::invokeMethod(this, &PaintPacer::deliver, Qt::QueuedConnection);
    }
}

void PaintPacer::deliver() {
    deliveryQueued_ = false;
    if (!held_)
        return;  // painted meanwhile
    delivering_ = true;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(window_, &request);
    delivering_ = false;
}
