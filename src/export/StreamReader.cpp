#include "export/StreamReader.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>
#include <iterator>
#include <cmath>

namespace exportdata {

namespace {

constexpr double kKnownSchemas[] = {1, 2};

std::optional<double> number(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble() || !std::isfinite(v.toDouble())) return std::nullopt;
    return v.toDouble();
}

std::optional<int> dbm(const QJsonObject& o, const char* key) {
    const std::optional<double> v = number(o, key);
    if (!v || std::fabs(*v) > 1e6) return std::nullopt;
    return static_cast<int>(std::lround(*v));
}

// The position of an exchange when it may be drawn: coordinates in range,
// a fix, and no bad checksum.
std::optional<records::Position> position(const QJsonObject& o) {
    const auto lat = number(o, "lat"), lon = number(o, "lon"), fix = number(o, "fix");
    if (!lat || !lon || !fix || std::fabs(*lat) > 90 || std::fabs(*lon) > 180) return std::nullopt;
    records::Position p;
    p.lat = *lat;
    p.lon = *lon;
    p.alt = number(o, "alt").value_or(0);
    p.fix = static_cast<int>(std::clamp(*fix, -1.0, 1e6));
    p.sats = static_cast<int>(std::clamp(number(o, "sats").value_or(0), 0.0, 1e6));
    p.hdop = number(o, "hdop");
    p.distanceM = number(o, "dist_m");
    const QJsonValue checksum = o.value(QLatin1String("checksum_ok"));
    p.checksumOk = !checksum.isBool() || checksum.toBool();
    if (!p.usable()) return std::nullopt;
    return p;
}

// Why a record of this schema number is not read: the schemas this reader
// knows are read, a record of any other may give its fields other meanings.
QString schemaProblem(const QJsonObject& o) {
    const QJsonValue v = o.value(QLatin1String("schema"));
    if (v.isUndefined()) return QString();   // reported as missing, read as schema 1
    const double n = v.toDouble(-1);
    if (v.isDouble() && std::find(std::begin(kKnownSchemas), std::end(kKnownSchemas), n) != std::end(kKnownSchemas))
        return QString();
    return QStringLiteral("record of schema %1, this reader knows schemas 1 and 2: skipped")
        .arg(v.isDouble() ? QString::number(n) : QStringLiteral("\"%1\"").arg(v.toVariant().toString()));
}

} // namespace

Runs readStream(const QByteArray& bytes, const QString& file) {
    Runs out;
    const QString base = QFileInfo(file).fileName();
    const auto problem = [&](std::int64_t line, const QString& message) {
        out.problems.push_back({file, line, message});
    };
    const auto currentRun = [&]() -> Run& {
        if (out.runs.empty()) out.runs.push_back({base, file, {}});
        return out.runs.back();
    };
    // Each run's "end" record, written when the program ends the run: a run
    // without one was cut off (the program was killed or crashed).
    std::int64_t openRunLine = 0;   // line of the run record still waiting for its end
    const auto noteUnended = [&] {
        if (openRunLine > 0)
            out.notes.push_back({file, openRunLine, QStringLiteral("run without its \"end\" record (the program did "
                                                                   "not end it); exported as far as it was written")});
        openRunLine = 0;
    };
    std::int64_t lineNo = 0;
    qsizetype at = 0;
    while (at < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', at);
        const bool cut = end < 0;
        if (cut) end = bytes.size();
        const QByteArray line = bytes.mid(at, end - at).trimmed();
        at = end + 1;
        ++lineNo;
        if (line.isEmpty()) continue;
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject()) {
            problem(lineNo, cut ? QStringLiteral("last line cut short, not a complete record")
                                : QStringLiteral("not a JSON record: %1").arg(error.errorString()));
            continue;
        }
        const QJsonObject o = doc.object();
        const QString type = o.value(QLatin1String("type")).toString();
        if (!o.contains(QLatin1String("schema"))) problem(lineNo, QStringLiteral("record without \"schema\""));
        if (const QString why = schemaProblem(o); !why.isEmpty()) {
            problem(lineNo, why);
            continue;
        }
        if (type == QLatin1String("run")) {
            noteUnended();
            openRunLine = lineNo;
            const QString started = o.value(QLatin1String("started")).toString();
            const QString name = base + QLatin1Char(' ')
                + (started.isEmpty() ? QStringLiteral("#%1").arg(out.runs.size() + 1) : started);
            out.runs.push_back({name, file, {}});
        } else if (type == QLatin1String("exchange")) {
            const auto packet = number(o, "packet");
            const QString outcome = o.value(QLatin1String("outcome")).toString();
            if (!packet || *packet < 0 || *packet > 9e15
                || (outcome != QLatin1String("answered") && outcome != QLatin1String("lost"))) {
                problem(lineNo, QStringLiteral("exchange record without a packet number or outcome"));
                continue;
            }
            Point p;
            p.packet = static_cast<std::int64_t>(*packet);
            p.payload = o.value(QLatin1String("payload")).toString();
            p.time = o.value(QLatin1String("time")).toString();
            p.outcome = outcome == QLatin1String("answered") ? Outcome::Answered : Outcome::Lost;
            if (const auto rtt = number(o, "rtt_us")) p.rttMs = *rtt / 1000.0;
            p.farRssi = dbm(o, "far_rssi");
            p.ackRssi = dbm(o, "ack_rssi");
            p.noise = dbm(o, "noise");
            p.position = position(o);
            currentRun().points.push_back(std::move(p));
        } else if (type == QLatin1String("late")) {
            const auto packet = number(o, "packet");
            if (!packet) {
                problem(lineNo, QStringLiteral("late record without a packet number"));
                continue;
            }
            std::vector<Point>& points = currentRun().points;
            for (auto it = points.rbegin(); it != points.rend(); ++it) {
                if (it->packet == static_cast<std::int64_t>(*packet)) {
                    if (it->outcome == Outcome::Lost) it->outcome = Outcome::Late;
                    break;
                }
            }
        } else if (type == QLatin1String("end")) {
            openRunLine = 0;
        } else if (type.isEmpty()) {
            problem(lineNo, QStringLiteral("record without \"type\""));
        }
    }
    noteUnended();
    return out;
}

QString Problem::text() const {
    return line > 0 ? QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(message)
                    : QStringLiteral("%1: %2").arg(file, message);
}

void Runs::add(Runs&& other) {
    for (Run& r : other.runs) runs.push_back(std::move(r));
    for (Problem& p : other.problems) problems.push_back(std::move(p));
    for (Problem& n : other.notes) notes.push_back(std::move(n));
}

QString outcomeName(Outcome outcome) {
    switch (outcome) {
    case Outcome::Answered: return QStringLiteral("answered");
    case Outcome::Lost: return QStringLiteral("lost");
    case Outcome::Late: return QStringLiteral("late");
    }
    return QString();
}

} // namespace exportdata
