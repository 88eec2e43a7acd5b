#pragma once
// Text files in code page 932 (Shift_JIS, Windows variant). Every file the
// program reads or writes goes through here. Line ends are written by the
// callers (CR LF); nothing is added or converted.
#include <QByteArray>
#include <QString>

namespace textfile {

// To code page 932. A stand-in for a received byte (see decodeReceived)
// is written as that byte.
QByteArray encode(const QString& text);
QString decode(const QByteArray& bytes);  // from code page 932

// Bytes from a device (the GPS receiver) as text, read in code page 932
// like every text of the program, without losing a byte: every character
// that converts back to the same bytes as that character (ASCII as
// itself), any other byte as the stand-in U+DC00 + byte (a lone surrogate,
// which no other text holds). encode() gives back exactly the bytes
// received. A lead byte at the end of bytes waits in
// *pending for the next piece, so a character split across two receive
// events is read whole.
QString decodeReceived(QByteArray* pending, const QByteArray& bytes);

// Whole-file read. False (with a terse reason in *error) when the file
// cannot be opened or read.
bool read(const QString& path, QString* text, QString* error = nullptr);
// Replace the file's contents with text, all or nothing (wholefile::replace):
// on failure the old file keeps its bytes.
bool write(const QString& path, const QString& text, QString* error = nullptr);
// Append text to the file, creating it when missing, whole or not at all
// (wholefile::append). The file is opened, written and closed in the call.
bool append(const QString& path, const QString& text, QString* error = nullptr);

} // namespace textfile
