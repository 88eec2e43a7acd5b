#include "common/TextFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

namespace textfile {

namespace {
// ICU's name for the Windows variant of Shift_JIS (code page 932).
const char* const kCodePage = "windows-31j";

QString reason(const QFile& file) { return QFileInfo(file.fileName()).fileName() + QStringLiteral(": ") + file.errorString(); }
}

QByteArray encode(const QString& text) {
    QStringEncoder encoder(kCodePage);
    if (!encoder.isValid())
        return text.toLocal8Bit();
    return encoder.encode(text);
}

QString decode(const QByteArray& bytes) {
    QStringDecoder decoder(kCodePage);
    if (!decoder.isValid())
        return QString::fromLocal8Bit(bytes);
    return decoder.decode(bytes);
}

bool read(const QString& path, QString* text, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = reason(file);
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error) *error = reason(file);
        return false;
    }
    if (text) *text = decode(bytes);
    return true;
}

namespace {
bool put(const QString& path, const QString& text, QIODevice::OpenMode mode, QString* error) {
    QFile file(path);
    if (!file.open(mode)) {
        if (error) *error = reason(file);
        return false;
    }
    const QByteArray bytes = encode(text);
    const bool ok = file.write(bytes) == bytes.size() && file.flush();
    if (!ok && error) *error = reason(file);
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}
}

bool write(const QString& path, const QString& text, QString* error) {
    return put(path, text, QIODevice::WriteOnly | QIODevice::Truncate, error);
}

bool append(const QString& path, const QString& text, QString* error) {
    return put(path, text, QIODevice::WriteOnly | QIODevice::Append, error);
}

} // namespace textfile
