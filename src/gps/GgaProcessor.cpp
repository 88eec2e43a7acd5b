#include "gps/GgaProcessor.h"

#include "common/NumberText.h"
#include "form/Window.h"
#include "gps/Distance.h"
#include "gps/Gga.h"
#include "platform/SerialPort.h"
#include "platform/Timer.h"

#include <QTextCursor>
#include <QTextDocument>
#include <cmath>

GgaProcessor::GgaProcessor(Window& window) : QObject(&window.form), f(window) {
    // The box is rewritten ten times a second: no undo history builds up.
    f.ui.GPSdataDisp->document()->setUndoRedoEnabled(false);
}

void GgaProcessor::GPSTimer_Timer() {
    const int processedBefore = f.st.GgaProcessed;
    const qsizetype bufferBefore = f.st.GpsBuffer.size();  // the sentence search only ever cuts the front
    const bool shown = showBuffer();
    const QString sentence = gga::takeSentence(f.st.GpsBuffer, &f.st.GgaProcessed, f.ui.GPSdata_clr->currentText());
    if (!sentence.isEmpty()) {
        showSentence(sentence);
        return;
    }
    // A tick that changed nothing is a function of the buffer, the processed
    // flag, the redisplay condition and the box: while the GPS port is closed
    // and GPS is not in use, every further tick would change nothing either,
    // so the timer rests (an idle window then has no wake-up of its own)
    // until wake() tells it one of those may have changed.
    if (!shown && f.st.GgaProcessed == processedBefore && f.st.GpsBuffer.size() == bufferBefore
        && !f.MSComm2->isOpen() && !f.ui.GPS_On->isChecked())
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
    const QString& buffer = f.st.GpsBuffer;
    QTextDocument* doc = f.ui.GPSdataDisp->document();
    const bool untouched = doc->revision() == shownRevision_ && doc->isEmpty() == shownBuffer_.isEmpty();
    if (untouched && buffer == shownBuffer_)
        return false;
    if (untouched && !shownBuffer_.isEmpty() && buffer.size() > shownBuffer_.size() && buffer.startsWith(shownBuffer_)
        && !(shownBuffer_.endsWith(u'\r') && buffer.at(shownBuffer_.size()) == u'\n')) {
        QTextCursor end(doc);
        end.movePosition(QTextCursor::End);
        end.insertText(buffer.mid(shownBuffer_.size()));
    } else {
        f.ui.GPSdataDisp->setPlainText(buffer);
    }
    shownBuffer_ = buffer;
    shownRevision_ = doc->revision();
    return true;
}

void GgaProcessor::received(const QString& text, qint64 us, int baud) { track_.received(text, us, baud); }

void GgaProcessor::gpsSwitched(bool on) {
    if (!on)
        track_.clear();
}

void GgaProcessor::setDistance(records::Position& p) const {
    if (f.st.DatumLatitude != 0 && f.st.DatumLongitude != 0) {
        const double h = f.ui.Check2->isChecked() ? std::fabs(p.alt - f.st.DatumHeight) : 0.0;
        p.distanceM = hubeny::distance(p.lat, p.lon, f.st.DatumLatitude, f.st.DatumLongitude, h);
    }
}

gps::PositionAt GgaProcessor::positionAt(std::int64_t us) const {
    gps::PositionAt at = track_.at(us);
    if (at.position)
        setDistance(*at.position);
    return at;
}

void GgaProcessor::showSentence(const QString& sentence) {
    f.ui.GPposition->setText(sentence);
    position_ = gga::position(sentence);
    if (position_)
        setDistance(*position_);
    if (position_ && position_->usable())
        emit positionTaken(*position_);
    const gga::Fields fields = gga::extract(sentence);
    if (!fields.positioned) return;

    FormState& st = f.st;
    st.LatitudeRaw = numtext::leadingNumber(fields.latitude);
    f.ui.Npos->setText(numtext::signBlank(st.LatitudeRaw));
    st.LongitudeRaw = numtext::leadingNumber(fields.longitude);
    f.ui.Epos->setText(numtext::signBlank(st.LongitudeRaw));
    st.Altitude = numtext::leadingNumber(fields.altitude);
    f.ui.Mpos->setText(numtext::signBlank(st.Altitude));
    f.ui.EiseiN->setText(fields.satellites);

    st.LatitudeDeg = gga::decimalDegrees(st.LatitudeRaw);
    st.LongitudeDeg = gga::decimalDegrees(st.LongitudeRaw);
    f.ui.NposGmap->setText(numtext::signBlank(st.LatitudeDeg));
    f.ui.EposGmap->setText(numtext::signBlank(st.LongitudeDeg));

    f.ui.Nposition->setText(gga::dmsText(st.LatitudeRaw));
    f.ui.Eposition->setText(gga::dmsText(st.LongitudeRaw));

    showDistance();
}

void GgaProcessor::showDistance() {
    const FormState& st = f.st;
    if (st.DatumLatitude == 0 || st.DatumLongitude == 0 || f.ui.NposGmap->text().isEmpty()
        || f.ui.EposGmap->text().isEmpty()) {
        f.ui.WGS84_Kyori->setText(QString());
        return;
    }
    const double h = f.ui.Check2->isChecked()
        ? std::fabs(numtext::round15(st.Altitude) - numtext::round15(st.DatumHeight)) : 0.0;
    const double d = hubeny::distance(st.LatitudeDeg, st.LongitudeDeg, st.DatumLatitude, st.DatumLongitude, h);
    f.ui.WGS84_Kyori->setText(hubeny::metresText(d));
}
