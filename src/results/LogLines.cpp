#include "results/LogLines.h"

#include "results/LogFileNames.h"

#include <QRegularExpression>

namespace loglines {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QChar kComma(',');
} // namespace

QString runStart(const QDateTime& at) {
    return kCrLf + QStringLiteral("-------< Start:") + at.toString(QStringLiteral("yyyy/MM/dd")) + QLatin1Char(' ')
        + at.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral(" > -------");
}

QString columnHeads() {
    return kCrLf
        + QStringLiteral("試験時間,試験コマンド,応答データ,応答時間[ms],受信RSSI値,応答RSSI値,フロアノイズ,以降はGPSデータ");
}

QString sendHalf(const QDateTime& at, const QStringList& commands) {
    QString line = kCrLf + at.toString(QStringLiteral("HH:mm:ss")) + kComma;
    for (const QString& c : commands)
        line += c + QStringLiteral("[Cr][Lf]");
    return line + kComma;
}

QString answerHalf(const AnswerFields& a) {
    return a.received + kComma + a.responseTime + kComma + a.farRssi + kComma + a.ackRssi + kComma + a.noise + kComma
        + a.gga;
}

QString mapLine(const MapFields& m) {
    return m.lat + kComma + m.lon + kComma + m.alt + kComma + m.farRssi + kComma + m.ackRssi + kComma + m.noise + kCrLf;
}

} // namespace loglines

namespace loglines {

std::optional<QDateTime> parseRunStart(const QString& line) {
    static const QRegularExpression re(
        QStringLiteral("^-------< Start:(\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}) > -------$"));
    const QRegularExpressionMatch m = re.match(line);
    if (!m.hasMatch())
        return std::nullopt;
    const QDateTime at = QDateTime::fromString(m.captured(1), QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    return at.isValid() ? std::optional<QDateTime>(at) : std::nullopt;
}

bool isColumnHeads(const QString& line) { return line == columnHeads().mid(2); }

std::optional<PacketLine> parsePacketLine(const QString& line, QString* problem) {
    static const QRegularExpression head(QStringLiteral("^(\\d{2}:\\d{2}:\\d{2}),([^,]*),"));
    static const QRegularExpression gga(QStringLiteral(",(\\$[A-Z]{2}GGA,.*)$"));
    const QRegularExpressionMatch h = head.match(line);
    if (!h.hasMatch())
        return std::nullopt;
    PacketLine p;
    p.time = h.captured(1);
    p.commands = h.captured(2);
    QString rest = line.mid(h.capturedEnd());
    if (rest.isEmpty())
        return p;   // the send half alone
    const auto damaged = [&](const char* why) -> std::optional<PacketLine> {
        if (problem)
            *problem = QLatin1String(why);
        return std::nullopt;
    };
    if (const QRegularExpressionMatch g = gga.match(rest); g.hasMatch()) {
        p.answer.gga = g.captured(1);
        rest.truncate(g.capturedStart());
    } else if (rest.endsWith(kComma)) {
        rest.chop(1);
    } else {
        return damaged("packet line cut short");
    }
    // The received text may hold commas itself: the four number fields are
    // taken from the right.
    QStringList f = rest.split(kComma);
    if (f.size() < 5)
        return damaged("packet line without its RSSI fields");
    p.answer.noise = f.takeLast();
    p.answer.ackRssi = f.takeLast();
    p.answer.farRssi = f.takeLast();
    p.answer.responseTime = f.takeLast();
    p.answer.received = f.join(kComma);
    p.evaluated = true;
    return p;
}

QString payloadOf(const QString& commands) {
    static const QRegularExpression data(QStringLiteral("@DT05(\\d{3})"));
    const QRegularExpressionMatch m = data.match(commands);
    return m.hasMatch() ? m.captured(1) : QString();
}

bool isMapHeader(const QString& line) {
    return line + kCrLf == logfiles::kMapHeader;
}

std::optional<MapFields> parseMapLine(const QString& line) {
    const QStringList f = line.split(kComma);
    if (f.size() != 6)
        return std::nullopt;
    return MapFields{f[0], f[1], f[2], f[3], f[4], f[5]};
}

} // namespace loglines
