// qvx-sim as a process: its first line names a pseudo-terminal that answers
// like the module, writes its trace, and vanishes when told to unplug.
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString simPath() { return qEnvironmentVariable("QVX_BIN_DIR") + QStringLiteral("/qvx-sim"); }

class Sim {
public:
    explicit Sim(const QStringList& args) {
        p.start(simPath(), args);
        if (p.waitForStarted(5000)) {
            while (!p.canReadLine() && p.waitForReadyRead(5000)) {
            }
            path = QString::fromLocal8Bit(p.readLine()).trimmed();
        }
    }
    ~Sim() {
        p.terminate();
        if (!p.waitForFinished(5000))
            p.kill();
    }
    QProcess p;
    QString path;
};

// The terminal opened the way a serial port is: raw, so CR LF pass through.
class Port {
public:
    explicit Port(const QString& path) {
        fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd >= 0) {
            termios t{};
            tcgetattr(fd, &t);
            cfmakeraw(&t);
            tcsetattr(fd, TCSANOW, &t);
        }
    }
    ~Port() {
        if (fd >= 0)
            ::close(fd);
    }
    bool send(const QByteArray& b) { return ::write(fd, b.constData(), size_t(b.size())) == b.size(); }
    // Reads until `want` bytes arrived or ms passed; false when the far end hung up.
    bool read(int want, int ms, QByteArray* out) {
        QElapsedTimer t;
        t.start();
        while (out->size() < want && t.elapsed() < ms) {
            pollfd pfd{fd, POLLIN, 0};
            if (::poll(&pfd, 1, 50) <= 0)
                continue;
            char buf[256];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0)
                out->append(buf, int(n));
            else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                return false;
        }
        return true;
    }
    int fd = -1;
};

} // namespace

class SimPtyE2eTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        if (!QFileInfo::exists(simPath()))
            QSKIP("qvx-sim is not built");
    }

    void helpDocumentsTheOptions() {
        QProcess p;
        p.start(simPath(), {QStringLiteral("--help")});
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 0);
        const QString help = QString::fromLocal8Bit(p.readAllStandardOutput());
        for (const char* o : {"--mode", "--sf", "--firmware", "--no-mode-answer", "--loss", "--loss-pattern",
                              "--far-rssi", "--chunk", "--garbage-before", "--flood", "--swap-every", "--unplug-after",
                              "--trace", "--link", "--distance-trace", "--far-end", "--path-loss", "--shadowing", "--fading",
                              "--answer-offset", "--loss-midpoint", "--loss-slope"})
            QVERIFY2(help.contains(QLatin1String(o)), o);
    }

    void badOptionIsRefused() {
        QProcess p;
        p.start(simPath(), {QStringLiteral("--sf"), QStringLiteral("9")});
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardError().contains("--sf"));
    }

    void answersTracesAndUnplugs() {
        QTemporaryDir dir;
        const QString trace = dir.filePath(QStringLiteral("trace.txt"));
        const QString link = dir.filePath(QStringLiteral("ttyQVX"));
        Sim sim({QStringLiteral("--mode"), QStringLiteral("lora"), QStringLiteral("--sf"), QStringLiteral("2"),
                 QStringLiteral("--loop-delay"), QStringLiteral("50"), QStringLiteral("--far-rssi"),
                 QStringLiteral("-75"), QStringLiteral("--unplug-after"), QStringLiteral("2"),
                 QStringLiteral("--trace"), trace, QStringLiteral("--link"), link});
        QVERIFY2(sim.path.startsWith(QLatin1String("/dev/")), qPrintable(sim.p.readAllStandardError()));
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim.path);
        {
            Port port(link);
            QVERIFY(port.fd >= 0);
            QByteArray got;
            QVERIFY(port.send("@FV\r\n"));
            QVERIFY(port.read(10, 3000, &got));
            QCOMPARE(got, QByteArray("*FV=2.10\r\n"));
            got.clear();
            QVERIFY(port.send("@MO\r\n@SF\r\n"));
            QVERIFY(port.read(16, 3000, &got));
            QCOMPARE(got, QByteArray("*MO=03\r\n*SF=02\r\n"));
            got.clear();
            QVERIFY(port.send("@DT05001XX\r\n"));
            QVERIFY(port.read(13, 3000, &got));
            QCOMPARE(got, QByteArray("*DR=05001\xFF\xB5\r\n"));
        }
        {
            // The program closes and reopens the port between runs: the
            // terminal stays up.
            Port port(sim.path);
            QVERIFY(port.fd >= 0);
            QByteArray got;
            QVERIFY(port.send("@RS\r\n"));
            QVERIFY(port.read(12, 3000, &got));
            QCOMPARE(got, QByteArray("*RS=-78dBm\r\n"));
            // The second data command pulls the cable.
            got.clear();
            QVERIFY(port.send("@DT05002XX\r\n"));
            QVERIFY(!port.read(1, 3000, &got));
            QVERIFY(got.isEmpty());
            QVERIFY(!port.send("@FV\r\n"));
        }
        QTRY_VERIFY(!QFileInfo::exists(sim.path));
        QFile f(trace);
        QVERIFY(f.open(QIODevice::ReadOnly));
        // Command lines; the lines of what was written back ('>') are
        // checked after them.
        QList<QByteArray> lines, written;
        for (const QByteArray& line : f.readAll().split('\n'))
            (line.split('\t').value(1).startsWith('>') ? written : lines) << line;
        QCOMPARE(lines.size(), 7);   // six commands and the empty rest after the last line end
        const QList<QByteArray> data = lines[3].split('\t');
        QCOMPARE(data.size(), 4);
        QCOMPARE(data[1], QByteArray("@DT05001XX"));
        QCOMPARE(data[2], QByteArray("50"));
        QVERIFY(lines[0].split('\t')[0].toLongLong() <= data[0].toLongLong());
        QCOMPARE(lines[5].split('\t')[2], QByteArray("-1"));
        // The data answer went out at least its 50 ms loop delay after the
        // data command came in, both to the microsecond.
        const auto answer = std::find_if(written.begin(), written.end(),
                                         [](const QByteArray& l) { return l.split('\t')[1].startsWith(">*DR=05001"); });
        QVERIFY(answer != written.end());
        QVERIFY(answer->split('\t')[3].toLongLong() - data[3].toLongLong() >= 50'000);
        // SIGTERM ends it cleanly and takes the link away.
        sim.p.terminate();
        QVERIFY(sim.p.waitForFinished(5000));
        QCOMPARE(sim.p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.p.exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
    }
};

QTEST_GUILESS_MAIN(SimPtyE2eTest)
#include "sim_pty_e2e_test.moc"
