#pragma once
// Reading a run file of either kind by what it holds: a record stream
// (.jsonl, or anything whose first bytes are a JSON object) through the
// stream reader, anything else as a communication log through the log
// reader, with the map log found beside it by the naming rule of the logs.
#include "export/Layers.h"

#include <QString>

namespace exportdata {

// True for a name ending in .jsonl or bytes starting with "{".
bool looksLikeStream(const QString& path, const QByteArray& head);

// Reads the file into the sink. False, with a terse reason, when the file
// cannot be opened; what it holds but cannot be read goes to the sink as
// problems, as the readers report it. A map log that exists but cannot be
// read is a note: the positions then come from the communication log alone.
bool readRunFile(const QString& path, RecordSink& sink, QString* error = nullptr);

} // namespace exportdata
