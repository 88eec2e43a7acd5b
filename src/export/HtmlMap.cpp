// The stand-alone HTML map: the page template, Leaflet and its style sheet
// (built in from the system's Leaflet package) and the points as JSON, all
// in one file that needs nothing beside it. Beside the map, far-end and
// answer RSSI against the distance from the datum point with the same
// log-distance path-loss fit the analysis window draws.
#include "export/RssiScale.h"
#include "export/Writers.h"
#include "stats/PathLoss.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <tuple>

namespace exportdata {

namespace {

QByteArray resource(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QJsonValue orNull(const std::optional<int>& v) { return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null); }

QJsonValue fitJson(const std::vector<analysis::PathLossSample>& samples) {
    const std::optional<analysis::PathLossFit> fit = analysis::fitPathLoss(samples);
    if (!fit) return QJsonValue(QJsonValue::Null);
    return QJsonObject{{QStringLiteral("n"), fit->exponent},
                       {QStringLiteral("a"), fit->referenceDbm},
                       {QStringLiteral("d0"), fit->referenceM},
                       {QStringLiteral("rms"), fit->rmsErrorDb},
                       {QStringLiteral("samples"), fit->samples}};
}

// RSSI against the distance the records carry (the datum point's), of the
// answered points of every run, with the fit of each and a starting
// threshold: the mean floor noise, or -110 dBm without one.
QJsonObject distanceJson(const std::vector<Run>& runs) {
    std::vector<analysis::PathLossSample> far, ack;
    QJsonArray farDots, ackDots;
    double noise = 0;
    int noiseCount = 0;
    for (const Run& run : runs) {
        for (const Point& p : run.points) {
            if (p.noise) {
                noise += *p.noise;
                ++noiseCount;
            }
            if (p.outcome != Outcome::Answered || !p.position || !p.position->distanceM
                || !(*p.position->distanceM >= analysis::kMinDistanceM))
                continue;
            const double d = *p.position->distanceM;
            for (auto [v, samples, dots] : {std::tuple{p.farRssi, &far, &farDots}, std::tuple{p.ackRssi, &ack, &ackDots}}) {
                if (!v) continue;
                samples->push_back({d, double(*v)});
                dots->append(QJsonArray{d, *v});
            }
        }
    }
    return QJsonObject{{QStringLiteral("far"), farDots},
                       {QStringLiteral("ack"), ackDots},
                       {QStringLiteral("farFit"), fitJson(far)},
                       {QStringLiteral("ackFit"), fitJson(ack)},
                       {QStringLiteral("threshold"), noiseCount ? std::round(noise / noiseCount) : -110.0}};
}

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
                           {QStringLiteral("late"), QString::fromLatin1(kLateRgb)},
                           {QStringLiteral("distance"), distanceJson(runs)}};
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
