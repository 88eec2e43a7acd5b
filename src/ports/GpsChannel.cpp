#include "ports/GpsChannel.h"

#include "ports/PortTrouble.h"

#include "common/TextFile.h"
#include "form/Window.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

GpsChannel::GpsChannel(Window& window) : QObject(&window.form), f(window) {
    // toggled: also when the program changes the box.
}

void GpsChannel::setPortControlsEnabled(bool enabled) {
    f.ui.GPS_Port->setEnabled(enabled);
    f.ui.GPS_Baudrate->setEnabled(enabled);
    f.ui.GPS_SelectSW->setEnabled(enabled);
}

void GpsChannel::GPS_On_Click() {
    if (!f.ui.GPS_On->isChecked()) {
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
        qint32 baud = f.ui.GPS_Baudrate->currentText().trimmed().toInt(&whole);
        if (!whole || baud < 0) baud = 0;
        if (!f.MSComm2->open(f.ui.GPS_Port->text(), baud)) {
            // Unchecking runs the switched-off path (from inside this
            // handler, through toggled) before the message is written.
            f.ui.GPS_On->setChecked(false);
            setPortControlsEnabled(true);
            f.ui.GPSMessage->setText(QStringLiteral("ポート･設定確認"));
            porttrouble::tell(f.ui.GPS_Port, *f.MSComm2, f.ui.GPSMessage->text());
            return;
        }
        porttrouble::clear(f.ui.GPS_Port);
        setPortControlsEnabled(false);
        f.st.GgaProcessed = 0;
        baud_ = baud;
    }
    f.ui.GPSMessage->setText(QString());
}

void GpsChannel::switchedOff() {
    if (f.MSComm2->isOpen()) f.MSComm2->close();
    setPortControlsEnabled(true);
    f.st.GpsBuffer.clear();
    partial_.clear();
    for (QLineEdit* box : {f.ui.GPposition, f.ui.Npos, f.ui.NposGmap, f.ui.Epos, f.ui.EposGmap, f.ui.Mpos})
        box->clear();
    f.ui.GPSMessage->setText(QString());
}

void GpsChannel::MSComm2_OnComm() {
    // Read in code page 932 like every text of the program; a byte that is
    // no character of its own is kept as its stand-in, so the logs get back
    // exactly the bytes the receiver sent.
    // The instant is taken before anything else, as near to the bytes'
    // arrival as this thread sees it.
    const qint64 us = f.svc.clock->microseconds();
    const QString text = textfile::decodeReceived(&partial_, f.MSComm2->readAll());
    f.st.GpsBuffer += text;
    if (f.st.GpsBuffer.size() > kBufferLimit)
        f.st.GpsBuffer.remove(0, f.st.GpsBuffer.size() - kBufferLimit);
    if (!text.isEmpty())
        emit textReceived(text, us, baud_);
}

void GpsChannel::MSComm2_Lost() {
    if (!f.ui.GPS_On->isChecked())
        return;
    // Unchecking runs the switched-off path: port controls unlocked, buffer
    // and position boxes emptied, so the map logs stop instead of repeating
    // the last position as if it were current.
    f.ui.GPS_On->setChecked(false);
    f.ui.GPSMessage->setText(QStringLiteral("ポート･設定確認"));
}
