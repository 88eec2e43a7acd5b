#pragma once
// Fake serial ports for window tests. A FakeDevice is the far end of a
// cable with a name (COM3, /dev/ttyUSB0): what the program writes arrives
// in its received() signal, what the device send()s arrives at the
// program's port. Devices can be made busy, refuse writes or be unplugged.
//
// A device must never answer from inside its received() handler: schedule
// the answer on the virtual clock (VirtualClock::after), as a real module
// answers later, from the event loop.
#include "platform/SerialPort.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

class Clock;
class FakeSerialPort;

class FakeDevice : public QObject {
    Q_OBJECT
public:
    struct Write {
        qint64 atMs;       // clock milliseconds when the program wrote
        QByteArray bytes;
    };

    explicit FakeDevice(QString name, QObject* parent = nullptr) : QObject(parent), name_(std::move(name)) {}
    QString name() const { return name_; }

    // Bytes to the program; a readyRead follows at once when the program
    // has the port open (otherwise they are dropped, like a closed port).
    void send(const QByteArray& bytes);
    // The cable is pulled: the open port closes and reports itself lost;
    // later opens and writes fail.
    void unplug();
    void plugIn() { unplugged_ = false; }
    bool unplugged() const { return unplugged_; }
    // Another program holds the port: opening fails.
    void setBusy(bool busy) { busy_ = busy; }
    bool busy() const { return busy_; }
    // Writes fail (the port stays open).
    void setFailWrites(bool fail) { failWrites_ = fail; }
    bool failWrites() const { return failWrites_; }

    bool isOpenByHost() const { return host_ != nullptr; }
    qint32 baudRate() const { return baud_; }
    int openCount() const { return openCount_; }
    const QList<Write>& writes() const { return writes_; }
    QByteArray written() const;      // all written bytes joined
    void clearWrites() { writes_.clear(); }

signals:
    void received(const QByteArray& bytes);
    void opened();
    void closed();

private:
    friend class FakeSerialPort;
    QString name_;
    FakeSerialPort* host_ = nullptr;
    bool unplugged_ = false;
    bool busy_ = false;
    bool failWrites_ = false;
    qint32 baud_ = 0;
    int openCount_ = 0;
    QList<Write> writes_;
};

class FakeSerialPortFactory : public SerialPortFactory {
public:
    explicit FakeSerialPortFactory(const Clock* clock = nullptr) : clock_(clock) {}
    ~FakeSerialPortFactory() override;

    FakeDevice* addDevice(const QString& name);
    FakeDevice* device(const QString& name) const { return devices_.value(name); }
    SerialPort* createPort(QObject* parent) override;
    const Clock* clock() const { return clock_; }

private:
    friend class FakeSerialPort;
    const Clock* clock_;
    QMap<QString, FakeDevice*> devices_;
};

class FakeSerialPort : public SerialPort {
    Q_OBJECT
public:
    FakeSerialPort(FakeSerialPortFactory& factory, QObject* parent) : SerialPort(parent), factory_(factory) {}
    ~FakeSerialPort() override { close(); }

    bool open(const QString& name, qint32 baudRate) override;
    void close() override;
    bool isOpen() const override { return device_ != nullptr; }
    bool write(const QByteArray& data) override;
    QByteArray readAll() override;

    FakeDevice* device() const { return device_; }
    QString openedName() const { return openedName_; }

private:
    friend class FakeDevice;
    void deliver(const QByteArray& bytes);
    FakeSerialPortFactory& factory_;
    FakeDevice* device_ = nullptr;
    QString openedName_;
    QByteArray rx_;
};
