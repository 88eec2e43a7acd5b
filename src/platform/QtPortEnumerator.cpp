#include "platform/QtPortEnumerator.h"

#include <QSerialPortInfo>

QStringList QtPortEnumerator::entries() {
    QStringList out;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) {
        QString description = info.description();
        if (description.isEmpty())
            description = QStringLiteral("Serial Port");
        const QString location = info.systemLocation().isEmpty() ? info.serialNumber() : info.systemLocation();
        out << QStringLiteral("%1 (%2) , %3").arg(description, info.portName(), location);
    }
    return out;
}

QStringList QtPortEnumerator::gpsSources() {
    if (!netsource::gpsdAnswers(gpsdHost_, gpsdPort_, kGpsdCheckMs)) return {};
    return {netsource::gpsdEntry(gpsdHost_, gpsdPort_)};
}
