// The stand-alone HTML map: the page template, Leaflet and its style sheet
// (built in from the system's Leaflet package) and the points as JSON, all
// in one file that needs nothing beside it.
#include "export/RssiScale.h"
#include "export/Writers.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace exportdata {

namespace {

QByteArray resource(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QJsonValue orNull(const std::optional<int>& v) { return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null); }

} // namespace

QByteArray toHtml(const std::vector<Run>& runs) {
    QJsonArray layers;
    for (const Run& run : runs) {
        QJsonArray points;
        for (const Point& p : run.points) {
            if (!p.position) continue;
            const QString colour = p.outcome == Outcome::Answered ? rssiRgb(p.farRssi)
                : QString::fromLatin1(p.outcome == Outcome::Late ? kLateRgb : kLostRgb);
            points.append(QJsonObject{
                {QStringLiteral("lat"), degreesText(p.position->lat).toDouble()},
                {QStringLiteral("lon"), degreesText(p.position->lon).toDouble()},
                {QStringLiteral("packet"), static_cast<double>(p.packet)},
                {QStringLiteral("time"), p.time},
                {QStringLiteral("outcome"), outcomeName(p.outcome)},
                {QStringLiteral("far_rssi"), orNull(p.farRssi)},
                {QStringLiteral("ack_rssi"), orNull(p.ackRssi)},
                {QStringLiteral("noise"), orNull(p.noise)},
                {QStringLiteral("rtt_ms"), p.rttMs ? QJsonValue(*p.rttMs) : QJsonValue(QJsonValue::Null)},
                {QStringLiteral("colour"), colour},
            });
        }
        layers.append(QJsonObject{{QStringLiteral("name"), run.name}, {QStringLiteral("points"), points}});
    }
    QJsonArray scale;
    for (const ScaleStep& s : kRssiScale)
        scale.append(QJsonObject{{QStringLiteral("colour"), QString::fromLatin1(s.rgb)},
                                 {QStringLiteral("label"), QString::fromLatin1(s.label)}});
    const QJsonObject data{{QStringLiteral("runs"), layers}, {QStringLiteral("scale"), scale},
                           {QStringLiteral("lost"), QString::fromLatin1(kLostRgb)},
                           {QStringLiteral("late"), QString::fromLatin1(kLateRgb)}};
    // "</" inside a script would end it early.
    QByteArray json = QJsonDocument(data).toJson(QJsonDocument::Compact);
    json.replace("</", "<\\/");

    QByteArray page = resource(QStringLiteral(":/export/map.html"));
    page.replace("/*LEAFLET_CSS*/", resource(QStringLiteral(":/export/leaflet.css")));
    page.replace("/*LEAFLET_JS*/", resource(QStringLiteral(":/export/leaflet.js")));
    page.replace("/*DATA*/", json);
    return page;
}

} // namespace exportdata
