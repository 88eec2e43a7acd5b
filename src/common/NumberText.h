#pragma once
// Numbers read from and written to texts, the way every control text and
// file field of the program is read and written.
#include <QString>

namespace numtext {

// Leading-number rule: skip blanks, tabs and line feeds, read an optional
// sign, digits with at most one decimal point and an optional exponent, stop
// at the first other character; no number gives 0 ("5000ms" gives 5000).
double leadingNumber(const QString& text);

// Sign-blank text: at most 15 significant digits, trailing zeros dropped,
// one blank before a value that is zero or positive, "-" before a negative
// one, no zero before the point below 1 (0.5 gives " .5").
QString signBlank(double value);

// Plain text: shortest text up to 15 significant digits, no leading blank,
// a zero before the point below 1 (0.5 gives "0.5").
QString plain(double value);

// A value taken at 15 significant digits: converted to its decimal text and
// read back.
double round15(double value);

} // namespace numtext
