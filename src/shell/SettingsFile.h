#pragma once
// Reads the settings file into the controls at start-up and writes it from
// them at shutdown.
#include <QHash>
#include <QObject>
#include <QPair>
#include <QSize>
#include <QString>

#include <array>

struct FormState;
class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

// What the settings file reads into and writes from: the window's place,
// the port boxes, the GPS speed and redisplay condition, the period and
// count fields; Message for its own failures; the minimum periods (read
// only); where the file lives.
struct SettingsView {
    explicit SettingsView(const FormState& st);
    QWidget* form = nullptr;
    QLineEdit* Com_Port = nullptr;
    QLineEdit* GPS_Port = nullptr;
    QComboBox* GPS_Baudrate = nullptr;
    QComboBox* GPSdata_clr = nullptr;
    QLineEdit* FSKTxTime = nullptr;
    std::array<QLineEdit*, 6> LoRaTxTime{};
    QLineEdit* Tx_CnEnd = nullptr;
    QLabel* Message = nullptr;
    const int& FSKMinTxTime;
    const std::array<int, 6>& LoRaMinTxTime;
    QString appDir;
    QString baseName;
    QSize screenTwips;
};

class SettingsFile : public QObject {
    Q_OBJECT
public:
    SettingsFile(const SettingsView& view, QObject* parent);
    void LoadSettings();
    void SaveSettings();
    QString path() const;
    // The settings were not saved whole at shutdown (or not at all).
    bool saveFailed() const { return saveFailed_; }

    // A value for this start only (a command-line option): the control
    // shows it, but the file keeps the operator's own value at shutdown
    // unless the field was changed in the window since.
    void setForThisStart(QLineEdit* box, const QString& value);
    void setForThisStart(QComboBox* box, const QString& value);

private:
    void applyPosition(bool top, const QString& value);
    QString savedText(const QObject* control, const QString& shown) const;
    bool keepUnreadableCopy(const QString& file, const QString& reason);

    SettingsView f;
    // An existing file that could not be read is left as it is at
    // shutdown: writing the start-up defaults over it would lose it.
    bool readFailed_ = false;
    bool saveFailed_ = false;
    // Per control: the operator's text and the text shown for this start.
    QHash<const QObject*, QPair<QString, QString>> thisStartOnly_;
};
