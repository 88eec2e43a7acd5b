#pragma once
// The real program stack for end-to-end tests: a helper process on a
// pseudo-terminal (the module simulator or the NMEA feeder) and the window
// with the system clock, real timers and QSerialPort.
#include "FakeServices.h"
#include "common/TextFile.h"
#include "platform/QtSerialPort.h"
#include "platform/SystemClock.h"
#include "FormInside.h"

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace e2e {

// A tool from the build, started with the given options; its first line of
// output is the path of the pseudo-terminal it serves.
class PtyProcess {
public:
    PtyProcess(const QString& tool, const QStringList& options) {
        process_.setProgram(qEnvironmentVariable("QVX_BIN_DIR") + QLatin1Char('/') + tool);
        process_.setArguments(options);
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start();
        if (!process_.waitForStarted(10000))
            return;
        while (!process_.canReadLine() && process_.waitForReadyRead(10000)) {
        }
        path_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    }
    ~PtyProcess() { stop(); }
    // Ends the tool, which closes its pseudo-terminal: the cable pulled.
    void stop() {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished(5000);
    }
    QString path() const { return path_; }
    QString errors() { return QString::fromLocal8Bit(process_.readAllStandardError()); }

private:
    QProcess process_;
    QString path_;
};

// The window with the real clock and serial ports; only sound and dialogs
// are fakes, and the executable's folder is a temporary one.
class RealStack {
public:
    RealStack() {
        services.clock = &clock;
        services.ports = &ports;
        services.portList = &portList;
        services.sound = &sound;
        services.dialogs = &dialogs;
        services.appDir = dir.path();
        services.baseName = QStringLiteral("qvx-loopback");
        services.screenTwips = QSize(1920, 1080) * 15;
        form = std::make_unique<Form1>(services);
        form->show();
    }
    ~RealStack() {
        form->close();
        form.reset();
    }

    QTemporaryDir dir;
    SystemClock clock;
    QtSerialPortFactory ports;
    FakePortEnumerator portList;
    FakeSound sound;
    FakeDialogs dialogs;
    Services services;
    std::unique_ptr<Form1> form;
};

constexpr int kTimeoutMs = 20000;

} // namespace e2e

namespace e2e {
// The module simulator and the NMEA feeder by name.
struct Simulator : PtyProcess {
    explicit Simulator(const QStringList& options) : PtyProcess(QStringLiteral("qvx-sim"), options) {}
};
struct GpsFeeder : PtyProcess {
    explicit GpsFeeder(const QStringList& options) : PtyProcess(QStringLiteral("qvx-nmea"), options) {}
};
} // namespace e2e

namespace e2e {
// The first of the build's tools that is missing (a test skips then), or
// an empty text.
inline QString missingTool(const QStringList& tools) {
    for (const QString& t : tools) {
        if (!QFile::exists(qEnvironmentVariable("QVX_BIN_DIR") + QLatin1Char('/') + t))
            return t + QStringLiteral(" is not built");
    }
    return {};
}

// A GPS receiver walking from 35° N 137° E at 9600 Bd.
struct GpsWalk : GpsFeeder {
    GpsWalk()
        : GpsFeeder({QStringLiteral("--lat"), QStringLiteral("35.0"), QStringLiteral("--lon"), QStringLiteral("137.0"),
                     QStringLiteral("--baud"), QStringLiteral("9600")}) {}
};

// The window's GPS switched on at 9600 Bd on the walk's terminal; true once
// the walk's first position is shown.
inline bool showsGpsWalk(Form1& f, const QString& port) {
    inside(f).ui.GPS_Baudrate->setCurrentText(QStringLiteral("9600"));
    inside(f).ui.GPS_Port->setText(port);
    inside(f).ui.GPS_On->setChecked(true);
    return QTest::qWaitFor([&f] { return inside(f).ui.NposGmap->text().startsWith(QStringLiteral(" 35.0")); }, kTimeoutMs);
}
} // namespace e2e

namespace e2e {
// Files as they lie on disk.
inline QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The communication log: every record starts with CR LF and the last one
// stays open, so the file begins with an empty line.
inline QStringList commLogRecords(const QByteArray& bytes) {
    if (!bytes.startsWith("\r\n"))
        return {QStringLiteral("<no leading CR LF>")};
    return textfile::decode(bytes.mid(2)).split(QStringLiteral("\r\n"));
}

// The lines of a map file, each ended by CR LF; a final line without it
// counts as a fault.
inline QStringList crlfLines(const QByteArray& bytes) {
    QStringList lines = textfile::decode(bytes).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    else
        lines.append(QStringLiteral("<unterminated>"));
    return lines;
}
} // namespace e2e
