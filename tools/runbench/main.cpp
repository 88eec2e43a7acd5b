// qvx-runbench [COUNT [IDLE_SECONDS]]: the program's timing against the
// machine's floor, side by side in one sitting, against one qvx-sim on a
// pseudo-terminal (FSK, 300 ms).
//
// First a reference loop of its own sends COUNT packets the way the floor
// allows: absolute deadlines on the monotonic microsecond clock, select()
// on the port, "@RS" sent the moment the answer is complete. Then the
// built program (the window on $DISPLAY when there is one, else
// offscreen) makes a counted run of COUNT. Both are measured by the
// simulator's trace (microsecond instants):
//  - the send period: |interval between data commands - 300 ms|, mean and p99;
//  - the response-time excess: the response time (the program's as it
//    logged it) less the simulator's own receive-to-answer time, median and p95;
//    the log holds whole milliseconds, so the excess of even a perfect
//    program lies anywhere within half a millisecond of the floor's: two
//    more rows compare like with like, the logged times against the
//    floor's round trips rounded to whole milliseconds, and the program's
//    microsecond round trips (its record stream) against the floor's;
//  - CPU per minute of run (and the program's per minute idle). Right
//    after the program, on the same display, runs a window floor for as
//    long: a bare window of text boxes of which one shows a number that
//    changes every 100 ms, as the elapsed time does in a run; what that
//    costs here and now is the least any window with such a display pays.
//    Then two floors on the program's own form (its layout, drawn by the
//    toolkit as it comes): the elapsed time alone, and a run's visible
//    changes made with the toolkit's plain calls, what the same window
//    costs done the straightforward way.
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include "common/Twips.h"
#include "form/FormFacts.h"
#include "ui_Form1.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <numeric>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr double kPeriodMs = 300;

qint64 nowUs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1'000'000 + t.tv_nsec / 1000;
}

double mean(const std::vector<double>& v) { return v.empty() ? 0 : std::accumulate(v.begin(), v.end(), 0.0) / v.size(); }
double quantile(std::vector<double> v, double q) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(std::ceil(q * v.size())) - 1)];
}
double selfCpuMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec * 1e3 + u.ru_utime.tv_usec / 1e3 + u.ru_stime.tv_sec * 1e3 + u.ru_stime.tv_usec / 1e3;
}
// CPU time of a running process so far (utime + stime from /proc).
double processCpuMs(qint64 pid) {
    // /proc files report size 0: read them with read(2), not QFile.
    const int fd = ::open(QStringLiteral("/proc/%1/stat").arg(pid).toLocal8Bit().constData(), O_RDONLY);
    if (fd < 0) return 0;
    char buf[1024];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    ::close(fd);
    const QByteArray s(buf, int(std::max<ssize_t>(0, n)));
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) * 1000.0 / sysconf(_SC_CLK_TCK);
}

QByteArray packet(int n) { return QByteArray::number(n % 1000).rightJustified(3, '0'); }

struct Phase {
    std::vector<double> periodError;   // ms
    std::vector<double> excess;        // ms
    std::vector<double> wholeMsExcess; // ms: the floor's round trips rounded like the log
    std::vector<double> usExcess;      // ms: the program's microsecond round trips (its record stream)
    double cpuPerMinute = 0;           // s
    int sent = 0, answered = 0;
};

// The reference loop. Returns the round trip of each answered packet (us)
// by its three digits, and fills the CPU figure.
QMap<QByteArray, qint64> referenceLoop(const QString& pty, int count, Phase* phase) {
    QMap<QByteArray, qint64> rtt;
    const int fd = ::open(pty.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return rtt;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, B19200);
    cfsetospeed(&t, B19200);
    tcsetattr(fd, TCSANOW, &t);
    const auto send = [fd](const QByteArray& line) { return ::write(fd, line.constData(), size_t(line.size())) == line.size(); };

    const double cpu0 = selfCpuMs();
    const qint64 start = nowUs() + 100'000;
    QByteArray rx, awaited;
    qint64 sentAt = 0;
    for (int k = 0; k <= count; ++k) {
        const qint64 deadline = start + qint64(k * kPeriodMs * 1000);
        for (;;) {
            const qint64 left = deadline - nowUs();
            if (left <= 0) break;
            fd_set in;
            FD_ZERO(&in);
            FD_SET(fd, &in);
            timeval tv{long(left / 1'000'000), long(left % 1'000'000)};
            if (select(fd + 1, &in, nullptr, nullptr, &tv) <= 0) continue;
            const qint64 arrived = nowUs();
            char buf[512];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0) continue;
            rx += QByteArray(buf, int(n));
            if (!awaited.isEmpty() && rx.contains(awaited)) {
                rtt[awaited.mid(6, 3)] = arrived - sentAt;
                awaited.clear();
                send("@RS\r\n");
            }
        }
        rx.clear();
        if (k == count) break;
        const QByteArray n = packet(k + 1);
        send("@RA\r\n");
        send("@DT05" + n + "XX\r\n");
        sentAt = nowUs();
        awaited = "*DR=05" + n;
        ++phase->sent;
    }
    phase->cpuPerMinute = (selfCpuMs() - cpu0) / ((nowUs() - start) / 1e3) * 60;
    ::close(fd);
    return rtt;
}

struct TraceLine {
    qint64 us;
    QByteArray text;   // a command, or '>' and what was written back
};

std::vector<TraceLine> readTrace(const QString& path, qint64 fromUs, qint64 toUs) {
    std::vector<TraceLine> lines;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return lines;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() < 4) continue;
        const qint64 us = fields[3].toLongLong();
        if (us >= fromUs && us < toUs) lines.push_back({us, fields[1]});
    }
    return lines;
}

// The period errors of the data commands and the simulator's own
// receive-to-answer time of each answered packet, by its digits.
QMap<QByteArray, double> simulatorSide(const std::vector<TraceLine>& trace, Phase* phase) {
    QMap<QByteArray, double> own;
    QMap<QByteArray, qint64> received;
    qint64 previous = -1;
    for (const TraceLine& l : trace) {
        if (l.text.startsWith("@DT05")) {
            if (previous >= 0) phase->periodError.push_back(std::abs((l.us - previous) / 1000.0 - kPeriodMs));
            previous = l.us;
            received[l.text.mid(5, 3)] = l.us;
        } else if (l.text.startsWith(">*DR=05")) {
            const QByteArray digits = l.text.mid(7, 3);
            if (received.contains(digits) && !own.contains(digits)) own[digits] = (l.us - received[digits]) / 1000.0;
        }
    }
    return own;
}

void print(const char* figure, double program, double reference, const char* unit) {
    std::printf("  %-44s %9.3f %9.3f %8.2f  %s\n", figure, program, reference, reference > 0 ? program / reference : 0.0,
                unit);
}

// The window floor (qvx-runbench --window-floor): 60 text boxes, one of
// them given the milliseconds since the last of a 300 ms cycle every
// 100 ms, until killed.
int windowFloor(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(860, 660);
    auto* elapsed = new QLineEdit(&window);
    elapsed->setGeometry(60, 270, 108, 20);
    for (int i = 0; i < 60; ++i) {
        auto* box = new QLineEdit(QStringLiteral("123"), &window);
        box->setGeometry(200 + (i % 6) * 100, 20 + (i / 6) * 30, 90, 22);
    }
    window.show();
    QElapsedTimer since;
    since.start();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { elapsed->setText(QString::number(since.elapsed() % 300)); });
    tick.start(100);
    return app.exec();
}

// Appends to a text box and keeps its newest `keep` characters, caret at
// the end: the toolkit's plain calls, nothing spared.
void appendPlainly(QPlainTextEdit* box, const QString& text, int keep) {
    QTextCursor end(box->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
    if (const int over = box->document()->characterCount() - 1 - keep; over > 0) {
        QTextCursor front(box->document());
        front.setPosition(over, QTextCursor::KeepAnchor);
        front.removeSelectedText();
    }
    box->moveCursor(QTextCursor::End);
}

// The form floors (qvx-runbench --form-floor [changes]): the program's own
// window as its form lays it out, drawn by the toolkit as it comes, with
// the elapsed time given every 100 ms; with "changes" also a 300 ms run's
// visible changes made with the toolkit's plain calls (counts, the three
// answers into the received-text box 20, 60 and 80 ms after the send,
// RSSI fields and averages, a response time, the two log lines into the
// log box and, opened and closed each time, a log file), until killed.
int formFloor(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const bool changes = argc > 2 && qstrcmp(argv[2], "changes") == 0;
    QWidget window;
    Ui_Form1 ui;
    ui.setupUi(&window);
    window.resize(twipsToPixels(kStartWidthTwips), twipsToPixels(kStartHeightTwips));  // the program's start size
    window.show();
    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("floor.log"));
    const auto logLine = [&](const QString& text) {
        QFile log(logPath);
        if (log.open(QIODevice::WriteOnly | QIODevice::Append))
            log.write(text.toUtf8());
    };
    QElapsedTimer since;
    since.start();
    int n = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ui.KeikaTime->setText(QString::number(since.elapsed())); });
    tick.start(100);
    QTimer step;
    QObject::connect(&step, &QTimer::timeout, [&] {
        since.restart();
        if (!changes)
            return;
        const QString number = packet(++n);
        ui.Tx_Count->setText(QString::number(n));
        ui.FSKData->setText(number);
        const QString sent = QStringLiteral("\r\n18:58:36,@RA[Cr][Lf]@DT05") + number + QStringLiteral("XX[Cr][Lf],");
        logLine(sent);
        appendPlainly(ui.LogText, sent, 2000);
        ui.RxText->clear();
        QTimer::singleShot(20, [&] {
            appendPlainly(ui.RxText, QStringLiteral("*RA=-112dBm[Cr][Lf]"), 100000);
            ui.Rx_Rssi->setText(QString::number(-112 - n % 3));
        });
        QTimer::singleShot(60, [&, number] {
            appendPlainly(ui.RxText, QStringLiteral("*DR=05") + number + QStringLiteral("\u30fb\u30fb[Cr][Lf]"), 100000);
        });
        QTimer::singleShot(80, [&, number] {
            appendPlainly(ui.RxText, QStringLiteral("*RS=-78dBm[Cr][Lf]"), 100000);
            ui.AckRssi->setText(QString::number(-78 - n % 2));
            ui.FSK_OK->setText(QString::number(n));
            ui.Rx_RssiAve->setText(QString::number(-75.2 - n % 7 / 10.0));
            ui.AckRssiAve->setText(QString::number(-91.2 + n % 5 / 10.0));
            appendPlainly(ui.RxTimeHist, QString::number(60 + n % 3) + QStringLiteral("\r\n"), 500);
            const QString answer = QStringLiteral("*RA=-112dBm[Cr][Lf]*DR=05") + number +
                                   QStringLiteral("\u30fb\u30fb[Cr][Lf]*RS=-78dBm[Cr][Lf], 61,-75,-94,-116");
            logLine(answer);
            appendPlainly(ui.LogText, answer, 2000);
        });
    });
    step.start(int(kPeriodMs));
    return app.exec();
}

// CPU per minute of a floor (this program started with `args`) on the
// program's display, measured for `us` after 3 s of start-up.
double floorCpuPerMinute(const QProcessEnvironment& env, const QStringList& args, qint64 us) {
    QProcess floor;
    floor.setProcessEnvironment(env);
    floor.start(QCoreApplication::applicationFilePath(), args);
    floor.waitForStarted(5000);
    QThread::sleep(3);
    const double cpuStart = processCpuMs(floor.processId());
    const qint64 from = nowUs();
    QThread::usleep(std::max<qint64>(1'000'000, us));
    const double cpu = (processCpuMs(floor.processId()) - cpuStart) / ((nowUs() - from) / 1e3) * 60;
    floor.kill();
    floor.waitForFinished(5000);
    return cpu;
}

} // namespace

constexpr const char* kUsage =
    "Usage: qvx-runbench [--help] [--version] [--program-only] [COUNT [IDLE_SECONDS]]\n"
    "The program's timing against the machine's floor, side by side, against one\n"
    "qvx-sim on a pseudo-terminal (FSK, 300 ms): a reference loop of COUNT packets\n"
    "(default 200), then the built program's counted run of COUNT (on $DISPLAY when\n"
    "set, else offscreen), then IDLE_SECONDS (default 20) of the program idle and the\n"
    "window floors. Prints the send period's error, the response-time excess over the\n"
    "simulator's own answer time and CPU per minute of each. --program-only: the\n"
    "program's run alone (no reference loop, floors or idle), its figures also as one\n"
    "line \"program: PERIOD_MEAN PERIOD_P99 EXCESS_MEDIAN EXCESS_P95 CPU_PER_MINUTE\"\n"
    "(ms, ms, ms, ms, s; the excess from the record stream's microsecond round trips).\n";

int main(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--help") == 0 || qstrcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (qstrcmp(argv[i], "--version") == 0) {
            std::printf("qvx-runbench %s\n", QVX_VERSION);
            return 0;
        }
    }
    if (argc > 1 && argv[1][0] == '-' && qstrcmp(argv[1], "--window-floor") != 0 &&
        qstrcmp(argv[1], "--form-floor") != 0 && qstrcmp(argv[1], "--program-only") != 0) {
        std::fprintf(stderr, "qvx-runbench: unknown option %s\n%s", argv[1], kUsage);
        return 2;
    }
    if (argc > 1 && qstrcmp(argv[1], "--window-floor") == 0)
        return windowFloor(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--form-floor") == 0)
        return formFloor(argc, argv);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(QVX_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The program's send period, response times and CPU against the machine's floor, in one sitting,\n"
        "against one qvx-sim on a pseudo-terminal (FSK, 300 ms); the window on $DISPLAY when there is\n"
        "one, else off screen. QVX_RUNBENCH_TRACE=FILE keeps the simulator's trace."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption programOnlyOption(
        QStringLiteral("program-only"), QStringLiteral("The program's run alone: no reference loop, floors or idle."));
    parser.addOption(programOnlyOption);
    parser.addPositionalArgument(QStringLiteral("COUNT"), QStringLiteral("Packets of each run (default 200)."),
                                 QStringLiteral("[COUNT]"));
    parser.addPositionalArgument(QStringLiteral("IDLE_SECONDS"),
                                 QStringLiteral("Seconds of the idle measurement (default 20)."),
                                 QStringLiteral("[IDLE_SECONDS]"));
    parser.process(app);
    const bool programOnly = parser.isSet(programOnlyOption);
    const QStringList args = parser.positionalArguments();
    const int count = !args.isEmpty() ? std::max(2, args[0].toInt()) : 200;
    const int idleSeconds = args.size() > 1 ? std::max(1, args[1].toInt()) : 20;
    const QString bin = QCoreApplication::applicationDirPath();

    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("trace.log"));
    QProcess sim;
    sim.start(bin + QStringLiteral("/qvx-sim"), {QStringLiteral("--mode"), QStringLiteral("fsk"), QStringLiteral("--trace"), trace});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "qvx-sim did not start\n");
        return 1;
    }
    const QString pty = QString::fromLocal8Bit(sim.readLine()).trimmed();

    // The floor.
    Phase ref;
    const qint64 refFrom = nowUs();
    const QMap<QByteArray, qint64> refRtt = programOnly ? QMap<QByteArray, qint64>() : referenceLoop(pty, count, &ref);
    const qint64 refTo = nowUs();
    QThread::msleep(500);

    // The program, from a scratch folder (its settings and logs land there).
    QFile::copy(bin + QStringLiteral("/qvx-loopback"), dir.filePath(QStringLiteral("qvx-loopback")));
    auto env = QProcessEnvironment::systemEnvironment();
    const bool shown = env.contains(QStringLiteral("DISPLAY"));
    if (!shown) env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    Phase prog;
    const qint64 progFrom = nowUs();
    const qint64 traceBefore = QFileInfo(trace).size();
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(dir.filePath(QStringLiteral("qvx-loopback")), {QStringLiteral("--port"), pty, QStringLiteral("--log"), QStringLiteral("bench"),
                                                            QStringLiteral("--count"), QString::number(count), QStringLiteral("--quit")});
    p.waitForStarted(5000);
    // CPU counted from 3 s in (start-up and the module's initialisation
    // done) to the run's last data command.
    QThread::sleep(3);
    const double cpuStart = processCpuMs(p.processId());
    const qint64 wallStart = nowUs();
    double cpuEnd = cpuStart;
    qint64 wallEnd = wallStart;
    const QByteArray last = "@DT05" + packet(count) + "XX";
    while (p.state() == QProcess::Running) {
        QFile t(trace);
        if (t.open(QIODevice::ReadOnly) && t.seek(traceBefore) && t.readAll().contains(last)) {
            cpuEnd = processCpuMs(p.processId());
            wallEnd = nowUs();
            break;
        }
        QThread::msleep(50);
    }
    if (!p.waitForFinished(int(count * kPeriodMs) + 30000) || p.exitCode() != 0) {
        std::fprintf(stderr, "the program's run failed: %s\n", p.readAllStandardError().constData());
        return 1;
    }
    const qint64 progTo = nowUs();
    prog.cpuPerMinute = (cpuEnd - cpuStart) / std::max<double>(1, (wallEnd - wallStart) / 1e3) * 60;

    // The window floors, right after, on the same display (offscreen
    // without one, as the program), each for as long as the program's run
    // was measured.
    const qint64 measuredUs = wallEnd - wallStart;
    double windowFloorCpu = 0, formFloorCpu = 0, formChangesCpu = 0, idleCpu = 0;
    if (!programOnly) {
        windowFloorCpu = floorCpuPerMinute(env, {QStringLiteral("--window-floor")}, measuredUs);
        formFloorCpu = floorCpuPerMinute(env, {QStringLiteral("--form-floor")}, measuredUs);
        formChangesCpu = floorCpuPerMinute(env, {QStringLiteral("--form-floor"), QStringLiteral("changes")}, measuredUs);

        // Idle: the window up, GPS off, no run.
        QProcess idle;
        idle.setProcessEnvironment(env);
        idle.start(dir.filePath(QStringLiteral("qvx-loopback")), {});
        idle.waitForStarted(5000);
        QThread::sleep(3);
        const double idle0 = processCpuMs(idle.processId());
        QThread::sleep(idleSeconds);
        idleCpu = (processCpuMs(idle.processId()) - idle0) / (idleSeconds * 1e3) * 60;
        idle.terminate();
        idle.waitForFinished(5000);
    }
    sim.terminate();
    sim.waitForFinished(5000);
    // QVX_RUNBENCH_TRACE=FILE keeps the simulator's trace of both runs.
    if (const QString keep = env.value(QStringLiteral("QVX_RUNBENCH_TRACE")); !keep.isEmpty()) {
        QFile::remove(keep);
        QFile::copy(trace, keep);
    }

    // Response-time excess over the simulator's own receive-to-answer time.
    const QMap<QByteArray, double> refOwn = simulatorSide(readTrace(trace, refFrom, refTo), &ref);
    for (auto it = refRtt.begin(); it != refRtt.end(); ++it)
        if (refOwn.contains(it.key())) {
            ref.excess.push_back(it.value() / 1000.0 - refOwn[it.key()]);   // the floor's are microsecond already
            ref.wholeMsExcess.push_back(std::round(it.value() / 1000.0) - refOwn[it.key()]);
        }
    ref.answered = int(refRtt.size());

    const QMap<QByteArray, double> progOwn = simulatorSide(readTrace(trace, progFrom, progTo), &prog);
    QDir d(dir.path());
    static const QRegularExpression logged(QStringLiteral(R"(@DT05(\d{3})XX\[Cr\]\[Lf\],.*\[Cr\]\[Lf\], (\d+),)"));
    for (const QString& name : d.entryList({QStringLiteral("*bench.log")})) {
        if (name.contains(QStringLiteral("_Map_"))) continue;
        QFile log(d.filePath(name));
        log.open(QIODevice::ReadOnly);
        for (const QString& line : QString::fromLatin1(log.readAll()).split(QStringLiteral("\r\n"))) {
            const auto m = logged.match(line);
            if (!m.hasMatch()) continue;
            ++prog.answered;
            const QByteArray digits = m.captured(1).toLatin1();
            if (progOwn.contains(digits)) prog.excess.push_back(m.captured(2).toDouble() - progOwn[digits]);
        }
    }
    // The round trips the program measured on its microsecond clock, from
    // the exchange lines of its record stream.
    static const QRegularExpression exchange(QStringLiteral(R"re("type":"exchange".*"payload":"(\d{3})".*"rtt_us":(\d+))re"));
    for (const QString& name : d.entryList({QStringLiteral("*bench.jsonl")})) {
        QFile records(d.filePath(name));
        records.open(QIODevice::ReadOnly);
        for (const QString& line : QString::fromUtf8(records.readAll()).split(u'\n')) {
            const auto m = exchange.match(line);
            const QByteArray digits = m.captured(1).toLatin1();
            if (m.hasMatch() && progOwn.contains(digits))
                prog.usExcess.push_back(m.captured(2).toDouble() / 1000.0 - progOwn[digits]);
        }
    }
    prog.sent = int(prog.periodError.size()) + 1;

    if (programOnly) {
        std::printf("FSK at %.0f ms, %d packets, against its own qvx-sim; the program's window %s\n", kPeriodMs,
                    count, shown ? "shown on $DISPLAY" : "offscreen");
        std::printf("  data commands seen %d, answers logged %d\n", prog.sent, prog.answered);
        std::printf("program: %.3f %.3f %.3f %.3f %.3f\n", mean(prog.periodError), quantile(prog.periodError, 0.99),
                    quantile(prog.usExcess, 0.5), quantile(prog.usExcess, 0.95), prog.cpuPerMinute);
        return 0;
    }

    std::printf("FSK at %.0f ms, %d packets each, against one qvx-sim; the program's window %s\n", kPeriodMs, count,
                shown ? "shown on $DISPLAY" : "offscreen");
    std::printf("  data commands seen: program %d, reference %d; answers: program %d (logged), reference %d\n",
                prog.sent, ref.sent, prog.answered, ref.answered);
    std::printf("  %-44s %9s %9s %8s\n", "", "program", "floor", "ratio");
    print("transmit period |error|, mean", mean(prog.periodError), mean(ref.periodError), "ms");
    print("transmit period |error|, p99", quantile(prog.periodError, 0.99), quantile(ref.periodError, 0.99), "ms");
    print("response time - module's own, median", quantile(prog.excess, 0.5), quantile(ref.excess, 0.5), "ms");
    print("response time - module's own, p95", quantile(prog.excess, 0.95), quantile(ref.excess, 0.95), "ms");
    print("  same, floor in whole ms like the log: median", quantile(prog.excess, 0.5), quantile(ref.wholeMsExcess, 0.5), "ms");
    print("  same, floor in whole ms like the log: p95", quantile(prog.excess, 0.95), quantile(ref.wholeMsExcess, 0.95), "ms");
    print("  same, both on the us clock (records): median", quantile(prog.usExcess, 0.5), quantile(ref.excess, 0.5), "ms");
    print("  same, both on the us clock (records): p95", quantile(prog.usExcess, 0.95), quantile(ref.excess, 0.95), "ms");
    print("CPU per minute of run", prog.cpuPerMinute, ref.cpuPerMinute, "s");
    print("  same, floor a window with a 10 Hz field", prog.cpuPerMinute, windowFloorCpu, "s");
    print("  same, floor its own form, the 10 Hz field", prog.cpuPerMinute, formFloorCpu, "s");
    print("  same, floor its form, the run drawn plainly", prog.cpuPerMinute, formChangesCpu, "s");
    std::printf("  %-44s %9.3f %9s %8s  s\n", "CPU per minute idle (window up, no run)", idleCpu, "-", "-");
    return 0;
}
