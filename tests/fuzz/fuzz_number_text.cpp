// Any text through the leading-number rule, and the number back through
// both text forms: never a crash, and a finite number's plain text reads
// back to the same number at 15 significant digits.
#include "common/NumberText.h"

#include <cmath>
#include <cstdlib>
#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const double v = numtext::leadingNumber(text);
    const QString blank = numtext::signBlank(v);
    const QString plain = numtext::plain(v);
    if (std::isfinite(v)) {
        const double back = numtext::leadingNumber(plain);
        if (back != numtext::round15(v))
            std::abort();
        if (numtext::leadingNumber(blank) != back)
            std::abort();
    }
    return 0;
}
