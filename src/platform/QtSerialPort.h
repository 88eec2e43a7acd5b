#pragma once
// The real serial port, on QSerialPort.
#include "platform/SerialPort.h"

class QSerialPort;

class QtSerialPort : public SerialPort {
    Q_OBJECT
public:
    explicit QtSerialPort(QObject* parent = nullptr);
    bool open(const QString& name, qint32 baudRate) override;
    void close() override;
    bool isOpen() const override;
    bool write(const QByteArray& data) override;
    QByteArray readAll() override;
    QString openFailure() const override { return openFailure_; }

private:
    QSerialPort* port_;
    QString openFailure_;
};

class QtSerialPortFactory : public SerialPortFactory {
public:
    SerialPort* createPort(QObject* parent) override { return new QtSerialPort(parent); }
    // A SourcePort: a serial port or a network source, by the name opened.
    SerialPort* createGpsPort(QObject* parent) override;
};
