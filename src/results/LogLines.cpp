#include "results/LogLines.h"

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
