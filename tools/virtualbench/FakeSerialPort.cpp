#include "FakeSerialPort.h"

#include "platform/Clock.h"

void FakeDevice::send(const QByteArray& bytes) {
    if (host_ && !bytes.isEmpty())
        host_->deliver(bytes);
}

void FakeDevice::unplug() {
    unplugged_ = true;
    if (FakeSerialPort* host = host_) {
        host->close();
        emit host->lost();
    }
}

QByteArray FakeDevice::written() const {
    QByteArray all;
    for (const Write& w : writes_)
        all += w.bytes;
    return all;
}

FakeSerialPortFactory::~FakeSerialPortFactory() { qDeleteAll(devices_); }

FakeDevice* FakeSerialPortFactory::addDevice(const QString& name) {
    FakeDevice*& d = devices_[name];
    if (!d)
        d = new FakeDevice(name);
    return d;
}

SerialPort* FakeSerialPortFactory::createPort(QObject* parent) { return new FakeSerialPort(*this, parent); }

bool FakeSerialPort::open(const QString& name, qint32 baudRate) {
    if (device_)
        return false;
    FakeDevice* d = factory_.device(name);
    if (!d || d->busy_ || d->unplugged_ || d->host_ || baudRate <= 0)
        return false;
    device_ = d;
    openedName_ = name;
    d->host_ = this;
    d->baud_ = baudRate;
    ++d->openCount_;
    rx_.clear();
    emit d->opened();
    return true;
}

void FakeSerialPort::close() {
    if (!device_)
        return;
    FakeDevice* d = device_;
    d->host_ = nullptr;
    device_ = nullptr;
    rx_.clear();
    emit d->closed();
}

bool FakeSerialPort::write(const QByteArray& data) {
    if (!device_ || device_->unplugged_ || device_->failWrites_)
        return false;
    const qint64 at = factory_.clock_ ? factory_.clock_->milliseconds() : 0;
    device_->writes_.append({at, data});
    emit device_->received(data);
    return true;
}

QByteArray FakeSerialPort::readAll() {
    QByteArray out;
    out.swap(rx_);
    return out;
}

void FakeSerialPort::deliver(const QByteArray& bytes) {
    rx_ += bytes;
    emit readyRead();
}
