#include "platform/QtSerialPort.h"

#include "platform/SourcePort.h"
#include "platform/PortDiagnosis.h"

#include <QSerialPort>

QtSerialPort::QtSerialPort(QObject* parent) : SerialPort(parent), port_(new QSerialPort(this)) {
    connect(port_, &QSerialPort::readyRead, this, &SerialPort::readyRead);
    // A vanished device (cable pulled) leaves the port unusable: close it so
    // that isOpen() tells the truth and the next write fails. A device that
    // hangs up reports a read error instead, and keeps reporting it on every
    // turn of the event loop while the port stays open: closing stops that
    // busy loop too.
    connect(port_, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        if ((e == QSerialPort::ResourceError || e == QSerialPort::ReadError) && port_->isOpen()) {
            port_->close();
            emit lost();
        }
    });
}

SerialPort* QtSerialPortFactory::createGpsPort(QObject* parent) { return new SourcePort(parent); }

bool QtSerialPort::open(const QString& name, qint32 baudRate) {
    openFailure_.clear();
    if (port_->isOpen() || name.trimmed().isEmpty() || baudRate <= 0)
        return false;
    port_->setPortName(name);
    if (!port_->open(QIODevice::ReadWrite)) {
        openFailure_ = portdiag::explain(portdiag::gather(name, port_->error(), port_->errorString()));
        return false;
    }
    if (!port_->setBaudRate(baudRate) || !port_->setDataBits(QSerialPort::Data8) ||
        !port_->setParity(QSerialPort::NoParity) || !port_->setStopBits(QSerialPort::OneStop) ||
        !port_->setFlowControl(QSerialPort::NoFlowControl)) {
        port_->close();
        return false;
    }
    return true;
}

void QtSerialPort::close() {
    if (port_->isOpen())
        port_->close();
}

bool QtSerialPort::isOpen() const { return port_->isOpen(); }

bool QtSerialPort::write(const QByteArray& data) {
    if (!port_->isOpen())
        return false;
    if (port_->write(data) != data.size())
        return false;
    // Hand the bytes to the driver now rather than at the next event-loop
    // turn, so the response clock starts when the line is on its way.
    port_->flush();
    return port_->error() == QSerialPort::NoError || port_->error() == QSerialPort::TimeoutError;
}

QByteArray QtSerialPort::readAll() { return port_->isOpen() ? port_->readAll() : QByteArray(); }
