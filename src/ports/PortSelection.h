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

struct Window;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace portsel {
// The port name an entry carries, empty when it carries none.
QString portNameOf(const QString& entry);
// Puts the port list out of view (this far above the window) and disables
// it: at start-up, when a run button is pressed, when a port is chosen.
void hideList(QListWidget* list);
} // namespace portsel

class PortSelection : public QObject {
    Q_OBJECT
public:
    explicit PortSelection(Window& window);
    void RefreshComPortList();
    void ComSelectSW_Click();
    void GPS_SelectSW_Click();
    void Com_PortList_Click();

    bool listOpen() const;

private:
    // The body of both port buttons: open the list under `box` for
    // `target` and lock the other button, or close it and free that button.
    void togglePortList(QLineEdit* box, QPushButton* other, int target);
    void openListUnder(QLineEdit* box);
    Window& f;
};
