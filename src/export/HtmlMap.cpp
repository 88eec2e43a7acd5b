// The stand-alone HTML map: the page template, Leaflet and its style sheet
// (built in from the system's Leaflet package) and the points as JSON, all
// in one file that needs nothing beside it. Beside the map, far-end and
// answer RSSI against the distance from the datum point with the same
// log-distance path-loss fit the analysis window draws. The points are
// written into the page as they are read; the JSON escapes every <, > and
// &, so no text of a record can end its script.
//
// A base map from an offline tile set is built into the page too (the page
// stays one file that opens anywhere; a browser cannot read an MBTiles file
// and a folder beside the page would be lost when the page is sent on):
// the tiles around the points at the level that shows them whole and the
// levels next to it, at most kMaxEmbeddedTiles of them, as data URLs.
// Leaflet enlarges the finest level beyond it. An online template becomes
// the page's tile layer with its attribution.
#include "export/RssiScale.h"
#include "export/TileSet.h"
#include "export/WriterParts.h"

#include <QFile>

#include <algorithm>
#include <cmath>

namespace exportdata::parts {

namespace {

QByteArray resource(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

template <typename T>
QByteArray opt(const std::optional<T>& v) {
    return v ? number(*v) : QByteArray("null");
}

constexpr int kMaxEmbeddedTiles = 400;
constexpr int kEmbedMarginTiles = 2;   // tiles beyond the points' box on each side
constexpr double kPagePx = 900;        // the points' box fits about this wide

QByteArray mimeOf(const QByteArray& data) {
    if (data.startsWith("\x89PNG"))
        return "image/png";
    if (data.startsWith("\xff\xd8"))
        return "image/jpeg";
    if (data.startsWith("RIFF") && data.mid(8, 4) == "WEBP")
        return "image/webp";
    return {};
}

// The tiles of the set around the box south..north, west..east: the level
// at which the box is about kPagePx across, one coarser and two finer, as
// long as the count stays within kMaxEmbeddedTiles (coarse levels first).
QByteArray embeddedTilesJson(const tiles::TileSet& set, const QString& attribution, double south, double north,
                             double west, double east) {
    const double spanPx0 = std::max(tiles::tileX(east, 0) - tiles::tileX(west, 0),
                                    tiles::tileY(south, 0) - tiles::tileY(north, 0)) * tiles::kTilePx;
    const int fit = std::clamp(int(std::floor(std::log2(kPagePx / std::max(spanPx0, 1e-9)))), 0, tiles::kMaxZoom);
    QByteArray images;
    int count = 0, lo = -1, hi = -1;
    for (int z = std::max(0, fit - 1); z <= std::min(tiles::kMaxZoom, fit + 2); ++z) {
        if (!std::binary_search(set.zooms().begin(), set.zooms().end(), z))
            continue;
        const int n = 1 << z;
        const int x0 = int(std::floor(tiles::tileX(west, z))) - kEmbedMarginTiles;
        const int x1 = int(std::floor(tiles::tileX(east, z))) + kEmbedMarginTiles;
        const int y0 = std::max(0, int(std::floor(tiles::tileY(north, z))) - kEmbedMarginTiles);
        const int y1 = std::min(n - 1, int(std::floor(tiles::tileY(south, z))) + kEmbedMarginTiles);
        if (count + (x1 - x0 + 1) * (y1 - y0 + 1) > kMaxEmbeddedTiles)
            break;
        for (int x = x0; x <= x1; ++x) {
            for (int y = y0; y <= y1; ++y) {
                const int wx = ((x % n) + n) % n;
                const QByteArray data = set.tile({z, wx, y});
                const QByteArray mime = mimeOf(data);
                if (mime.isEmpty())
                    continue;
                images += (count++ ? ",\"" : "\"") + QByteArray::number(z) + '/' + QByteArray::number(wx) + '/'
                    + QByteArray::number(y) + "\":\"data:" + mime + ";base64," + data.toBase64() + '"';
            }
        }
        lo = lo < 0 ? z : lo;
        hi = z;
    }
    if (!count)
        return "null";
    QByteArray o = "{\"min\":" + QByteArray::number(lo) + ",\"max\":" + QByteArray::number(hi) + ",\"attribution\":";
    jsonString(o, attribution);
    return o + ",\"images\":{" + images + "}}";
}

// At most this many dots per series in the distance plot (spread evenly
// over the samples); the fit uses every sample.
constexpr std::size_t kMaxDistanceDots = 4000;

QByteArray optNumber(std::optional<double> v) { return v && std::isfinite(*v) ? number(*v) : QByteArray("null"); }

QByteArray estimateJson(const std::optional<analysis::Estimate>& e) {
    return e ? '[' + number(e->value) + ',' + number(e->low) + ',' + number(e->high) + ']' : QByteArray("null");
}

// The path-loss fit of a level: the one with the lost packets censored
// (Sensitivity.h) when there is one, else least squares on the dots.
QByteArray fitJson(const std::vector<analysis::PathLossSample>& samples, const analysis::LevelAnalysis& levels) {
    const std::optional<analysis::PathLossFit> fit =
        levels.reach ? std::optional<analysis::PathLossFit>(levels.reach->fit) : analysis::fitPathLoss(samples);
    if (!fit)
        return "null";
    QByteArray o = "{\"n\":" + number(fit->exponent) + ",\"a\":" + number(fit->referenceDbm) + ",\"d0\":" +
                   number(fit->referenceM) + ",\"rms\":" + number(fit->rmsErrorDb) + ",\"samples\":" + number(fit->samples);
    if (const auto& r = levels.reach)
        o += ",\"nSe\":" + optNumber(r->nSe) + ",\"sigma\":" + estimateJson(r->sigma) + ",\"censored\":" +
             number(std::int64_t(r->censored)) + ",\"reach\":" + estimateJson(r->reachM) + ",\"reachAt\":" +
             optNumber(r->thresholdDbm) + ",\"near\":" + number(fit->nearestM) + ",\"far\":" + number(fit->farthestM);
    const analysis::Sensitivity& s = levels.sensitivity;
    o += ",\"p50\":" + estimateJson(s.p50) + ",\"p90\":" + estimateJson(s.p90) + ",\"lostLevel\":\"" +
         (s.lostLevel == analysis::LostLevel::PathLoss     ? QByteArray("path-loss law at its distance")
          : s.lostLevel == analysis::LostLevel::Neighbours ? QByteArray("median of the answered within 5 s")
                                                           : QByteArray()) +
         '"';
    return o + '}';
}

QByteArray dotsJson(const std::vector<analysis::PathLossSample>& samples) {
    QByteArray o = "[";
    const std::size_t step = samples.size() > kMaxDistanceDots ? (samples.size() + kMaxDistanceDots - 1) / kMaxDistanceDots : 1;
    for (std::size_t i = 0; i < samples.size(); i += step) {
        if (o.size() > 1)
            o += ',';
        o += '[' + number(samples[i].distanceM) + ',' + number(samples[i].rssiDbm) + ']';
    }
    return o + ']';
}

// RSSI against the distance the records carry (the datum point's), of the
// answered points of every run, with the fit of each and a starting
// threshold as everywhere: the measured 90 % level of the far-end RSSI, or
// the mode's default without one.
QByteArray distanceJson(const Survey& s) {
    const double threshold = s.far.sensitivity.p90 ? std::round(s.far.sensitivity.p90->value * 10) / 10
                                                   : analysis::defaultThresholdDbm(s.lora);
    return "{\"far\":" + dotsJson(s.farByDistance) + ",\"ack\":" + dotsJson(s.ackByDistance)
        + ",\"samples\":" + number(std::int64_t(s.farByDistance.size() + s.ackByDistance.size()))
        + ",\"farFit\":" + fitJson(s.farByDistance, s.far) + ",\"ackFit\":" + fitJson(s.ackByDistance, s.ack)
        + ",\"threshold\":" + number(threshold) + '}';
}

class HtmlWriter : public ExportWriter {
public:
    HtmlWriter(QIODevice& device, const Survey& survey, const ExportOptions& options)
        : survey_(survey), options_(options), out_(device) {
        QByteArray page = resource(QStringLiteral(":/export/map.html"));
        page.replace("/*LEAFLET_CSS*/", resource(QStringLiteral(":/export/leaflet.css")));
        page.replace("/*LEAFLET_JS*/", resource(QStringLiteral(":/export/leaflet.js")));
        const qsizetype at = page.indexOf("/*DATA*/");
        tail_ = page.mid(at + 8);
        QByteArray& o = out_.buffer();
        o += page.left(at);
        o += "{\"lost\":";
        jsonString(o, QString::fromLatin1(kLostRgb));
        o += ",\"late\":";
        jsonString(o, QString::fromLatin1(kLateRgb));
        o += ",\"scale\":[";
        for (int i = 0; i < kScaleSteps; ++i) {
            o += i ? ",{\"colour\":" : "{\"colour\":";
            jsonString(o, QString::fromLatin1(LevelScale::rgb(i)));
            o += ",\"label\":";
            jsonString(o, survey.scale.label(i));
            o += '}';
        }
        o += "],\"scaleBasis\":";
        jsonString(o, survey.scale.basisText());
        o += ",\"distance\":" + distanceJson(survey) + ",\"runs\":[";
    }

    void runStart(const records::RunStart&, const QString& layer, const QString&) override {
        endRun();
        ++layer_;
        open_ = true;
        gap_ = false;
        QByteArray& o = out_.buffer();
        o += layer_ > 1 ? ",\n{\"name\":" : "\n{\"name\":";
        jsonString(o, layer);
        // Markers: [lat, lon, number, note, time].
        o += ",\"markers\":[";
        bool first = true;
        for (const PlacedMarker& m : info().markers) {
            if (!m.position)
                continue;
            o += first ? "[" : ",[";
            first = false;
            o += degrees(m.position->lat) + ',' + degrees(m.position->lon) + ',' + number(m.marker.number) + ',';
            jsonString(o, m.marker.note);
            o += ',';
            jsonString(o, localTime(m.marker.time));
            o += ']';
        }
        o += "],\"points\":[";
        points_ = 0;
    }

    // Points: [lat, lon, packet, time, outcome, far, ack, noise, rtt_ms,
    // colour, 1 when a gap without a position comes before it].
    void exchange(const records::Exchange& e) override {
        const records::Position* p = mapPosition(e);
        if (!p) {
            gap_ = points_ > 0;
            return;
        }
        south_ = std::min(south_, p->lat);
        north_ = std::max(north_, p->lat);
        west_ = std::min(west_, p->lon);
        east_ = std::max(east_, p->lon);
        const Outcome outcome = outcomeOf(e, info());
        QByteArray& o = out_.buffer();
        o += points_++ ? ",\n[" : "\n[";
        o += degrees(p->lat) + ',' + degrees(p->lon) + ',' + number(e.packet) + ',';
        jsonString(o, localTime(e.sent));
        o += ",\"" + outcomeName(outcome).toLatin1() + "\"," + opt(e.farRssi) + ',' + opt(e.ackRssi) + ','
            + opt(e.noise) + ',' + (e.rttUs ? number(double(*e.rttUs) / 1000.0) : QByteArray("null")) + ",\""
            + colourOf(outcome, e.farRssi, survey_.scale).toLatin1() + "\"," + (gap_ ? '1' : '0') + ']';
        gap_ = false;
        out_.flushIfLarge();
    }

    bool finish() override {
        endRun();
        out_.buffer() += "],\"tiles\":" + tilesJson() + '}' + tail_;
        return out_.finish();
    }

private:
    // The base map: null for the page's usual online map.
    QByteArray tilesJson() const {
        const QString source = options_.tiles.trimmed();
        if (source.isEmpty())
            return "null";
        QByteArray o;
        if (tiles::isUrlTemplate(source)) {
            o = "{\"url\":";
            jsonString(o, source);
            o += ",\"attribution\":";
            jsonString(o, options_.tilesAttribution);
            return o + '}';
        }
        const std::unique_ptr<tiles::TileSet> set = tiles::openTileSet(source);
        if (!set || south_ > north_)
            return "null";
        const QString attribution = options_.tilesAttribution.isEmpty() ? set->attribution() : options_.tilesAttribution;
        return embeddedTilesJson(*set, attribution, south_, north_, west_, east_);
    }
    const Survey::LayerInfo& info() const {
        static const Survey::LayerInfo none;
        return layer_ >= 1 && std::size_t(layer_) <= survey_.layers.size() ? survey_.layers[layer_ - 1] : none;
    }
    void endRun() {
        if (open_)
            out_.buffer() += "]}";
        open_ = false;
    }

    const Survey& survey_;
    const ExportOptions options_;
    Out out_;
    double south_ = 90, north_ = -90, west_ = 180, east_ = -180;
    QByteArray tail_;
    int layer_ = 0;
    bool open_ = false;
    bool gap_ = false;
    std::int64_t points_ = 0;
};

} // namespace

std::unique_ptr<ExportWriter> htmlWriter(QIODevice& out, const Survey& survey, const ExportOptions& options) {
    return std::make_unique<HtmlWriter>(out, survey, options);
}

} // namespace exportdata::parts
