#pragma once
// The GPS timer tick: takes $GPGGA sentences from GpsBuffer and shows the position and distance.
#include <QObject>
#include <QString>

#include "gps/FixTrack.h"
#include "gps/Gga.h"
#include "records/Exchange.h"

#include <optional>

struct FormState;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class SerialPort;
class Timer;

// What the GPS tick touches: the GPS text buffer and its processed flag,
// the position figures it takes from a sentence (its own), the datum point
// (read); the GPS text box, the position, satellite and distance boxes it
// writes; GPS使用, the height switch and the redisplay condition (read);
// the GPS port (read: open or not) and its own timer.
struct GgaView {
    explicit GgaView(FormState& st);
    Timer* GPSTimer = nullptr;
    const SerialPort* MSComm2 = nullptr;
    const QCheckBox* GPS_On = nullptr;
    const QCheckBox* Check2 = nullptr;
    const QComboBox* GPSdata_clr = nullptr;
    QPlainTextEdit* GPSdataDisp = nullptr;
    QLineEdit* GPposition = nullptr;
    QLineEdit* Npos = nullptr;
    QLineEdit* Epos = nullptr;
    QLineEdit* Mpos = nullptr;
    QLineEdit* EiseiN = nullptr;
    QLineEdit* NposGmap = nullptr;
    QLineEdit* EposGmap = nullptr;
    QLineEdit* Nposition = nullptr;
    QLineEdit* Eposition = nullptr;
    QLineEdit* WGS84_Kyori = nullptr;
    QString& GpsBuffer;
    int& GgaProcessed;
    double& LatitudeRaw;
    double& LongitudeRaw;
    double& Altitude;
    double& LatitudeDeg;
    double& LongitudeDeg;
    const double& DatumLatitude;
    const double& DatumLongitude;
    const double& DatumHeight;
};

class GgaProcessor : public QObject {
    Q_OBJECT
public:
    GgaProcessor(const GgaView& view, QObject* parent);
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
    std::optional<records::Position> position() const;

    // Text from the GPS port at an instant (GpsChannel::textReceived): the
    // fix track's input.
    void received(const QString& text, qint64 us, int baud);
    // GPS使用 switched: the track starts afresh when it goes off.
    void gpsSwitched(bool on);
    // The position at a microsecond instant from the fixes around it, with
    // the distance from the datum point when one is set (FixTrack::at).
    gps::PositionAt positionAt(std::int64_t us) const;
    const gps::FixTrack& track() const { return track_; }

    // The texts of NposGmap, EposGmap and Mpos, as the map logs carry them:
    // kept equal to the boxes through their change signals (the tick's
    // sentences, GPS使用 going off, a position the operator types).
    struct MapTexts {
        QString latitude;
        QString longitude;
        QString altitude;
    };
    const MapTexts& mapTexts() const { return mapTexts_; }

    // How the tick reads a sentence (gga::read; a test counts the readings).
    using Reader = gga::Reading (*)(const QString& sentence);
    void setReader(Reader reader) { read_ = reader; }

signals:
    // A sentence with a usable position (a fix, a good checksum) was taken.
    void positionTaken(const records::Position& p);

private:
    bool showBuffer();  // true when the box was given new text
    void showSentence(const QString& sentence);
    // Metres from the datum point, the window's and the records' alike:
    // none without a datum point; with 高さを含む the height difference of
    // the altitude and the datum height, each taken at 15 significant digits.
    std::optional<double> distanceFromDatum(double lat, double lon, double alt) const;
    GgaView f;
    QString shownBuffer_;      // what GPSdataDisp was last given
    int shownRevision_ = -1;   // its document's revision just after
    std::optional<records::Position> position_;
    MapTexts mapTexts_;
    Reader read_ = gga::read;
    gps::FixTrack track_;
};
