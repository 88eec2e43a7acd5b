#pragma once
// The serial-port seam. Everything in the program that talks to a serial
// port goes through this interface; QtSerialPort is the real implementation,
// tests and the virtual bench use the fake device ports of
// tools/virtualbench (FakeSerialPort).
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class SerialPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialPort() override = default;

    // Opens the port by its system name (COM3, ttyUSB0, /dev/pts/5) at the
    // given baud rate, 8 data bits, no parity, 1 stop bit. Fails (returns
    // false) for an empty or unknown name, a busy port or a refused speed
    // (a serial port refuses a speed of 0 or less).
    virtual bool open(const QString& name, qint32 baudRate) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Writes the whole of data at once; false when the port is closed,
    // has vanished or refuses the write.
    virtual bool write(const QByteArray& data) = 0;
    // Everything received and not yet read; empties the receive buffer.
    virtual QByteArray readAll() = 0;
    // Why the last open failed, in words the user can act on ("<device>:
    // permission denied; ..."); empty when there is nothing to add.
    virtual QString openFailure() const { return QString(); }

    // Bytes as they arrived, with the instant the port took on arrival.
    struct Received {
        QByteArray bytes;
        qint64 us = -1;   // microsecond clock; -1: not taken (the reader takes it)
        qint32 ms = 0;    // millisecond counter at the same instant
    };
    // The oldest arrival not yet read, one per readyRead. A port that does
    // not stamp its arrivals returns everything waiting, unstamped.
    virtual Received readReceived() { return {readAll()}; }

    // Writes at an instant, done by the port off the window's thread (the
    // real port: its own I/O thread). A port without them returns false
    // from timedWrites() and the caller waits and writes itself.
    struct Written {
        QList<QByteArray> lines;  // what went out, in order
        int count = 0;            // lines written whole before one failed (or all)
        qint64 us = 0;            // microsecond clock right after the last write
        qint32 ms = 0;            // millisecond counter at the same instant
    };
    virtual bool timedWrites() const { return false; }
    // Hands `lines` over to be written one after another at dueUs, so that
    // they go out then even while the caller's thread is busy. Replaces a
    // handed-over write not yet done. Arrivals after such a write are held
    // back (no readyRead) until writeAt() has taken it, so that the caller
    // sees them after it has taken its send, as it would have, had it
    // written itself.
    virtual void scheduleWrite(const QList<QByteArray>& lines, qint64 dueUs) {
        Q_UNUSED(lines);
        Q_UNUSED(dueUs);
    }
    // Writes `lines` at dueUs (at once when that has passed) and returns
    // when they are out. When the handed-over write is already done, that
    // one is what went out and is returned as it is (it may differ from
    // `lines` only if what the caller sends changed since it was handed
    // over); a handed-over write of other lines or for another instant, not
    // yet done, is replaced.
    virtual Written writeAt(const QList<QByteArray>& lines, qint64 dueUs) {
        Q_UNUSED(dueUs);
        Written w;
        w.lines = lines;
        for (const QByteArray& line : lines) {
            if (!write(line))
                break;
            ++w.count;
        }
        return w;
    }
    // Drops a handed-over write not yet done (and lets held arrivals go).
    // Closing the port does the same.
    virtual void cancelScheduledWrite() {}

signals:
    // Received data are waiting. Delivered on the window's event thread.
    void readyRead();
    // The device vanished (cable pulled, adapter gone): the port has closed
    // itself. Delivered on the window's event thread.
    void lost();
};

class SerialPortFactory {
public:
    virtual ~SerialPortFactory() = default;
    virtual SerialPort* createPort(QObject* parent) = 0;
    // The GPS receiver's port. It may also open sources that are no serial
    // device (gpsd, NMEA over TCP or UDP) behind the same interface; by
    // default it is a port like any other.
    virtual SerialPort* createGpsPort(QObject* parent) { return createPort(parent); }
};
