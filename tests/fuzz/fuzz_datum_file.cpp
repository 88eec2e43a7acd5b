// Any bytes as a datum point file. A file that is applied and saved again
// must read back to the same datum point: saving the read-back gives the
// same text.
#include "common/TextFile.h"
#include "gps/DatumFile.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = textfile::decode(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    datumfile::Datum d;
    if (!datumfile::apply(text, &d))
        return 0;
    for (double v : {d.latitude, d.longitude, d.height, d.northCorrection, d.eastCorrection})
        if (!std::isfinite(v))
            std::abort();
    const datumfile::Lines all{true, true, true};
    const QString saved = datumfile::format(d, all);
    datumfile::Datum back;
    if (!datumfile::apply(saved, &back))
        std::abort();
    if (datumfile::format(back, all) != saved)
        std::abort();
    return 0;
}
