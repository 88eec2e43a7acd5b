#pragma once
// Reading and setting the datum point, with its file.
#include <QObject>
#include <QString>

class Dialogs;
struct FormState;
class QCheckBox;
class QLabel;
class QLineEdit;
class QWidget;

// What the datum point touches: the datum point and its corrections (its
// own), the position last taken (read), GPS使用 and the position boxes
// (read: which lines a datum file gets), GPSMessage for its reports, and
// the file dialogs with the window as their parent.
struct DatumView {
    explicit DatumView(FormState& st);
    QWidget* form = nullptr;
    Dialogs* dialogs = nullptr;
    QLabel* GPSMessage = nullptr;
    const QCheckBox* GPS_On = nullptr;
    const QLineEdit* Npos = nullptr;
    const QLineEdit* Epos = nullptr;
    const QLineEdit* Mpos = nullptr;
    double& DatumLatitude;
    double& DatumLongitude;
    double& DatumHeight;
    double& NorthCorrection;
    double& EastCorrection;
    const double& LatitudeDeg;
    const double& LongitudeDeg;
    const double& Altitude;
};

class DatumPoint : public QObject {
    Q_OBJECT
public:
    // Terse reports in GPSMessage: a datum file that could not be read (the
    // datum point is kept as it was) or not be written.
    static const QString kReadFailed;
    static const QString kWriteFailed;

    DatumPoint(const DatumView& view, QObject* parent);
    void Geten_ReadSW_Click();
    void Geten_SetSW_Click();
    // A datum file could not be saved since start-up.
    bool saveFailed() const { return saveFailed_; }

signals:
    // The datum point changed (read from a file, or set from the position).
    void datumChanged(double latitude, double longitude);

private:
    void report(const QString& message, const QString& reason = QString());
    DatumView f;
    bool saveFailed_ = false;
};
