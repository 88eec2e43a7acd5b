#include "ports/GpsChannel.h"

#include "common/TextFile.h"
#include "form/FormState.h"
#include "platform/Clock.h"
#include "platform/PortTrouble.h"
#include "platform/SerialPort.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

GpsChannel::GpsChannel(const GpsView& view, QObject* parent) : QObject(parent), f(view) {}

void GpsChannel::setPortControlsEnabled(bool enabled) {
    f.GPS_Port->setEnabled(enabled);
    f.GPS_Baudrate->setEnabled(enabled);
    f.GPS_SelectSW->setEnabled(enabled);
}

void GpsChannel::runLocksPorts() { setPortControlsEnabled(false); }

void GpsChannel::runFreesPorts() {
    if (!f.GPS_On->isChecked())
        setPortControlsEnabled(true);
}

void GpsChannel::radioListOpened() { f.GPS_SelectSW->setEnabled(false); }

void GpsChannel::radioListClosed() { f.GPS_SelectSW->setEnabled(true); }

void GpsChannel::portChosen() { f.GPS_SelectSW->setEnabled(!f.GPS_On->isChecked()); }

void GpsChannel::GPS_On_Click() {
    if (!f.GPS_On->isChecked()) {
        switchedOff();
        return;
    }
    if (!f.MSComm2->isOpen()) {
        // The speed is a whole number or nothing: "9600x" or "9.6e3" is
        // handed on as 0, which a serial port refuses like a speed it does
        // not take (a source without a speed, on the network, ignores it),
        // and a number beyond 32 bits fails the reading instead of
        // overflowing.
        bool whole = false;
        qint32 baud = f.GPS_Baudrate->currentText().trimmed().toInt(&whole);
        if (!whole || baud < 0) baud = 0;
        if (!f.MSComm2->open(f.GPS_Port->text(), baud)) {
            // Unchecking runs the switched-off path (from inside this
            // handler, through toggled) before the message is written.
            f.GPS_On->setChecked(false);
            setPortControlsEnabled(true);
            f.GPSMessage->setText(QStringLiteral("ポート･設定確認"));
            porttrouble::tell(f.GPS_Port, *f.MSComm2, f.GPSMessage->text());
            return;
        }
        porttrouble::clear(f.GPS_Port);
        setPortControlsEnabled(false);
        f.GgaProcessed = 0;
        baud_ = baud;
    }
    f.GPSMessage->setText(QString());
}

void GpsChannel::switchedOff() {
    if (f.MSComm2->isOpen()) f.MSComm2->close();
    setPortControlsEnabled(true);
    f.GpsBuffer.clear();
    partial_.clear();
    for (QLineEdit* box : {f.GPposition, f.Npos, f.NposGmap, f.Epos, f.EposGmap, f.Mpos})
        box->clear();
    f.GPSMessage->setText(QString());
}

void GpsChannel::MSComm2_OnComm() {
    // Read in code page 932 like every text of the program; a byte that is
    // no character of its own is kept as its stand-in, so the logs get back
    // exactly the bytes the receiver sent.
    // The instant is taken before anything else, as near to the bytes'
    // arrival as this thread sees it.
    const qint64 us = f.clock->microseconds();
    const QString text = textfile::decodeReceived(&partial_, f.MSComm2->readAll());
    f.GpsBuffer += text;
    if (f.GpsBuffer.size() > kBufferLimit)
        f.GpsBuffer.remove(0, f.GpsBuffer.size() - kBufferLimit);
    if (!text.isEmpty())
        emit textReceived(text, us, baud_);
}

void GpsChannel::MSComm2_Lost() {
    if (!f.GPS_On->isChecked())
        return;
    // Unchecking runs the switched-off path: port controls unlocked, buffer
    // and position boxes emptied, so the map logs stop instead of repeating
    // the last position as if it were current.
    f.GPS_On->setChecked(false);
    f.GPSMessage->setText(QStringLiteral("ポート･設定確認"));
}
