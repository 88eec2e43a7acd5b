// Any bytes as a communication log and its map log (before and after the
// first NUL byte): the reader and every export format must take them
// without crashing, whatever was cut, edited or corrupted.
#include "export/LogReader.h"
#include "export/Writers.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype nul = bytes.indexOf('\0');
    const QByteArray comm = nul < 0 ? bytes : bytes.left(nul);
    const QByteArray map = nul < 0 ? QByteArray() : bytes.mid(nul + 1);
    const exportdata::Runs runs = exportdata::readCommLog(comm, QStringLiteral("c.log"), map, QStringLiteral("m.log"));
    for (const exportdata::Problem& p : runs.problems)
        if (p.file.isEmpty()) __builtin_trap();
    exportdata::toGeoJson(runs);
    exportdata::toKml(runs);
    exportdata::toGpx(runs);
    exportdata::toCsv(runs);
    return 0;
}
