#include "shell/Form1.h"

#include "gps/DatumPoint.h"
#include "gps/GgaProcessor.h"
#include "looptest/ResultSounds.h"
#include "looptest/RunControl.h"
#include "looptest/TestCycle.h"
#include "module/InitSequence.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"
#include "platform/Timer.h"
#include "ports/GpsChannel.h"
#include "ports/PortSelection.h"
#include "ports/RadioChannel.h"
#include "results/LogWriters.h"
#include "shell/FieldRules.h"
#include "shell/SettingsFile.h"

Form1::Form1(const Services& services, QWidget* parent) : QWidget(parent), svc(services) {
    ui.setupUi(this);
    bindControlArrays();

    MSComm1 = svc.ports->createPort(this);
    MSComm2 = svc.ports->createPort(this);
    GPSTimer = svc.clock->createTimer(this);
    InitialTimer = svc.clock->createTimer(this);
    Tx_Timer = svc.clock->createTimer(this);
    Timer1 = svc.clock->createTimer(this);

    // Each subsystem connects its own handlers in its constructor.
    settings = std::make_unique<SettingsFile>(*this);
    fieldRules = std::make_unique<FieldRules>(*this);
    logs = std::make_unique<LogWriters>(*this);
    sounds = std::make_unique<ResultSounds>(*this);
    radio = std::make_unique<RadioChannel>(*this);
    portSelection = std::make_unique<PortSelection>(*this);
    gpsChannel = std::make_unique<GpsChannel>(*this);
    init = std::make_unique<InitSequence>(*this);
    run = std::make_unique<RunControl>(*this);
    cycle = std::make_unique<TestCycle>(*this);
    gga = std::make_unique<GgaProcessor>(*this);
    datum = std::make_unique<DatumPoint>(*this);

    Form_Load();
}

Form1::~Form1() {
    Form_Unload();
}

QString Form1::versionText() {
    return QStringLiteral("%1.%2.%3").arg(QVX_VERSION_MAJOR).arg(QVX_VERSION_MINOR).arg(QVX_VERSION_PATCH);
}
