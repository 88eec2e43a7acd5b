#include "common/NumberText.h"

#include <QLocale>
#include <cfloat>
#include <cmath>
#include <optional>

namespace numtext {

namespace {

// Blanks, tabs and line feeds are passed over wherever they stand inside the
// number, as the platform's conversion does (" - 1 2" reads as -12). A
// carriage return is not one of them: it ends the number like any other
// character.
bool isSkipped(QChar c) { return c == u' ' || c == u'\t' || c == u'\n'; }
bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Exponents beyond this many digits are all the same to a double; capping the
// collected digits keeps the conversion cheap on absurd input.
constexpr int kMaxExponentDigits = 6;

// The text for the toolkit's C-locale conversion ("-12.5e2"), or empty when
// the text has no number.
QString numberPart(const QString& text) {
    QString out;
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto skip = [&] { while (i < n && isSkipped(text.at(i))) ++i; };

    skip();
    if (i < n && (text.at(i) == u'-' || text.at(i) == u'+')) {
        if (text.at(i) == u'-') out += u'-';
        ++i;
    }
    bool digits = false, point = false;
    for (;; ++i) {
        skip();
        if (i >= n) break;
        const QChar c = text.at(i);
        if (isDigit(c)) { out += c; digits = true; }
        else if (c == u'.' && !point) { out += c; point = true; }
        else break;
    }
    if (!digits) return QString();

    // Exponent: E or e, an optional sign and at least one digit; otherwise the
    // number ends before the E.
    skip();
    if (i < n && (text.at(i) == u'E' || text.at(i) == u'e')) {
        qsizetype j = i + 1;
        auto skipJ = [&] { while (j < n && isSkipped(text.at(j))) ++j; };
        skipJ();
        QString exp = QStringLiteral("e");
        if (j < n && (text.at(j) == u'-' || text.at(j) == u'+')) { exp += text.at(j); ++j; }
        QString expDigits;
        bool sawDigit = false;
        for (;; ++j) {
            skipJ();
            if (j >= n || !isDigit(text.at(j))) break;
            sawDigit = true;
            if (expDigits.isEmpty() && text.at(j) == u'0') continue; // leading zeros
            if (expDigits.size() < kMaxExponentDigits + 1) expDigits += text.at(j);
        }
        if (sawDigit) {
            // Beyond a few digits every exponent overflows or underflows alike.
            if (expDigits.size() > kMaxExponentDigits) expDigits = QStringLiteral("999999");
            out += exp + (expDigits.isEmpty() ? QStringLiteral("0") : expDigits);
        }
    }
    return out;
}

// The common case read on every step (counters, RSSI values): an optional
// sign and up to 15 digits, blanks before them and nothing after. Its value
// is exact as a double, the same the general conversion gives; anything
// else (a point, an exponent, a letter, more digits) returns nothing.
std::optional<double> wholeNumber(const QString& text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && isSkipped(text.at(i))) ++i;
    bool negative = false;
    if (i < n && (text.at(i) == u'-' || text.at(i) == u'+')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    qint64 v = 0;
    int digits = 0;
    for (; i < n && isDigit(text.at(i)); ++i) {
        if (++digits > 15) return std::nullopt;
        v = v * 10 + (text.at(i).unicode() - u'0');
    }
    if (digits == 0 || i != n) return std::nullopt;
    return negative ? -double(v) : double(v);
}

} // namespace

double leadingNumber(const QString& text) {
    if (const auto v = wholeNumber(text)) return *v;
    const QString part = numberPart(text);
    if (part.isEmpty()) return 0.0;
    bool ok = false;
    double v = QLocale::c().toDouble(part, &ok);
    // Out of range: a magnitude too large for a double is held at the largest
    // finite value, so no infinity reaches the arithmetic and the texts; one
    // too small is 0 (the toolkit already gives 0 then).
    if (std::isinf(v)) v = std::signbit(v) ? -DBL_MAX : DBL_MAX;
    if (std::isnan(v)) v = 0.0;
    return v;
}

namespace {

// Up to 15 significant digits, trailing zeros dropped; an upper-case
// exponent with a sign and at least two digits ("1E+20", "1E-05") from 1E+15
// up and below 1E-04.
QString fifteen(double value) {
    if (std::isnan(value)) return QStringLiteral("nan");
    if (std::isinf(value)) return value < 0 ? QStringLiteral("-inf") : QStringLiteral("inf");
    if (value == 0.0) return QStringLiteral("0");   // also -0
    // A whole number below 1E+15 is its digits, as the general form gives
    // it, without the general conversion's cost.
    if (std::abs(value) < 1e15 && value == std::trunc(value)) return QString::number(qint64(value));
    return QString::number(value, 'G', 15);
}

} // namespace

QString signBlank(double value) {
    QString t = fifteen(value);
    const bool negative = t.startsWith(u'-');
    if (negative) t.remove(0, 1);
    if (t.startsWith(QLatin1String("0."))) t.remove(0, 1);
    return (negative ? QStringLiteral("-") : QStringLiteral(" ")) + t;
}

QString plain(double value) { return fifteen(value); }

double round15(double value) {
    if (!std::isfinite(value)) return value;
    return leadingNumber(plain(value));
}

} // namespace numtext
