#pragma once
// What the window's parts work on: the form's controls (Form1.ui), the
// shared instance variables (FormState), the platform services, the two
// serial ports, the four timers and the control arrays. References only;
// Form1 owns all of it. It names no part, so a part built on it cannot call
// a sibling: a part is handed the lower parts it uses, and tells the parts
// above it what happened through signals, all connected in
// Form1::wireParts().
#include "form/FormState.h"
#include "platform/Services.h"
#include "ui_Form1.h"

#include <QString>
#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;
class SerialPort;
class Timer;

struct Window {
    QWidget& form;          // the main window itself
    Ui::Form1& ui;
    FormState& st;
    const Services& svc;

    // MSComm1 the radio module, MSComm2 the GPS receiver.
    SerialPort* MSComm1;
    SerialPort* MSComm2;

    Timer* GPSTimer;
    Timer* InitialTimer;
    Timer* Tx_Timer;
    Timer* Timer1;

    // Control arrays, index as in the inventory.
    std::array<QLabel*, 7>& FormLabel;
    std::array<QGroupBox*, 7>& Frame;
    std::array<QLabel*, 9>& RFLevel;
    std::array<QLineEdit*, 6>& LoRaTxTime;
    std::array<QPushButton*, 2>& TestStartSW;
    std::array<QRadioButton*, 2>& RssiGraph_Sel;
};

// The window's size at start-up, twips (the resize rule and the settings
// file's position rule work from it).
constexpr int kStartWidthTwips = 13455;
constexpr int kStartHeightTwips = 10380;

// The program's version, "major.minor.revision", from the build.
inline QString versionText() {
    return QStringLiteral("%1.%2.%3").arg(QVX_VERSION_MAJOR).arg(QVX_VERSION_MINOR).arg(QVX_VERSION_PATCH);
}
