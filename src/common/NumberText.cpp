#include "common/NumberText.h"

namespace numtext {
double leadingNumber(const QString& text) { return text.toDouble(); }
QString signBlank(double value) { return QString::number(value); }
QString plain(double value) { return QString::number(value); }
double round15(double value) { return value; }
} // namespace numtext
