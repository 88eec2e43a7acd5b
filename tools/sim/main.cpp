// qvx-sim: the simulated radio module and loopback unit on a pseudo-terminal.
// Prints the terminal's path as its first line of output, then serves it
// until SIGTERM or SIGINT.
#include "DistanceTrace.h"
#include "PtyServer.h"
#include "SimModule.h"
#include "SimOptions.h"

#include "platform/SystemClock.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <csignal>
#include <optional>
#include <pthread.h>
#include <sched.h>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

QByteArray printable(const QByteArray& command) {
    QByteArray out;
    for (const char c : command) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && c != '\\')
            out += c;
        else
            out += "\\x" + QByteArray::number(u, 16).rightJustified(2, '0');
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SimOptions options;
    QString error;
    if (!parseSimOptions(app.arguments(), &options, &error)) {
        std::fprintf(stderr, "qvx-sim: %s\n(see qvx-sim --help)\n", qPrintable(error));
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(options.helpText), stdout);
        return 0;
    }
    if (options.version) {
        std::puts("qvx-sim " QVX_VERSION);
        return 0;
    }

    SystemClock clock;
    SimModule module(clock, options.config);
    std::optional<DistanceTrace> walk;
    if (options.config.law.enabled) {
        std::optional<DistanceTrace::Place> farEnd;
        if (options.haveFarEnd)
            farEnd = DistanceTrace::Place{options.farEndLat, options.farEndLon};
        walk.emplace(options.distanceTracePath, farEnd);
        module.setWalk([&walk](qint64 us) { return walk->at(us); });
    }
    QFile trace(options.tracePath);
    if (!options.tracePath.isEmpty()) {
        if (!trace.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            std::fprintf(stderr, "qvx-sim: cannot write %s: %s\n", qPrintable(options.tracePath),
                         qPrintable(trace.errorString()));
            return 1;
        }
        QObject::connect(&module, &SimModule::commandTraced, &module,
                         [&trace, &clock](qint64 at, const QByteArray& command, int delay) {
                             trace.write(QByteArray::number(at) + '\t' + printable(command) + '\t' +
                                         QByteArray::number(delay) + '\t' +
                                         QByteArray::number(clock.microseconds()) + '\n');
                             trace.flush();
                         });
    }
    PtyServer pty(module);
#ifdef Q_OS_LINUX
    if (trace.isOpen()) {
        // The trace's instants are measurements: where the system allows
        // it, a low real-time priority, so that a busy machine does not
        // preempt the simulator between a write and its instant.
        sched_param p{};
        p.sched_priority = 10;
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &p);
    }
#endif
    if (trace.isOpen()) {
        // After the terminal's own connection: the bytes are written when
        // this runs, so receive-to-answer times can be taken from the trace.
        QObject::connect(&module, &SimModule::toHost, &module, [&trace, &clock](const QByteArray& bytes) {
            const qint64 us = clock.microseconds();
            trace.write(QByteArray::number(us / 1000) + "\t>" + printable(bytes) + "\t\t" + QByteArray::number(us) +
                        '\n');
            trace.flush();
        });
    }
    if (!pty.open(&error)) {
        std::fprintf(stderr, "qvx-sim: %s\n", qPrintable(error));
        return 1;
    }
    if (!options.linkPath.isEmpty()) {
        QFile::remove(options.linkPath);
        if (!QFile::link(pty.slavePath(), options.linkPath))
            std::fprintf(stderr, "qvx-sim: cannot make the link %s\n", qPrintable(options.linkPath));
    }
    QObject::connect(&module, &SimModule::unplug, &app,
                     [] { std::fputs("qvx-sim: port closed (unplugged)\n", stderr); });

    // SIGTERM / SIGINT end the event loop cleanly through a self-pipe.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return 1;
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&app] { app.quit(); });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::printf("%s\n", qPrintable(pty.slavePath()));
    std::fflush(stdout);
    const int rc = app.exec();
    pty.close();
    if (!options.linkPath.isEmpty())
        QFile::remove(options.linkPath);
    return rc;
}
