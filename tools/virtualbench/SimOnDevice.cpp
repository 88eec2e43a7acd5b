#include "SimOnDevice.h"

#include "VirtualClock.h"

SimOnDevice::SimOnDevice(FakeDevice* device, VirtualClock& clock, SimConfig config)
    : device_(device), module_(clock, std::move(config)) {
    QObject::connect(device_, &FakeDevice::received, &module_, &SimModule::hostBytes);
    QObject::connect(&module_, &SimModule::toHost, device_, &FakeDevice::send);
    QObject::connect(&module_, &SimModule::unplug, device_, &FakeDevice::unplug);
    QObject::connect(&module_, &SimModule::commandTraced, &module_,
                     [this](qint64, const QByteArray& command, int) { received_.append(command); });
}
