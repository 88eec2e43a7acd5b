#include "shell/DataFolder.h"

#include <QLabel>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString kShareName = QStringLiteral("qvx-loopback");

// The folder as the user would type it: the home folder as "~".
QString shortPath(const QString& dir) {
    const QString home = QDir::homePath();
    if (dir == home || dir.startsWith(home + QLatin1Char('/')))
        return QDir::toNativeSeparators(QStringLiteral("~") + dir.mid(home.size()));
    return QDir::toNativeSeparators(dir);
}

} // namespace

QString DataFolder::installShareDir(const QString& exeDir) {
    const QString share = QDir::cleanPath(exeDir + QStringLiteral("/../share/") + kShareName);
    return QFileInfo(share).isDir() ? share : QString();
}

DataFolder DataFolder::resolve(const QString& exeDir, const QString& chosen) {
    DataFolder d;
    const QString share = installShareDir(exeDir);
    if (!chosen.isEmpty()) {
        d.kind = Chosen;
        d.dir = QDir(chosen).absolutePath();
        d.soundDir = share.isEmpty() ? exeDir : share;
    } else if (!share.isEmpty()) {
        d.kind = PerUser;
        d.dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        d.soundDir = share;
    } else {
        d.dir = exeDir;
    }
    if (d.soundDir == d.dir)
        d.soundDir.clear();
    return d;
}

bool DataFolder::create() const { return QDir().mkpath(dir); }

QString DataFolder::helpNote() const {
    if (kind == BesideExecutable)
        return QString();
    QString note = QStringLiteral("Settings and logs: ") + shortPath(dir) +
                   (kind == PerUser ? QStringLiteral(" (the per-user data folder; --data-dir chooses another)")
                                    : QStringLiteral(" (--data-dir)"));
    if (!soundDir.isEmpty())
        note += QStringLiteral(".\nSound files: COMP.wav and NO_COMP.wav from there, else from ") + shortPath(soundDir);
    return note + QLatin1Char('.');
}

void DataFolder::showOn(QLabel* message) const {
    if (kind == BesideExecutable || !message->text().isEmpty())
        return;
    message->setText(QStringLiteral("データフォルダ: ") + shortPath(dir));
}

DataFolderLock::DataFolderLock(const QString& dir)
    : dir_(dir), lock_(dir + QLatin1Char('/') + QLatin1String(kFileName)) {
    lock_.setStaleLockTime(0);  // stale only when its process is gone, however old
}

bool DataFolderLock::acquire(QString* why) {
    if (lock_.tryLock(0) || lock_.error() != QLockFile::LockFailedError)
        return true;
    qint64 pid = 0;
    QString host, app;
    const bool known = lock_.getLockInfo(&pid, &host, &app);
    *why = QStringLiteral("qvx-loopback: the data folder %1 is in use by another copy%2; this one ends without touching it")
               .arg(shortPath(dir_),
                    known ? QStringLiteral(" (process %1)").arg(pid) : QString());
    return false;
}
