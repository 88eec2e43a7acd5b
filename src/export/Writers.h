#pragma once
// The export formats of a set of runs, each run its own layer: GeoJSON
// (a FeatureCollection of exchange points and markers, every field a
// property), KML (placemarks coloured by the RSSI scale with typed extended
// data, lost packets and markers in folders of their own, the track as
// lines broken where positions are missing), GPX (markers as waypoints, a
// track per run with a new segment after every gap, times in UTC), a CSV
// with units, and a stand-alone HTML map. Exchanges without a usable
// position are left out of every map format; the CSV keeps every exchange,
// its position empty.
//
// An export is written in two passes over the records: a Survey first
// (late answers, where the markers stand, the distance fit), then the
// format's writer, record by record, so that memory does not grow with the
// number of exchanges.
#include "export/Layers.h"
#include "export/RssiScale.h"
#include "stats/PathLoss.h"
#include "stats/Sensitivity.h"

#include <QByteArray>

#include <memory>

class QIODevice;

namespace exportdata {

enum class Format { GeoJson, Kml, Gpx, Csv, Html };
enum class CsvEncoding { Utf8Bom, Utf8, Cp932 };

struct ExportOptions {
    CsvEncoding csvEncoding = CsvEncoding::Utf8Bom;
    // The HTML map's base map: an MBTiles file or an XYZ folder (its tiles
    // around the points built into the page) or an http(s) URL template;
    // empty: the page's usual online map. The attribution replaces the
    // set's own.
    QString tiles;
    QString tilesAttribution;
};

// A marker and the position it was dropped at: between the send positions
// of the packets before and after it, by its instant.
struct PlacedMarker {
    records::Marker marker;
    std::optional<records::Position> position;
};

// What a format needs before its first record: the first pass.
class Survey : public RecordSink {
public:
    struct LayerInfo {
        QString name;
        std::unordered_set<std::int64_t> late;    // packets whose answer came late
        std::vector<PlacedMarker> markers;
        std::size_t points = 0;                   // exchanges with a usable position
    };
    std::vector<LayerInfo> layers;
    // Only what the map formats but HTML need: late answers and markers
    // (exchanges are read only where a marker stands), no distance figures.
    bool light = false;
    // Whether the format colours levels (KML, HTML): the survey then reads
    // every exchange for the range of the levels it colours, and after
    // finish() scale holds the colour scale of the whole export.
    bool colours = true;
    LevelRange farRange;
    LevelScale scale;
    std::vector<analysis::PathLossSample> farByDistance, ackByDistance;
    double noiseSum = 0;
    std::int64_t noiseCount = 0;
    // The levels of every exchange (not when light), and after finish()
    // the sensitivity and reach of the far-end and answer RSSI; the mode of
    // the first run picks the reach's default threshold.
    analysis::LevelSeries levels;
    bool lora = false;
    analysis::LevelAnalysis far, ack;

    void runStart(const records::RunStart& r, const QString& layer, const QString& source) override;
    void exchange(const records::Exchange& e) override;
    void late(const records::LateAnswer& l) override;
    void marker(const records::Marker& m) override;
    void runEnd(const records::RunEnd& r) override;
    bool wantsEveryExchange() const override { return !light || colours || !pending_.empty(); }

    // After the last record: places the markers still open, and picks the
    // colour scale.
    void finish();

private:
    struct Pending {
        std::size_t index;                        // in the layer's markers
        std::optional<records::Position> before;
        std::int64_t beforeUs = 0;
    };
    struct Last {
        std::int64_t packet = 0;
        std::int64_t sentUs = 0;
        std::optional<records::Position> position;
    };
    void placePending(const records::Exchange* after);
    LayerInfo& current();
    std::vector<Pending> pending_;
    Last last_;                                   // the exchange read last
};

// The second pass: a format's writer, fed the same records in the same
// order as the survey; finish() writes what follows the last one.
class ExportWriter : public RecordSink {
public:
    virtual bool finish() = 0;   // false when the output could not be written
};
std::unique_ptr<ExportWriter> makeWriter(Format format, QIODevice& out, const Survey& survey,
                                         const ExportOptions& options = {});

// Whole runs in memory, both passes.
QByteArray exportRuns(Format format, const Runs& runs, const ExportOptions& options = {});
inline QByteArray toGeoJson(const Runs& r) { return exportRuns(Format::GeoJson, r); }
inline QByteArray toKml(const Runs& r) { return exportRuns(Format::Kml, r); }
inline QByteArray toGpx(const Runs& r) { return exportRuns(Format::Gpx, r); }
inline QByteArray toCsv(const Runs& r) { return exportRuns(Format::Csv, r); }
inline QByteArray toHtml(const Runs& r) { return exportRuns(Format::Html, r); }

// Coordinates as the exports write them: 7 decimals, as the GPS tick
// truncates them.
QString degreesText(double v);

} // namespace exportdata
