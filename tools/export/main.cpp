// qvx-export --to geojson|kml|gpx|csv|html [--output FILE] INPUT...
// qvx-export --to summary|summary-text [--compare] [--threshold DBM] INPUT...
//
// Each INPUT is a run's record stream (.jsonl) or a communication log
// (.log, code page 932); the map log beside a communication log is found by
// the naming rule of the logs. Every run becomes its own layer. Whatever
// could not be read is named on standard error (file and line) and the rest
// is still exported; the exit status is then 2. Records of a schema other
// than 1 and 2 are among what is not read. A run without its end record is
// exported with a note on standard error and does not change the status.
//
// The inputs are read twice, record by record: once for what a format
// needs before its first point (late answers, markers, the distance fit),
// once to write. Memory does not grow with the number of exchanges.
#include "export/LogReader.h"
#include "export/StreamReader.h"
#include "export/TileSet.h"
#include "export/Summary.h"
#include "export/Writers.h"
#include "gps/Distance.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include <cstdio>
#include <functional>

namespace {

void err(const QString& text) { std::fprintf(stderr, "qvx-export: %s\n", qPrintable(text)); }

// A record stream starts with "{"; anything else is read as a log.
bool isStream(const QString& path, QFile& f) {
    if (path.endsWith(QLatin1String(".jsonl"), Qt::CaseInsensitive)) return true;
    return f.peek(4096).trimmed().startsWith('{');
}

// Distances from a datum point given on the command line, for records
// that carry none (logs, runs without a datum point).
class WithDatum : public exportdata::RecordSink {
public:
    WithDatum(exportdata::RecordSink& to, double lat, double lon) : to_(to), lat_(lat), lon_(lon) {}
    void runStart(const records::RunStart& r, const QString& layer, const QString& source) override {
        to_.runStart(r, layer, source);
    }
    void exchange(const records::Exchange& e) override {
        if (!exportdata::mapPosition(e) || e.position->distanceM) {
            to_.exchange(e);
            return;
        }
        records::Exchange d = e;
        d.position->distanceM = hubeny::distance(d.position->lat, d.position->lon, lat_, lon_);
        to_.exchange(d);
    }
    void late(const records::LateAnswer& l) override { to_.late(l); }
    void marker(const records::Marker& m) override { to_.marker(m); }
    void runEnd(const records::RunEnd& r) override { to_.runEnd(r); }
    void problem(const exportdata::Problem& p) override { to_.problem(p); }
    void note(const exportdata::Problem& p) override { to_.note(p); }

private:
    exportdata::RecordSink& to_;
    double lat_, lon_;
};

// The second pass's writer, naming and counting the problems on the way
// (the first pass may pass exchanges over unread, so only this one sees
// every problem).
class Writing : public exportdata::RecordSink {
public:
    explicit Writing(exportdata::ExportWriter& to) : to_(to) {}
    void runStart(const records::RunStart& r, const QString& layer, const QString& source) override {
        to_.runStart(r, layer, source);
    }
    void exchange(const records::Exchange& e) override { to_.exchange(e); }
    void late(const records::LateAnswer& l) override { to_.late(l); }
    void marker(const records::Marker& m) override { to_.marker(m); }
    void runEnd(const records::RunEnd& r) override { to_.runEnd(r); }
    void problem(const exportdata::Problem& p) override {
        err(p.text());
        ++count;
    }
    void note(const exportdata::Problem& p) override { err(QStringLiteral("note: ") + p.text()); }
    std::size_t count = 0;

private:
    exportdata::ExportWriter& to_;
};

// Reads every input into the sink; false when one could not be opened.
bool readInputs(const QStringList& inputs, exportdata::RecordSink& sink, bool tell) {
    bool all = true;
    for (const QString& path : inputs) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            if (tell) err(QStringLiteral("%1: cannot be read").arg(path));
            all = false;
            continue;
        }
        if (isStream(path, f)) {
            exportdata::readStream(f, path, sink);
            continue;
        }
        const QByteArray log = f.readAll();
        const QString mapPath = exportdata::mapLogPathFor(path);
        QByteArray map;
        if (!mapPath.isEmpty() && QFileInfo::exists(mapPath)) {
            QFile m(mapPath);
            if (m.open(QIODevice::ReadOnly))
                map = m.readAll();
            else if (tell)
                err(QStringLiteral("%1: cannot be read; positions from the communication log alone").arg(mapPath));
        }
        exportdata::readCommLog(log, path, map, mapPath, sink);
    }
    return all;
}

// The summary formats: the figures of one group of runs, or with
// --compare, of two groups and their comparison; one pass over the records.
int writeSummary(const QStringList& inputs, bool compare, bool text, std::optional<double> threshold,
                 const std::function<bool(const QStringList&, exportdata::RecordSink&)>& read, QIODevice& out,
                 bool toFile, QSaveFile& file) {
    QList<QStringList> groups;
    if (compare) {
        const qsizetype vs = inputs.indexOf(QStringLiteral("vs"));
        if (vs > 0 && vs < inputs.size() - 1)
            groups = {inputs.mid(0, vs), inputs.mid(vs + 1)};
        else if (vs < 0 && inputs.size() == 2)
            groups = {{inputs[0]}, {inputs[1]}};
        else {
            err(QStringLiteral("--compare wants two inputs, or two groups of inputs with a lone vs between them"));
            return 1;
        }
    } else {
        groups = {inputs};
    }
    struct Counting : exportdata::RecordSink {
        exportdata::SummarySink sink;
        std::size_t problems = 0;
        bool any = false;
        void runStart(const records::RunStart& r, const QString& l, const QString& s) override { any = true; sink.runStart(r, l, s); }
        void exchange(const records::Exchange& e) override { any = true; sink.exchange(e); }
        void late(const records::LateAnswer& l) override { sink.late(l); }
        void problem(const exportdata::Problem& p) override { err(p.text()); ++problems; }
        void note(const exportdata::Problem& p) override { err(QStringLiteral("note: ") + p.text()); }
    };
    std::vector<exportdata::SummarySink::Result> results;
    bool allRead = true, any = false;
    std::size_t problems = 0;
    for (const QStringList& g : groups) {
        Counting c;
        allRead = read(g, c) && allRead;
        problems += c.problems;
        any = any || c.any;
        results.push_back(c.sink.result(threshold));
    }
    QByteArray o;
    std::optional<analysis::Comparison> cmp;
    if (compare)
        cmp = analysis::compareRuns(results[0].setUp, results[1].setUp);
    if (text) {
        QString t;
        for (std::size_t i = 0; i < results.size(); ++i) {
            if (compare)
                t += i ? QStringLiteral("\nsecond group\n") : QStringLiteral("first group\n");
            t += exportdata::summaryText(results[i]);
        }
        if (compare)
            t += cmp ? exportdata::comparisonText(*cmp) : QStringLiteral("\ncomparison    - (a group without exchanges)\n");
        o = t.toUtf8();
    } else {
        QJsonObject doc;
        if (compare) {
            doc[QStringLiteral("groups")] = QJsonArray{exportdata::summaryJson(results[0]), exportdata::summaryJson(results[1])};
            doc[QStringLiteral("compare")] = cmp ? QJsonValue(exportdata::comparisonJson(*cmp)) : QJsonValue();
        } else {
            doc = exportdata::summaryJson(results[0]);
        }
        o = QJsonDocument(doc).toJson(QJsonDocument::Indented);
    }
    if (out.write(o) != o.size() || (toFile && (!file.flush() || !file.commit()))) {
        err(toFile ? QStringLiteral("%1: cannot be written: %2").arg(file.fileName(), file.errorString())
                   : QStringLiteral("standard output cannot be written"));
        return 1;
    }
    if (!any) return 1;
    return !allRead || problems > 0 ? 2 : 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qvx-export"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QVX_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Exports loopback test runs for maps and GIS tools, or sums them up (summary, summary-text:\n"
        "error rate, sensitivity, path loss and reach; with --compare, two runs or groups compared).\n"
        "Each INPUT is a run's record stream (.jsonl) or a communication log (.log, code page 932);\n"
        "the map log beside a communication log (<YYMMDD>_<mode>_Map_<name>.log) is read with it\n"
        "and paired with its packets by content, so trial runs and damaged lines shift nothing.\n"
        "Each run is its own layer, named by its start time. Packets without a GPS fix (fix quality\n"
        "0, bad checksum or no position) are no map points; the CSV keeps them with empty coordinates.\n"
        "Formats: geojson (FeatureCollection of exchanges and markers, every field a property, the\n"
        "height above the ellipsoid as third coordinate where the geoid separation is known), kml\n"
        "(placemarks coloured by far-end RSSI with typed extended data, lost packets and markers in\n"
        "folders of their own, the track as lines broken at gaps), gpx (markers as waypoints, a track\n"
        "per run with a new segment after every gap, times in UTC), csv (header with units, a UTF-8\n"
        "BOM unless told otherwise, formula-like texts kept as text), html (a stand-alone Leaflet map,\n"
        "with RSSI against the distance from the datum point and its log-distance path-loss fit).\n"
        "Unreadable lines are named on standard error (file:line) and the rest is exported;\n"
        "the exit status is then 2 (1: nothing could be exported or bad options). Records of\n"
        "a schema this program does not know (it reads 1 and 2) are unreadable lines.\n"
        "A run without its end record (the program was killed or crashed) is exported as far\n"
        "as it was written, with a note on standard error; that alone keeps the status 0."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("Output format: geojson, kml, gpx, csv, html, summary (JSON) or summary-text."),
                                QStringLiteral("FORMAT"));
    const QCommandLineOption output(QStringLiteral("output"), QStringLiteral("Write to FILE instead of standard output."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption csvEncoding(QStringLiteral("csv-encoding"),
                                         QStringLiteral("CSV text encoding: utf-8-bom (default), utf-8 or cp932."),
                                         QStringLiteral("ENCODING"), QStringLiteral("utf-8-bom"));
    const QCommandLineOption datum(QStringLiteral("datum"),
                                   QStringLiteral("Datum point (decimal degrees) for the distances of records that carry "
                                                  "none, such as old logs."),
                                   QStringLiteral("LAT,LON"));
    const QCommandLineOption tilesOption(
        QStringLiteral("tiles"),
        QStringLiteral("Base map of the HTML map: an MBTiles file or a folder of XYZ tiles (the tiles around the "
                       "points are built into the page, which then needs no network), or an http(s) URL template "
                       "with {z}, {x}, {y}."),
        QStringLiteral("PATH|URL"));
    const QCommandLineOption tilesAttribution(QStringLiteral("tiles-attribution"),
                                              QStringLiteral("Attribution shown with the base map (default: the tile "
                                                             "set's own)."),
                                              QStringLiteral("TEXT"));
    const QCommandLineOption compare(QStringLiteral("compare"),
                                     QStringLiteral("With summary: compare the first input with the second (or the inputs "
                                                    "before a lone vs with those after it)."));
    const QCommandLineOption threshold(QStringLiteral("threshold"),
                                       QStringLiteral("With summary: the reach is taken at this level instead of the "
                                                      "measured 90 % level."),
                                       QStringLiteral("DBM"));
    parser.addOption(to);
    parser.addOption(compare);
    parser.addOption(threshold);
    parser.addOption(output);
    parser.addOption(tilesOption);
    parser.addOption(tilesAttribution);
    parser.addOption(csvEncoding);
    parser.addOption(datum);
    parser.addPositionalArgument(QStringLiteral("INPUT"), QStringLiteral("Record streams or communication logs."),
                                 QStringLiteral("INPUT..."));
    parser.process(app);

    const QString name = parser.value(to);
    exportdata::Format format = exportdata::Format::Csv;
    const bool summary = name.startsWith(QLatin1String("summary"));
    if (parser.isSet(compare) && !summary) {
        err(QStringLiteral("--compare goes with --to summary or summary-text"));
        return 1;
    }
    if (name == QLatin1String("geojson")) format = exportdata::Format::GeoJson;
    else if (name == QLatin1String("kml")) format = exportdata::Format::Kml;
    else if (name == QLatin1String("gpx")) format = exportdata::Format::Gpx;
    else if (name == QLatin1String("csv")) format = exportdata::Format::Csv;
    else if (name == QLatin1String("html")) format = exportdata::Format::Html;
    else if (name != QLatin1String("summary") && name != QLatin1String("summary-text")) {
        err(name.isEmpty() ? QStringLiteral("--to is required (geojson, kml, gpx, csv, html, summary or summary-text)")
                           : QStringLiteral("unknown format '%1' (geojson, kml, gpx, csv, html, summary or summary-text)").arg(name));
        return 1;
    }
    exportdata::ExportOptions options;
    const QString encoding = parser.value(csvEncoding);
    if (encoding == QLatin1String("utf-8")) options.csvEncoding = exportdata::CsvEncoding::Utf8;
    else if (encoding == QLatin1String("cp932")) options.csvEncoding = exportdata::CsvEncoding::Cp932;
    else if (encoding != QLatin1String("utf-8-bom")) {
        err(QStringLiteral("unknown CSV encoding '%1' (utf-8-bom, utf-8 or cp932)").arg(encoding));
        return 1;
    }
    options.tiles = parser.value(tilesOption).trimmed();
    options.tilesAttribution = parser.value(tilesAttribution).trimmed();
    if (!options.tiles.isEmpty()) {
        QString why;
        if (format != exportdata::Format::Html) {
            err(QStringLiteral("--tiles is for --to html"));
            return 1;
        }
        if (tiles::isUrlTemplate(options.tiles)) {
            if (!options.tiles.contains(QLatin1String("{z}")) || !options.tiles.contains(QLatin1String("{x}")) ||
                !options.tiles.contains(QLatin1String("{y}"))) {
                err(QStringLiteral("--tiles: a tile URL needs {z}, {x} and {y}"));
                return 1;
            }
        } else if (!tiles::openTileSet(options.tiles, &why)) {
            err(QStringLiteral("--tiles: %1").arg(why));
            return 1;
        }
    }
    std::optional<std::pair<double, double>> datumPoint;
    if (parser.isSet(datum)) {
        const QStringList f = parser.value(datum).split(QLatin1Char(','));
        bool okLat = false, okLon = false;
        const double lat = f.size() == 2 ? f[0].trimmed().toDouble(&okLat) : 0;
        const double lon = f.size() == 2 ? f[1].trimmed().toDouble(&okLon) : 0;
        if (!okLat || !okLon || std::fabs(lat) > 90 || std::fabs(lon) > 180) {
            err(QStringLiteral("--datum wants LAT,LON in decimal degrees, e.g. 35.681,139.767"));
            return 1;
        }
        datumPoint = std::make_pair(lat, lon);
    }
    const QStringList inputs = parser.positionalArguments();
    if (inputs.isEmpty()) {
        err(QStringLiteral("no INPUT given (see --help)"));
        return 1;
    }

    std::optional<double> thresholdDbm;
    if (parser.isSet(threshold)) {
        bool ok = false;
        const double v = parser.value(threshold).toDouble(&ok);
        if (!ok || !(v > -200 && v < 50)) {
            err(QStringLiteral("--threshold wants a level in dBm, e.g. -110"));
            return 1;
        }
        thresholdDbm = v;
    }
    const auto readSome = [&](const QStringList& some, exportdata::RecordSink& sink) {
        if (!datumPoint) return readInputs(some, sink, true);
        WithDatum d(sink, datumPoint->first, datumPoint->second);
        return readInputs(some, d, true);
    };
    if (summary) {
        QSaveFile summaryFile(parser.value(output));
        QFile standardOut;
        QIODevice* device = &summaryFile;
        if (parser.isSet(output)) {
            if (!summaryFile.open(QIODevice::WriteOnly)) {
                err(QStringLiteral("%1: cannot be written: %2").arg(parser.value(output), summaryFile.errorString()));
                return 1;
            }
        } else {
            standardOut.open(stdout, QIODevice::WriteOnly);
            device = &standardOut;
        }
        return writeSummary(inputs, parser.isSet(compare), name == QLatin1String("summary-text"), thresholdDbm, readSome,
                            *device, parser.isSet(output), summaryFile);
    }
    const auto read = [&](exportdata::RecordSink& sink, bool tell) {
        if (!datumPoint) return readInputs(inputs, sink, tell);
        WithDatum d(sink, datumPoint->first, datumPoint->second);
        return readInputs(inputs, d, tell);
    };
    exportdata::Survey survey;
    survey.light = format != exportdata::Format::Html;
    survey.colours = format == exportdata::Format::Html || format == exportdata::Format::Kml;
    const bool allRead = read(survey, false);
    survey.finish();

    QSaveFile file(parser.isSet(output) ? parser.value(output) : QString());
    QFile standardOutput;
    QIODevice* out = &file;
    if (parser.isSet(output)) {
        if (!file.open(QIODevice::WriteOnly)) {
            err(QStringLiteral("%1: cannot be written: %2").arg(parser.value(output), file.errorString()));
            return 1;
        }
    } else {
        standardOutput.open(stdout, QIODevice::WriteOnly);
        out = &standardOutput;
    }
    const std::unique_ptr<exportdata::ExportWriter> writer = exportdata::makeWriter(format, *out, survey, options);
    Writing writing(*writer);
    read(writing, true);
    // A failed buffered write shows at the flush: the file is then left as it was.
    if (!writer->finish() ||
        (parser.isSet(output) && (!file.flush() || file.error() != QFileDevice::NoError || !file.commit()))) {
        err(parser.isSet(output) ? QStringLiteral("%1: cannot be written: %2").arg(parser.value(output), file.errorString())
                                 : QStringLiteral("standard output cannot be written"));
        return 1;
    }
    standardOutput.close();
    if (survey.layers.empty()) return 1;
    return !allRead || writing.count > 0 ? 2 : 0;
}
