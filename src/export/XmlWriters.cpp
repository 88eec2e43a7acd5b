// KML and GPX, written as text record by record. What a layout wants
// after the records it comes from (KML's lost folder and track after the
// answered points) goes to a spool on disk and is copied out at the end of
// the run.
#include "export/RssiScale.h"
#include "export/WriterParts.h"
#include "records/Signals.h"

namespace exportdata::parts {

namespace {

QByteArray xml(const QString& s) {
    QByteArray out;
    xmlText(out, s);
    return out;
}

QByteArray element(const char* name, const QByteArray& text) {
    return QByteArray("<") + name + '>' + text + "</" + name + '>';
}

template <typename T>
QByteArray opt(const std::optional<T>& v) {
    return v ? number(*v) : QByteArray();
}

// Track segments broken where an exchange has no usable position.
class Segments {
public:
    // True when a new segment starts with this exchange.
    bool add(bool usable) {
        const bool starts = usable && !open_;
        open_ = usable;
        return starts;
    }
    void reset() { open_ = false; }

private:
    bool open_ = false;
};

// ---- KML --------------------------------------------------------------

struct KmlField {
    const char* name;
    const char* type;
};
// An exchange's fields: these, the recorded levels (integers), then the
// position's.
constexpr KmlField kExchangeHead[] = {
    {"run", "string"}, {"packet", "int"}, {"payload", "string"}, {"time", "string"}, {"outcome", "string"},
    {"rtt_ms", "double"},
};
constexpr KmlField kExchangeTail[] = {
    {"alt_m", "double"}, {"geoid_m", "double"}, {"fix", "int"}, {"sats", "int"}, {"hdop", "double"}, {"dist_m", "double"},
};
constexpr KmlField kMarkerFields[] = {
    {"run", "string"}, {"number", "int"}, {"note", "string"}, {"time", "string"}, {"after_packet", "int"},
};

template <std::size_t N>
void kmlFields(QByteArray& o, const KmlField (&fields)[N]) {
    for (const KmlField& f : fields)
        o += QByteArray("<SimpleField name=\"") + f.name + "\" type=\"" + f.type + "\"/>\n";
}

QByteArray kmlSchemaOpen(const char* id) { return QByteArray("<Schema name=\"") + id + "\" id=\"" + id + "Fields\">\n"; }

QByteArray exchangeSchema() {
    QByteArray o = kmlSchemaOpen("exchange");
    kmlFields(o, kExchangeHead);
    for (const records::Signal& s : records::kSignals)
        if (s.recorded())
            o += QByteArray("<SimpleField name=\"") + s.key + "\" type=\"int\"/>\n";
    kmlFields(o, kExchangeTail);
    return o + "</Schema>\n";
}

QByteArray markerSchema() {
    QByteArray o = kmlSchemaOpen("marker");
    kmlFields(o, kMarkerFields);
    return o + "</Schema>\n";
}

void kmlStyle(QByteArray& o, const QString& id, const QString& rgb) {
    const QByteArray colour = kmlColour(rgb).toLatin1();
    o += "<Style id=\"" + id.toLatin1() + "\"><IconStyle><color>" + colour
        + "</color><scale>0.6</scale><Icon><href>http://maps.google.com/mapfiles/kml/shapes/shaded_dot.png</href></Icon>"
          "</IconStyle><LineStyle><color>"
        + colour + "</color><width>2</width></LineStyle></Style>\n";
}

QByteArray kmlCoordinates(const records::Position& p) {
    return degrees(p.lon) + ',' + degrees(p.lat) + ',' + number(p.alt);
}

class SchemaData {
public:
    explicit SchemaData(const char* schema) {
        o_ = QByteArray("<ExtendedData><SchemaData schemaUrl=\"#") + schema + "Fields\">";
    }
    // Appended piece by piece: a placemark of a day-long run is written
    // 300,000 times, and each + of two byte arrays would be a buffer more.
    SchemaData& add(const char* name, const QByteArray& value) {
        if (!value.isEmpty()) {   // a missing value is no SimpleData
            o_ += "<SimpleData name=\"";
            o_ += name;
            o_ += "\">";
            o_ += value;
            o_ += "</SimpleData>";
        }
        return *this;
    }
    QByteArray done() { return std::move(o_ += "</SchemaData></ExtendedData>"); }

private:
    QByteArray o_;
};

class KmlWriter : public ExportWriter {
public:
    KmlWriter(QIODevice& device, const Survey& survey) : survey_(survey), out_(device) {
        QByteArray& o = out_.buffer();
        o += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n"
             "<name>Loopback coverage</name>\n";
        // The legend: which steps the far-end RSSI styles stand for.
        QString legend = QStringLiteral("far RSSI colour scale, %1:").arg(survey.scale.basisText());
        for (int i = 0; i < kScaleSteps; ++i)
            legend += QStringLiteral(" rssi%1 %2%3").arg(i).arg(survey.scale.label(i), i + 1 < kScaleSteps ? ";" : ".");
        o += element("description", xml(legend)) + '\n';
        for (int i = 0; i < kScaleSteps; ++i)
            kmlStyle(o, QStringLiteral("rssi%1").arg(i), QString::fromLatin1(LevelScale::rgb(i)));
        kmlStyle(o, QStringLiteral("lost"), QString::fromLatin1(kLostRgb));
        kmlStyle(o, QStringLiteral("late"), QString::fromLatin1(kLateRgb));
        kmlStyle(o, QStringLiteral("track"), QStringLiteral("#2060c0"));
        kmlStyle(o, QStringLiteral("marker"), QStringLiteral("#2060c0"));
        o += exchangeSchema() + markerSchema();
    }

    void runStart(const records::RunStart&, const QString& layer, const QString&) override {
        endRun();
        ++layer_;
        marker_ = 0;
        open_ = true;
        out_.buffer() += "<Folder>" + element("name", xml(layer)) + "\n<Folder><name>answered</name>\n";
        runName_ = xml(this->layer().name);
    }

    void exchange(const records::Exchange& e) override {
        const records::Position* p = mapPosition(e);
        trackPoint(p);
        if (!p)
            return;
        const Outcome o = outcomeOf(e, layer());
        const QByteArray placemark = exchangePlacemark(e, *p, o);
        if (o == Outcome::Answered) {
            out_.buffer() += placemark;
            out_.flushIfLarge();
        } else {
            lost_.append(placemark);
        }
    }

    void marker(const records::Marker& m) override {
        const auto& markers = layer().markers;
        const PlacedMarker* pm = marker_ < markers.size() ? &markers[marker_++] : nullptr;
        if (!pm || !pm->position)
            return;
        const QString name = QStringLiteral("marker %1").arg(m.number);
        markers_.append("<Placemark>" + element("name", xml(name)) + element("description", xml(m.note))
                        + "<styleUrl>#marker</styleUrl>"
                        + SchemaData("marker")
                              .add("run", xml(layer().name))
                              .add("number", number(m.number))
                              .add("note", xml(m.note))
                              .add("time", xml(localTime(m.time)))
                              .add("after_packet", number(m.afterPacket))
                              .done()
                        + "<Point><coordinates>" + kmlCoordinates(*pm->position) + "</coordinates></Point></Placemark>\n");
    }

    bool finish() override {
        endRun();
        out_.buffer() += "</Document>\n</kml>\n";
        return out_.finish();
    }

private:
    const Survey::LayerInfo& layer() const {
        static const Survey::LayerInfo none;
        return layer_ >= 1 && std::size_t(layer_) <= survey_.layers.size() ? survey_.layers[layer_ - 1] : none;
    }

    QByteArray exchangePlacemark(const records::Exchange& e, const records::Position& p, Outcome o) const {
        const QString time = localTime(e.sent);
        const auto dbm = [](const std::optional<int>& v) { return v ? QString::number(*v) : QStringLiteral("-"); };
        QString description = outcomeName(o);
        for (const records::Signal& s : records::kSignals)
            if (s.recorded())
                description += QStringLiteral(", %1 %2 %3")
                                   .arg(QLatin1String(s.words), dbm(e.*s.field), QLatin1String(s.unit));
        description += QStringLiteral(", ") + time;
        const QString style = o == Outcome::Answered
            ? QStringLiteral("rssi%1").arg(e.farRssi ? survey_.scale.stepOf(*e.farRssi) : kScaleSteps - 1)
            : outcomeName(o);
        QByteArray out;
        out.reserve(1024);
        out += "<Placemark><name>";
        out += number(e.packet);
        out += "</name><description>";
        xmlText(out, description);
        out += "</description><styleUrl>#";
        out += style.toLatin1();
        out += "</styleUrl>";
        SchemaData data("exchange");
        data.add("run", runName_)
            .add("packet", number(e.packet))
            .add("payload", xml(e.payload))
            .add("time", xml(time))
            .add("outcome", outcomeName(o).toLatin1())
            .add("rtt_ms", e.rttUs ? number(double(*e.rttUs) / 1000.0) : QByteArray());
        for (const records::Signal& s : records::kSignals)
            if (s.recorded())
                data.add(s.key, opt(e.*s.field));
        out += data.add("alt_m", number(p.alt))
                  .add("geoid_m", opt(p.geoidM))
                  .add("fix", number(p.fix))
                  .add("sats", number(p.sats))
                  .add("hdop", opt(p.hdop))
                  .add("dist_m", opt(p.distanceM))
                  .done();
        out += "<Point><coordinates>";
        out += kmlCoordinates(p);
        out += "</coordinates></Point></Placemark>\n";
        return out;
    }

    void endRun() {
        if (!open_)
            return;
        open_ = false;
        QByteArray& o = out_.buffer();
        o += "</Folder>\n<Folder><name>lost</name>\n";
        out_.copy(lost_);
        o += "</Folder>\n";
        if (!markers_.empty()) {
            o += "<Folder><name>markers</name>\n";
            out_.copy(markers_);
            o += "</Folder>\n";
        }
        trackPoint(nullptr);
        if (lines_ > 0) {
            o += "<Placemark><name>track</name><styleUrl>#track</styleUrl><MultiGeometry>";
            out_.copy(track_);
            o += "</MultiGeometry></Placemark>\n";
        }
        o += "</Folder>\n";
        lines_ = 0;
    }

    // The track as lines of two points or more, broken at every exchange
    // without a usable position.
    void trackPoint(const records::Position* p) {
        if (!p) {
            if (segmentPoints_ >= 2)
                track_.append("</coordinates></LineString>");
            segmentPoints_ = 0;
            return;
        }
        const QByteArray c = kmlCoordinates(*p);
        if (segmentPoints_ == 0) {
            segmentFirst_ = c;
        } else if (segmentPoints_ == 1) {
            track_.append("<LineString><tessellate>1</tessellate><coordinates>" + segmentFirst_ + ' ' + c);
            ++lines_;
        } else {
            track_.append(' ' + c);
        }
        ++segmentPoints_;
    }

    const Survey& survey_;
    QByteArray runName_;  // the layer's name, escaped once a run
    Out out_;
    int layer_ = 0;
    std::size_t marker_ = 0;
    bool open_ = false;
    Spool lost_, markers_, track_;
    QByteArray segmentFirst_;
    std::int64_t segmentPoints_ = 0;
    int lines_ = 0;
};

// ---- GPX --------------------------------------------------------------

class GpxWriter : public ExportWriter {
public:
    GpxWriter(QIODevice& device, const Survey& survey) : survey_(survey), out_(device) {
        QByteArray& o = out_.buffer();
        o += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" "
             "xmlns:qvx=\"urn:qvx-loopback:export:1\" version=\"1.1\" creator=\"qvx-export\">\n";
        // Waypoints come before every track in GPX.
        for (const Survey::LayerInfo& l : survey.layers) {
            for (const PlacedMarker& m : l.markers) {
                if (!m.position)
                    continue;
                const records::Position& p = *m.position;
                o += "<wpt lat=\"" + degrees(p.lat) + "\" lon=\"" + degrees(p.lon) + "\">" + element("ele", number(p.alt));
                if (m.marker.time.isValid())
                    o += element("time", utcTime(m.marker.time).toLatin1());
                o += element("name", xml(QStringLiteral("marker %1").arg(m.marker.number)))
                    + element("desc", xml(m.marker.note)) + element("src", xml(l.name)) + element("type", "marker")
                    + "</wpt>\n";
            }
        }
    }

    void runStart(const records::RunStart&, const QString& layer, const QString&) override {
        endRun();
        open_ = true;
        out_.buffer() += "<trk>" + element("name", xml(layer)) + '\n';
    }

    void exchange(const records::Exchange& e) override {
        const records::Position* p = mapPosition(e);
        if (segments_.add(p != nullptr)) {
            if (inSegment_)
                out_.buffer() += "</trkseg>\n";
            out_.buffer() += "<trkseg>\n";
            inSegment_ = true;
        }
        if (!p)
            return;
        QByteArray& o = out_.buffer();
        o += "<trkpt lat=\"" + degrees(p->lat) + "\" lon=\"" + degrees(p->lon) + "\">" + element("ele", number(p->alt));
        if (e.sent.isValid())
            o += element("time", utcTime(e.sent).toLatin1());
        if (p->geoidM)
            o += element("geoidheight", number(*p->geoidM));
        o += element("name", number(e.packet)) + element("sat", number(p->sats));
        if (p->hdop && *p->hdop >= 0)
            o += element("hdop", number(*p->hdop));
        o += "<extensions>" + element("qvx:packet", number(e.packet))
            + element("qvx:outcome", outcomeName(outcomeOf(e, layer())).toLatin1());
        if (e.rttUs) o += element("qvx:rtt_ms", number(double(*e.rttUs) / 1000.0));
        for (const records::Signal& s : records::kSignals)
            if (s.recorded() && e.*s.field)
                o += element((QByteArray("qvx:") + s.key).constData(), number(*(e.*s.field)));
        o += element("qvx:fix_quality", number(p->fix)) + "</extensions></trkpt>\n";
        out_.flushIfLarge();
    }

    bool finish() override {
        endRun();
        out_.buffer() += "</gpx>\n";
        return out_.finish();
    }

private:
    const Survey::LayerInfo& layer() const {
        static const Survey::LayerInfo none;
        return layer_ >= 1 && std::size_t(layer_) <= survey_.layers.size() ? survey_.layers[layer_ - 1] : none;
    }
    void endRun() {
        if (open_) {
            if (inSegment_)
                out_.buffer() += "</trkseg>\n";
            out_.buffer() += "</trk>\n";
        }
        ++layer_;
        open_ = inSegment_ = false;
        segments_.reset();
    }

    const Survey& survey_;
    Out out_;
    int layer_ = 0;
    bool open_ = false, inSegment_ = false;
    Segments segments_;
};

} // namespace

std::unique_ptr<ExportWriter> kmlWriter(QIODevice& out, const Survey& survey) {
    return std::make_unique<KmlWriter>(out, survey);
}
std::unique_ptr<ExportWriter> gpxWriter(QIODevice& out, const Survey& survey) {
    return std::make_unique<GpxWriter>(out, survey);
}

} // namespace exportdata::parts
