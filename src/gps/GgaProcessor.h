#pragma once
// The GPS timer tick: takes $GPGGA sentences from GpsBuffer and shows the position and distance.
#include <QObject>
#include <QString>

class Form1;

class GgaProcessor : public QObject {
    Q_OBJECT
public:
    explicit GgaProcessor(Form1& form);
    void GPSTimer_Timer();

private:
    void showBuffer();
    void showSentence(const QString& sentence);
    void showDistance();
    Form1& f;
    QString shownBuffer_;      // what GPSdataDisp was last given
    int shownRevision_ = -1;   // its document's revision just after
};
