#pragma once
// The serial-port seam. Everything in the program that talks to a serial
// port goes through this interface; QtSerialPort is the real implementation,
// tests use the fake device ports of tests/support.
#include <QByteArray>
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
