#pragma once
// The settings file as text: the writer's fifteen lines and the reader's
// stream of fields taken three at a time.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace settingscodec {

// One value per line, in file order: Form1_Top, Form1_Left, Tx_Com, GPS_Com,
// GPS_Baudrate, GPSdata_clr, FSKTxTime, LoRaTxTime(0..5), TX_CnEnd.
struct Values {
    QString top, left, txCom, gpsCom, gpsBaudrate, gpsDataClr, fskTxTime;
    QStringList loRaTxTime;   // six entries
    QString txCnEnd;
};

// The whole file, each line ended by CR LF. A value holding a comma, a
// double quote, a line break or blanks at its ends is written in double
// quotes (inner quotes doubled) so that it reads back unchanged and cannot
// shift the fields of the following records; other values stand as they are.
QString write(const Values& v);

// The complete (key, value) records of a file, in order. Fields end at a
// comma or a line end; blanks around a field are dropped; a quoted field
// keeps its inner text. A record cut short at the end of the file is dropped.
QList<QPair<QString, QString>> read(const QString& text);

// Why a file's text is not one the writer could have made, so reading it
// may have lost the operator's values: bytes that are no code page 932 text
// (a file saved as UTF-16, say), or a double quote opening a field that is
// never closed (it takes the rest of the file). Empty when neither.
QString unreadableReason(const QString& text);

// A window position as written: the shortest text of a single-precision
// number.
QString positionText(double twips);

} // namespace settingscodec
