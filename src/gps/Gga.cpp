#include "gps/Gga.h"

#include "common/NumberText.h"

#include <QStringList>
#include <QVarLengthArray>

#include <algorithm>

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

// The first occurrence of any of the sentence starts, 0 when none.
qsizetype findFirst(const QString& s, const QStringList& starts) {
    qsizetype first = 0;
    for (const QString& start : starts) {
        const qsizetype at = find(s, start, 1);
        if (at != 0 && (first == 0 || at < first)) first = at;
    }
    return first;
}

// A condition "$GPxxx" stands for the sentence xxx of every talker taken.
QStringList conditionTexts(const QString& condition) {
    QStringList texts{QLatin1Char('\n') + condition};
    if (condition.size() == 6 && condition.startsWith(QLatin1String("$GP")))
        for (const char* talker : kTalkers)
            if (qstrcmp(talker, "GP") != 0)
                texts << QStringLiteral("\n$") + QLatin1String(talker) + condition.mid(3);
    return texts;
}

// Where a sentence's commas and its checksum's "*" stand (0-based): the
// one pass both readings are cut from.
struct Marks {
    QVarLengthArray<qsizetype, 24> commas;
    qsizetype star = -1;   // the first "*"
};

Marks marks(const QString& s) {
    Marks m;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c == u',')
            m.commas.append(i);
        else if (c == u'*' && m.star < 0)
            m.star = i;
    }
    return m;
}

// find(s, ",", from) on the marks: the 1-based position of the first comma
// at or after position from, 0 when there is none.
qsizetype commaFrom(const Marks& m, qsizetype from) {
    if (from < 1) from = 1;
    for (const qsizetype at : m.commas)
        if (at + 1 >= from) return at + 1;
    return 0;
}

// find(s, ",X,", from) on the marks: the text starts with a comma, so only
// the commas need looking at.
qsizetype fieldFrom(const QString& s, const Marks& m, QChar x, qsizetype from) {
    if (from < 1) from = 1;
    for (const qsizetype at : m.commas)
        if (at + 1 >= from && at + 2 < s.size() && s.at(at + 1) == x && s.at(at + 2) == u',') return at + 1;
    return 0;
}

// The window's fields, by the searches of the GGA layout.
Fields windowFields(const QString& s, const Marks& m) {
    Fields out;
    const qsizetype c1 = commaFrom(m, 8);
    const qsizetype cn = fieldFrom(s, m, u'N', c1 + 1);
    const qsizetype ce = fieldFrom(s, m, u'E', cn + 3);
    const qsizetype c3 = commaFrom(m, ce + 3);
    const qsizetype c4 = commaFrom(m, c3 + 1);
    const qsizetype c5 = commaFrom(m, c4 + 1);
    const qsizetype cm = fieldFrom(s, m, u'M', c5 + 1);
    if (cn == 0 || ce == 0 || cm == 0) return out;
    out.positioned = true;
    out.latitude = cut(s, c1 + 1, cn - 1);
    out.longitude = cut(s, cn + 3, ce - 1);
    out.altitude = cut(s, c5 + 1, cm - 1);
    out.satellites = cut(s, c3 + 1, c4 - 1);
    return out;
}

// The records' position: the fields between "$" and "*" (or the end) split
// at their commas.
std::optional<records::Position> recordPosition(const QString& sentence, const Marks& m) {
    if (!sentence.startsWith(QLatin1Char('$'))) return std::nullopt;
    const qsizetype star = m.star;
    const qsizetype end = star < 0 ? sentence.size() : star;
    QVarLengthArray<QStringView, 24> f;
    qsizetype from = 1;
    for (const qsizetype at : m.commas) {
        if (at >= end) break;
        f.append(QStringView(sentence).mid(from, at - from));
        from = at + 1;
    }
    f.append(QStringView(sentence).mid(from, std::max<qsizetype>(0, end - from)));
    if (f.size() < 10 || !f[0].endsWith(QLatin1String("GGA"))) return std::nullopt;
    const auto field = [&](int i, double* v) {
        bool ok = false;
        *v = f[i].toDouble(&ok);
        return ok && std::isfinite(*v);
    };
    double lat = 0, lon = 0;
    const bool north = f[3] == QLatin1String("N"), east = f[5] == QLatin1String("E");
    if (!field(2, &lat) || !field(4, &lon) || (!north && f[3] != QLatin1String("S"))
        || (!east && f[5] != QLatin1String("W")) || lat < 0 || lat > 9000 || lon < 0 || lon > 18000
        || lat - 100 * std::floor(lat / 100) >= 60 || lon - 100 * std::floor(lon / 100) >= 60)
        return std::nullopt;
    records::Position p;
    p.lat = north ? decimalDegrees(lat) : -decimalDegrees(lat);
    p.lon = east ? decimalDegrees(lon) : -decimalDegrees(lon);
    double v = 0;
    p.fix = field(6, &v) && v >= 0 && v < 100 ? static_cast<int>(v) : 0;
    p.sats = field(7, &v) && v >= 0 && v < 1000 ? static_cast<int>(v) : 0;
    if (field(8, &v)) p.hdop = v;
    p.alt = field(9, &v) ? v : 0;
    if (f.size() > 11 && field(11, &v)) p.geoidM = v;
    p.checksumOk = false;
    if (star >= 0 && sentence.size() >= star + 3) {
        bool ok = false;
        const int given = sentence.mid(star + 1, 2).toInt(&ok, 16);
        int sum = 0;
        for (qsizetype i = 1; i < star; ++i) sum ^= sentence.at(i).unicode() & 0xFF;
        const bool hexDigits = sentence.at(star + 1).isLetterOrNumber() && sentence.at(star + 2).isLetterOrNumber();
        p.checksumOk = ok && hexDigits && given == sum;
    }
    return p;
}

} // namespace

Reading read(const QString& sentence) {
    const Marks m = marks(sentence);
    return {windowFields(sentence, m), recordPosition(sentence, m)};
}

QString takeSentence(QString& buffer, int* processed, const QString& condition) {
    if (buffer.isEmpty())
        return QString();  // nothing to find or cut (GPS off: every tick)
    // A receiver that sends $GPGGA is read exactly by the $GP talker; the
    // others count only while the buffer holds no $GPGGA sentence.
    static const QString gpsGga = QStringLiteral("$GPGGA,");
    const bool gpsTalker = buffer.contains(gpsGga);
    const qsizetype k = gpsTalker ? find(buffer, QLatin1Char('\n') + condition, 1)
                                  : findFirst(buffer, conditionTexts(condition));
    if (k != 0) {
        buffer.remove(0, k);
        *processed = 0;
    }
    static const QStringList allGga = [] {
        QStringList starts;
        for (const char* talker : kTalkers) starts << QLatin1Char('$') + QLatin1String(talker) + QStringLiteral("GGA,");
        return starts;
    }();
    const qsizetype p = gpsTalker ? find(buffer, gpsGga, 1) : findFirst(buffer, allGga);
    const qsizetype e = p != 0 ? lineEnd(buffer, p) : 0;
    if (*processed != 0 || p == 0 || e == 0) return QString();
    *processed = 1;
    return buffer.mid(p - 1, e - p);
}

Fields extract(const QString& s) { return read(s).fields; }

// These two functions must keep their operations in the written order; the
// file is compiled without floating-point contraction (no fused
// multiply-add), see CMakeLists.txt.
double decimalDegrees(double raw) {
    const double d = std::floor(raw / 100.0);
    const double m = raw - 100.0 * d;
    return d + std::floor((m / 60.0) * 1e7) / 1e7;
}

std::optional<records::Position> position(const QString& sentence) { return read(sentence).position; }

QString dmsText(double raw) {
    const double d = std::floor(raw / 100.0);
    const double mm = std::floor(raw - 100.0 * d);
    const double ss = std::floor(((raw - 100.0 * d) - mm) * 60.0 * 100.0) / 100.0;
    return numtext::signBlank(d) + QStringLiteral("度") + numtext::signBlank(mm) + QStringLiteral("分")
        + numtext::signBlank(ss) + QStringLiteral("秒");
}

} // namespace gga
