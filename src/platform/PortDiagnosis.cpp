#include "platform/PortDiagnosis.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSerialPortInfo>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace portdiag {

QString explain(const Facts& x) {
    if (!x.exists) {
        return x.device + QStringLiteral(": no such device; ") +
               (x.present.isEmpty() ? QStringLiteral("no serial ports are present")
                                    : QStringLiteral("ports present: ") + x.present.join(QStringLiteral(", ")));
    }
    if (!x.mayOpen) {
        QString line = x.device + QStringLiteral(": permission denied");
        if (!x.group.isEmpty())
            line += QStringLiteral("; the device belongs to group %1: join it (sudo usermod -aG %1 $USER) and log in again")
                        .arg(x.group);
        return line;
    }
    if (x.busy) {
        if (x.holder == 0)
            return x.device + QStringLiteral(": in use by another program");
        return x.device + QStringLiteral(": in use by process %1").arg(x.holder) +
               (x.holderName.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(x.holderName));
    }
    return x.device + QStringLiteral(": ") + (x.qtReason.isEmpty() ? QStringLiteral("cannot be opened") : x.qtReason);
}

#ifdef Q_OS_UNIX
namespace {

QString commandName(qint64 pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QString();
}

// A live process's serial-port lock file (LCK..<name>) in the usual lock
// folders, as the serial port library and other programs make them.
qint64 lockHolder(const QString& device) {
    QString base = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : QFileInfo(device).fileName();
    base.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QStringList dirs{QStringLiteral("/var/lock"), QStringLiteral("/run/lock"), QStringLiteral("/etc/locks"),
                           QStringLiteral("/var/spool/locks"), QStringLiteral("/var/spool/uucp"),
                           QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
    for (const QString& dir : dirs) {
        const QString path = dir + QStringLiteral("/LCK..") + base;
        if (!QFileInfo::exists(path))
            continue;
        QLockFile lock(path);
        qint64 pid = 0;
        QString host, app;
        if (lock.getLockInfo(&pid, &host, &app) && pid > 0 && pid != QCoreApplication::applicationPid() &&
            QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)))
            return pid;
    }
    return 0;
}

// A process other than this one with the device open.
qint64 openedBy(const QString& device) {
    const QString target = QFileInfo(device).canonicalFilePath();
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& p : pids) {
        bool ok = false;
        const qint64 pid = p.toLongLong(&ok);
        if (!ok || pid == QCoreApplication::applicationPid())
            continue;
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot)) {
            if (fd.symLinkTarget() == target)
                return pid;
        }
    }
    return 0;
}

} // namespace
#endif

Facts gather(const QString& name, QSerialPort::SerialPortError error, const QString& errorText) {
    Facts x;
    x.device = QSerialPortInfo(name).systemLocation();
    if (x.device.isEmpty())
        x.device = name;
    x.qtReason = errorText;
    x.exists = error != QSerialPort::DeviceNotFoundError && QFileInfo::exists(x.device);
    if (!x.exists) {
        for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
            x.present << info.systemLocation();
        return x;
    }
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(x.device);
    x.mayOpen = ::access(path.constData(), R_OK | W_OK) == 0 || errno != EACCES;
    struct stat st {};
    if (::stat(path.constData(), &st) == 0) {
        if (const group* g = ::getgrgid(st.st_gid))
            x.group = QString::fromLocal8Bit(g->gr_name);
    }
    if (x.mayOpen && error == QSerialPort::PermissionError) {
        // Refused although this user may open it: a lock or an exclusive open.
        x.busy = true;
        x.holder = lockHolder(x.device);
        if (x.holder == 0)
            x.holder = openedBy(x.device);
        if (x.holder != 0)
            x.holderName = commandName(x.holder);
    }
#else
    x.busy = error == QSerialPort::PermissionError;
#endif
    return x;
}

} // namespace portdiag
