// Any bytes as a record stream (.jsonl): the reader and every export
// format must take them without crashing; a problem always names its line.
#include "export/StreamReader.h"
#include "export/Writers.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const exportdata::Runs runs = exportdata::readStream(bytes, QStringLiteral("s.jsonl"));
    for (const exportdata::Problem& p : runs.problems)
        if (p.line < 1) __builtin_trap();
    exportdata::toGeoJson(runs);
    exportdata::toKml(runs);
    exportdata::toGpx(runs);
    exportdata::toCsv(runs);
    return 0;
}
