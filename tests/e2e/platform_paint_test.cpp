// The window's paint pacing on the real event loop and clock: a burst of
// changes is painted once for all, nothing changed is left unpainted, and a
// change after a quiet spell is painted at once; a tick's change is
// painted in the tick's own wake-up. Bounds are generous: the
// machine is shared and may be loaded.
#include "platform/PaintPacer.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <QtTest>

namespace {

// Counts the paints a widget receives and notes the text it last painted.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QLabel* label) : label_(label) { label->installEventFilter(this); }
    int paints = 0;
    QString painted;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            ++paints;
            painted = label_->text();
        }
        return false;
    }

private:
    QLabel* label_;
};

} // namespace

class PlatformPaintTest : public QObject {
    Q_OBJECT
private slots:
    void burstsArePaintedOnceAndNothingIsLeft() {
        QWidget window;
        window.resize(200, 100);
        auto* label = new QLabel(QStringLiteral("0"), &window);
        label->setGeometry(10, 10, 100, 20);
        constexpr int kGapMs = 300;
        auto* pacer = new PaintPacer(&window, kGapMs);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(2 * kGapMs);
        PaintCounter counter(label);

        // After a quiet spell the first change is painted at once.
        QElapsedTimer since;
        since.start();
        label->setText(QStringLiteral("1"));
        QTRY_COMPARE_WITH_TIMEOUT(counter.painted, QStringLiteral("1"), kGapMs / 2);
        QVERIFY2(since.elapsed() < kGapMs / 2, qPrintable(QString::number(since.elapsed())));
        const int afterFirst = counter.paints;

        // Changes within the gap are held back, then painted together: the
        // last value stands on the screen, painted once.
        for (int i = 2; i <= 6; ++i) {
            label->setText(QString::number(i));
            QCoreApplication::processEvents();
        }
        if (since.elapsed() < kGapMs - 50) {
            QCOMPARE(counter.paints, afterFirst);
            QVERIFY(pacer->heldBack() >= 1);
        }
        QTRY_COMPARE_WITH_TIMEOUT(counter.painted, QStringLiteral("6"), 5 * kGapMs);
        QVERIFY(since.elapsed() >= kGapMs - 20);
        QTest::qWait(2 * kGapMs);
        QCOMPARE(counter.paints, afterFirst + 1);
    }

    // A tick of the pacer's own period (the elapsed-time tick) that changes
    // the window while other changes are held is painted with them in the
    // tick's own wake-up, not at the pacer's next beat.
    void ticksArePaintedInTheirOwnWakeUp() {
        QWidget window;
        window.resize(200, 100);
        auto* tickLabel = new QLabel(QStringLiteral("0"), &window);
        tickLabel->setGeometry(10, 10, 100, 20);
        auto* other = new QLabel(QStringLiteral("-"), &window);
        other->setGeometry(10, 40, 100, 20);
        new PaintPacer(&window, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        PaintCounter counter(tickLabel);

        int ticks = 0, checked = 0, behind = 0;
        QTimer tick;
        tick.setTimerType(Qt::CoarseTimer);
        tick.setInterval(100);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const QString value = QString::number(++ticks);
            tickLabel->setText(value);
            // Looked at 20 ms on (the first second lets the coarse timers
            // fall into step): painted by then, not a beat later.
            if (ticks > 10)
                QTimer::singleShot(20, Qt::PreciseTimer, &window, [&, value] {
                    ++checked;
                    if (counter.painted != value) ++behind;
                });
        });
        QTimer changes;  // held changes in between, at another pace
        changes.setTimerType(Qt::PreciseTimer);
        changes.setInterval(37);
        QObject::connect(&changes, &QTimer::timeout, [&] { other->setText(QString::number(ticks * 7 % 13)); });
        // A change held before the tick starts: the pacer's beat is then
        // served before the tick whenever both are due together.
        other->setText(QStringLiteral("a"));
        QCoreApplication::processEvents();
        other->setText(QStringLiteral("b"));
        QCoreApplication::processEvents();
        tick.start();
        changes.start();
        QTRY_VERIFY_WITH_TIMEOUT(checked >= 20, 10000);
        QVERIFY2(behind <= 3, qPrintable(QStringLiteral("%1 of %2 ticks a beat behind").arg(behind).arg(checked)));
    }
};

QTEST_MAIN(PlatformPaintTest)
#include "platform_paint_test.moc"
