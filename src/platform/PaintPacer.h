#pragma once
// Paints a window at most about once per `gap` of real time. A window whose
// values change several times within a few milliseconds (a step, the
// answer, the elapsed-time tick) is painted once for all of them: the
// window's own repaint request is held back and delivered at the pacer's
// next beat, so nothing changed is ever left unpainted, and a change after
// a quiet spell is painted at once.
//
// The beat is a coarse timer of period `gap`: the system lines it up with
// other coarse timers of that period, so that a held paint is done in the
// same wake-up as a tick that changes the window, not in one of its own. A
// change that comes at most kSlackMs early (a tick a little ahead of the
// beat) is painted at once rather than a whole gap later.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

class PaintPacer : public QObject {
public:
    PaintPacer(QWidget* window, int gapMs);

    int heldBack() const { return heldBack_; }

    static constexpr int kSlackMs = 10;
    static constexpr int kIdleBeats = 10;  // beats with nothing held before the beat stops

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void beat();
    void deliver();

    QWidget* window_;
    int gapMs_;
    QElapsedTimer sincePaint_;
    QTimer beat_;
    bool held_ = false;
    int idleBeats_ = 0;
    bool deliveryQueued_ = false;
    bool delivering_ = false;
    int heldBack_ = 0;
};
