// qvx-soak [cycles [start-ms]]: a continuous FSK run of the given number of
// packets (default 100000) on the virtual clock, the simulated module on a
// fake device, logs saved. start-ms sets the millisecond counter's start
// (default 1000000), so that a run can be made to carry the counter across
// 2^31 and 2^32. Prints resident memory, the log file's size and the
// counters every tenth of the way, then stops the run and checks it ended.
#include "SimOnDevice.h"
#include "WindowHarness.h"
#include "looptest/RunControl.h"
#include "platform/SerialPort.h"
#include "platform/Timer.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace {
long residentKiB() {
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QList<QByteArray> v = f.readAll().split(' ');
    return v.size() > 1 ? v[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

constexpr const char* kUsage =
    "Usage: qvx-soak [--help] [--version] [CYCLES [START_MS]]\n"
    "A continuous FSK run of CYCLES packets (default 100000) on the virtual clock, the\n"
    "simulated module on a fake device, logs saved. START_MS sets the millisecond\n"
    "counter's start (default 1000000), so that a run can carry it across 2^31 and\n"
    "2^32. Prints resident memory, the log's size and the counters every tenth of the\n"
    "way, then stops the run and checks it ended.\n";
} // namespace

int main(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--help") == 0 || qstrcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (qstrcmp(argv[i], "--version") == 0) {
            std::printf("qvx-soak %s\n", QVX_VERSION);
            return 0;
        }
        char* end = nullptr;
        std::strtoll(argv[i], &end, 10);
        if (i > 2 || end == argv[i] || *end != '\0') {
            std::fprintf(stderr, "qvx-soak: unexpected argument %s\n%s", argv[i], kUsage);
            return 2;
        }
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(QVX_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A continuous FSK run in virtual time against the simulated module, logs saved: resident memory,\n"
        "the log's size and the counters every tenth of the way, then the run stopped and checked."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("cycles"), QStringLiteral("Packets to send (default 100000)."),
                                 QStringLiteral("[cycles]"));
    parser.addPositionalArgument(QStringLiteral("start-ms"),
                                 QStringLiteral("The millisecond counter's start (default 1000000)."),
                                 QStringLiteral("[start-ms]"));
    parser.process(app);
    const long cycles = argc > 1 ? atol(argv[1]) : 100000;
    QTextStream out(stdout);

    WindowHarness h;
    if (argc > 2)
        h.clock.spend(atoll(argv[2]) - h.clock.nowMs());   // nothing is armed yet
    const qint64 startMs = h.clock.nowMs();
    SimConfig cfg;
    cfg.lossPattern = "......x...";
    FakeDevice* device = h.ports.addDevice(QStringLiteral("COM3"));
    SimOnDevice sim(device, h.clock, cfg);
    Form1& f = h.start();
    inside(f).ui.Com_Port->setText(QStringLiteral("COM3"));
    inside(f).ui.LogFile_Flg->setChecked(true);
    inside(f).ui.LogFileName->setText(QStringLiteral("soak"));
    inside(f).TestStartSW[0]->click();
    h.advance(1000);
    const QString log = h.path(inside(f).ui.LogFileHedder->text() + QStringLiteral("soak.log"));

    QElapsedTimer wall;
    wall.start();
    out << "counter from " << startMs << " ms\n";
    out << "cycles  RSS[KiB]  log[bytes]  Tx_Count  OK  Err  wall[s]\n";
    const auto sample = [&] {
        out << sim.dataCommands() << "  " << residentKiB() << "  " << QFileInfo(log).size() << "  "
            << inside(f).ui.Tx_Count->text() << "  " << inside(f).ui.FSK_OK->text() << "  " << inside(f).ui.FSK_Err->text() << "  "
            << wall.elapsed() / 1000.0 << Qt::endl;
    };
    sample();
    const long step = std::max(1L, cycles / 10);
    for (long next = step; sim.dataCommands() < cycles; next = std::min(cycles, next + step)) {
        while (sim.dataCommands() < next && inside(f).Tx_Timer->isEnabled()) {
            h.advance(1000);
            device->clearWrites();  // the fake's record of writes is not the program's memory
            // The virtual clock fires timers itself; repaints and deferred
            // deletions still need the event loop, as in the real program.
            QCoreApplication::processEvents();
        }
        sample();
        if (!inside(f).Tx_Timer->isEnabled()) {
            out << "the run stopped by itself: " << inside(f).ui.Message->text() << Qt::endl;
            return 1;
        }
    }
    inside(f).TestStartSW[0]->click();
    h.advance(5000);
    // One packet in ten is lost by the pattern; any more and answers were
    // misjudged (a response time gone wrong across a counter wrap, say).
    const long sent = inside(f).ui.Tx_Count->text().toLong();
    const long ok = inside(f).ui.FSK_OK->text().toLong();
    const long err = inside(f).ui.FSK_Err->text().toLong();
    // The last packet sent may still be waiting for its evaluation.
    const bool counted = (ok + err == sent || ok + err == sent - 1) && err <= sent / 10 + 1;
    out << (counted ? "counters consistent" : "COUNTERS WRONG") << Qt::endl;
    const bool stopped = inside(f).st.RunState == 0 && !inside(f).MSComm1->isOpen() && !inside(f).Tx_Timer->isEnabled();
    out << "counter at " << h.clock.nowMs() << " ms (" << h.clock.milliseconds() << " as the program reads it)\n";
    out << (stopped ? "stopped cleanly" : "STOP DID NOT COMPLETE") << Qt::endl;
    return stopped && counted ? 0 : 1;
}
