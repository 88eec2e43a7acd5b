#pragma once
// Files that land whole or not at all. Every writer of the program that
// replaces a file (settings, datum point, run report) or appends to one
// (logs, record stream) goes through here, so a full disk, a file-size
// limit or a failing device never leaves a file emptied, half replaced or
// ending in half a line. Failures carry the system's own reason ("No space
// left on device", "File too large").
#include <QByteArray>
#include <QString>

namespace wholefile {

// Replaces the file's contents with bytes. They are written to a temporary
// file beside it, every write checked, flushed to the disk, and that file
// renamed over the old one only when all of it is there; otherwise the old
// file keeps its bytes. Where no file can be made beside it (a folder that
// is not writable holding a file that is), the file is rewritten in place
// and, should that fail, its old bytes are written back. False with the
// reason in *error.
bool replace(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// Appends bytes to the file, creating it when missing. On any failed or
// short write the file is cut back to its size before the call and the cut
// is checked, so the file holds either all of bytes or exactly what it held
// before. False with the reason in *error (which also says so when even the
// cut back failed).
bool append(const QString& path, const QByteArray& bytes, QString* error = nullptr);

} // namespace wholefile
