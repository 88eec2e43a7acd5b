#include "export/Writers.h"

#include "common/TextFile.h"
#include "export/RssiScale.h"
#include "export/WriterParts.h"
#include "records/Signals.h"

#include <QBuffer>

#include <cmath>

namespace exportdata {

namespace parts {

void jsonString(QByteArray& out, const QString& s) {
    out += '"';
    for (const QChar ch : s) {
        const char16_t u = ch.unicode();
        switch (u) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '<': out += "\\u003c"; break;
        case '>': out += "\\u003e"; break;
        case '&': out += "\\u0026"; break;
        case 0x2028: out += "\\u2028"; break;
        case 0x2029: out += "\\u2029"; break;
        default:
            if (u < 0x20 || u == 0x7F) {
                out += "\\u00";
                out += QByteArray::number(u, 16).rightJustified(2, '0');
            } else if (u < 0x80) {
                out += char(u);
            } else {
                out += QString(ch).toUtf8();   // a lone half of a pair gives U+FFFD
            }
        }
    }
    out += '"';
}

void xmlText(QByteArray& out, const QString& s) {
    for (const QChar ch : s) {
        const char16_t u = ch.unicode();
        switch (u) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default:
            if (u < 0x20 && u != '\t' && u != '\n' && u != '\r')
                break;   // no such character in XML 1.0
            if (u < 0x80)
                out += char(u);
            else
                out += QString(ch).toUtf8();
        }
    }
}

QByteArray number(double v) {
    return std::isfinite(v) ? QByteArray::number(v, 'g', QLocale::FloatingPointShortest) : QByteArray("null");
}

QByteArray real(double v) {
    QByteArray t = number(v);
    if (std::isfinite(v) && !t.contains('.') && !t.contains('e'))
        t += ".0";
    return t;
}

QByteArray degrees(double v) { return degreesText(v).toLatin1(); }

QString localTime(const QDateTime& t) {
    if (!t.isValid())
        return {};
    const int offset = t.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return t.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + QLatin1Char(offset < 0 ? '-' : '+')
        + QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString utcTime(const QDateTime& t) {
    return t.isValid() ? t.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + QLatin1Char('Z') : QString();
}

Outcome outcomeOf(const records::Exchange& e, const Survey::LayerInfo& layer) {
    if (e.outcome == records::Outcome::Answered)
        return Outcome::Answered;
    return layer.late.count(e.packet) ? Outcome::Late : Outcome::Lost;
}

QString colourOf(Outcome o, std::optional<int> farRssi, const LevelScale& scale) {
    if (o == Outcome::Lost) return QString::fromLatin1(kLostRgb);
    if (o == Outcome::Late) return QString::fromLatin1(kLateRgb);
    return scale.rgbOf(farRssi);
}

std::optional<double> ellipsoidHeight(const records::Position& p) {
    return p.geoidM ? std::optional<double>(p.alt + *p.geoidM) : std::nullopt;
}

bool Spool::append(const QByteArray& bytes) {
    if (!file_) {
        file_ = std::make_unique<QTemporaryFile>();
        if (!file_->open())
            return false;
    }
    size_ += bytes.size();
    return file_->write(bytes) == bytes.size();
}

bool Spool::copyTo(QIODevice& out) {
    if (!file_)
        return true;
    bool ok = file_->flush() && file_->seek(0);
    while (ok) {
        const QByteArray chunk = file_->read(1 << 16);
        if (chunk.isEmpty())
            break;
        ok = out.write(chunk) == chunk.size();
    }
    file_.reset();
    size_ = 0;
    return ok;
}

} // namespace parts

QString degreesText(double v) {
    QString s = QString::number(std::round(v * 1e7) / 1e7, 'f', 7);
    while (s.endsWith(QLatin1Char('0'))) s.chop(1);
    if (s.endsWith(QLatin1Char('.'))) s.chop(1);
    return s;
}

// ---- the first pass -------------------------------------------------------

Survey::LayerInfo& Survey::current() {
    if (layers.empty())
        layers.push_back({});
    return layers.back();
}

void Survey::runStart(const records::RunStart& r, const QString& layer, const QString&) {
    if (layers.empty())
        lora = r.mode == records::Mode::LoRa;
    placePending(nullptr);
    last_ = {};
    layers.push_back({layer, {}, {}, 0});
}

void Survey::exchange(const records::Exchange& e) {
    LayerInfo& l = current();
    const records::Position* p = mapPosition(e);
    if (p)
        ++l.points;
    if (e.noise) {
        noiseSum += *e.noise;
        ++noiseCount;
    }
    if (!light)
        levels.add(e, int(layers.size()));
    if (p && e.outcome == records::Outcome::Answered && e.farRssi)
        farRange.add(*e.farRssi);
    if (!light && p && e.outcome == records::Outcome::Answered && p->distanceM && *p->distanceM >= analysis::kMinDistanceM) {
        if (e.farRssi) farByDistance.push_back({*p->distanceM, double(*e.farRssi)});
        if (e.ackRssi) ackByDistance.push_back({*p->distanceM, double(*e.ackRssi)});
    }
    // A marker stands between the packet sent before it and the next one.
    for (Pending& m : pending_) {
        if (e.packet <= l.markers[m.index].marker.afterPacket) {
            m.before = p ? std::optional<records::Position>(*p) : std::nullopt;
            m.beforeUs = e.sentUs;
        }
    }
    placePending(&e);
    last_ = {e.packet, e.sentUs, p ? std::optional<records::Position>(*p) : std::nullopt};
}

void Survey::placePending(const records::Exchange* after) {
    if (layers.empty())
        return;
    std::vector<PlacedMarker>& markers = layers.back().markers;
    for (auto it = pending_.begin(); it != pending_.end();) {
        PlacedMarker& m = markers[it->index];
        if (after && after->packet <= m.marker.afterPacket) {
            ++it;
            continue;
        }
        const records::Position* next = after ? mapPosition(*after) : nullptr;
        if (it->before && next && after->sentUs > it->beforeUs) {
            const double f = std::clamp(double(m.marker.atUs - it->beforeUs) / double(after->sentUs - it->beforeUs), 0.0, 1.0);
            records::Position p = *it->before;
            p.lat += (next->lat - p.lat) * f;
            p.lon += (next->lon - p.lon) * f;
            p.alt += (next->alt - p.alt) * f;
            p.distanceM.reset();
            m.position = p;
        } else if (it->before) {
            m.position = it->before;
        } else if (next) {
            m.position = *next;
        }
        it = pending_.erase(it);
    }
}

void Survey::late(const records::LateAnswer& l) { current().late.insert(l.packet); }

void Survey::marker(const records::Marker& m) {
    LayerInfo& l = current();
    l.markers.push_back({m, std::nullopt});
    // The packet sent before it may already be in.
    if (last_.packet > 0 && last_.packet <= m.afterPacket)
        pending_.push_back({l.markers.size() - 1, last_.position, last_.sentUs});
    else
        pending_.push_back({l.markers.size() - 1, std::nullopt, 0});
}

void Survey::runEnd(const records::RunEnd&) { placePending(nullptr); }

void Survey::finish() {
    placePending(nullptr);
    scale = LevelScale::forRun(lora, farRange);
    if (light)
        return;
    const double fallback = analysis::defaultThresholdDbm(lora);
    far = analysis::analyseLevels(levels.far, fallback);
    ack = analysis::analyseLevels(levels.ack, fallback);
}

// ---- GeoJSON --------------------------------------------------------------

namespace {

using parts::jsonString;
using parts::number;

template <typename T>
void optional(QByteArray& o, const std::optional<T>& v) {
    if (!v)
        o += "null";
    else if constexpr (std::is_floating_point_v<T>)
        o += parts::real(*v);
    else
        o += number(*v);
}

class LayerWriter : public ExportWriter {
public:
    explicit LayerWriter(const Survey& survey) : survey_(survey) {}
    void runStart(const records::RunStart&, const QString&, const QString&) override {
        ++layer_;
        marker_ = 0;
    }

protected:
    const Survey::LayerInfo& layer() const {
        static const Survey::LayerInfo none;
        return layer_ >= 1 && std::size_t(layer_) <= survey_.layers.size() ? survey_.layers[layer_ - 1] : none;
    }
    // The survey's placement of the marker record now read.
    const PlacedMarker* placed(const records::Marker&) {
        if (layer_ == 0 && !survey_.layers.empty())
            layer_ = 1;   // records before any run record
        const auto& markers = layer().markers;
        return marker_ < markers.size() ? &markers[marker_++] : nullptr;
    }
    void exchangeSeen() {
        if (layer_ == 0)
            layer_ = 1;
    }
    const Survey& survey_;
    int layer_ = 0;
    std::size_t marker_ = 0;
};

class GeoJsonWriter : public LayerWriter {
public:
    GeoJsonWriter(QIODevice& device, const Survey& survey) : LayerWriter(survey), out_(device) {
        out_.buffer() += "{\"type\":\"FeatureCollection\",\"features\":[";
    }

    void exchange(const records::Exchange& e) override {
        exchangeSeen();
        const records::Position* p = mapPosition(e);
        if (!p)
            return;
        QByteArray& o = begin(p);
        o += ",\"properties\":{\"kind\":\"exchange\",\"run\":";
        jsonString(o, layer().name);
        o += ",\"packet\":" + number(e.packet) + ",\"payload\":";
        jsonString(o, e.payload);
        o += ",\"time\":";
        time(o, e.sent);
        o += ",\"outcome\":\"" + outcomeName(parts::outcomeOf(e, layer())).toLatin1() + '"';
        o += ",\"rtt_ms\":";
        optional(o, e.rttUs ? std::optional<double>(double(*e.rttUs) / 1000.0) : std::nullopt);
        for (const records::Signal& s : records::kSignals) {
            if (!s.recorded())
                continue;
            o += ",\"";
            o += s.key;
            o += "\":";
            optional(o, e.*s.field);
        }
        o += ",\"alt_m\":" + parts::real(p->alt) + ",\"ellipsoid_height_m\":";
        optional(o, parts::ellipsoidHeight(*p));
        o += ",\"geoid_m\":";
        optional(o, p->geoidM);
        o += ",\"fix\":" + number(p->fix) + ",\"sats\":" + number(p->sats) + ",\"hdop\":";
        optional(o, p->hdop);
        o += ",\"dist_m\":";
        optional(o, p->distanceM);
        o += "}}";
        out_.flushIfLarge();
    }

    void marker(const records::Marker& m) override {
        const PlacedMarker* pm = placed(m);
        const records::Position* p = pm && pm->position ? &*pm->position : nullptr;
        QByteArray& o = begin(p);
        o += ",\"properties\":{\"kind\":\"marker\",\"run\":";
        jsonString(o, layer().name);
        o += ",\"number\":" + number(m.number) + ",\"note\":";
        jsonString(o, m.note);
        o += ",\"time\":";
        time(o, m.time);
        o += ",\"after_packet\":" + number(m.afterPacket) + "}}";
    }

    bool finish() override {
        out_.buffer() += "\n]}\n";
        return out_.finish();
    }

private:
    // A feature up to its geometry; a marker without a position has none.
    QByteArray& begin(const records::Position* p) {
        QByteArray& o = out_.buffer();
        o += first_ ? "\n" : ",\n";
        first_ = false;
        o += "{\"type\":\"Feature\",\"geometry\":";
        if (!p) {
            o += "null";
            return o;
        }
        o += "{\"type\":\"Point\",\"coordinates\":[" + parts::degrees(p->lon) + ',' + parts::degrees(p->lat);
        if (const auto h = parts::ellipsoidHeight(*p))
            o += ',' + number(*h);
        o += "]}";
        return o;
    }
    static void time(QByteArray& o, const QDateTime& t) {
        if (t.isValid())
            jsonString(o, parts::localTime(t));
        else
            o += "null";
    }

    parts::Out out_;
    bool first_ = true;
};

// ---- CSV ------------------------------------------------------------------

class CsvWriter : public LayerWriter {
public:
    CsvWriter(QIODevice& device, const Survey& survey, CsvEncoding encoding)
        : LayerWriter(survey), out_(device), encoding_(encoding) {
        if (encoding_ == CsvEncoding::Utf8Bom)
            out_.buffer() += "\xEF\xBB\xBF";
        QString header = QStringLiteral("run,packet,payload,time,outcome,lat_deg,lon_deg,alt_m,fix,sats,hdop,dist_m,rtt_ms");
        for (const records::Signal& s : records::kSignals)
            if (s.recorded())
                header += kComma + QLatin1String(s.key) + QLatin1Char('_') + QLatin1String(s.unit);
        row(header + QStringLiteral(",kind,marker,note"));
    }

    void exchange(const records::Exchange& e) override {
        exchangeSeen();
        QString r = text(layer().name) + kComma + QString::number(e.packet) + kComma + text(e.payload) + kComma
            + text(parts::localTime(e.sent)) + kComma + outcomeName(parts::outcomeOf(e, layer()));
        position(r, mapPosition(e));
        r += kComma + (e.rttUs ? QString::number(double(*e.rttUs) / 1000.0, 'g', 12) : QString());
        for (const records::Signal& s : records::kSignals)
            if (s.recorded())
                r += kComma + opt(e.*s.field);
        r += QStringLiteral(",exchange,,");
        row(r);
    }

    void marker(const records::Marker& m) override {
        const PlacedMarker* pm = placed(m);
        QString r = text(layer().name) + QStringLiteral(",,,") + text(parts::localTime(m.time)) + kComma;
        position(r, pm && pm->position ? &*pm->position : nullptr);
        // Empty round trip and levels.
        r += QString(int(2 + records::kRecordedSignals), kComma) + QStringLiteral("marker,") + QString::number(m.number)
            + kComma + text(m.note);
        row(r);
    }

    bool finish() override { return out_.finish(); }

private:
    static constexpr QChar kComma = QLatin1Char(',');

    static QString opt(const std::optional<int>& v) { return v ? QString::number(*v) : QString(); }
    static QString opt(const std::optional<double>& v) { return v ? QString::number(*v, 'g', 12) : QString(); }

    static void position(QString& r, const records::Position* p) {
        if (!p) {
            r += QStringLiteral(",,,,,,,");
            return;
        }
        r += kComma + degreesText(p->lat) + kComma + degreesText(p->lon) + kComma + QString::number(p->alt, 'g', 12)
            + kComma + QString::number(p->fix) + kComma + QString::number(p->sats) + kComma + opt(p->hdop) + kComma
            + opt(p->distanceM);
    }

    // A text cell: quoted when it holds a separator, a quote or a line
    // break; one a spreadsheet would take as a formula (=, +, -, @, or a
    // tab or CR first) is kept as text by a leading apostrophe.
    static QString text(const QString& s) {
        QString v = s;
        if (!v.isEmpty() && QStringLiteral("=+-@\t\r").contains(v.front()))
            v.prepend(QLatin1Char('\''));
        if (!v.contains(kComma) && !v.contains(QLatin1Char('"')) && !v.contains(QLatin1Char('\n'))
            && !v.contains(QLatin1Char('\r')))
            return v;
        return QLatin1Char('"') + v.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
    }

    void row(const QString& r) {
        const QString line = r + QLatin1String("\r\n");
        out_.buffer() += encoding_ == CsvEncoding::Cp932 ? textfile::encode(line) : line.toUtf8();
        out_.flushIfLarge();
    }

    parts::Out out_;
    CsvEncoding encoding_;
};

} // namespace

namespace parts {
std::unique_ptr<ExportWriter> geoJsonWriter(QIODevice& out, const Survey& survey) {
    return std::make_unique<GeoJsonWriter>(out, survey);
}
std::unique_ptr<ExportWriter> csvWriter(QIODevice& out, const Survey& survey, CsvEncoding encoding) {
    return std::make_unique<CsvWriter>(out, survey, encoding);
}
} // namespace parts

} // namespace exportdata
