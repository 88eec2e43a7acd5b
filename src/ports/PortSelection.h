#pragma once
// Port discovery and the shared port list of the two port boxes.
//
// The device query gives one entry per serial device, "description
// (portName) , location". The port name is the text between the last "("
// and the ")" that closes it in the part before " , ": on Windows the
// device's "(COM3)", on Linux "(ttyUSB0)" or "(pts/5)". The list offers
// only ports that the radio port's control can open right now.
#include <QObject>
#include <QString>

class Form1;
class QLineEdit;

namespace portsel {
// The port name an entry carries, empty when it carries none.
QString portNameOf(const QString& entry);
} // namespace portsel

class PortSelection : public QObject {
    Q_OBJECT
public:
    explicit PortSelection(Form1& form);
    void RefreshComPortList();
    void ComSelectSW_Click();
    void GPS_SelectSW_Click();
    void Com_PortList_Click();

    bool listOpen() const;

private:
    void openListUnder(QLineEdit* box);
    void closeList();
    Form1& f;
};
