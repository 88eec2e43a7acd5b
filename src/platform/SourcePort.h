#pragma once
// The GPS receiver's port: a serial port, or a network source (gpsd, NMEA
// over TCP or UDP, see NetworkSource.h) when the name given to open() is
// one. The parts above see one SerialPort whichever it is.
#include "platform/SerialPort.h"

class NetworkSourcePort;
class QtSerialPort;

class SourcePort : public SerialPort {
    Q_OBJECT
public:
    explicit SourcePort(QObject* parent = nullptr);
    bool open(const QString& name, qint32 baudRate) override;
    void close() override;
    bool isOpen() const override;
    bool write(const QByteArray& data) override;
    QByteArray readAll() override;

private:
    QtSerialPort* serial_;
    NetworkSourcePort* network_;
    SerialPort* active_ = nullptr;   // the one last opened
};
