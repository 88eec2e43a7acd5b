#pragma once
// Reader of a run's record stream (.jsonl, UTF-8, one JSON object a line;
// recordstream::decodeLine reads each record): every "run" record opens a
// layer named by its start time, the other records go to the sink as they
// come. Unknown record types and unknown fields are passed over, so newer
// streams still read. The input is read line by line, a few thousand lines
// at a time decoded on every core: memory does not grow with its length.
#include "export/Layers.h"

#include <QByteArray>
#include <QString>

class QIODevice;

namespace exportdata {

// Reads the bytes of one stream; file names the source in problems and
// layer names. A line that is not a record (bad JSON, a cut last line, a
// record without its required fields, a record of a schema this reader does
// not know: it knows 1 and 2) is reported and skipped. A run whose "end"
// record is missing gets a note.
void readStream(QIODevice& in, const QString& file, RecordSink& sink);
void readStream(const QByteArray& bytes, const QString& file, RecordSink& sink);
Runs readStream(const QByteArray& bytes, const QString& file);

} // namespace exportdata
