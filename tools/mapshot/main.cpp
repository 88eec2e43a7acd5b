// qvx-mapshot [--output FILE] [--grid FILE] [--distance FILE] [--sensitivity FILE] [--window FILE]
//             [--size WxH] [--datum LAT,LON] [--tiles PATH|URL] [INPUT.jsonl]
//
// Feeds the analysis window a walk (a run's record stream, or without one
// a synthetic walk) and saves pictures of its coverage map (points, and
// optionally the grid view) and of RSSI against distance. PNG or SVG by
// each name's suffix. Run it with QT_QPA_PLATFORM=offscreen for no screen.
#include "SyntheticWalk.h"
#include "analysis/AnalysisWindow.h"
#include "analysis/CoverageMap.h"
#include "analysis/RssiDistancePlot.h"
#include "analysis/RunRecorder.h"
#include "analysis/SensitivityPage.h"
#include "export/StreamReader.h"

#include "common/Headless.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QPainter>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cstdio>

namespace {

int fail(const QString& text) {
    std::fprintf(stderr, "qvx-mapshot: %s\n", qPrintable(text));
    return 1;
}

// A run's record stream as the exchanges the window would have seen.
bool readWalk(const QString& path, mapshot::Walk* walk) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const exportdata::Runs runs = exportdata::readStream(f.readAll(), path);
    for (const exportdata::Problem& p : runs.problems)
        std::fprintf(stderr, "qvx-mapshot: %s\n", qPrintable(p.text()));
    walk->datumLat = walk->datumLon = 0;
    if (!runs.runs.empty())
        walk->mode = runs.runs.front().start.mode;
    for (const exportdata::Layer& run : runs.runs) {
        for (records::Exchange e : run.exchanges) {
            e.runId = 1;
            walk->exchanges.push_back(e);
        }
        for (records::LateAnswer l : run.late) {
            l.runId = 1;
            walk->lateAnswers.push_back(l);
        }
    }
    return true;
}

QSize sizeOf(const QString& text) {
    const QStringList wh = text.split(QLatin1Char('x'));
    return wh.size() == 2 ? QSize(wh[0].toInt(), wh[1].toInt()) : QSize();
}

}  // namespace

int main(int argc, char** argv) {
    // It draws pictures only: without a display it draws off screen.
    if (!headless::canShowWindows(argc, argv))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qvx-mapshot"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QVX_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Pictures of the analysis window's coverage map and RSSI against distance after a walk:\n"
        "a run's record stream (.jsonl), or a synthetic walk when none is given."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption output(QStringLiteral("output"), QStringLiteral("The map picture (PNG or SVG)."),
                                    QStringLiteral("FILE"), QStringLiteral("map.png"));
    const QCommandLineOption grid(QStringLiteral("grid"), QStringLiteral("Also the grid view (success rate, 50 m)."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption distance(QStringLiteral("distance"), QStringLiteral("Also RSSI against distance."),
                                      QStringLiteral("FILE"));
    const QCommandLineOption size(QStringLiteral("size"), QStringLiteral("Picture size, e.g. 1000x760."),
                                  QStringLiteral("WxH"), QStringLiteral("1000x760"));
    const QCommandLineOption datum(QStringLiteral("datum"), QStringLiteral("Datum point, decimal degrees."),
                                   QStringLiteral("LAT,LON"));
    const QCommandLineOption shot(QStringLiteral("window"), QStringLiteral("Also the whole window on its map page (PNG)."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption tiles(QStringLiteral("tiles"),
                                   QStringLiteral("Base map: an MBTiles file, a folder of XYZ tiles or a tile URL template."),
                                   QStringLiteral("PATH|URL"));
    const QCommandLineOption sensitivity(QStringLiteral("sensitivity"),
                                         QStringLiteral("Also the success rate against the far-end RSSI."),
                                         QStringLiteral("FILE"));
    parser.addOptions({output, grid, distance, sensitivity, size, datum, shot, tiles});
    parser.addPositionalArgument(QStringLiteral("INPUT"), QStringLiteral("A run's record stream (.jsonl)."),
                                 QStringLiteral("[INPUT]"));
    parser.process(app);

    mapshot::Walk walk;
    const QStringList inputs = parser.positionalArguments();
    if (inputs.isEmpty())
        walk = mapshot::syntheticWalk();
    else if (!readWalk(inputs.first(), &walk))
        return fail(QStringLiteral("%1: cannot be read").arg(inputs.first()));
    if (parser.isSet(datum)) {
        const QStringList ll = parser.value(datum).split(QLatin1Char(','));
        if (ll.size() != 2)
            return fail(QStringLiteral("--datum wants LAT,LON"));
        walk.datumLat = ll[0].toDouble();
        walk.datumLon = ll[1].toDouble();
    }
    const QSize pictureSize = sizeOf(parser.value(size));
    if (pictureSize.isEmpty())
        return fail(QStringLiteral("--size wants WxH"));

    QTemporaryDir logs;
    analysis::RunRecorder recorder(logs.path());
    analysis::AnalysisWindow window(recorder, {});
    window.setDatum(walk.datumLat, walk.datumLon);
    records::RunStart start;
    start.runId = 1;
    start.mode = walk.mode;
    recorder.onRunStart(start);
    std::size_t late = 0;
    for (const records::Exchange& e : walk.exchanges) {
        recorder.onExchange(e);
        while (late < walk.lateAnswers.size() && walk.lateAnswers[late].packet == e.packet)
            recorder.onLateAnswer(walk.lateAnswers[late++]);
    }

    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("AnalysisTabs"));
    window.resize(pictureSize + QSize(40, 160));
    window.show();
    QString error;
    analysis::CoverageMap& map = window.map();
    if (parser.isSet(tiles) && !map.setTileSource(parser.value(tiles), {}, &error))
        return fail(QStringLiteral("--tiles: %1").arg(error));
    if (map.baseMap()) {
        // Online tiles come later: the picture waits for them (at most 20 s).
        QImage probe(pictureSize, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&probe);
        map.render(painter, pictureSize);
        QElapsedTimer waited;
        waited.start();
        while (map.baseMap()->pending() > 0 && waited.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    if (!map.savePicture(parser.value(output), &error, pictureSize))
        return fail(QStringLiteral("%1: %2").arg(parser.value(output), error));
    if (parser.isSet(grid)) {
        map.setView(analysis::CoverageMap::View::GridSuccess);
        if (!map.savePicture(parser.value(grid), &error, pictureSize))
            return fail(QStringLiteral("%1: %2").arg(parser.value(grid), error));
        map.setView(analysis::CoverageMap::View::Points);
    }
    // The reach threshold as everywhere: the measured 90 % level, else the
    // mode's default.
    window.sensitivityPage().refit();
    if (parser.isSet(sensitivity)) {
        tabs->setCurrentWidget(&window.sensitivityPage());
        QCoreApplication::processEvents();
        if (!window.sensitivityPage().savePicture(parser.value(sensitivity), &error))
            return fail(QStringLiteral("%1: %2").arg(parser.value(sensitivity), error));
    }
    if (parser.isSet(distance)) {
        tabs->setCurrentWidget(&window.distancePlot());
        QCoreApplication::processEvents();
        if (!window.distancePlot().savePicture(parser.value(distance), &error))
            return fail(QStringLiteral("%1: %2").arg(parser.value(distance), error));
    }
    if (parser.isSet(shot)) {
        tabs->setCurrentWidget(window.findChild<QWidget*>(QStringLiteral("MapPage")));
        QCoreApplication::processEvents();
        if (!window.grab().save(parser.value(shot)))
            return fail(QStringLiteral("%1: cannot be written").arg(parser.value(shot)));
    }
    return 0;
}
