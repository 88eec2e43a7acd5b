#include "gps/Gga.h"

#include "common/NumberText.h"

#include <cmath>

namespace gga {

namespace {

// Position (1-based) of the first occurrence of what at or after position
// from, 0 when there is none.
qsizetype find(const QString& s, const QString& what, qsizetype from) {
    if (from < 1) from = 1;
    const qsizetype i = s.indexOf(what, from - 1);
    return i < 0 ? 0 : i + 1;
}

// Position of the CR that ends the sentence starting at p, or of a bare LF
// (receivers and loggers that end lines with LF alone), 0 while neither has
// arrived.
qsizetype lineEnd(const QString& s, qsizetype p) {
    for (qsizetype i = p - 1; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c == u'\r' || c == u'\n') return i + 1;
    }
    return 0;
}

// The characters from position first up to position last (1-based,
// inclusive); empty when last comes before first.
QString cut(const QString& s, qsizetype first, qsizetype last) {
    if (first < 1) first = 1;
    if (last < first) return QString();
    return s.mid(first - 1, last - first + 1);
}

} // namespace

QString takeSentence(QString& buffer, int* processed, const QString& condition) {
    const qsizetype k = find(buffer, QLatin1Char('\n') + condition, 1);
    if (k != 0) {
        buffer.remove(0, k);
        *processed = 0;
    }
    const qsizetype p = find(buffer, QStringLiteral("$GPGGA,"), 1);
    const qsizetype e = p != 0 ? lineEnd(buffer, p) : 0;
    if (*processed != 0 || p == 0 || e == 0) return QString();
    *processed = 1;
    return buffer.mid(p - 1, e - p);
}

Fields extract(const QString& s) {
    Fields out;
    const qsizetype c1 = find(s, QStringLiteral(","), 8);
    const qsizetype cn = find(s, QStringLiteral(",N,"), c1 + 1);
    const qsizetype ce = find(s, QStringLiteral(",E,"), cn + 3);
    const qsizetype c3 = find(s, QStringLiteral(","), ce + 3);
    const qsizetype c4 = find(s, QStringLiteral(","), c3 + 1);
    const qsizetype c5 = find(s, QStringLiteral(","), c4 + 1);
    const qsizetype cm = find(s, QStringLiteral(",M,"), c5 + 1);
    if (cn == 0 || ce == 0 || cm == 0) return out;
    out.positioned = true;
    out.latitude = cut(s, c1 + 1, cn - 1);
    out.longitude = cut(s, cn + 3, ce - 1);
    out.altitude = cut(s, c5 + 1, cm - 1);
    out.satellites = cut(s, c3 + 1, c4 - 1);
    return out;
}

// These two functions must keep their operations in the written order; the
// file is compiled without floating-point contraction (no fused
// multiply-add), see CMakeLists.txt.
double decimalDegrees(double raw) {
    const double d = std::floor(raw / 100.0);
    const double m = raw - 100.0 * d;
    return d + std::floor((m / 60.0) * 1e7) / 1e7;
}

QString dmsText(double raw) {
    const double d = std::floor(raw / 100.0);
    const double mm = std::floor(raw - 100.0 * d);
    const double ss = std::floor(((raw - 100.0 * d) - mm) * 60.0 * 100.0) / 100.0;
    return numtext::signBlank(d) + QStringLiteral("度") + numtext::signBlank(mm) + QStringLiteral("分")
        + numtext::signBlank(ss) + QStringLiteral("秒");
}

} // namespace gga
