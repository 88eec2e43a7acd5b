// The window's paint pacing on the real event loop and clock: a burst of
// changes is painted once for all, nothing changed is left unpainted, and a
// change after a quiet spell is painted at once. Bounds are generous: the
// machine is shared and may be loaded.
#include "platform/PaintPacer.h"

#include <QElapsedTimer>
#include <QLabel>
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
};

QTEST_MAIN(PlatformPaintTest)
#include "platform_paint_test.moc"
