#include "SimConfig.h"

#include <QStringList>

#include <cmath>

bool RssiSpec::parse(const QString& text, int wanderCentre, RssiSpec* out, QString* error) {
    const QString t = text.trimmed();
    if (t.startsWith(QLatin1String("wander"))) {
        const QStringList parts = t.split(QLatin1Char(':'));
        if (parts.first() != QLatin1String("wander") || parts.size() > 3) {
            *error = QStringLiteral("bad wander value: %1").arg(text);
            return false;
        }
        RssiSpec s = wander(wanderCentre);
        bool ok = true;
        if (parts.size() > 1)
            s.centre = parts[1].toInt(&ok);
        if (ok && parts.size() > 2) {
            s.span = parts[2].toInt(&ok);
            ok = ok && s.span >= 0;
        }
        if (!ok) {
            *error = QStringLiteral("bad wander value: %1").arg(text);
            return false;
        }
        *out = s;
        return true;
    }
    QList<int> values;
    for (const QString& part : t.split(QLatin1Char(','))) {
        bool ok = false;
        const int v = part.trimmed().toInt(&ok);
        if (!ok || v < -32768 || v > 32767) {
            *error = QStringLiteral("bad RSSI value: %1").arg(text);
            return false;
        }
        values.append(v);
    }
    *out = sequence(values);
    return true;
}

int SimConfig::commandDelay() const { return commandDelayMs >= 0 ? commandDelayMs : 20; }

int SimConfig::loopDelay() const {
    return loopDelayMs >= 0 ? loopDelayMs : defaultLoopDelay(modulation, spreadingIndex);
}

int SimConfig::defaultLoopDelay(Modulation m, int spreadingIndex) {
    if (m == Modulation::Fsk)
        return 60;
    // Two airtimes of a short packet, roughly, always well below the
    // program's minimum period for the index (3700 ... 66000 ms).
    static const int lora[6] = {400, 700, 1300, 2500, 4800, 9500};
    if (spreadingIndex < 0)
        spreadingIndex = 0;
    if (spreadingIndex > 5)
        spreadingIndex = 5;
    return lora[spreadingIndex];
}

double SimConfig::lawMidpoint() const {
    return std::isnan(law.midpointDbm) ? LinkLaw::defaultMidpoint(modulation == Modulation::Lora, spreadingIndex)
                                       : law.midpointDbm;
}
