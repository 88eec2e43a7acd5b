#pragma once
// Why a serial port did not open, in words a Linux user can act on: a
// device that does not exist (with the ports that do), one this user may
// not open (with the device's group to join), one another program holds
// (with its process id). The facts are gathered from the system after the
// failed open, without opening the device again; the wording is a pure
// function of them.
#include <QSerialPort>
#include <QString>
#include <QStringList>

namespace portdiag {

struct Facts {
    QString device;           // the path that was opened (/dev/ttyUSB0)
    bool exists = false;
    bool mayOpen = true;      // read and write allowed for this user
    QString group;            // the device's group
    qint64 holder = 0;        // the process holding it, 0 when none is known
    QString holderName;       // that process's command name
    bool busy = false;        // held by another program (lock file or exclusive open)
    QStringList present;      // serial ports that exist
    QString qtReason;         // the port's own error text
};

// One line, without the program's name: "<device>: <reason>".
QString explain(const Facts& facts);

// The facts for a port name as the window takes it (ttyUSB0, /dev/ttyUSB0)
// after QSerialPort failed to open it with the given error.
Facts gather(const QString& name, QSerialPort::SerialPortError error, const QString& errorText);

} // namespace portdiag
