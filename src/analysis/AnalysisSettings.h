#pragma once
// Settings of the link analysis, alarms and record stream, kept in their own
// file beside the executable (qvx-loopback-analysis.ini, UTF-8 INI through
// QSettings), never in the main window's settings file.
//
//   [analysis]
//   rolling_window=50      exchanges in the rolling error rate (1..100000)
//   [alarm]
//   dead_link_losses=5     consecutive losses that raise the alarm (0 = off)
//   sound=true             play the alarm tone when it is raised
//   gps_fix=false          alarm when the GPS gives no position for 10 s
//   [map]
//   tiles=                 the map's streets: an MBTiles file, a folder of
//                          XYZ tiles or an http(s) URL template with {z}, {x},
//                          {y}; empty or absent: none
//   tiles_attribution=     shown on the map (default: the tile set's own)
//
// A missing file or key, or a value out of range or not a number, gives the
// default for that key; the others are kept.
#include <QString>

namespace analysis {

struct AnalysisSettings {
    static constexpr int kMaxRollingWindow = 100000;
    static constexpr int kMaxAlarmLosses = 100000;
    static constexpr const char* kFileName = "qvx-loopback-analysis.ini";

    int rollingWindow = 50;
    int alarmLosses = 5;
    bool alarmSound = true;
    bool gpsAlarm = false;
    QString tiles;
    QString tilesAttribution;

    // The file beside the executable (needs a QCoreApplication).
    static QString defaultPath();
    static AnalysisSettings load(const QString& path);
    // False (with a terse reason in *error) when the file cannot be written.
    bool save(const QString& path, QString* error = nullptr) const;

    bool operator==(const AnalysisSettings& o) const {
        return rollingWindow == o.rollingWindow && alarmLosses == o.alarmLosses && alarmSound == o.alarmSound &&
               gpsAlarm == o.gpsAlarm && tiles == o.tiles && tilesAttribution == o.tilesAttribution;
    }
};

}  // namespace analysis
