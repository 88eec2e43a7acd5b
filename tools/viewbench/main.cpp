// qvx-viewbench FILE [--per-exchange] [--scrubs N]: opens FILE (a record
// stream or communication log) in a run viewer's analysis window, as the
// program's open button does, and prints
//  - the wall and CPU time to read it, to feed its records to the window,
//    and to paint each page (statistics, map, RSSI against distance) once;
//  - the peak memory;
//  - N scrubs (default 20) to moments spread over the run, alternately
//    backward and forward, each fed and the page painted: the longest and
//    the median time;
//  - a drag of the scrubber over the run in 200 steps 10 ms apart, as a
//    hand moves it: the longest pause of the event loop and the feeds made.
// --per-exchange feeds the records one figure refresh per exchange, as a
// live run shows them, instead of the window's bulk path (for comparison;
// perf record it on a shorter stream).
#include "analysis/AnalysisWindow.h"
#include "analysis/RssiDistancePlot.h"
#include "analysis/RunRecorder.h"
#include "analysis/RunViewer.h"
#include "common/Headless.h"
#include "export/RunFiles.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include <sys/resource.h>

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long peakMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

struct Clock {
    QElapsedTimer wall;
    double cpu = 0;
    Clock() { restart(); }
    void restart() {
        wall.start();
        cpu = cpuSeconds();
    }
    double ms() const { return double(wall.nsecsElapsed()) / 1e6; }
    double cpuMs() const { return (cpuSeconds() - cpu) * 1e3; }
};

// Lays out and paints the window's current page as the screen would.
void paint(QWidget& w) {
    QApplication::processEvents();
    w.repaint();
    QApplication::processEvents();
}

// Opens as the open button does (read on a thread of its own, then fed)
// and waits until it is shown.
bool openAndWait(analysis::RunViewer& viewer, const QString& file) {
    bool all = false, done = false;
    QObject::connect(&viewer, &analysis::RunViewer::opened, &viewer, [&](bool a) {
        all = a;
        done = true;
    });
    viewer.open({file});
    while (!done)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return all;
}

}  // namespace

constexpr const char* kUsage = "Usage: qvx-viewbench [--help] [--version] FILE [--per-exchange] [--scrubs N]\n";

int main(int argc, char** argv) {
    // Answered without a display, as every program here does.
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--version") || !std::strcmp(argv[i], "-v")) {
            std::printf("qvx-viewbench %s\n", QVX_VERSION);
            return 0;
        }
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::printf("%sOpens a recorded run in the analysis window's viewer and prints the time to read,\n"
                        "feed and paint it, to scrub it and to drag the scrubber.\n", kUsage);
            return 0;
        }
    }
    if (!headless::canShowWindows(argc, argv)) {
        std::fprintf(stderr, "%s\n", headless::noDisplayAdvice("qvx-viewbench").constData());
        return 1;
    }
    QApplication app(argc, argv);
    QString file;
    bool perExchange = false;
    int scrubs = 20;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--per-exchange"))
            perExchange = true;
        else if (!std::strcmp(argv[i], "--scrubs") && i + 1 < argc)
            scrubs = std::atoi(argv[++i]);
        else if (argv[i][0] != '-')
            file = QString::fromLocal8Bit(argv[i]);
        else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (file.isEmpty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    Clock total;
    analysis::RunViewer viewer;
    analysis::AnalysisWindow& window = viewer.window();
    window.resize(1180, 760);
    window.show();
    paint(window);
    const double startMs = total.ms();

    Clock c;
    if (perExchange) {
        // The records read, then fed as a live run feeds them.
        analysis::RunViewer reader;
        if (!openAndWait(reader, file))
            return 1;
        const double readMs = c.ms();
        c.restart();
        const analysis::RecordedRun& run = reader.layer(0);
        analysis::RunRecorder& rec = viewer.recorder();
        rec.onRunStart(run.start);
        for (const records::Exchange& e : run.exchanges)
            rec.onExchange(e);
        if (run.end)
            rec.onRunEnd(*run.end);
        paint(window);
        std::printf("per-exchange feed: %zu exchanges read in %.0f ms, fed and shown in %.0f ms wall, %.0f ms CPU\n",
                    run.exchanges.size(), readMs, c.ms(), c.cpuMs());
        return 0;
    }
    {
        // The reader alone, records counted and dropped: what of the open is parsing.
        struct Count : exportdata::RecordSink {
            std::size_t n = 0;
            void runStart(const records::RunStart&, const QString&, const QString&) override {}
            void exchange(const records::Exchange&) override { ++n; }
        } count;
        exportdata::readRunFile(file, count);
        std::printf("reader alone:       %7.0f ms wall %7.0f ms CPU (%zu exchanges)\n", c.ms(), c.cpuMs(), count.n);
        c.restart();
    }
    if (!openAndWait(viewer, file)) {
        std::fprintf(stderr, "qvx-viewbench: %s\n", qPrintable(viewer.problems().join(QLatin1Char('\n'))));
        return 1;
    }
    const double openMs = c.ms(), openCpu = c.cpuMs();
    const analysis::RecordedRun& run = viewer.layer(viewer.currentLayer());
    std::printf("file: %s, %zu exchanges, %zu late answers, %zu markers, span %.1f h\n", qPrintable(file),
                run.exchanges.size(), run.late.size(), run.markers.size(), double(run.spanUs()) / 3.6e9);
    std::printf("window up (empty): %.0f ms\n", startMs);
    std::printf("read + fed (open):  %7.0f ms wall %7.0f ms CPU (all threads)\n", openMs, openCpu);
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("AnalysisTabs"));
    const char* pages[] = {"statistics", "map", "distance"};
    double firstPaint = 0;
    for (int p = 0; p < 3; ++p) {
        c.restart();
        tabs->setCurrentIndex(p);
        paint(window);
        if (p == 0)
            firstPaint = c.ms();
        std::printf("paint %-10s   %7.0f ms wall %7.0f ms CPU\n", pages[p], c.ms(), c.cpuMs());
    }
    {
        // The distance page's path-loss fits, on their own thread since its paint.
        analysis::RssiDistancePlot& plot = window.distancePlot();
        while (plot.fitting() || plot.fitsStarted() == 0)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        std::printf("distance fits (far and answer, off the window thread): %7.0f ms wall since the paint, "
                    "%zu points, %d fits\n", c.ms(), plot.lastFitPoints(), plot.fitsStarted());
        c.restart();
        plot.flush();  // nothing new: no fit
        plot.setThreshold(plot.threshold() - 1);
        plot.flush();  // the same fits on the window thread, for their cost alone
        std::printf("distance fits (far and answer, on the window thread): %7.0f ms wall %7.0f ms CPU\n", c.ms(),
                    c.cpuMs());
    }
    std::printf("OPEN TO SHOWN (read, feed, first page painted): %.0f ms\n", openMs + firstPaint);
    tabs->setCurrentIndex(0);
    paint(window);

    // Scrubs: back and forth over the run, each fed and painted.
    std::vector<double> times;
    const std::int64_t span = run.spanUs();
    for (int i = 0; i < scrubs; ++i) {
        const double f = i % 2 ? 0.5 + 0.5 * double(i) / scrubs : 0.5 - 0.5 * double(i) / scrubs;
        c.restart();
        viewer.scrubTo(std::int64_t(double(span) * f));
        paint(window);
        times.push_back(c.ms());
    }
    std::sort(times.begin(), times.end());
    if (!times.empty())
        std::printf("scrub to a moment and paint (%d, back and forth): median %.0f ms, longest %.0f ms, "
                    "feeds from the start %d\n",
                    scrubs, times[times.size() / 2], times.back(), viewer.rebuilds());

    // A hand dragging the scrubber from the end to the start and back.
    QSlider* s = viewer.scrubber();
    const int rebuildsBefore = viewer.rebuilds();
    int feeds = 0;
    QObject::connect(&viewer, &analysis::RunViewer::shown, &app, [&feeds] { ++feeds; });
    double longest = 0;
    QElapsedTimer gap;
    gap.start();
    Clock drag;
    const int steps = 200;
    for (int i = 0; i <= steps; ++i) {
        const int v = i <= steps / 2 ? s->maximum() - int(qint64(s->maximum()) * i * 2 / steps)
                                     : int(qint64(s->maximum()) * (i - steps / 2) * 2 / steps);
        s->setValue(v);
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 10) {
            gap.restart();
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            longest = std::max(longest, double(gap.nsecsElapsed()) / 1e6);
        }
    }
    QTimer::singleShot(analysis::RunViewer::kScrubDebounceMs * 2, &app, &QApplication::quit);
    app.exec();
    std::printf("drag over the run (%d steps, 10 ms apart, %.0f ms): longest event-loop pause %.0f ms, "
                "feeds %d (from the start %d)\n",
                steps, drag.ms(), longest, feeds, viewer.rebuilds() - rebuildsBefore);
    std::printf("peak memory: %ld MB\n", peakMb());
    std::printf("total: %.0f ms wall, %.0f ms CPU\n", total.ms(), total.cpuMs());
    return 0;
}
