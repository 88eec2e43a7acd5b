#pragma once
// Text files in code page 932 (Shift_JIS, Windows variant). Every file the
// program reads or writes goes through here. Line ends are written by the
// callers (CR LF); nothing is added or converted.
#include <QByteArray>
#include <QString>

namespace textfile {

QByteArray encode(const QString& text);   // to code page 932
QString decode(const QByteArray& bytes);  // from code page 932

// Whole-file read. False (with a terse reason in *error) when the file
// cannot be opened or read.
bool read(const QString& path, QString* text, QString* error = nullptr);
// Replace the file's contents with text.
bool write(const QString& path, const QString& text, QString* error = nullptr);
// Append text to the file, creating it when missing. The file is opened,
// written, flushed and closed in the call.
bool append(const QString& path, const QString& text, QString* error = nullptr);

} // namespace textfile
