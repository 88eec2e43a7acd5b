#pragma once
// The machine's serial devices from QSerialPortInfo, each entry
// "description (portName) , systemLocation", so the "(" ... ")" rule of the
// port list picks the port name on every platform; and, for the GPS port,
// the local gpsd when one answers.
#include "platform/NetworkSource.h"
#include "platform/PortEnumerator.h"

#include <QString>

class QtPortEnumerator : public PortEnumerator {
public:
    // The whole gpsd check, connect and greeting: a closed port fails at
    // once, a listener that is no gpsd costs this long at most.
    static constexpr int kGpsdCheckMs = 300;

    explicit QtPortEnumerator(QString gpsdHost = QStringLiteral("localhost"), quint16 gpsdPort = netsource::kGpsdPort)
        : gpsdHost_(std::move(gpsdHost)), gpsdPort_(gpsdPort) {}
    QStringList entries() override;
    QStringList gpsSources() override;

private:
    QString gpsdHost_;
    quint16 gpsdPort_;
};
