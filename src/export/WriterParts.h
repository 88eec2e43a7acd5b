#pragma once
// Pieces the format writers share: text escaping, number texts, the
// outcome of an exchange within its layer, and a spool for what a format
// writes after the records it comes from.
#include "export/Writers.h"

#include <QByteArray>
#include <QIODevice>
#include <QTemporaryFile>

namespace exportdata::parts {

// A JSON string, with <, >, & and U+2028/9 escaped too, so that the text
// can stand inside an HTML script.
void jsonString(QByteArray& out, const QString& s);
// Text for XML content and attribute values.
void xmlText(QByteArray& out, const QString& s);
// Shortest decimal text; "null" for a non-finite value.
QByteArray number(double v);
inline QByteArray number(int v) { return QByteArray::number(v); }
inline QByteArray number(std::int64_t v) { return QByteArray::number(qlonglong(v)); }
// A real number that reads as one (a decimal point even when whole, "47.0"),
// so that GIS tools type the field Real however its values fall.
QByteArray real(double v);
QByteArray degrees(double v);              // degreesText as bytes

// ISO 8601 with milliseconds and the UTC offset; empty when invalid.
QString localTime(const QDateTime& t);
// ISO 8601 in UTC with Z (GPX); empty when invalid.
QString utcTime(const QDateTime& t);

Outcome outcomeOf(const records::Exchange& e, const Survey::LayerInfo& layer);
QString colourOf(Outcome o, std::optional<int> farRssi, const LevelScale& scale);

// Height above the WGS84 ellipsoid: altitude plus geoid separation; empty
// without the separation.
std::optional<double> ellipsoidHeight(const records::Position& p);

// Bytes written now, to be copied out later (a disk file, so memory stays flat).
class Spool {
public:
    bool append(const QByteArray& bytes);
    bool copyTo(QIODevice& out);   // and empties the spool
    bool empty() const { return size_ == 0; }

private:
    std::unique_ptr<QTemporaryFile> file_;
    qint64 size_ = 0;
};

// Output with one check at the end: buffered appends, flushed in large
// writes.
class Out {
public:
    explicit Out(QIODevice& device) : device_(device) {}
    QByteArray& buffer() { return buffer_; }
    void flushIfLarge() {
        if (buffer_.size() >= (1 << 16))
            flush();
    }
    void flush() {
        if (!buffer_.isEmpty() && device_.write(buffer_) != buffer_.size())
            ok_ = false;
        buffer_.clear();
    }
    bool copy(Spool& s) {
        flush();
        return s.copyTo(device_) || (ok_ = false);
    }
    bool finish() {
        flush();
        return ok_;
    }

private:
    QIODevice& device_;
    QByteArray buffer_;
    bool ok_ = true;
};

std::unique_ptr<ExportWriter> geoJsonWriter(QIODevice& out, const Survey& survey);
std::unique_ptr<ExportWriter> csvWriter(QIODevice& out, const Survey& survey, CsvEncoding encoding);
std::unique_ptr<ExportWriter> kmlWriter(QIODevice& out, const Survey& survey);
std::unique_ptr<ExportWriter> gpxWriter(QIODevice& out, const Survey& survey);
std::unique_ptr<ExportWriter> htmlWriter(QIODevice& out, const Survey& survey, const ExportOptions& options = {});

} // namespace exportdata::parts
