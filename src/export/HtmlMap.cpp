// The stand-alone HTML map: the page template, Leaflet and its style sheet
// (built in from the system's Leaflet package) and the points as JSON, all
// in one file that needs nothing beside it. Beside the map, far-end and
// answer RSSI against the distance from the datum point with the same
// log-distance path-loss fit the analysis window draws. The points are
// written into the page as they are read; the JSON escapes every <, > and
// &, so no text of a record can end its script.
#include "export/RssiScale.h"
#include "export/WriterParts.h"

#include <QFile>

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
    HtmlWriter(QIODevice& device, const Survey& survey) : survey_(survey), out_(device) {
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
            jsonString(o, QString::fromLatin1(kRssiScale[i].rgb));
            o += ",\"label\":";
            jsonString(o, QString::fromLatin1(kRssiScale[i].label));
            o += '}';
        }
        o += "],\"distance\":" + distanceJson(survey) + ",\"runs\":[";
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
        const Outcome outcome = outcomeOf(e, info());
        QByteArray& o = out_.buffer();
        o += points_++ ? ",\n[" : "\n[";
        o += degrees(p->lat) + ',' + degrees(p->lon) + ',' + number(e.packet) + ',';
        jsonString(o, localTime(e.sent));
        o += ",\"" + outcomeName(outcome).toLatin1() + "\"," + opt(e.farRssi) + ',' + opt(e.ackRssi) + ','
            + opt(e.noise) + ',' + (e.rttUs ? number(double(*e.rttUs) / 1000.0) : QByteArray("null")) + ",\""
            + colourOf(outcome, e.farRssi).toLatin1() + "\"," + (gap_ ? '1' : '0') + ']';
        gap_ = false;
        out_.flushIfLarge();
    }

    bool finish() override {
        endRun();
        out_.buffer() += "]}" + tail_;
        return out_.finish();
    }

private:
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
    Out out_;
    QByteArray tail_;
    int layer_ = 0;
    bool open_ = false;
    bool gap_ = false;
    std::int64_t points_ = 0;
};

} // namespace

std::unique_ptr<ExportWriter> htmlWriter(QIODevice& out, const Survey& survey) {
    return std::make_unique<HtmlWriter>(out, survey);
}

} // namespace exportdata::parts
