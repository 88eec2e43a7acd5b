#include "gps/GgaProcessor.h"

#include "common/NumberText.h"
#include "gps/Distance.h"
#include "gps/Gga.h"
#include "platform/SerialPort.h"
#include "platform/Timer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <cmath>

GgaProcessor::GgaProcessor(const GgaView& view, QObject* parent) : QObject(parent), f(view) {
    // The box is rewritten ten times a second: no undo history builds up.
    f.GPSdataDisp->document()->setUndoRedoEnabled(false);
    // The map logs carry what the three boxes show, whoever wrote it: the
    // tick, GPS使用 emptying them, or the operator typing a position.
    mapTexts_ = {f.NposGmap->text(), f.EposGmap->text(), f.Mpos->text()};
    connect(f.NposGmap, &QLineEdit::textChanged, this, [this](const QString& t) { mapTexts_.latitude = t; });
    connect(f.EposGmap, &QLineEdit::textChanged, this, [this](const QString& t) { mapTexts_.longitude = t; });
    connect(f.Mpos, &QLineEdit::textChanged, this, [this](const QString& t) { mapTexts_.altitude = t; });
}

void GgaProcessor::GPSTimer_Timer() {
    const int processedBefore = f.GgaProcessed;
    const qsizetype bufferBefore = f.GpsBuffer.size();  // the sentence search only ever cuts the front
    const bool shown = showBuffer();
    const QString sentence = gga::takeSentence(f.GpsBuffer, &f.GgaProcessed, f.GPSdata_clr->currentText());
    if (!sentence.isEmpty()) {
        showSentence(sentence);
        return;
    }
    // A tick that changed nothing is a function of the buffer, the processed
    // flag, the redisplay condition and the box: while the GPS port is closed
    // and GPS is not in use, every further tick would change nothing either,
    // so the timer rests (an idle window then has no wake-up of its own)
    // until wake() tells it one of those may have changed.
    if (!shown && f.GgaProcessed == processedBefore && f.GpsBuffer.size() == bufferBefore
        && !f.MSComm2->isOpen() && !f.GPS_On->isChecked())
        f.GPSTimer->setEnabled(false);
}

void GgaProcessor::wake() {
    if (!f.GPSTimer->isEnabled())
        f.GPSTimer->setEnabled(true);
}

bool GgaProcessor::showBuffer() {
    // The whole buffer is shown every tick. An unchanged text is not laid
    // out again, and text that only grew (the usual tick) is added at the
    // end rather than laid out whole, so the cost follows the bytes that
    // arrived, not the buffer's length. The whole text is set afresh when
    // the buffer was cut, when the box was edited since, or when a CR LF
    // would be split between the two (it must stay one line end).
    const QString& buffer = f.GpsBuffer;
    QTextDocument* doc = f.GPSdataDisp->document();
    const bool untouched = doc->revision() == shownRevision_ && doc->isEmpty() == shownBuffer_.isEmpty();
    if (untouched && buffer == shownBuffer_)
        return false;
    if (untouched && !shownBuffer_.isEmpty() && buffer.size() > shownBuffer_.size() && buffer.startsWith(shownBuffer_)
        && !(shownBuffer_.endsWith(u'\r') && buffer.at(shownBuffer_.size()) == u'\n')) {
        QTextCursor end(doc);
        end.movePosition(QTextCursor::End);
        end.insertText(buffer.mid(shownBuffer_.size()));
    } else {
        f.GPSdataDisp->setPlainText(buffer);
    }
    shownBuffer_ = buffer;
    shownRevision_ = doc->revision();
    return true;
}

void GgaProcessor::received(const QString& text, qint64 us, int baud) { track_.received(text, us, baud); }

void GgaProcessor::gpsSwitched(bool on) {
    if (!on) {
        track_.clear();
    }
}

std::optional<double> GgaProcessor::distanceFromDatum(double lat, double lon, double alt) const {
    if (f.DatumLatitude == 0 || f.DatumLongitude == 0)
        return std::nullopt;
    const double h = f.Check2->isChecked() ? std::fabs(numtext::round15(alt) - numtext::round15(f.DatumHeight)) : 0.0;
    return hubeny::distance(lat, lon, f.DatumLatitude, f.DatumLongitude, h);
}

gps::PositionAt GgaProcessor::positionAt(std::int64_t us) const {
    gps::PositionAt at = track_.at(us);
    if (at.position)
        at.position->distanceM = distanceFromDatum(at.position->lat, at.position->lon, at.position->alt);
    return at;
}

std::optional<records::Position> GgaProcessor::position() const {
    std::optional<records::Position> p = position_;
    if (p)
        p->distanceM = distanceFromDatum(p->lat, p->lon, p->alt);
    return p;
}

void GgaProcessor::showSentence(const QString& sentence) {
    f.GPposition->setText(sentence);
    // One reading gives the record's position and the window's texts.
    const gga::Reading reading = read_(sentence);
    position_ = reading.position;
    if (position_ && position_->usable())
        emit positionTaken(*position_);
    const gga::Fields& fields = reading.fields;
    if (!fields.positioned) return;

    f.LatitudeRaw = numtext::leadingNumber(fields.latitude);
    f.Npos->setText(numtext::signBlank(f.LatitudeRaw));
    f.LongitudeRaw = numtext::leadingNumber(fields.longitude);
    f.Epos->setText(numtext::signBlank(f.LongitudeRaw));
    f.Altitude = numtext::leadingNumber(fields.altitude);
    f.Mpos->setText(numtext::signBlank(f.Altitude));
    f.EiseiN->setText(fields.satellites);

    f.LatitudeDeg = gga::decimalDegrees(f.LatitudeRaw);
    f.LongitudeDeg = gga::decimalDegrees(f.LongitudeRaw);
    f.NposGmap->setText(numtext::signBlank(f.LatitudeDeg));
    f.EposGmap->setText(numtext::signBlank(f.LongitudeDeg));

    f.Nposition->setText(gga::dmsText(f.LatitudeRaw));
    f.Eposition->setText(gga::dmsText(f.LongitudeRaw));

    // The distance from the datum point (none without one: the box empty).
    const std::optional<double> d = distanceFromDatum(f.LatitudeDeg, f.LongitudeDeg, f.Altitude);
    f.WGS84_Kyori->setText(d ? hubeny::metresText(*d) : QString());
}
