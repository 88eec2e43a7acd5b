#include "export/Layers.h"

#include <QFileInfo>

namespace exportdata {

QString outcomeName(Outcome outcome) {
    switch (outcome) {
    case Outcome::Answered: return QStringLiteral("answered");
    case Outcome::Lost: return QStringLiteral("lost");
    case Outcome::Late: return QStringLiteral("late");
    }
    return QString();
}

QString Problem::text() const {
    return line > 0 ? QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(message)
                    : QStringLiteral("%1: %2").arg(file, message);
}

QString layerName(const QString& file, const QDateTime& started, std::size_t runNumber) {
    const QString base = QFileInfo(file).fileName();
    if (!started.isValid())
        return base + QStringLiteral(" #%1").arg(runNumber);
    return base + QLatin1Char(' ') + started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

std::unordered_set<std::int64_t> Layer::latePackets() const {
    std::unordered_set<std::int64_t> out;
    for (const records::LateAnswer& l : late)
        out.insert(l.packet);
    return out;
}

Layer& Runs::current() {
    if (runs.empty())
        runs.push_back({});
    return runs.back();
}

void Runs::runStart(const records::RunStart& r, const QString& layer, const QString& source) {
    Layer l;
    l.name = layer;
    l.source = source;
    l.start = r;
    runs.push_back(std::move(l));
}

void Runs::exchange(const records::Exchange& e) { current().exchanges.push_back(e); }
void Runs::late(const records::LateAnswer& l) { current().late.push_back(l); }
void Runs::marker(const records::Marker& m) { current().markers.push_back(m); }
void Runs::runEnd(const records::RunEnd& r) { current().end = r; }

void Runs::replay(RecordSink& to) const {
    for (const Layer& l : runs) {
        to.runStart(l.start, l.name, l.source);
        std::size_t nextLate = 0, nextMarker = 0;
        const auto markersUpTo = [&](std::int64_t packet) {
            while (nextMarker < l.markers.size() && l.markers[nextMarker].afterPacket <= packet)
                to.marker(l.markers[nextMarker++]);
        };
        markersUpTo(0);
        for (const records::Exchange& e : l.exchanges) {
            to.exchange(e);
            while (nextLate < l.late.size() && l.late[nextLate].packet <= e.packet)
                to.late(l.late[nextLate++]);
            markersUpTo(e.packet);
        }
        while (nextLate < l.late.size())
            to.late(l.late[nextLate++]);
        markersUpTo(INT64_MAX);
        if (l.end)
            to.runEnd(*l.end);
    }
    for (const Problem& p : problems)
        to.problem(p);
    for (const Problem& p : notes)
        to.note(p);
}

} // namespace exportdata
