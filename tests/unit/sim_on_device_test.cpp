// SimOnDevice: the module behind a fake serial device, as window tests use it.
#include "SimOnDevice.h"
#include "VirtualClock.h"

#include <QtTest>

class SimOnDeviceTest : public QObject {
    Q_OBJECT
private slots:
    void answersThroughTheDevice() {
        VirtualClock clock;
        FakeSerialPortFactory ports(&clock);
        SimOnDevice sim(ports.addDevice(QStringLiteral("COM3")), clock);
        std::unique_ptr<SerialPort> port(ports.createPort(nullptr));
        QVERIFY(port->open(QStringLiteral("COM3"), 19200));
        QByteArray got;
        QObject::connect(port.get(), &SerialPort::readyRead, port.get(), [&] { got += port->readAll(); });
        QVERIFY(port->write("@FV\r\n"));
        QVERIFY(port->write("@DT05001XX\r\n"));
        clock.advance(100);
        QCOMPARE(got, QByteArray("*FV=2.10\r\n*DR=05001\xFF\xB5\r\n"));
        QCOMPARE(sim.dataCommands(), 1);
        QCOMPARE(sim.answersSent(), 2);
        QCOMPARE(sim.received(), (QList<QByteArray>{"@FV", "@DT05001XX"}));
    }

    void unplugClosesThePort() {
        VirtualClock clock;
        FakeSerialPortFactory ports(&clock);
        SimConfig c;
        c.unplugAfter = 1;
        SimOnDevice sim(ports.addDevice(QStringLiteral("COM3")), clock, c);
        std::unique_ptr<SerialPort> port(ports.createPort(nullptr));
        QVERIFY(port->open(QStringLiteral("COM3"), 19200));
        QVERIFY(port->write("@DT05001XX\r\n"));
        QVERIFY(port->isOpen());
        clock.advance(10);
        QVERIFY(sim.device()->unplugged());
        QVERIFY(!port->isOpen());
        QVERIFY(!port->write("@FV\r\n"));
    }
};

QTEST_GUILESS_MAIN(SimOnDeviceTest)
#include "sim_on_device_test.moc"
