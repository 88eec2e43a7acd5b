#pragma once
// Names and fixed texts of the communication log and the map logs. The
// name is recomputed from the window's texts at every write and joined as
// it stands: nothing is trimmed, checked or substituted.
#include <QString>

namespace logfiles {

inline const QString kCommLogExt = QStringLiteral(".log");
inline const QString kMapCsvExt = QStringLiteral(".csv");
inline const QString kMapLogExt = QStringLiteral(".log");

// First line of a new (empty) map file.
inline const QString kMapHeader = QStringLiteral("N: ,E: ,M: ,RX-RSSI ,Ack-RSSI ,Floor Noise\r\n");

// header name ext, e.g. "170921_FSK Mode_test.log", in the folder appDir.
inline QString fileName(const QString& header, const QString& name, const QString& ext) {
    return header + name + ext;
}
inline QString filePath(const QString& appDir, const QString& fileName) {
    return appDir + QLatin1Char('/') + fileName;
}

} // namespace logfiles
