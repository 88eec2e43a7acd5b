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

struct FormState;
class PortEnumerator;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class SerialPort;

namespace portsel {
// The port name an entry carries, empty when it carries none.
QString portNameOf(const QString& entry);
// Puts the port list out of view (this far above the window) and disables
// it: at start-up, when a run button is pressed, when a port is chosen.
void hideList(QListWidget* list);
} // namespace portsel

// What the port list touches: the list, the two port boxes it fills, the
// radio port's list button, the box group it opens in (read: its place),
// the radio port (borrowed by the probe), the port enumerator, and the
// list's target. The GPS port's list button is the GPS channel's: the
// list tells it what happened through its signals.
struct PortView {
    explicit PortView(FormState& st);
    QListWidget* Com_PortList = nullptr;
    QLineEdit* Com_Port = nullptr;
    QLineEdit* GPS_Port = nullptr;
    QPushButton* ComSelectSW = nullptr;
    const QGroupBox* Frame_1 = nullptr;
    SerialPort* MSComm1 = nullptr;
    PortEnumerator* portList = nullptr;
    int& PortListTarget;
};

class PortSelection : public QObject {
    Q_OBJECT
public:
    PortSelection(const PortView& view, QObject* parent);
    void RefreshComPortList();
    void ComSelectSW_Click();
    void GPS_SelectSW_Click();
    void Com_PortList_Click();

    bool listOpen() const;

signals:
    // The list opened under the radio port's box (the GPS port's button is
    // locked meanwhile), closed again with the radio port's button, or
    // closed by a chosen entry.
    void radioListOpened();
    void radioListClosed();
    void portChosen();

private:
    void openListUnder(QLineEdit* box);
    PortView f;
};
