// qvx-runbench: runs the built program (offscreen, from a scratch folder)
// for a counted run against qvx-sim on a pseudo-terminal and prints
//  - the send period as the simulator saw it (its --trace time stamps):
//    mean and 95th percentile of |interval - period|;
//  - the response times the program logged against the simulator's own
//    answer delay: mean and 95th percentile of the difference;
//  - the program's CPU time per minute of run, and per minute idle.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <vector>

#include <sys/resource.h>

namespace {

QTextStream out(stdout);

double mean(const std::vector<double>& v) { return v.empty() ? 0 : std::accumulate(v.begin(), v.end(), 0.0) / v.size(); }
double p95(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(std::ceil(0.95 * v.size())) - 1)];
}
double childCpuMs() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return u.ru_utime.tv_sec * 1e3 + u.ru_utime.tv_usec / 1e3 + u.ru_stime.tv_sec * 1e3 + u.ru_stime.tv_usec / 1e3;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int count = args.size() > 1 ? args[1].toInt() : 100;
    const int idleSeconds = args.size() > 2 ? args[2].toInt() : 10;
    const QString bin = QCoreApplication::applicationDirPath();
    const int loopDelay = 60, commandDelay = 20, period = 300;  // simulator defaults; FSK period default

    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("trace.log"));
    QProcess sim;
    sim.start(bin + QStringLiteral("/qvx-sim"), {QStringLiteral("--mode"), QStringLiteral("fsk"), QStringLiteral("--trace"), trace});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        fprintf(stderr, "qvx-sim did not start\n");
        return 1;
    }
    const QString pty = QString::fromLocal8Bit(sim.readLine()).trimmed();
    QFile::copy(bin + QStringLiteral("/qvx-loopback"), dir.filePath(QStringLiteral("qvx-loopback")));

    // The counted run: the program's CPU time is what its reaped process used.
    QProcess prog;
    prog.setProcessEnvironment([] {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }());
    const double cpu0 = childCpuMs();
    QElapsedTimer wall;
    wall.start();
    prog.start(dir.filePath(QStringLiteral("qvx-loopback")), {QStringLiteral("--port"), pty, QStringLiteral("--log"), QStringLiteral("bench"),
                                                               QStringLiteral("--count"), QString::number(count), QStringLiteral("--quit")});
    if (!prog.waitForFinished(count * period * 3 + 30000) || prog.exitCode() != 0) {
        fprintf(stderr, "the run failed: %s\n", prog.readAllStandardError().constData());
        return 1;
    }
    const double runMs = wall.elapsed();
    const double runCpu = childCpuMs() - cpu0;

    // Idle: the window up, GPS off, no run, for idleSeconds.
    const double cpu1 = childCpuMs();
    QProcess idle;
    idle.setProcessEnvironment(prog.processEnvironment());
    idle.start(dir.filePath(QStringLiteral("qvx-loopback")), {});
    idle.waitForStarted(5000);
    QThread::sleep(idleSeconds);
    idle.terminate();
    idle.waitForFinished(5000);
    const double idleCpu = childCpuMs() - cpu1;
    sim.terminate();
    sim.waitForFinished(5000);

    // The data commands' arrival times at the simulator.
    std::vector<double> stamps;
    QFile t(trace);
    t.open(QIODevice::ReadOnly);
    for (const QByteArray& line : t.readAll().split('\n')) {
        const QList<QByteArray> f = line.split('\t');
        if (f.size() >= 2 && f[1].startsWith("@DT"))
            stamps.push_back(f[0].toDouble());
    }
    std::vector<double> periodError;
    for (size_t i = 1; i < stamps.size(); ++i)
        periodError.push_back(std::abs(stamps[i] - stamps[i - 1] - period));

    // The response times the program logged, one per answered packet.
    std::vector<double> response;
    QDir d(dir.path());
    for (const QString& name : d.entryList({QStringLiteral("*bench.log")})) {
        if (name.contains(QStringLiteral("_Map_"))) continue;
        QFile log(d.filePath(name));
        log.open(QIODevice::ReadOnly);
        static const QRegularExpression rt(QStringLiteral(R"(\[Cr\]\[Lf\], (\d+),)"));
        auto it = rt.globalMatch(QString::fromLatin1(log.readAll()));
        while (it.hasNext())
            response.push_back(it.next().captured(1).toDouble());
    }
    // The answer follows the data command after the simulator's loop delay;
    // the @RS and @RA answers are separate. What the program adds is the
    // difference from that delay.
    std::vector<double> responseError;
    for (double r : response)
        responseError.push_back(r - loopDelay);

    out << "counted FSK run of " << count << " packets, period " << period << " ms, simulator loop delay " << loopDelay
        << " ms (local answers " << commandDelay << " ms)\n";
    out << "  data commands seen by the simulator: " << stamps.size() << ", answers logged: " << response.size() << "\n";
    out << QStringLiteral("  send period |error|: mean %1 ms, p95 %2 ms, max %3 ms\n")
               .arg(mean(periodError), 0, 'f', 2).arg(p95(periodError), 0, 'f', 2)
               .arg(periodError.empty() ? 0 : *std::max_element(periodError.begin(), periodError.end()), 0, 'f', 2);
    out << QStringLiteral("  response time - loop delay: mean %1 ms, p95 %2 ms\n")
               .arg(mean(responseError), 0, 'f', 2).arg(p95(responseError), 0, 'f', 2);
    out << QStringLiteral("  CPU: %1 s per minute of run (%2 s over %3 s incl. start-up), %4 s per minute idle\n")
               .arg(runCpu / runMs * 60, 0, 'f', 2).arg(runCpu / 1e3, 0, 'f', 2).arg(runMs / 1e3, 0, 'f', 1)
               .arg(idleCpu / (idleSeconds * 1e3) * 60, 0, 'f', 2);
    return 0;
}
