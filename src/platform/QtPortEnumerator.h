#pragma once
// The machine's serial devices from QSerialPortInfo, each entry
// "description (portName) , systemLocation", so the "(" ... ")" rule of the
// port list picks the port name on every platform.
#include "platform/PortEnumerator.h"

class QtPortEnumerator : public PortEnumerator {
public:
    QStringList entries() override;
};
