#pragma once
// The GPS port: opened and closed by GPS_On, received text appended to
// GpsBuffer. It is the one owner of the GPS port's controls (GPS_Port,
// GPS_Baudrate, GPS_SelectSW): they are locked while the port is in use,
// and the run and the port list tell it, through their signals, when they
// lock or free them too.
#include <QByteArray>
#include <QObject>
#include <QString>

class Clock;
struct FormState;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class SerialPort;

// What the GPS channel touches: the GPS port, GPS使用, the port's box,
// speed and list button (its own to lock), GPSMessage, the position boxes
// it empties when GPS goes off; the GPS text buffer and the processed flag.
struct GpsView {
    explicit GpsView(FormState& st);
    SerialPort* MSComm2 = nullptr;
    Clock* clock = nullptr;
    QCheckBox* GPS_On = nullptr;
    QLineEdit* GPS_Port = nullptr;
    QComboBox* GPS_Baudrate = nullptr;
    QPushButton* GPS_SelectSW = nullptr;
    QLabel* GPSMessage = nullptr;
    QLineEdit* GPposition = nullptr;
    QLineEdit* Npos = nullptr;
    QLineEdit* NposGmap = nullptr;
    QLineEdit* Epos = nullptr;
    QLineEdit* EposGmap = nullptr;
    QLineEdit* Mpos = nullptr;
    QString& GpsBuffer;
    int& GgaProcessed;
};

class GpsChannel : public QObject {
    Q_OBJECT
public:
    // GpsBuffer keeps at most this many characters, the newest, so that a
    // receiver that never sends the redisplay sentence cannot grow it
    // without end.
    static constexpr qsizetype kBufferLimit = 64 * 1024;

    GpsChannel(const GpsView& view, QObject* parent);
    void GPS_On_Click();
    void MSComm2_OnComm();
    // The GPS port vanished while in use: GPS use is switched off, so no
    // stale position is shown or logged, and "ポート･設定確認" is shown.
    void MSComm2_Lost();

    // The run opened the radio port: the GPS port's choice is locked with
    // it, whether or not GPS is in use.
    void runLocksPorts();
    // The run's stop completed: the GPS port's choice is free again unless
    // GPS is in use.
    void runFreesPorts();
    // The shared port list: opened for the radio port it takes the GPS
    // port's list button; closed with the radio port's button it gives it
    // back, whatever GPS使用 says; closed by a choice it gives it back
    // unless GPS is in use.
    void radioListOpened();
    void radioListClosed();
    void portChosen();

signals:
    // Text the GPS port delivered, with the instant of the read on the
    // microsecond clock and the port's baud rate: the fix track dates the
    // sentences by it.
    void textReceived(const QString& text, qint64 us, int baud);

private:
    void switchedOff();
    void setPortControlsEnabled(bool enabled);
    GpsView f;
    QByteArray partial_;   // a character's first byte, its second still to come
    int baud_ = 0;         // of the open port
};
