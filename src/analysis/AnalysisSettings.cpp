#include "analysis/AnalysisSettings.h"

#include <QCoreApplication>
#include <QSettings>

namespace analysis {

namespace {

const char* const kRolling = "analysis/rolling_window";
const char* const kLosses = "alarm/dead_link_losses";
const char* const kSound = "alarm/sound";
const char* const kGps = "alarm/gps_fix";
const char* const kTiles = "map/tiles";
const char* const kTilesAttribution = "map/tiles_attribution";

// The map keys are written only when set, so a file of a user who never
// set a tile source stays as it was.
void setOrRemove(QSettings& s, const char* key, const QString& value) {
    if (value.isEmpty())
        s.remove(QLatin1String(key));
    else
        s.setValue(QLatin1String(key), value);
}

int readInt(const QSettings& s, const char* key, int lo, int hi, int fallback) {
    bool ok = false;
    const int v = s.value(QLatin1String(key)).toString().trimmed().toInt(&ok);
    return ok && v >= lo && v <= hi ? v : fallback;
}

bool readBool(const QSettings& s, const char* key, bool fallback) {
    const QString v = s.value(QLatin1String(key)).toString().trimmed().toLower();
    if (v == QLatin1String("true") || v == QLatin1String("1"))
        return true;
    if (v == QLatin1String("false") || v == QLatin1String("0"))
        return false;
    return fallback;
}

}  // namespace

QString AnalysisSettings::defaultPath() {
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(kFileName);
}

AnalysisSettings AnalysisSettings::load(const QString& path) {
    const QSettings s(path, QSettings::IniFormat);
    const AnalysisSettings d;
    AnalysisSettings out;
    out.rollingWindow = readInt(s, kRolling, 1, kMaxRollingWindow, d.rollingWindow);
    out.alarmLosses = readInt(s, kLosses, 0, kMaxAlarmLosses, d.alarmLosses);
    out.alarmSound = readBool(s, kSound, d.alarmSound);
    out.gpsAlarm = readBool(s, kGps, d.gpsAlarm);
    out.tiles = s.value(QLatin1String(kTiles)).toString().trimmed();
    out.tilesAttribution = s.value(QLatin1String(kTilesAttribution)).toString().trimmed();
    return out;
}

bool AnalysisSettings::save(const QString& path, QString* error) const {
    QSettings s(path, QSettings::IniFormat);
    s.setValue(QLatin1String(kRolling), rollingWindow);
    s.setValue(QLatin1String(kLosses), alarmLosses);
    s.setValue(QLatin1String(kSound), alarmSound);
    s.setValue(QLatin1String(kGps), gpsAlarm);
    setOrRemove(s, kTiles, tiles);
    setOrRemove(s, kTilesAttribution, tilesAttribution);
    s.sync();
    if (s.status() == QSettings::NoError)
        return true;
    if (error)
        *error = QStringLiteral("cannot write %1").arg(path);
    return false;
}

}  // namespace analysis
