// The real serial port against a pseudo-terminal made by the test: open by
// the pty's path, bytes both ways through the event loop, and the "cable
// pulled" case when the master side goes away.
#include "platform/QtSerialPort.h"

#include <QSignalSpy>
#include <QElapsedTimer>
#include <QtTest>
#include <ctime>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The master side of a pseudo-terminal, raw mode, non-blocking.
struct Pty {
    int master = -1;
    QString slavePath;
    Pty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return;
        slavePath = QString::fromLocal8Bit(::ptsname(master));
        termios t{};
        if (::tcgetattr(master, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(master, TCSANOW, &t);
        }
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    ~Pty() { closeMaster(); }
    void closeMaster() {
        if (master >= 0) ::close(master);
        master = -1;
    }
    bool send(const QByteArray& b) const { return ::write(master, b.constData(), size_t(b.size())) == b.size(); }
    // Reads at the master until want bytes arrived or the time is up; the
    // event loop runs meanwhile so the port can hand its bytes on.
    QByteArray receive(qsizetype want, int ms = 3000) const {
        QByteArray got;
        QElapsedTimer t;
        t.start();
        while (got.size() < want && t.elapsed() < ms) {
            char buf[256];
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0) got.append(buf, n);
            else QTest::qWait(5);
        }
        return got;
    }
};

} // namespace

class PlatformSerialPortTest : public QObject {
    Q_OBJECT
private slots:
    void writeReachesTheDevice();
    void receivedBytesSignalled();
    void secondOpenRefused();
    void closeAndReopen();
    void masterClosedIsUnplugged();
    void hangUpReportedOnceWithoutAWrite();
    void openFails_data();
    void openFails();
};

void PlatformSerialPortTest::writeReachesTheDevice() {
    Pty pty;
    QVERIFY(!pty.slavePath.isEmpty());
    QtSerialPort port;
    QVERIFY(port.open(pty.slavePath, 19200));
    QVERIFY(port.isOpen());
    const QByteArray line("@DR=05\r\n");
    QVERIFY(port.write(line));
    QCOMPARE(pty.receive(line.size()), line);
    // High bytes go through untouched in raw mode.
    const QByteArray bin("\x00\xff\x80\x0d\x0a", 5);
    QVERIFY(port.write(bin));
    QCOMPARE(pty.receive(bin.size()), bin);
}

void PlatformSerialPortTest::receivedBytesSignalled() {
    Pty pty;
    QtSerialPort port;
    QVERIFY(port.open(pty.slavePath, 4800));
    QSignalSpy ready(&port, &SerialPort::readyRead);
    const QByteArray data("*DR=05\r\n\x01\xfe", 10);
    QVERIFY(pty.send(data));
    QVERIFY(ready.wait(3000));
    QByteArray got = port.readAll();
    for (int i = 0; i < 50 && got.size() < data.size(); ++i) {
        QTest::qWait(20);
        got += port.readAll();
    }
    QCOMPARE(got, data);
    QCOMPARE(port.readAll(), QByteArray());   // emptied
}

void PlatformSerialPortTest::secondOpenRefused() {
    Pty pty;
    QtSerialPort port;
    QVERIFY(port.open(pty.slavePath, 19200));
    QVERIFY(!port.open(pty.slavePath, 19200));   // already open
    QVERIFY(port.isOpen());
}

void PlatformSerialPortTest::closeAndReopen() {
    Pty pty;
    QtSerialPort port;
    QVERIFY(port.open(pty.slavePath, 19200));
    port.close();
    QVERIFY(!port.isOpen());
    QVERIFY(!port.write("x"));
    port.close();   // closing a closed port is harmless
    QVERIFY(port.open(pty.slavePath, 19200));
    QVERIFY(port.write("y"));
    QCOMPARE(pty.receive(1), QByteArray("y"));
}

void PlatformSerialPortTest::masterClosedIsUnplugged() {
    Pty pty;
    QtSerialPort port;
    QVERIFY(port.open(pty.slavePath, 19200));
    pty.closeMaster();
    // The device has gone: the very first write fails (the line reports an
    // I/O error), and the port reads as closed from then on, so the caller
    // sees the failure and does not write into a dead line again.
    QTest::qWait(100);
    QVERIFY(!port.write("@DR=05\r\n"));
    QVERIFY(!port.isOpen());
    QVERIFY(!port.write("@DR=05\r\n"));
    QCOMPARE(port.readAll(), QByteArray());
    // The same port object opens the next device afterwards.
    Pty again;
    QVERIFY(port.open(again.slavePath, 19200));
    QVERIFY(port.write("z"));
    QCOMPARE(again.receive(1), QByteArray("z"));
}

// A device that hangs up while nothing is written (a GPS receiver only
// sends): the port closes itself and says so once; the event loop does not
// go on spinning on the dead line.
void PlatformSerialPortTest::hangUpReportedOnceWithoutAWrite() {
    Pty pty;
    QtSerialPort port;
    QVERIFY(port.open(pty.slavePath, 9600));
    QSignalSpy lost(&port, &SerialPort::lost);
    pty.closeMaster();
    QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, 3000);
    QVERIFY(!port.isOpen());
    QElapsedTimer wall;
    wall.start();
    std::clock_t cpu = std::clock();
    QTest::qWait(500);
    cpu = std::clock() - cpu;
    QCOMPARE(lost.size(), 1);
    // Well under half of the wall time: a spinning loop takes all of it.
    QVERIFY2(double(cpu) / CLOCKS_PER_SEC < 0.5 * wall.elapsed() / 1000.0,
             qPrintable(QString::number(double(cpu) / CLOCKS_PER_SEC)));
}

void PlatformSerialPortTest::openFails_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("empty name") << "";
    QTest::newRow("blank name") << "  ";
    QTest::newRow("missing device") << "/dev/ttyQVX_no_such_port";
    QTest::newRow("windows name on this machine") << "COM3";
    QTest::newRow("not a terminal") << "/dev/null";
}

void PlatformSerialPortTest::openFails() {
    QFETCH(QString, name);
    QtSerialPort port;
    QVERIFY(!port.open(name, 19200));
    QVERIFY(!port.isOpen());
    QVERIFY(!port.write("x"));
    QCOMPARE(port.readAll(), QByteArray());
}

QTEST_GUILESS_MAIN(PlatformSerialPortTest)
#include "platform_serial_port_test.moc"
