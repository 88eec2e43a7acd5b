// qvx-drawbench [--help] [EXCHANGES [BLOCK [PAGE]]]: a continuous FSK run at
// 300 ms of EXCHANGES packets (default 288000: 24 hours) in virtual time,
// the simulated module on a fake device (losses, late and out-of-order
// answers, wandering levels), run twice in one sitting: the main window
// alone, then with the analysis window shown on PAGE (0 statistics, the
// default; 1 map; 2 RSSI against distance).
//
// The window's timers fire on the virtual clock; the event loop (repaints)
// runs every 100 ms of run time, the analysis window's plots are brought up
// to date every 250 ms of run time (live the window draws them with its
// figures once a second, the map every 500 ms: the bench asks for more) and
// its figures every AnalysisWindow::kFiguresMs. In the middle
// of the run, between the first and the last BLOCK exchanges (default
// 10000), both run every 10 s of run time only: what the windows hold at
// the end is the same, and the bench takes minutes, not hours. For the first and last BLOCK it prints the wall time and the
// process CPU per exchange and the CPU per minute of run, and the points
// the plots draw.
#include "SimOnDevice.h"
#include "WindowHarness.h"
#include "analysis/AnalysisWindow.h"
#include "analysis/CoverageMap.h"
#include "analysis/LinkCharts.h"
#include "analysis/RssiDistancePlot.h"
#include "platform/Timer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>

#include <cstdio>
#include <cstring>

#include <sys/resource.h>

namespace {

constexpr int kPeriodMs = 300;
constexpr int kEventsMs = 100;
constexpr int kPlotsMs = 250;
constexpr int kSparseMs = 10'000;

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Block {
    long exchanges = 0;
    double wallS = 0, cpuS = 0;
    double msPerExchange() const { return exchanges ? wallS * 1e3 / double(exchanges) : 0; }
    double cpuMsPerExchange() const { return exchanges ? cpuS * 1e3 / double(exchanges) : 0; }
    // CPU seconds per minute of run (an exchange is one period).
    double cpuPerMinute() const { return exchanges ? cpuS / (double(exchanges) * kPeriodMs / 60000.0) : 0; }
};

struct Side {
    Block first, last;
    long sent = 0;
    int drawnPoints = -1;
    bool stoppedEarly = false;
};

Side run(long count, long block, int page) {
    Side side;
    WindowHarness h;
    SimConfig cfg;
    cfg.lossProbability = 0.05;
    cfg.swapEvery = 11;
    cfg.jitterMs = 10;
    cfg.farRssi = RssiSpec::wander(-85, 16);
    cfg.ackRssi = RssiSpec::wander(-88, 16);
    cfg.noiseRssi = RssiSpec::wander(-112, 4);
    FakeDevice* device = h.ports.addDevice(QStringLiteral("COM3"));
    SimOnDevice sim(device, h.clock, cfg);
    Form1& f = h.start();
    inside(f).ui.Com_Port->setText(QStringLiteral("COM3"));
    inside(f).ui.LogFile_Flg->setChecked(true);
    inside(f).ui.LogFileName->setText(QStringLiteral("bench"));
    analysis::AnalysisWindow* aw = nullptr;
    if (page >= 0) {
        f.showAnalysis();
        aw = inside(f).analysisWindow.get();
        aw->findChild<QTabWidget*>(QStringLiteral("AnalysisTabs"))->setCurrentIndex(page);
    }
    inside(f).TestStartSW[0]->click();
    h.advance(1000);
    QCoreApplication::processEvents();

    const auto bringPlotsUp = [&] {
        if (!aw)
            return;
        aw->charts().flush();
        aw->distancePlot().flush();
        aw->map().update();
    };
    QElapsedTimer wall;
    double cpu0 = 0;
    long blockStart = -1;
    Block* measuring = nullptr;
    qint64 sinceEvents = 0, sincePlots = 0, sinceFigures = 0;
    while (sim.dataCommands() < count) {
        const long n = sim.dataCommands();
        const bool firstStarts = blockStart < 0, lastStarts = n >= count - block && side.first.exchanges;
        if (!measuring && (firstStarts || lastStarts) && blockStart != n && !side.last.exchanges) {
            measuring = firstStarts ? &side.first : &side.last;
            blockStart = n;
            wall.start();
            cpu0 = cpuSeconds();
        }
        if (measuring && n >= blockStart + block) {
            measuring->exchanges = n - blockStart;
            measuring->wallS = double(wall.nsecsElapsed()) / 1e9;
            measuring->cpuS = cpuSeconds() - cpu0;
            measuring = nullptr;
        }
        h.advance(kEventsMs);
        device->clearWrites();
        sinceEvents += kEventsMs;
        sincePlots += kEventsMs;
        sinceFigures += kEventsMs;
        const bool live = n < block || n >= count - block;
        if (aw && sinceFigures >= (live ? analysis::AnalysisWindow::kFiguresMs : kSparseMs)) {
            sinceFigures = 0;
            aw->refreshFigures();
        }
        if (sincePlots >= (live ? kPlotsMs : kSparseMs)) {
            sincePlots = 0;
            bringPlotsUp();
        }
        if (live || sinceEvents >= kSparseMs) {
            sinceEvents = 0;
            QCoreApplication::processEvents();
        }
        if (!inside(f).Tx_Timer->isEnabled()) {
            side.stoppedEarly = true;
            break;
        }
    }
    if (measuring) {
        measuring->exchanges = sim.dataCommands() - blockStart;
        measuring->wallS = double(wall.nsecsElapsed()) / 1e9;
        measuring->cpuS = cpuSeconds() - cpu0;
    }
    side.sent = sim.dataCommands();
    if (aw)
        side.drawnPoints = aw->charts().drawnPoints();
    inside(f).TestStartSW[0]->click();
    h.advance(2000);
    return side;
}

void print(const char* name, const Side& s) {
    std::printf("%-28s %9.3f %9.3f %8.2f   %9.3f %9.3f %8.2f   %5.2f", name, s.first.msPerExchange(),
                s.first.cpuMsPerExchange(), s.first.cpuPerMinute(), s.last.msPerExchange(), s.last.cpuMsPerExchange(),
                s.last.cpuPerMinute(), s.first.msPerExchange() > 0 ? s.last.msPerExchange() / s.first.msPerExchange() : 0);
    if (s.drawnPoints >= 0)
        std::printf("   %d", s.drawnPoints);
    std::printf("%s\n", s.stoppedEarly ? "   (the run stopped early)" : "");
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc > 1 && (!std::strcmp(argv[1], "--version") || !std::strcmp(argv[1], "-v"))) {
        std::printf("qvx-drawbench %s\n", qPrintable(versionText()));
        return 0;
    }
    if (argc > 1 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        std::printf("Usage: qvx-drawbench [--help] [--version] [EXCHANGES [BLOCK [PAGE]]]\n"
                    "A continuous FSK run at 300 ms in virtual time (default 288000 exchanges: 24 hours),\n"
                    "first the main window alone, then with the analysis window shown on PAGE (0 statistics,\n"
                    "1 map, 2 RSSI against distance); prints time and CPU per exchange of the first and the\n"
                    "last BLOCK exchanges (default 10000) of each.\n");
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const long count = argc > 1 ? std::atol(argv[1]) : 288'000;
    const long block = std::min(count / 2, argc > 2 ? std::atol(argv[2]) : 10'000L);
    const int page = argc > 3 ? std::atoi(argv[3]) : 0;
    std::printf("FSK at %d ms, %ld exchanges (%.1f h of run) in virtual time; first and last %ld measured\n",
                kPeriodMs, count, double(count) * kPeriodMs / 3.6e6, block);
    std::fflush(stdout);
    const Side alone = run(count, block, -1);
    const Side shown = run(count, block, page);
    std::printf("\n%-28s %29s   %29s   %5s\n", "", "first block", "last block", "last/");
    std::printf("%-28s %9s %9s %8s   %9s %9s %8s   %5s   %s\n", "", "ms/exch", "CPU ms", "CPU s/min", "ms/exch",
                "CPU ms", "CPU s/min", "first", "points drawn");
    print("main window alone", alone);
    const char* pages[] = {"analysis window, statistics", "analysis window, map", "analysis window, distance"};
    print(pages[std::clamp(page, 0, 2)], shown);
    std::printf("\nCPU per minute, analysis shown / main window alone: first block %.2f, last block %.2f\n",
                alone.first.cpuPerMinute() > 0 ? shown.first.cpuPerMinute() / alone.first.cpuPerMinute() : 0,
                alone.last.cpuPerMinute() > 0 ? shown.last.cpuPerMinute() / alone.last.cpuPerMinute() : 0);
    return alone.stoppedEarly || shown.stoppedEarly ? 1 : 0;
}
