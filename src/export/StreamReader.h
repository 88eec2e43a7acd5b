#pragma once
// Reader of a run's record stream (.jsonl, UTF-8, one JSON object a line):
// "run" records open a layer, "exchange" records become points, a "late"
// record turns its earlier lost packet into a late one. Unknown record types
// and unknown fields are passed over, so newer streams still read.
#include "export/Points.h"

#include <QByteArray>
#include <QString>

namespace exportdata {

// Reads the bytes of one stream; file names the source in problems and
// layer names. A line that is not a record (bad JSON, a cut last line, a
// record without its required fields, a record of a schema this reader does
// not know: it knows 1 and 2) is reported and skipped. A run whose "end"
// record is missing gets a note.
Runs readStream(const QByteArray& bytes, const QString& file);

} // namespace exportdata
