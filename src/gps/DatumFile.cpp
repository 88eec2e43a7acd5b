#include "gps/DatumFile.h"

#include "common/NumberText.h"

#include <QRegularExpression>
#include <QStringList>

namespace datumfile {

namespace {
const QString kCrLf = QStringLiteral("\r\n");

QString line(const char* key, double value, const char* comment) {
    return QLatin1String(key) + numtext::signBlank(value) + QLatin1String(comment) + kCrLf;
}
} // namespace

QString format(const Datum& d, Lines lines) {
    QString text = QStringLiteral("GPS Position,Datum point,Comment") + kCrLf;
    if (lines.latitude) text += line("N: , ", d.latitude, ", 'Latitude-N  (Dec)");
    if (lines.longitude) text += line("E: , ", d.longitude, ", 'Longitude-E (Dec)");
    if (lines.height) text += line("M: , ", d.height, ", 'Heigt-M(m)");
    if (d.northCorrection != 0) text += line("NC:, ", d.northCorrection, ", 'N Correction [km/d]");
    if (d.eastCorrection != 0) text += line("EC:, ", d.eastCorrection, ", 'E Correction [km/d]");
    return text;
}

bool apply(const QString& text, Datum* datum, QString* error) {
    // Line ends at the very end of the file close the last line; they do not
    // open an empty one.
    QString body = text;
    while (body.endsWith(u'\n') || body.endsWith(u'\r')) body.chop(1);
    QStringList fields;
    if (!body.isEmpty()) {
        static const QRegularExpression separator(QStringLiteral(",|\\r\\n|\\r|\\n"));
        fields = body.split(separator);
    }
    if (fields.size() % 3 != 0) {
        if (error) *error = QStringLiteral("原点ファイル異常");
        return false;
    }
    Datum next = *datum;
    for (qsizetype i = 0; i < fields.size(); i += 3) {
        const QString key = fields.at(i).trimmed();
        const double value = numtext::leadingNumber(fields.at(i + 1).trimmed());
        if (key == QLatin1String("N:")) next.latitude = value;
        else if (key == QLatin1String("E:")) next.longitude = value;
        else if (key == QLatin1String("M:")) next.height = value;
        else if (key == QLatin1String("NC:")) { if (value != 0) next.northCorrection = value; }
        else if (key == QLatin1String("EC:")) { if (value != 0) next.eastCorrection = value; }
    }
    *datum = next;
    return true;
}

} // namespace datumfile
