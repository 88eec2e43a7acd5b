// The test seams themselves: a wrong virtual clock or fake port would make
// every window test prove nothing.
#include "FakeSerialPort.h"
#include "VirtualClock.h"
#include "platform/Timer.h"

#include <QtTest>

class VirtualClockTest : public QObject {
    Q_OBJECT
private slots:
    void timersFireInDueOrderWithNowAtTheirDueTime() {
        VirtualClock clock(0);
        QObject owner;
        Timer* a = clock.createTimer(&owner);
        Timer* b = clock.createTimer(&owner);
        a->setInterval(30);
        b->setInterval(50);
        QList<QPair<char, qint64>> fired;
        QObject::connect(a, &Timer::timeout, [&] { fired.append({'a', clock.nowMs()}); });
        QObject::connect(b, &Timer::timeout, [&] { fired.append({'b', clock.nowMs()}); });
        a->setEnabled(true);
        b->setEnabled(true);
        clock.advance(100);
        const QList<QPair<char, qint64>> expected{{'a', 30}, {'b', 50}, {'a', 60}, {'a', 90}, {'b', 100}};
        QCOMPARE(fired, expected);
        QCOMPARE(clock.nowMs(), qint64(100));
    }

    void reArmingInsideTheHandlerRestartsFromThatMoment() {
        VirtualClock clock(0);
        QObject owner;
        Timer* t = clock.createTimer(&owner);
        QList<qint64> at;
        QObject::connect(t, &Timer::timeout, [&] {
            at << clock.nowMs();
            t->setEnabled(false);
            t->setInterval(250);
            t->setEnabled(true);
        });
        t->setEnabled(true);
        clock.advance(700);
        QCOMPARE(at, (QList<qint64>{100, 350, 600}));
    }

    void callbacksInterleaveWithTimersAndWrapTheCounter() {
        VirtualClock clock(0xFFFFFFF0LL);
        QCOMPARE(clock.milliseconds(), qint32(-16));
        QList<qint64> at;
        clock.after(20, [&] { at << clock.nowMs(); });
        clock.after(0, [&] { at << clock.nowMs(); });
        QVERIFY(at.isEmpty());  // never re-entrant
        clock.advance(25);
        QCOMPARE(at, (QList<qint64>{0xFFFFFFF0LL, 0xFFFFFFF0LL + 20}));
        QCOMPARE(clock.milliseconds(), qint32(9));
    }

    void fakeDeviceRecordsWritesAndFailsWhenUnplugged() {
        VirtualClock clock(500);
        FakeSerialPortFactory factory(&clock);
        FakeDevice* dev = factory.addDevice("COM3");
        QObject owner;
        SerialPort* port = factory.createPort(&owner);
        QVERIFY(!port->open("COM4", 19200));
        QVERIFY(port->open("COM3", 19200));
        QVERIFY(port->write("@FV\r\n"));
        QCOMPARE(dev->writes().size(), 1);
        QCOMPARE(dev->writes()[0].atMs, qint64(500));
        int ready = 0;
        QObject::connect(port, &SerialPort::readyRead, [&] { ++ready; });
        dev->send("*FV=1\r\n");
        QCOMPARE(ready, 1);
        QCOMPARE(port->readAll(), QByteArray("*FV=1\r\n"));
        QCOMPARE(port->readAll(), QByteArray());
        dev->unplug();
        QVERIFY(!port->isOpen());
        QVERIFY(!port->write("@MO\r\n"));
        QVERIFY(!port->open("COM3", 19200));
    }
};

QTEST_GUILESS_MAIN(VirtualClockTest)
#include "test_virtual_clock.moc"
