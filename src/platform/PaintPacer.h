#pragma once
// Paints a window at most once per `gap` of real time. A window whose
// values change several times within a few milliseconds (a step, the
// answer, the elapsed-time tick) is painted once for all of them: the
// window's own repaint request is held back until `gap` has passed since
// the last paint and then delivered, so nothing changed is ever left
// unpainted, and a change after a quiet spell is painted at once.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

class PaintPacer : public QObject {
public:
    PaintPacer(QWidget* window, int gapMs);

    int heldBack() const { return heldBack_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void deliver();

    QWidget* window_;
    int gapMs_;
    QElapsedTimer sincePaint_;
    QTimer held_;
    bool delivering_ = false;
    int heldBack_ = 0;
};
