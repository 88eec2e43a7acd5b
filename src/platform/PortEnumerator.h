#pragma once
// The device-query seam for port discovery: one entry per serial device, in
// the platform's order, each "description (portName) , systemLocation".
#include <QStringList>

class PortEnumerator {
public:
    virtual ~PortEnumerator() = default;
    virtual QStringList entries() = 0;
};
