#include "common/TextFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace textfile {

namespace {

// ICU's name for the Windows variant of Shift_JIS first (it has the NEC and
// IBM extensions such as "①" and maps "～" the Windows way), then aliases
// other ICU builds may know it by.
const char* codecName() {
    static const char* const name = [] {
        for (const char* n : {"windows-31j", "cp932", "ibm-943_P15A-2003", "Shift_JIS"})
            if (QStringEncoder(n).isValid()) return n;
        return "Shift_JIS";
    }();
    return name;
}

void setError(QString* error, const QString& reason) {
    if (error) *error = reason;
}

} // namespace

QByteArray encode(const QString& text) {
    QStringEncoder enc(codecName());
    return enc.encode(text);
}

QString decode(const QByteArray& bytes) {
    QStringDecoder dec(codecName());
    return dec.decode(bytes);
}

bool read(const QString& path, QString* text, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        setError(error, f.errorString());
        return false;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        setError(error, f.errorString());
        return false;
    }
    if (text) *text = decode(bytes);
    return true;
}

bool write(const QString& path, const QString& text, QString* error) {
    // Written beside the old file and put in its place at the end, so a
    // failed write (disk full) leaves the old contents whole.
    QSaveFile f(path);
    f.setDirectWriteFallback(true);
    if (!f.open(QIODevice::WriteOnly)) {
        setError(error, f.errorString());
        return false;
    }
    const QByteArray bytes = encode(text);
    if (f.write(bytes) != bytes.size()) {
        setError(error, f.errorString());
        f.cancelWriting();
        return false;
    }
    if (!f.commit()) {
        setError(error, f.errorString());
        return false;
    }
    return true;
}

bool append(const QString& path, const QString& text, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) {
        setError(error, f.errorString());
        return false;
    }
    const qint64 before = f.size();
    const QByteArray bytes = encode(text);
    const bool ok = f.write(bytes) == bytes.size() && f.flush();
    if (!ok) {
        const QString reason = f.errorString();
        // No half-written line stays behind: what was there before is kept.
        if (!f.isSequential())
            f.resize(before);
        f.close();
        setError(error, reason);
        return false;
    }
    f.close();
    if (f.error() != QFileDevice::NoError) {
        setError(error, f.errorString());
        return false;
    }
    return true;
}

} // namespace textfile
