#include "common/WholeFile.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace wholefile {

namespace {

void setError(QString* error, const QString& reason) {
    if (error) *error = reason;
}

// The device's reason for its last failure; never an empty or made-up one.
QString reasonOf(const QFileDevice& f) {
    return f.error() != QFileDevice::NoError ? f.errorString() : QStringLiteral("short write");
}

// Writes all of bytes, going on after a short write: the write that then
// fails reports why (a short write alone carries no reason). The device is
// unbuffered, so every byte counted as written has reached the system.
bool writeAll(QFileDevice& f, const QByteArray& bytes) {
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = f.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

// Asks the system to put the file's bytes on the disk; a failure here (a
// network file system out of quota, a failing device) means they may not be.
bool syncToDisk(QFileDevice& f, QString* error) {
#ifdef Q_OS_UNIX
    if (::fsync(f.handle()) != 0 && errno != EINVAL && errno != EROFS) {
        setError(error, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
#else
    Q_UNUSED(f);
    Q_UNUSED(error);
#endif
    return true;
}

// Rewrites the file where it is; on failure its old bytes go back.
bool rewriteInPlace(const QString& path, const QByteArray& bytes, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        setError(error, f.errorString());
        return false;
    }
    const QByteArray old = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        setError(error, reasonOf(f));
        return false;
    }
    QString reason;
    if (f.seek(0) && writeAll(f, bytes) && f.resize(bytes.size())) {
        if (syncToDisk(f, &reason)) return true;
    } else {
        reason = reasonOf(f);
    }
    if (!(f.seek(0) && writeAll(f, old) && f.resize(old.size())))
        reason += QStringLiteral("; its old contents could not be put back");
    setError(error, reason);
    return false;
}

} // namespace

bool replace(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile f(path);
    f.setDirectWriteFallback(false);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const QString reason = f.errorString();
        if (QFile::exists(path) && QFile(path).open(QIODevice::ReadWrite))
            return rewriteInPlace(path, bytes, error);
        setError(error, reason);
        return false;
    }
    QString syncError;
    if (!writeAll(f, bytes) || !f.flush() || f.error() != QFileDevice::NoError) {
        setError(error, reasonOf(f));
        f.cancelWriting();
        return false;
    }
    if (!syncToDisk(f, &syncError)) {
        setError(error, syncError);
        f.cancelWriting();
        return false;
    }
    if (!f.commit()) {
        setError(error, f.errorString());
        return false;
    }
    return true;
}

bool append(const QString& path, const QByteArray& bytes, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        setError(error, f.errorString());
        return false;
    }
    const qint64 before = f.size();
    if (writeAll(f, bytes)) {
        f.close();
        if (f.error() == QFileDevice::NoError) return true;
        // The system took the bytes but reported a failure on closing: the
        // file is not known to hold them, so it goes back to what it was.
        QString reason = f.errorString();
        if (!QFile::resize(path, before))
            reason += QStringLiteral("; the file could not be cut back to %1 bytes").arg(before);
        setError(error, reason);
        return false;
    }
    QString reason = reasonOf(f);
    // No part of the bytes stays behind.
    if (!f.resize(before) || f.size() != before)
        reason += QStringLiteral("; the file could not be cut back to %1 bytes (%2)").arg(before).arg(f.errorString());
    setError(error, reason);
    return false;
}

} // namespace wholefile
