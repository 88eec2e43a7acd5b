#pragma once
// The simulated module on a fake serial device, for window tests:
//
//   WindowHarness h;
//   SimConfig cfg;                                   // FSK, "*FV=", -75 dBm far end ...
//   cfg.lossPattern = "..x";
//   SimOnDevice sim(h.ports.addDevice("COM3"), h.clock, cfg);
//   Form1& f = h.start();  inside(f).ui.Com_Port->setText("COM3");  ...  h.advance(1000);
//   QCOMPARE(sim.dataCommands(), 3);
//
// What the program writes to the device goes to the module; the module's
// answers come back through the device after their delays on the virtual
// clock; the module's unplug() unplugs the device.
#include "FakeSerialPort.h"
#include "SimModule.h"

class VirtualClock;

class SimOnDevice {
public:
    SimOnDevice(FakeDevice* device, VirtualClock& clock, SimConfig config = {});

    SimModule& module() { return module_; }
    SimConfig& config() { return module_.config(); }   // changes apply to later commands
    FakeDevice* device() const { return device_; }

    int commands() const { return module_.commandsReceived(); }
    int dataCommands() const { return module_.dataCommandsReceived(); }
    int answersSent() const { return module_.answersSent(); }
    // Every command received (without CR LF), in order.
    const QList<QByteArray>& received() const { return received_; }

private:
    FakeDevice* device_;
    SimModule module_;
    QList<QByteArray> received_;
};
