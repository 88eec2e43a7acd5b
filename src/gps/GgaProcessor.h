#pragma once
// The GPS timer tick: takes $GPGGA sentences from GpsBuffer and shows the position and distance.
#include <QObject>
#include <QString>

#include "gps/FixTrack.h"
#include "records/Exchange.h"

#include <optional>

struct Window;

class GgaProcessor : public QObject {
    Q_OBJECT
public:
    explicit GgaProcessor(Window& window);
    void GPSTimer_Timer();
    // Runs the GPS timer again after it rested (a tick with nothing to do
    // while GPS is off): connected to everything that can give a tick
    // something to do (GPS switched on or off, the box edited, the
    // redisplay condition changed, bytes from the GPS port).
    void wake();

    // The position the last GGA sentence taken states, of any talker and
    // hemisphere, with its fix quality, satellites, HDOP, checksum and the
    // distance from the datum point when one is set: what an Exchange record
    // carries. Empty before the first sentence with a position.
    const std::optional<records::Position>& position() const { return position_; }

    // Text from the GPS port at an instant (GpsChannel::textReceived): the
    // fix track's input.
    void received(const QString& text, qint64 us, int baud);
    // GPS使用 switched: the track starts afresh when it goes off.
    void gpsSwitched(bool on);
    // The position at a microsecond instant from the fixes around it, with
    // the distance from the datum point when one is set (FixTrack::at).
    gps::PositionAt positionAt(std::int64_t us) const;
    const gps::FixTrack& track() const { return track_; }

signals:
    // A sentence with a usable position (a fix, a good checksum) was taken.
    void positionTaken(const records::Position& p);

private:
    bool showBuffer();  // true when the box was given new text
    void showSentence(const QString& sentence);
    void showDistance();
    void setDistance(records::Position& p) const;
    Window& f;
    QString shownBuffer_;      // what GPSdataDisp was last given
    int shownRevision_ = -1;   // its document's revision just after
    std::optional<records::Position> position_;
    gps::FixTrack track_;
};
