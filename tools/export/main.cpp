// qvx-export --to geojson|kml|gpx|csv|html [--output FILE] INPUT...
//
// Each INPUT is a run's record stream (.jsonl) or a communication log
// (.log, code page 932); the map log beside a communication log is found by
// the naming rule of the logs. Every run becomes its own layer. Whatever
// could not be read is named on standard error (file and line) and the rest
// is still exported; the exit status is then 2. Records of a schema other
// than 1 and 2 are among what is not read. A run without its end record is
// exported with a note on standard error and does not change the status.
#include "common/WholeFile.h"
#include "export/LogReader.h"
#include "export/StreamReader.h"
#include "export/Writers.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace {

void err(const QString& text) { std::fprintf(stderr, "qvx-export: %s\n", qPrintable(text)); }

bool readFile(const QString& path, QByteArray* bytes) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    *bytes = f.readAll();
    return true;
}

// A record stream starts with "{"; anything else is read as a log.
bool isStream(const QString& path, const QByteArray& bytes) {
    if (path.endsWith(QLatin1String(".jsonl"), Qt::CaseInsensitive)) return true;
    return bytes.trimmed().startsWith('{');
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qvx-export"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QVX_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Exports loopback test runs for maps and GIS tools.\n"
        "Each INPUT is a run's record stream (.jsonl) or a communication log (.log, code page 932);\n"
        "the map log beside a communication log (<YYMMDD>_<mode>_Map_<name>.log) is read with it.\n"
        "Each run is its own layer. Packets without a GPS fix (fix quality 0, bad checksum or no\n"
        "position) are no map points; the CSV keeps them with empty coordinates.\n"
        "Formats: geojson (FeatureCollection, every field a property), kml (placemarks coloured by\n"
        "far-end RSSI, lost packets in their own folder, the track as a line), gpx (a track, RSSI in\n"
        "extensions), csv (UTF-8, header with units), html (a stand-alone Leaflet map, with RSSI\n"
        "against the distance from the datum point and its log-distance path-loss fit).\n"
        "Unreadable lines are named on standard error (file:line) and the rest is exported;\n"
        "the exit status is then 2 (1: nothing could be exported or bad options). Records of\n"
        "a schema this program does not know (it reads 1 and 2) are unreadable lines.\n"
        "A run without its end record (the program was killed or crashed) is exported as far\n"
        "as it was written, with a note on standard error; that alone keeps the status 0."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("Output format: geojson, kml, gpx, csv or html."),
                                QStringLiteral("FORMAT"));
    const QCommandLineOption output(QStringLiteral("output"), QStringLiteral("Write to FILE instead of standard output."),
                                    QStringLiteral("FILE"));
    parser.addOption(to);
    parser.addOption(output);
    parser.addPositionalArgument(QStringLiteral("INPUT"), QStringLiteral("Record streams or communication logs."),
                                 QStringLiteral("INPUT..."));
    parser.process(app);

    const QString format = parser.value(to);
    QByteArray (*writer)(const std::vector<exportdata::Run>&) = nullptr;
    if (format == QLatin1String("geojson")) writer = exportdata::toGeoJson;
    else if (format == QLatin1String("kml")) writer = exportdata::toKml;
    else if (format == QLatin1String("gpx")) writer = exportdata::toGpx;
    else if (format == QLatin1String("csv")) writer = exportdata::toCsv;
    else if (format == QLatin1String("html")) writer = exportdata::toHtml;
    if (!writer) {
        err(format.isEmpty() ? QStringLiteral("--to is required (geojson, kml, gpx, csv or html)")
                             : QStringLiteral("unknown format '%1' (geojson, kml, gpx, csv or html)").arg(format));
        return 1;
    }
    const QStringList inputs = parser.positionalArguments();
    if (inputs.isEmpty()) {
        err(QStringLiteral("no INPUT given (see --help)"));
        return 1;
    }

    exportdata::Runs all;
    bool unreadable = false;
    for (const QString& path : inputs) {
        QByteArray bytes;
        if (!readFile(path, &bytes)) {
            err(QStringLiteral("%1: cannot be read").arg(path));
            unreadable = true;
            continue;
        }
        if (isStream(path, bytes)) {
            all.add(exportdata::readStream(bytes, path));
            continue;
        }
        const QString mapPath = exportdata::mapLogPathFor(path);
        QByteArray map;
        if (!mapPath.isEmpty() && QFileInfo::exists(mapPath) && !readFile(mapPath, &map))
            err(QStringLiteral("%1: cannot be read; positions from the communication log alone").arg(mapPath));
        all.add(exportdata::readCommLog(bytes, path, map, mapPath));
    }
    for (const exportdata::Problem& p : all.problems) err(p.text());
    for (const exportdata::Problem& n : all.notes) err(QStringLiteral("note: ") + n.text());

    const QByteArray out = writer(all.runs);
    if (parser.isSet(output)) {
        // All of it or, failing that, the file as it was.
        QString error;
        if (!wholefile::replace(parser.value(output), out, &error)) {
            err(QStringLiteral("%1: cannot be written: %2").arg(parser.value(output), error));
            return 1;
        }
    } else if (std::fwrite(out.constData(), 1, out.size(), stdout) != static_cast<size_t>(out.size())
               || std::fflush(stdout) != 0) {
        err(QStringLiteral("standard output cannot be written"));
        return 1;
    }
    if (all.runs.empty()) return 1;
    return unreadable || !all.problems.empty() ? 2 : 0;
}
