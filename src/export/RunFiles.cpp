#include "export/RunFiles.h"

#include "export/LogReader.h"
#include "export/StreamReader.h"

#include <QFile>
#include <QFileInfo>

namespace exportdata {

bool looksLikeStream(const QString& path, const QByteArray& head) {
    return path.endsWith(QLatin1String(".jsonl"), Qt::CaseInsensitive) || head.trimmed().startsWith('{');
}

bool readRunFile(const QString& path, RecordSink& sink, QString* error) {
    QFile f(path);
    if (QFileInfo(path).isDir() || !f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QFileInfo(path).isDir() ? QStringLiteral("a folder, not a file") : f.errorString();
        return false;
    }
    if (looksLikeStream(path, f.peek(4096))) {
        readStream(f, path, sink);
        return true;
    }
    const QByteArray log = f.readAll();
    const QString mapPath = mapLogPathFor(path);
    QByteArray map;
    if (!mapPath.isEmpty() && QFileInfo::exists(mapPath)) {
        QFile m(mapPath);
        if (m.open(QIODevice::ReadOnly))
            map = m.readAll();
        else
            sink.note({mapPath, 0, QStringLiteral("cannot be read; positions from the communication log alone")});
    }
    readCommLog(log, path, map, map.isEmpty() ? QString() : mapPath, sink);
    return true;
}

} // namespace exportdata
