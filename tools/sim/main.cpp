// qvx-sim: the simulated radio module on a pseudo-terminal. The first line
// of output is the terminal's path; see --help for what it can be told.
#include "PtyServer.h"
#include "SimModule.h"
#include "SimOptions.h"
#include "platform/SystemClock.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

// The command as one trace field: printable ASCII kept, other bytes as \xHH.
QByteArray traceText(const QByteArray& command) {
    QByteArray out;
    for (const char c : command) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && c != '\\')
            out.append(c);
        else
            out.append("\\x").append(QByteArray::number(u, 16).rightJustified(2, '0'));
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qvx-sim"));

    SimOptions options;
    int exitCode = 0;
    const QString message = parseSimOptions(app.arguments(), options, exitCode);
    if (!message.isEmpty()) {
        std::fputs(qPrintable(message), exitCode == 0 ? stdout : stderr);
        return exitCode;
    }

    QFile trace(options.traceFile);
    if (!options.traceFile.isEmpty() && !trace.open(QIODevice::WriteOnly | QIODevice::Append)) {
        std::fprintf(stderr, "qvx-sim: cannot write trace file %s: %s\n", qPrintable(options.traceFile),
                     qPrintable(trace.errorString()));
        return 1;
    }

    if (::pipe(signalPipe) != 0) {
        std::perror("qvx-sim: pipe");
        return 1;
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

    PtyServer pty;
    if (!pty.open(options.link)) {
        std::fprintf(stderr, "qvx-sim: %s\n", qPrintable(pty.error()));
        return 1;
    }
    std::printf("%s\n", qPrintable(pty.slavePath()));
    std::fflush(stdout);

    if (!options.seeded)
        options.config.seed = QRandomGenerator::system()->generate();
    SystemClock clock;
    SimModule sim(clock, options.config);
    QObject::connect(&pty, &PtyServer::received, &sim, &SimModule::hostBytes);
    QObject::connect(&sim, &SimModule::toHost, &pty, &PtyServer::write);
    QObject::connect(&sim, &SimModule::commandTraced, &app,
                     [&](qint64 atMs, const QByteArray& command, int delay) {
                         if (!trace.isOpen())
                             return;
                         trace.write(QByteArray::number(atMs) + '\t' + traceText(command) + '\t' +
                                     QByteArray::number(delay) + '\n');
                         trace.flush();
                     });
    QObject::connect(&sim, &SimModule::unplug, &app, [&] {
        pty.close();
        std::fprintf(stderr, "qvx-sim: port closed after data command %d\n", sim.dataCommandsReceived());
        QCoreApplication::quit();
    });
    if (options.floodBytes > 0) {
        QRandomGenerator rng(options.config.seed);
        QByteArray flood(options.floodBytes, Qt::Uninitialized);
        for (char& ch : flood)
            ch = static_cast<char>(rng.bounded(256));
        pty.write(flood);
    }
    const int rc = app.exec();
    pty.close();
    return rc;
}
