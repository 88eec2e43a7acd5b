#include "platform/SourcePort.h"

#include "platform/NetworkSource.h"
#include "platform/QtSerialPort.h"

SourcePort::SourcePort(QObject* parent)
    : SerialPort(parent), serial_(new QtSerialPort(this)), network_(new NetworkSourcePort(this)) {
    for (SerialPort* port : {static_cast<SerialPort*>(serial_), static_cast<SerialPort*>(network_)}) {
        connect(port, &SerialPort::readyRead, this, &SerialPort::readyRead);
        connect(port, &SerialPort::lost, this, &SerialPort::lost);
    }
}

bool SourcePort::open(const QString& name, qint32 baudRate) {
    if (isOpen()) return false;
    active_ = netsource::isSourceName(name) ? static_cast<SerialPort*>(network_) : static_cast<SerialPort*>(serial_);
    return active_->open(name, baudRate);
}

void SourcePort::close() {
    if (active_) active_->close();
}

bool SourcePort::isOpen() const { return active_ && active_->isOpen(); }

bool SourcePort::write(const QByteArray& data) { return active_ && active_->write(data); }

QByteArray SourcePort::readAll() { return active_ ? active_->readAll() : QByteArray(); }
