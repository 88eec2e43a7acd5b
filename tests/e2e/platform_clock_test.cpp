// The real millisecond clock and timers, and the port list's entry shape.
// Timing bounds are generous: the machine is shared and may be loaded.
#include "platform/QtPortEnumerator.h"
#include "platform/SystemClock.h"
#include "platform/Timer.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <vector>

class PlatformClockTest : public QObject {
    Q_OBJECT
private slots:
    void millisecondsMonotonic();
    void millisecondsFollowTime();
    void timerDefaultsAndFiring();
    void timerRestartAndStop();
    void nowIsLocalTime();
    void sleepsUntilTheInstant();
    void portEntriesShape();
};

void PlatformClockTest::millisecondsMonotonic() {
    SystemClock clock;
    qint32 last = clock.milliseconds();
    for (int i = 0; i < 20000; ++i) {
        const qint32 now = clock.milliseconds();
        // Differences taken as 32-bit signed values never go back, even
        // across the wrap.
        QVERIFY(qint32(quint32(now) - quint32(last)) >= 0);
        last = now;
    }
}

// A wait to an instant a few milliseconds ahead returns at it (not before,
// and not a whole scheduler tick after); one already past returns at once.
void PlatformClockTest::sleepsUntilTheInstant() {
    SystemClock clock;
    std::vector<qint64> late;
    for (int i = 0; i < 20; ++i) {
        const qint64 target = clock.microseconds() + 1500 + 150 * i;
        clock.sleepUntil(target);
        late.push_back(clock.microseconds() - target);
        QVERIFY2(late.back() >= 0, qPrintable(QString::number(late.back())));
    }
    // The middle of them within a millisecond, where a wait rounded to the
    // scheduler's tick is several late each time; a shared virtual
    // machine may keep any single one waiting longer.
    std::sort(late.begin(), late.end());
    QVERIFY2(late[late.size() / 2] < 1000, qPrintable(QString::number(late[late.size() / 2])));
    QVERIFY2(late.back() < 20'000, qPrintable(QString::number(late.back())));
    const qint64 before = clock.microseconds();
    clock.sleepUntil(before - 10'000);
    QVERIFY(clock.microseconds() - before < 5000);
}

void PlatformClockTest::millisecondsFollowTime() {
    SystemClock clock;
    const qint32 a = clock.milliseconds();
    QTest::qSleep(200);
    const qint32 d = qint32(quint32(clock.milliseconds()) - quint32(a));
    QVERIFY2(d >= 195 && d < 2000, qPrintable(QString::number(d)));
    // Two clocks in one process agree within a little.
    SystemClock other;
    const qint32 gap = qint32(quint32(other.milliseconds()) - quint32(clock.milliseconds()));
    QVERIFY2(qAbs(gap) <= 50, qPrintable(QString::number(gap)));
    // The microsecond count runs on the millisecond counter's base and
    // follows the same sleep.
    const qint64 us = clock.microseconds();
    const qint32 ms = clock.milliseconds();
    QVERIFY(qAbs(qint32(quint32(ms) - quint32(us / 1000))) <= 1);
    QTest::qSleep(50);
    const qint64 dus = clock.microseconds() - us;
    QVERIFY2(dus >= 49000 && dus < 1000000, qPrintable(QString::number(dus)));
    // Two clocks read one instant alike to the microsecond, not merely to
    // the millisecond: the ports' threads stamp on clocks of their own, and
    // a send instant taken on one is kept on another.
    for (int i = 0; i < 100; ++i) {
        SystemClock fresh;
        const qint64 before = clock.microseconds();
        const qint64 between = fresh.microseconds();
        const qint64 after = clock.microseconds();
        QVERIFY2(before <= between && between <= after,
                 qPrintable(QStringLiteral("%1 %2 %3").arg(before).arg(between).arg(after)));
    }
}

void PlatformClockTest::timerDefaultsAndFiring() {
    SystemClock clock;
    QObject owner;
    Timer* t = clock.createTimer(&owner);
    QCOMPARE(t->parent(), &owner);
    QCOMPARE(t->interval(), 100);
    QVERIFY(!t->isEnabled());
    QSignalSpy fired(t, &Timer::timeout);
    QTest::qWait(150);
    QCOMPARE(fired.count(), 0);   // disabled until enabled

    t->setInterval(20);
    QElapsedTimer e;
    e.start();
    t->setEnabled(true);
    QVERIFY(t->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(fired.count() >= 10, 5000);
    const qint64 ms = e.elapsed();
    // Ten 20 ms periods: not early, and not wildly late.
    QVERIFY2(ms >= 190 && ms < 4000, qPrintable(QString::number(ms)));
}

void PlatformClockTest::timerRestartAndStop() {
    SystemClock clock;
    QObject owner;
    Timer* t = clock.createTimer(&owner);
    QSignalSpy fired(t, &Timer::timeout);
    t->setInterval(300);
    t->setEnabled(true);
    QTest::qWait(200);
    // Changing the interval of a running timer restarts its countdown.
    QElapsedTimer e;
    e.start();
    t->setInterval(300);
    QVERIFY(fired.wait(3000));
    QVERIFY2(e.elapsed() >= 290, qPrintable(QString::number(e.elapsed())));
    t->setEnabled(false);
    QVERIFY(!t->isEnabled());
    const int count = fired.count();
    QTest::qWait(400);
    QCOMPARE(fired.count(), count);
}

void PlatformClockTest::nowIsLocalTime() {
    SystemClock clock;
    const QDateTime a = QDateTime::currentDateTime();
    const QDateTime n = clock.now();
    QCOMPARE(n.timeSpec(), Qt::LocalTime);
    QVERIFY(qAbs(a.msecsTo(n)) < 5000);
}

void PlatformClockTest::portEntriesShape() {
    // The machine may have no serial devices at all; every entry it has
    // carries the port name between the first "(" and ")".
    QtPortEnumerator ports;
    const QStringList entries = ports.entries();
    if (entries.isEmpty())
        QSKIP("no serial devices on this machine: the entries' shape is not checked");
    const QRegularExpression shape(QStringLiteral("^.+ \\(([^()]+)\\) , .*$"));
    for (const QString& e : entries) {
        const auto m = shape.match(e);
        QVERIFY2(m.hasMatch(), qPrintable(e));
    }
}

QTEST_GUILESS_MAIN(PlatformClockTest)
#include "platform_clock_test.moc"
