// qvx-nmea: a GPS receiver on a pseudo-terminal, a TCP server or a UDP
// sender. Prints what the GPS port box takes to read it (the terminal's
// path, tcp://localhost:PORT or udp://:PORT) as its first line, then
// replays a capture byte for byte at a baud rate's pace (10 bits a byte),
// or sends a walk from a start point: one fix a second on the second,
// optionally stalling for a while, and optionally writing where the walker
// really was (a truth trace).
#include "NmeaSink.h"
#include "NmeaWalk.h"

#include <QByteArray>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QTextStream>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

namespace {

volatile std::sig_atomic_t stopping = 0;
void onSignal(int) { stopping = 1; }

// Sleeps until due in short slices, so a stop request is seen at once.
void sleepUntil(std::chrono::steady_clock::time_point due) {
    while (!stopping && std::chrono::steady_clock::now() < due)
        std::this_thread::sleep_until(std::min(due, std::chrono::steady_clock::now() + std::chrono::milliseconds(20)));
}

// Sends data paced at baud (10 bits a byte), in pieces of about 10 ms.
bool paced(NmeaSink& sink, const QByteArray& data, int baud, std::chrono::steady_clock::time_point& due) {
    const qsizetype chunk = qMax<qsizetype>(1, baud / 1000);   // bytes in 10 ms
    for (qsizetype i = 0; i < data.size() && !stopping; i += chunk) {
        const qsizetype n = qMin(chunk, data.size() - i);
        if (!sink.write(data.constData() + i, static_cast<size_t>(n))) return false;
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
        "A GPS receiver on a pseudo-terminal (or, with --tcp, a TCP server; with --udp, a UDP sender).\n"
        "Prints what the GPS port box takes to read it as the first line of output (the terminal's path,\n"
        "tcp://localhost:PORT or udp://:PORT),\n"
        "then either replays a capture file byte for byte at the pace of --baud (10 bits per byte),\n"
        "or, without --replay, sends a walk: one GGA and one RMC sentence a second, with correct\n"
        "checksums, moving from --lat/--lon at --speed m/s towards --heading degrees.\n"
        "Runs until stopped (SIGINT/SIGTERM), or until the replay ends unless --loop is given.\n"
        "A TCP server starts sending when its first client connects."));
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
    p.addOption({QStringLiteral("tcp"), QStringLiteral("Serve the sentences to TCP clients on this port (0: a free one) instead of a terminal."), QStringLiteral("port")});
    p.addOption({QStringLiteral("udp"), QStringLiteral("Send the sentences as UDP datagrams, one a sentence, to this address instead of a terminal."), QStringLiteral("host:port")});
    p.addOption({QStringLiteral("truth"), QStringLiteral(
        "Write the walk's truth trace to file: a CSV line per second of the walk (mono_us,utc,lat,lon,sent):\n"
        "the instant on the monotonic clock (microseconds, the clock the program's records use) and in UTC,\n"
        "where the walker was then, and whether that second's sentences were sent (0 while stalled).\n"
        "Between two lines the walker moves in a straight line at constant speed."), QStringLiteral("file")});
    p.addOption({QStringLiteral("stall"), QStringLiteral(
        "Stop sending at second S of the walk for N seconds, then go on where the walk is by then."),
        QStringLiteral("S,N")});
    p.addOption({QStringLiteral("no-fix"), QStringLiteral("Walk sentences of a receiver without a fix.")});
    p.process(app);

    const int baud = p.value(QStringLiteral("baud")).toInt();
    if (baud <= 0) { std::fprintf(stderr, "qvx-nmea: bad --baud\n"); return 2; }
    QByteArray capture;
    if (p.isSet(QStringLiteral("replay"))) {
        QFile file(p.value(QStringLiteral("replay")));
        if (!file.open(QIODevice::ReadOnly)) { std::fprintf(stderr, "qvx-nmea: cannot read %s\n", qPrintable(file.fileName())); return 2; }
        capture = file.readAll();
    }

    if (p.isSet(QStringLiteral("tcp")) && p.isSet(QStringLiteral("udp"))) { std::fprintf(stderr, "qvx-nmea: --tcp or --udp, not both\n"); return 2; }
    std::unique_ptr<NmeaSink> sink;
    if (p.isSet(QStringLiteral("tcp"))) {
        bool ok = false;
        const uint port = p.value(QStringLiteral("tcp")).toUInt(&ok);
        if (!ok || port > 65535) { std::fprintf(stderr, "qvx-nmea: bad --tcp\n"); return 2; }
        sink = makeTcpSink(static_cast<quint16>(port));
    } else if (p.isSet(QStringLiteral("udp"))) {
        sink = makeUdpSink(p.value(QStringLiteral("udp")));
        if (!sink) return 2;
    } else {
        sink = makePtySink(stopping);
    }
    if (!sink) return 1;
    std::printf("%s\n", qPrintable(sink->name()));
    std::fflush(stdout);

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);

    if (!sink->ready(stopping)) return 0;
    auto due = std::chrono::steady_clock::now();
    if (!capture.isEmpty()) {
        do {
            if (!paced(*sink, capture, baud, due)) break;
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
        w.noFix = p.isSet(QStringLiteral("no-fix"));
        int stallAt = -1, stallFor = 0;
        if (p.isSet(QStringLiteral("stall"))) {
            const QStringList v = p.value(QStringLiteral("stall")).split(QLatin1Char(','));
            bool ok1 = false, ok2 = false;
            if (v.size() == 2) {
                stallAt = v[0].toInt(&ok1);
                stallFor = v[1].toInt(&ok2);
            }
            if (!ok1 || !ok2 || stallAt < 0 || stallFor < 0) { std::fprintf(stderr, "qvx-nmea: bad --stall\n"); return 2; }
        }
        std::FILE* truth = nullptr;
        if (p.isSet(QStringLiteral("truth"))) {
            truth = std::fopen(qPrintable(p.value(QStringLiteral("truth"))), "w");
            if (!truth) { std::fprintf(stderr, "qvx-nmea: cannot write the truth trace\n"); return 2; }
            std::fprintf(truth, "mono_us,utc,lat,lon,sent\n");
            std::fflush(truth);
        }
        // Second n of the walk is due at start + n s on the monotonic clock
        // (whatever its sentences' time on the wire), and its UTC time is
        // the wall clock's at the start plus n s.
        const auto start = std::chrono::steady_clock::now();
        const auto wallStart = std::chrono::system_clock::now();
        const double wallStartS = std::chrono::duration<double>(wallStart.time_since_epoch()).count();
        w.utcStart = std::fmod(wallStartS, 86400.0);
        for (int n = 0; !stopping; ++n) {
            const auto at = start + std::chrono::seconds(n);
            sleepUntil(at);
            if (stopping) break;
            const bool stalled = stallAt >= 0 && n >= stallAt && n < stallAt + stallFor;
            if (truth) {
                const nmeawalk::Place place = nmeawalk::placeAt(w, n);
                const long long monoUs = std::chrono::duration_cast<std::chrono::microseconds>(at.time_since_epoch()).count();
                const QDateTime utc = QDateTime::fromMSecsSinceEpoch(
                    std::chrono::duration_cast<std::chrono::milliseconds>((wallStart + std::chrono::seconds(n)).time_since_epoch()).count(),
                    Qt::UTC);
                std::fprintf(truth, "%lld,%s,%.9f,%.9f,%d\n", monoUs,
                             qPrintable(utc.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"))), place.latitude,
                             place.longitude, stalled ? 0 : 1);
                std::fflush(truth);
            }
            if (stalled) continue;
            due = std::chrono::steady_clock::now();
            if (!paced(*sink, nmeawalk::secondOf(w, n), baud, due)) break;
        }
        if (truth) std::fclose(truth);
    }
    sink->finish();
    return 0;
}
