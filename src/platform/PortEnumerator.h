#pragma once
// The device-query seam for port discovery: one entry per serial device, in
// the platform's order, each "description (portName) , systemLocation".
#include <QStringList>

class PortEnumerator {
public:
    virtual ~PortEnumerator() = default;
    virtual QStringList entries() = 0;
    // Sources the GPS port can take besides serial devices (a gpsd that
    // answers), in the same form, the source's name between "(" and ")".
    // Asked only for the GPS port's list; quick, whatever the answer.
    virtual QStringList gpsSources() { return {}; }
};
