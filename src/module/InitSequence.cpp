#include "module/InitSequence.h"

#include "form/Window.h"
#include "module/CommandSet.h"
#include "platform/SerialPort.h"
#include "platform/Timer.h"
#include "ports/PortTrouble.h"
#include "platform/WidgetColours.h"


namespace {
constexpr qint32 kRadioBaudRate = 19200;
constexpr int kFskEndStep = 99;   // the next tick (100) ends the sequence
}

InitSequence::InitSequence(Window& window) : QObject(&window.form), f(window) {

}

void InitSequence::InitialTimer_Timer() {
    ++f.st.InitStep;
    switch (f.st.InitStep) {
    case 1: openPort(); break;
    case 2: askFirmware(); break;
    case 3: break;  // the module's time to answer "@FV"
    case 4: checkFirmware(); break;
    case 5: checkMode(); break;
    case 6: checkSpreading(); break;
    default: succeed(); break;
    }
}

void InitSequence::openPort() {
    if (!f.MSComm1->open(f.ui.Com_Port->text(), kRadioBaudRate)) {
        // MinTxPeriod keeps its value: the previous run's last data
        // command still paces the stop.
        f.ui.ComMessage->setText(kCheckPort);
        porttrouble::tell(f.ui.Com_Port, *f.MSComm1, kCheckPort);
        emit failed();
        return;
    }
    porttrouble::clear(f.ui.Com_Port);
    f.ui.ComMessage->clear();
    f.ui.TestMode->clear();
    f.ui.Message->clear();
    clearReceived();
    setBackColour(f.ui.FSKTxTime, f.st.NormalBackColor);
    for (QLineEdit* box : f.LoRaTxTime)
        setBackColour(box, f.st.NormalBackColor);
    for (QWidget* w : {static_cast<QWidget*>(f.ui.Com_Port), static_cast<QWidget*>(f.ui.ComSelectSW),
                       static_cast<QWidget*>(f.ui.GPS_Port), static_cast<QWidget*>(f.ui.GPS_Baudrate),
                       static_cast<QWidget*>(f.ui.GPS_SelectSW)})
        w->setEnabled(false);
}

void InitSequence::askFirmware() {
    clearReceived();
    send(cmdset::kFirmwareCommand);
}

void InitSequence::checkFirmware() {
    const int kind = cmdset::firmwareKind(f.ui.RxText->toPlainText());
    if (kind == FormState::kNoFirmwareAnswer) {
        fail(kNoAnswer);
        return;
    }
    f.st.FirmwareKind = kind;
    if (kind < FormState::kFirmwareFvForm) {
        // No floor-noise reading with this firmware.
        f.ui.FlorLabel->setEnabled(false);
        f.ui.NoiseRssi->clear();
    } else {
        f.ui.FlorLabel->setEnabled(true);
    }
    clearReceived();
    send(cmdset::kModeCommand);
}

void InitSequence::checkMode() {
    const cmdset::Mode mode = cmdset::moduleMode(f.ui.RxText->toPlainText());
    clearReceived();
    if (mode == cmdset::Mode::None) {
        fail(kNoAnswer);
        return;
    }
    if (mode == cmdset::Mode::Fsk) {
        f.ui.TestMode->setText(QStringLiteral("FSK"));
        f.ui.Message->setText(QStringLiteral(" モードによる通信"));
        setBackColour(f.ui.FSKTxTime, f.st.SelectedBackColor);
        f.st.InitStep = kFskEndStep;
    }
    // Sent in FSK mode too; there the answer is not examined.
    send(cmdset::kSpreadingCommand);
}

void InitSequence::checkSpreading() {
    const cmdset::Spreading sf = cmdset::spreading(f.ui.RxText->toPlainText());
    // A value outside "00" ... "05" has no period box and no minimum
    // period: it is refused like a missing answer.
    if (!sf.found || !sf.valid) {
        fail(kBadAnswer);
        return;
    }
    f.st.SpreadingIndex = sf.index;
    f.ui.TestMode->setText(QStringLiteral("LoRa"));
    f.ui.Message->setText(QStringLiteral(" ") + QString::number(cmdset::chipsPerSymbol(sf.index)) +
                          QStringLiteral(" chipによる通信"));
    setBackColour(f.LoRaTxTime[sf.index], f.st.SelectedBackColor);
    clearReceived();
}

void InitSequence::succeed() {
    f.InitialTimer->setEnabled(false);
    clearReceived();
    emit succeeded();
}

void InitSequence::fail(const QString& message) {
    f.ui.Message->setText(message);
    f.InitialTimer->setEnabled(false);
    f.st.MinTxPeriod = 0;
    emit failed();
}

void InitSequence::send(const QString& command) {
    f.st.PendingCommand = command;
    emit commandReady();
}

void InitSequence::clearReceived() {
    f.ui.RxData->clear();
    f.ui.RxText->clear();
}
