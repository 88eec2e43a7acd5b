// The writer of each format, HTML among them: in the library that carries
// the HTML map (and Leaflet), so that the other formats build without it.
#include "export/WriterParts.h"
#include "export/Writers.h"

#include <QBuffer>

namespace exportdata {

std::unique_ptr<ExportWriter> makeWriter(Format format, QIODevice& out, const Survey& survey,
                                         const ExportOptions& options) {
    switch (format) {
    case Format::GeoJson: return parts::geoJsonWriter(out, survey);
    case Format::Csv: return parts::csvWriter(out, survey, options.csvEncoding);
    case Format::Kml: return parts::kmlWriter(out, survey);
    case Format::Gpx: return parts::gpxWriter(out, survey);
    case Format::Html: return parts::htmlWriter(out, survey, options);
    }
    return nullptr;
}

QByteArray exportRuns(Format format, const Runs& runs, const ExportOptions& options) {
    Survey survey;
    runs.replay(survey);
    survey.finish();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const std::unique_ptr<ExportWriter> writer = makeWriter(format, buffer, survey, options);
    runs.replay(*writer);
    writer->finish();
    return buffer.data();
}

} // namespace exportdata
