// The real serial port against a pseudo-terminal made by the test: open by
// the pty's path, bytes both ways through the event loop, the "cable
// pulled" case when the master side goes away, and the port's own thread:
// arrivals stamped and writes made at their instants while the caller's
// thread is busy.
#include "platform/QtSerialPort.h"
#include "platform/SystemClock.h"

#include <QSignalSpy>
#include <QElapsedTimer>
#include <QtTest>
#include <ctime>
#include <thread>
#include <utility>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
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
    void arrivalsStampedWhileTheCallerIsBusy();
    void timedWriteWhileTheCallerIsBusy();
    void timedWriteReplacedOrDropped();
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

namespace {

// How far the test's own threads, on a loaded or shared virtual machine
// (whose wake-ups now and then take several milliseconds), may stamp a
// write or an arrival from when it happened; the waits below keep the
// caller's thread busy for 30 ms and more beyond each instant, so a port
// that stamps or writes on that thread is beyond it.
constexpr qint64 kSlackUs = 15'000;

// The test's device side takes its instants at a low real-time priority
// where the system allows it, as the port's thread does.
void measureAtPriority() {
    sched_param p{};
    p.sched_priority = 10;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &p);
}

void busyUntil(const SystemClock& clock, qint64 us) {
    while (clock.microseconds() < us) {
    }
}

// Stamps, on another thread, when bytes come out at the master, and
// answers each time with `reply` (the far end), until `want` bytes came.
struct Peer {
    const Pty& pty;
    const SystemClock& clock;
    QByteArray got;
    QList<qint64> at;   // when each read returned bytes
    QByteArray reply;
    qint64 replyUs = -1;
    std::thread thread;
    Peer(const Pty& p, const SystemClock& c, qsizetype want, QByteArray answer)
        : pty(p), clock(c), reply(std::move(answer)) {
        thread = std::thread([this, want] {
            measureAtPriority();
            const qint64 end = clock.microseconds() + 3'000'000;
            while (got.size() < want && clock.microseconds() < end) {
                pollfd fd{pty.master, POLLIN, 0};
                if (::poll(&fd, 1, 10) <= 0)
                    continue;
                char buf[256];
                const ssize_t n = ::read(pty.master, buf, sizeof buf);
                if (n <= 0)
                    continue;
                at << clock.microseconds();
                got.append(buf, n);
            }
            if (!reply.isEmpty()) {
                replyUs = clock.microseconds();
                pty.send(reply);
            }
        });
    }
    ~Peer() { join(); }
    void join() {
        if (thread.joinable())
            thread.join();
    }
};

} // namespace

// Arrivals are read and stamped by the port's own thread while the
// caller's is busy, and told to it afterwards one by one, in order, each
// with the instant it came.
void PlatformSerialPortTest::arrivalsStampedWhileTheCallerIsBusy() {
    Pty pty;
    QtSerialPort port;
    SystemClock clock;   // its sleepUntil is used from the device's thread only
    QVERIFY(port.open(pty.slavePath, 19200));
    QSignalSpy ready(&port, &SerialPort::readyRead);
    const qint64 start = clock.microseconds();
    qint64 sentAt[2] = {0, 0};
    std::thread device([&] {
        measureAtPriority();
        clock.sleepUntil(start + 10'000);
        sentAt[0] = clock.microseconds();
        pty.send("*DR=05\r\n");
        clock.sleepUntil(start + 30'000);
        sentAt[1] = clock.microseconds();
        pty.send("*DT=01");
    });
    busyUntil(clock, start + 60'000);   // no event served meanwhile
    device.join();
    QTRY_COMPARE(ready.size(), 2);
    const SerialPort::Received first = port.readReceived();
    const SerialPort::Received second = port.readReceived();
    QCOMPARE(first.bytes, QByteArray("*DR=05\r\n"));
    QCOMPARE(second.bytes, QByteArray("*DT=01"));
    for (const auto& [r, sent] : {std::pair{first, sentAt[0]}, std::pair{second, sentAt[1]}}) {
        QVERIFY2(r.us >= sent && r.us - sent < kSlackUs, qPrintable(QString::number(r.us - sent)));
        QCOMPARE(r.ms, SystemClock::millisecondsAt(r.us));
    }
    QCOMPARE(port.readReceived().bytes, QByteArray());
}

// A write handed over for an instant goes out then, while the caller's
// thread is busy; what arrives after it waits until the caller has taken
// the write, so the caller sees its send before the answer to it.
void PlatformSerialPortTest::timedWriteWhileTheCallerIsBusy() {
    Pty pty;
    QtSerialPort port;
    SystemClock clock;
    QVERIFY(port.open(pty.slavePath, 19200));
    QSignalSpy ready(&port, &SerialPort::readyRead);
    const QList<QByteArray> lines{"@RA\r\n", "@DT05001XX\r\n"};
    const qint64 due = clock.microseconds() + 20'000;
    port.scheduleWrite(lines, due);
    Peer peer(pty, clock, 17, "*DT=05001XX");
    busyUntil(clock, due + 40'000);
    peer.join();
    QCOMPARE(peer.got, QByteArray("@RA\r\n@DT05001XX\r\n"));
    QVERIFY2(peer.at[0] >= due && peer.at[0] - due < kSlackUs, qPrintable(QString::number(peer.at[0] - due)));
    QTest::qWait(50);
    QCOMPARE(ready.size(), 0);   // the answer waits for the send to be taken
    const SerialPort::Written w = port.writeAt(lines, due);
    QCOMPARE(w.lines, lines);
    QCOMPARE(w.count, 2);
    QVERIFY2(w.us >= due && w.us - due < kSlackUs, qPrintable(QString::number(w.us - due)));
    QCOMPARE(w.ms, SystemClock::millisecondsAt(w.us));
    QTRY_COMPARE(ready.size(), 1);
    const SerialPort::Received answer = port.readReceived();
    QCOMPARE(answer.bytes, QByteArray("*DT=05001XX"));
    QVERIFY(answer.us >= peer.replyUs && answer.us - peer.replyUs < kSlackUs);
}

// A handed-over write of other lines is replaced by the caller's own, a
// cancelled one never goes out, and one whose port closes before its
// instant reports nothing written.
void PlatformSerialPortTest::timedWriteReplacedOrDropped() {
    Pty pty;
    QtSerialPort port;
    SystemClock clock;
    QVERIFY(port.open(pty.slavePath, 19200));
    port.scheduleWrite({"@DT05001XX\r\n"}, clock.microseconds() + 30'000);
    const SerialPort::Written now = port.writeAt({"@DT05002XX\r\n"}, clock.microseconds());
    QCOMPARE(now.count, 1);
    port.scheduleWrite({"@DT05003XX\r\n"}, clock.microseconds() + 20'000);
    port.cancelScheduledWrite();
    QTest::qWait(80);
    QCOMPARE(pty.receive(100, 100), QByteArray("@DT05002XX\r\n"));

    port.scheduleWrite({"@DT05004XX\r\n"}, clock.microseconds() + 20'000);
    port.close();
    const SerialPort::Written closed = port.writeAt({"@DT05004XX\r\n"}, clock.microseconds() + 20'000);
    QCOMPARE(closed.count, 0);
    QTest::qWait(50);
    QCOMPARE(pty.receive(100, 50), QByteArray());
}

QTEST_GUILESS_MAIN(PlatformSerialPortTest)
#include "platform_serial_port_test.moc"
