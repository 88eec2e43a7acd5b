#include "export/Writers.h"

#include "export/RssiScale.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamWriter>

#include <cmath>

namespace exportdata {

namespace {

QJsonValue orNull(const std::optional<int>& v) { return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null); }
QJsonValue orNull(const std::optional<double>& v) { return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null); }
double round7(double v) { return std::round(v * 1e7) / 1e7; }

QString text(const std::optional<int>& v) { return v ? QString::number(*v) : QString(); }
QString text(const std::optional<double>& v) { return v ? QString::number(*v, 'g', 12) : QString(); }

QString pointColour(const Point& p) {
    if (p.outcome == Outcome::Lost) return QString::fromLatin1(kLostRgb);
    if (p.outcome == Outcome::Late) return QString::fromLatin1(kLateRgb);
    return rssiRgb(p.farRssi);
}

QString coordinates(const records::Position& pos) {
    return degreesText(pos.lon) + QLatin1Char(',') + degreesText(pos.lat) + QLatin1Char(',')
        + QString::number(pos.alt, 'g', 12);
}

void kmlData(QXmlStreamWriter& x, const QString& name, const QString& value) {
    x.writeStartElement(QStringLiteral("Data"));
    x.writeAttribute(QStringLiteral("name"), name);
    x.writeTextElement(QStringLiteral("value"), value);
    x.writeEndElement();
}

void kmlPoint(QXmlStreamWriter& x, const Point& p, const QString& style) {
    const records::Position& pos = *p.position;
    x.writeStartElement(QStringLiteral("Placemark"));
    x.writeTextElement(QStringLiteral("name"), QString::number(p.packet));
    x.writeTextElement(QStringLiteral("description"),
                       QStringLiteral("%1, far RSSI %2 dBm, answer RSSI %3 dBm, noise %4 dBm, %5")
                           .arg(outcomeName(p.outcome), text(p.farRssi), text(p.ackRssi), text(p.noise), p.time));
    x.writeTextElement(QStringLiteral("styleUrl"), QLatin1Char('#') + style);
    x.writeStartElement(QStringLiteral("ExtendedData"));
    kmlData(x, QStringLiteral("packet"), QString::number(p.packet));
    kmlData(x, QStringLiteral("outcome"), outcomeName(p.outcome));
    kmlData(x, QStringLiteral("time"), p.time);
    kmlData(x, QStringLiteral("rtt_ms"), text(p.rttMs));
    kmlData(x, QStringLiteral("far_rssi_dBm"), text(p.farRssi));
    kmlData(x, QStringLiteral("ack_rssi_dBm"), text(p.ackRssi));
    kmlData(x, QStringLiteral("noise_dBm"), text(p.noise));
    kmlData(x, QStringLiteral("fix"), QString::number(pos.fix));
    kmlData(x, QStringLiteral("sats"), QString::number(pos.sats));
    kmlData(x, QStringLiteral("hdop"), text(pos.hdop));
    x.writeEndElement();
    x.writeStartElement(QStringLiteral("Point"));
    x.writeTextElement(QStringLiteral("coordinates"), coordinates(pos));
    x.writeEndElement();
    x.writeEndElement();
}

void kmlStyle(QXmlStreamWriter& x, const QString& id, const QString& rgb) {
    x.writeStartElement(QStringLiteral("Style"));
    x.writeAttribute(QStringLiteral("id"), id);
    x.writeStartElement(QStringLiteral("IconStyle"));
    x.writeTextElement(QStringLiteral("color"), kmlColour(rgb));
    x.writeTextElement(QStringLiteral("scale"), QStringLiteral("0.6"));
    x.writeStartElement(QStringLiteral("Icon"));
    x.writeTextElement(QStringLiteral("href"), QStringLiteral("http://maps.google.com/mapfiles/kml/shapes/shaded_dot.png"));
    x.writeEndElement();
    x.writeEndElement();
    x.writeStartElement(QStringLiteral("LineStyle"));
    x.writeTextElement(QStringLiteral("color"), kmlColour(rgb));
    x.writeTextElement(QStringLiteral("width"), QStringLiteral("2"));
    x.writeEndElement();
    x.writeEndElement();
}

void gpxExtension(QXmlStreamWriter& x, const char* name, const QString& value) {
    if (!value.isEmpty()) x.writeTextElement(QStringLiteral("qvx:") + QLatin1String(name), value);
}

void endElements(QXmlStreamWriter& x, int n) {
    while (n-- > 0) x.writeEndElement();
}

QString csvField(const QString& s) {
    if (!s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\n'))
        && !s.contains(QLatin1Char('\r')))
        return s;
    return QLatin1Char('"') + QString(s).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

} // namespace

QString degreesText(double v) {
    QString s = QString::number(round7(v), 'f', 7);
    while (s.endsWith(QLatin1Char('0'))) s.chop(1);
    if (s.endsWith(QLatin1Char('.'))) s.chop(1);
    return s;
}

QByteArray toGeoJson(const std::vector<Run>& runs) {
    QJsonArray features;
    for (const Run& run : runs) {
        for (const Point& p : run.points) {
            if (!p.position) continue;
            const records::Position& pos = *p.position;
            QJsonObject props{
                {QStringLiteral("run"), run.name},
                {QStringLiteral("packet"), static_cast<double>(p.packet)},
                {QStringLiteral("payload"), p.payload},
                {QStringLiteral("time"), p.time.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(p.time)},
                {QStringLiteral("outcome"), outcomeName(p.outcome)},
                {QStringLiteral("rtt_ms"), orNull(p.rttMs)},
                {QStringLiteral("far_rssi"), orNull(p.farRssi)},
                {QStringLiteral("ack_rssi"), orNull(p.ackRssi)},
                {QStringLiteral("noise"), orNull(p.noise)},
                {QStringLiteral("alt_m"), pos.alt},
                {QStringLiteral("fix"), pos.fix},
                {QStringLiteral("sats"), pos.sats},
                {QStringLiteral("hdop"), orNull(pos.hdop)},
                {QStringLiteral("dist_m"), orNull(pos.distanceM)},
            };
            features.append(QJsonObject{
                {QStringLiteral("type"), QStringLiteral("Feature")},
                {QStringLiteral("geometry"),
                 QJsonObject{{QStringLiteral("type"), QStringLiteral("Point")},
                             {QStringLiteral("coordinates"), QJsonArray{round7(pos.lon), round7(pos.lat), pos.alt}}}},
                {QStringLiteral("properties"), props},
            });
        }
    }
    const QJsonObject root{{QStringLiteral("type"), QStringLiteral("FeatureCollection")},
                           {QStringLiteral("features"), features}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QByteArray toKml(const std::vector<Run>& runs) {
    QByteArray out;
    QXmlStreamWriter x(&out);
    x.setAutoFormatting(true);
    x.writeStartDocument();
    x.writeDefaultNamespace(QStringLiteral("http://www.opengis.net/kml/2.2"));
    x.writeStartElement(QStringLiteral("kml"));
    x.writeStartElement(QStringLiteral("Document"));
    x.writeTextElement(QStringLiteral("name"), QStringLiteral("Loopback coverage"));
    for (int i = 0; i < kScaleSteps; ++i)
        kmlStyle(x, QStringLiteral("rssi%1").arg(i), QString::fromLatin1(kRssiScale[i].rgb));
    kmlStyle(x, QStringLiteral("lost"), QString::fromLatin1(kLostRgb));
    kmlStyle(x, QStringLiteral("late"), QString::fromLatin1(kLateRgb));
    kmlStyle(x, QStringLiteral("track"), QStringLiteral("#2060c0"));
    for (const Run& run : runs) {
        x.writeStartElement(QStringLiteral("Folder"));
        x.writeTextElement(QStringLiteral("name"), run.name);
        QStringList track;
        x.writeStartElement(QStringLiteral("Folder"));
        x.writeTextElement(QStringLiteral("name"), QStringLiteral("answered"));
        for (const Point& p : run.points) {
            if (!p.position) continue;
            track << coordinates(*p.position);
            if (p.outcome == Outcome::Answered)
                kmlPoint(x, p, p.farRssi ? QStringLiteral("rssi%1").arg(scaleStep(*p.farRssi))
                                         : QStringLiteral("rssi%1").arg(kScaleSteps - 1));
        }
        x.writeEndElement();
        x.writeStartElement(QStringLiteral("Folder"));
        x.writeTextElement(QStringLiteral("name"), QStringLiteral("lost"));
        for (const Point& p : run.points)
            if (p.position && p.outcome != Outcome::Answered)
                kmlPoint(x, p, p.outcome == Outcome::Late ? QStringLiteral("late") : QStringLiteral("lost"));
        x.writeEndElement();
        if (track.size() >= 2) {
            x.writeStartElement(QStringLiteral("Placemark"));
            x.writeTextElement(QStringLiteral("name"), QStringLiteral("track"));
            x.writeTextElement(QStringLiteral("styleUrl"), QStringLiteral("#track"));
            x.writeStartElement(QStringLiteral("LineString"));
            x.writeTextElement(QStringLiteral("tessellate"), QStringLiteral("1"));
            x.writeTextElement(QStringLiteral("coordinates"), track.join(QLatin1Char(' ')));
            endElements(x, 2);
        }
        x.writeEndElement();
    }
    endElements(x, 2);
    x.writeEndDocument();
    return out;
}

QByteArray toGpx(const std::vector<Run>& runs) {
    QByteArray out;
    QXmlStreamWriter x(&out);
    x.setAutoFormatting(true);
    x.writeStartDocument();
    x.writeDefaultNamespace(QStringLiteral("http://www.topografix.com/GPX/1/1"));
    x.writeNamespace(QStringLiteral("urn:qvx-loopback:export:1"), QStringLiteral("qvx"));
    x.writeStartElement(QStringLiteral("gpx"));
    x.writeAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
    x.writeAttribute(QStringLiteral("creator"), QStringLiteral("qvx-export"));
    for (const Run& run : runs) {
        x.writeStartElement(QStringLiteral("trk"));
        x.writeTextElement(QStringLiteral("name"), run.name);
        x.writeStartElement(QStringLiteral("trkseg"));
        for (const Point& p : run.points) {
            if (!p.position) continue;
            const records::Position& pos = *p.position;
            x.writeStartElement(QStringLiteral("trkpt"));
            x.writeAttribute(QStringLiteral("lat"), degreesText(pos.lat));
            x.writeAttribute(QStringLiteral("lon"), degreesText(pos.lon));
            x.writeTextElement(QStringLiteral("ele"), QString::number(pos.alt, 'g', 12));
            // A time without its date (a log without a run-start line) is no xsd:dateTime.
            if (p.time.size() >= 19) x.writeTextElement(QStringLiteral("time"), p.time);
            x.writeTextElement(QStringLiteral("name"), QString::number(p.packet));
            x.writeTextElement(QStringLiteral("sat"), QString::number(pos.sats));
            if (pos.hdop && *pos.hdop >= 0) x.writeTextElement(QStringLiteral("hdop"), text(pos.hdop));
            x.writeStartElement(QStringLiteral("extensions"));
            gpxExtension(x, "packet", QString::number(p.packet));
            gpxExtension(x, "outcome", outcomeName(p.outcome));
            gpxExtension(x, "rtt_ms", text(p.rttMs));
            gpxExtension(x, "far_rssi", text(p.farRssi));
            gpxExtension(x, "ack_rssi", text(p.ackRssi));
            gpxExtension(x, "noise", text(p.noise));
            gpxExtension(x, "fix_quality", QString::number(pos.fix));
            endElements(x, 2);
        }
        endElements(x, 2);
    }
    x.writeEndElement();
    x.writeEndDocument();
    return out;
}

QByteArray toCsv(const std::vector<Run>& runs) {
    QStringList lines{QStringLiteral(
        "run,packet,payload,time,outcome,lat_deg,lon_deg,alt_m,fix,sats,hdop,dist_m,rtt_ms,far_rssi_dBm,ack_rssi_dBm,noise_dBm")};
    for (const Run& run : runs) {
        for (const Point& p : run.points) {
            QStringList f{csvField(run.name), QString::number(p.packet), csvField(p.payload), csvField(p.time),
                          outcomeName(p.outcome)};
            if (p.position) {
                const records::Position& pos = *p.position;
                f << degreesText(pos.lat) << degreesText(pos.lon) << QString::number(pos.alt, 'g', 12)
                  << QString::number(pos.fix) << QString::number(pos.sats) << text(pos.hdop) << text(pos.distanceM);
            } else {
                f << QString() << QString() << QString() << QString() << QString() << QString() << QString();
            }
            f << text(p.rttMs) << text(p.farRssi) << text(p.ackRssi) << text(p.noise);
            lines << f.join(QLatin1Char(','));
        }
    }
    return (lines.join(QLatin1String("\r\n")) + QLatin1String("\r\n")).toUtf8();
}

} // namespace exportdata
