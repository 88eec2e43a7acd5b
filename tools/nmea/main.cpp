// qvx-nmea: a GPS receiver on a pseudo-terminal. Prints the terminal's
// path as its first line, then replays a capture byte for byte at a baud
// rate's pace (10 bits a byte), or sends a walk from a start point.
#include "NmeaWalk.h"

#include <QByteArray>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stopping = 0;
void onSignal(int) { stopping = 1; }

// Writes all of data; a reader that is not there yet is waited for (the
// slave is kept open here, so writes fill the terminal's buffer) until a
// stop is asked for.
bool writeAll(int fd, const char* data, size_t n) {
    while (n > 0 && !stopping) {
        const ssize_t w = ::write(fd, data, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) { std::this_thread::sleep_for(std::chrono::milliseconds(5)); continue; }
            return false;
        }
        data += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// Sleeps until due in short slices, so a stop request is seen at once.
void sleepUntil(std::chrono::steady_clock::time_point due) {
    while (!stopping && std::chrono::steady_clock::now() < due)
        std::this_thread::sleep_until(std::min(due, std::chrono::steady_clock::now() + std::chrono::milliseconds(20)));
}

// Sends data paced at baud (10 bits a byte), in pieces of about 10 ms.
bool paced(int fd, const QByteArray& data, int baud, std::chrono::steady_clock::time_point& due) {
    const qsizetype chunk = qMax<qsizetype>(1, baud / 1000);   // bytes in 10 ms
    for (qsizetype i = 0; i < data.size() && !stopping; i += chunk) {
        const qsizetype n = qMin(chunk, data.size() - i);
        if (!writeAll(fd, data.constData() + i, static_cast<size_t>(n))) return false;
        due += std::chrono::microseconds(n * 10'000'000LL / baud);
        sleepUntil(due);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qvx-nmea"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QVX_VERSION));
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "A GPS receiver on a pseudo-terminal. Prints the terminal's path as the first line of output,\n"
        "then either replays a capture file byte for byte at the pace of --baud (10 bits per byte),\n"
        "or, without --replay, sends a walk: one GGA and one RMC sentence a second, with correct\n"
        "checksums, moving from --lat/--lon at --speed m/s towards --heading degrees.\n"
        "Runs until stopped (SIGINT/SIGTERM), or until the replay ends unless --loop is given."));
    p.addHelpOption();
    p.addVersionOption();
    p.addOption({QStringLiteral("replay"), QStringLiteral("Capture file to replay."), QStringLiteral("file")});
    p.addOption({QStringLiteral("baud"), QStringLiteral("Pace of the replay (default 4800)."), QStringLiteral("rate"), QStringLiteral("4800")});
    p.addOption({QStringLiteral("loop"), QStringLiteral("Replay the capture again and again.")});
    p.addOption({QStringLiteral("lat"), QStringLiteral("Walk start latitude, degrees (default 35.6520566)."), QStringLiteral("deg"), QStringLiteral("35.6520566")});
    p.addOption({QStringLiteral("lon"), QStringLiteral("Walk start longitude, degrees (default 139.761315)."), QStringLiteral("deg"), QStringLiteral("139.761315")});
    p.addOption({QStringLiteral("alt"), QStringLiteral("Walk altitude, metres (default 40.5)."), QStringLiteral("m"), QStringLiteral("40.5")});
    p.addOption({QStringLiteral("speed"), QStringLiteral("Walk speed, m/s (default 1.4)."), QStringLiteral("m/s"), QStringLiteral("1.4")});
    p.addOption({QStringLiteral("heading"), QStringLiteral("Walk heading, degrees from north (default 45)."), QStringLiteral("deg"), QStringLiteral("45")});
    p.process(app);

    const int baud = p.value(QStringLiteral("baud")).toInt();
    if (baud <= 0) { std::fprintf(stderr, "qvx-nmea: bad --baud\n"); return 2; }
    QByteArray capture;
    if (p.isSet(QStringLiteral("replay"))) {
        QFile file(p.value(QStringLiteral("replay")));
        if (!file.open(QIODevice::ReadOnly)) { std::fprintf(stderr, "qvx-nmea: cannot read %s\n", qPrintable(file.fileName())); return 2; }
        capture = file.readAll();
    }

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) { std::perror("qvx-nmea: pty"); return 1; }
    const char* slaveName = ::ptsname(master);
    // The slave stays open here: its raw settings hold, and writes do not
    // fail while the program under test has not opened it yet.
    const int slave = ::open(slaveName, O_RDWR | O_NOCTTY);
    if (slave < 0) { std::perror("qvx-nmea: slave"); return 1; }
    termios t{};
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);
    // Writes to the terminal never block: a full terminal (nobody reading)
    // is waited for in short sleeps that look at the stop request, so a
    // SIGTERM ends the program at once, whatever the reader does.
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    std::printf("%s\n", slaveName);
    std::fflush(stdout);

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);

    auto due = std::chrono::steady_clock::now();
    if (!capture.isEmpty()) {
        do {
            if (!paced(master, capture, baud, due)) break;
        } while (p.isSet(QStringLiteral("loop")) && !stopping);
        // Let the reader drain what is buffered before the terminal goes.
        for (int i = 0; i < 20 && !stopping; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } else {
        nmeawalk::Walk w;
        w.latitude = p.value(QStringLiteral("lat")).toDouble();
        w.longitude = p.value(QStringLiteral("lon")).toDouble();
        w.altitude = p.value(QStringLiteral("alt")).toDouble();
        w.speed = p.value(QStringLiteral("speed")).toDouble();
        w.heading = p.value(QStringLiteral("heading")).toDouble();
        for (int n = 0; !stopping; ++n) {
            if (!paced(master, nmeawalk::secondOf(w, n), baud, due)) break;
            due = qMax(due, std::chrono::steady_clock::now());
            sleepUntil(due + std::chrono::seconds(1));
            due += std::chrono::seconds(1);
        }
    }
    ::close(slave);
    ::close(master);
    return 0;
}
