#pragma once
// The GPS port: opened and closed by GPS_On, received text appended to GpsBuffer.
#include <QByteArray>
#include <QObject>
#include <QString>

struct Window;

class GpsChannel : public QObject {
    Q_OBJECT
public:
    // GpsBuffer keeps at most this many characters, the newest, so that a
    // receiver that never sends the redisplay sentence cannot grow it
    // without end.
    static constexpr qsizetype kBufferLimit = 64 * 1024;

    explicit GpsChannel(Window& window);
    void GPS_On_Click();
    void MSComm2_OnComm();
    // The GPS port vanished while in use: GPS use is switched off, so no
    // stale position is shown or logged, and "ポート･設定確認" is shown.
    void MSComm2_Lost();

signals:
    // Text the GPS port delivered, with the instant of the read on the
    // microsecond clock and the port's baud rate: the fix track dates the
    // sentences by it.
    void textReceived(const QString& text, qint64 us, int baud);

private:
    void switchedOff();
    void setPortControlsEnabled(bool enabled);
    Window& f;
    QByteArray partial_;   // a character's first byte, its second still to come
    int baud_ = 0;         // of the open port
};
