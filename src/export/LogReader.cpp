#include "export/LogReader.h"

#include "common/NumberText.h"
#include "common/TextFile.h"
#include "gps/Gga.h"
#include "results/LogFileNames.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace exportdata {

namespace {

const QString kStart = QStringLiteral("-------< Start:");

struct MapLine {
    QString rx, ack, noise;
};

// One line of a log file each, CR LF or LF ended, with its 1-based number.
QStringList linesOf(const QString& text) {
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return t.split(QLatin1Char('\n'));
}

std::optional<int> integer(const QString& text) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(v) : std::nullopt;
}

std::vector<MapLine> readMapLog(const QByteArray& bytes, const QString& file, Runs& out) {
    std::vector<MapLine> lines;
    const QStringList text = linesOf(textfile::decode(bytes));
    for (int i = 0; i < text.size(); ++i) {
        const QString& line = text.at(i);
        if (line.isEmpty() || (i == 0 && logfiles::kMapHeader.startsWith(line))) continue;
        const QStringList f = line.split(QLatin1Char(','));
        if (f.size() != 6) {
            out.problems.push_back({file, i + 1, QStringLiteral("not a map line (6 fields expected)")});
            lines.push_back({QStringLiteral("?"), QStringLiteral("?"), QStringLiteral("?")});   // keeps the order
            continue;
        }
        lines.push_back({f[3], f[4], f[5]});
    }
    return lines;
}

// The payload digits of the data command among the sent commands.
QString payloadOf(const QString& commands) {
    static const QRegularExpression data(QStringLiteral("@DT05(\\d{3})"));
    const QRegularExpressionMatch m = data.match(commands);
    return m.hasMatch() ? m.captured(1) : QString();
}

// Marks an earlier lost packet late when this answer text carries its
// answer ("*DR=05" and its digits): it came after its period.
void markLate(const QString& answer, const QString& ownPayload, std::vector<Point>& points) {
    static const QRegularExpression reply(QStringLiteral("\\*DR=05(\\d{3})"));
    auto it = reply.globalMatch(answer);
    while (it.hasNext()) {
        const QString digits = it.next().captured(1);
        if (digits == ownPayload) continue;
        // Only the packets of the last few periods can still be answered.
        const std::size_t first = points.size() > 16 ? points.size() - 16 : 0;
        for (std::size_t i = points.size(); i-- > first;) {
            if (points[i].payload == digits) {
                if (points[i].outcome == Outcome::Lost) points[i].outcome = Outcome::Late;
                break;
            }
        }
    }
}

} // namespace

QString mapLogPathFor(const QString& commLogPath) {
    static const QRegularExpression rule(QStringLiteral("^(\\d{6}_(?:FSK Mode|LoRa\\d+)_)(.*)\\.log$"));
    const QFileInfo info(commLogPath);
    const QRegularExpressionMatch m = rule.match(info.fileName());
    if (!m.hasMatch() || m.captured(2).startsWith(QLatin1String("Map_"))) return QString();
    const QString name = m.captured(1) + QStringLiteral("Map_") + m.captured(2) + QStringLiteral(".log");
    return commLogPath.contains(QLatin1Char('/')) ? info.dir().filePath(name) : name;
}

Runs readCommLog(const QByteArray& commLog, const QString& file, const QByteArray& mapLog, const QString& mapFile) {
    Runs out;
    const bool haveMap = !mapLog.isEmpty();
    const std::vector<MapLine> map = haveMap ? readMapLog(mapLog, mapFile, out) : std::vector<MapLine>();
    std::size_t nextMap = 0;

    static const QRegularExpression startLine(
        QStringLiteral("^-------< Start:(\\d{4})/(\\d{2})/(\\d{2}) (\\d{2}:\\d{2}:\\d{2}) > -------$"));
    static const QRegularExpression packetLine(QStringLiteral("^(\\d{2}):(\\d{2}):(\\d{2}),([^,]*),(.*)$"));
    static const QRegularExpression gga(QStringLiteral(",(\\$[A-Z]{2}GGA,.*)$"));

    const QString base = QFileInfo(file).fileName();
    const QStringList lines = linesOf(textfile::decode(commLog));
    if (!lines.isEmpty() && logfiles::kMapHeader.startsWith(lines.first()) && !lines.first().isEmpty())
        out.problems.push_back({file, 1, QStringLiteral("a map log, not a communication log")});
    QDate date;
    int lastSecond = -1;
    for (int i = 0; i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        const std::int64_t lineNo = i + 1;
        if (line.isEmpty() || line.startsWith(QStringLiteral("試験時間,"))) continue;
        if (const auto m = startLine.match(line); m.hasMatch()) {
            date = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
            lastSecond = -1;
            out.runs.push_back({base + QLatin1Char(' ') + date.toString(Qt::ISODate) + QLatin1Char(' ') + m.captured(4),
                                file, {}});
            continue;
        }
        const auto m = packetLine.match(line);
        if (!m.hasMatch()) {
            out.problems.push_back({file, lineNo, QStringLiteral("not a line of a run")});
            continue;
        }
        if (out.runs.empty()) {
            out.problems.push_back({file, lineNo, QStringLiteral("packet line before any run-start line")});
            out.runs.push_back({base, file, {}});
        }
        std::vector<Point>& points = out.runs.back().points;
        Point p;
        p.packet = static_cast<std::int64_t>(points.size()) + 1;
        p.payload = payloadOf(m.captured(4));
        const int second = m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60 + m.captured(3).toInt();
        if (lastSecond >= 0 && second < lastSecond) date = date.addDays(1);   // past midnight
        lastSecond = second;
        p.time = date.isValid() ? date.toString(Qt::ISODate) + QLatin1Char('T') + line.left(8) : line.left(8);
        QString rest = m.captured(5);
        if (rest.isEmpty()) {
            // The send half alone: the run ended before this packet was
            // evaluated, or the file was cut here.
            points.push_back(std::move(p));
            points.back().packet = -1;
            continue;
        }
        QString sentence;
        if (const auto g = gga.match(rest); g.hasMatch()) {
            sentence = g.captured(1);
            rest.chop(sentence.size() + 1);
        } else if (rest.endsWith(QLatin1Char(','))) {
            rest.chop(1);
        } else {
            out.problems.push_back({file, lineNo, QStringLiteral("packet line cut short")});
            continue;
        }
        // The last line of a log is never ended; one whose sentence lost
        // its checksum was cut short while being written or copied.
        if (i == lines.size() - 1 && !sentence.isEmpty() && !sentence.contains(QLatin1Char('*')))
            out.problems.push_back({file, lineNo, QStringLiteral("last line cut short (GGA sentence without its checksum)")});
        QStringList f = rest.split(QLatin1Char(','));
        if (f.size() < 5) {
            out.problems.push_back({file, lineNo, QStringLiteral("packet line without its RSSI fields")});
            continue;
        }
        const QString noise = f.takeLast(), ack = f.takeLast(), rx = f.takeLast(), rt = f.takeLast();
        const QString answer = f.join(QLatin1Char(','));
        p.outcome = rx.isEmpty() ? Outcome::Lost : Outcome::Answered;
        if (!rt.trimmed().isEmpty()) p.rttMs = numtext::leadingNumber(rt);
        p.farRssi = integer(rx);
        p.ackRssi = integer(ack);
        p.noise = integer(noise);
        bool gpsOn = true;
        if (haveMap) {
            gpsOn = nextMap < map.size() && map[nextMap].rx == rx && map[nextMap].ack == ack && map[nextMap].noise == noise;
            if (gpsOn) ++nextMap;
        }
        if (gpsOn && !sentence.isEmpty()) {
            const auto pos = gga::position(sentence);
            if (pos && pos->usable()) p.position = pos;
        }
        markLate(answer, p.payload, points);
        points.push_back(std::move(p));
    }
    // Send halves never evaluated are no exchange.
    for (Run& run : out.runs) {
        auto& pts = run.points;
        pts.erase(std::remove_if(pts.begin(), pts.end(), [](const Point& p) { return p.packet < 0; }), pts.end());
    }
    if (haveMap && nextMap < map.size())
        out.problems.push_back({mapFile, 0,
                                QStringLiteral("%1 map lines match no packet of the communication log").arg(map.size() - nextMap)});
    return out;
}

} // namespace exportdata
