#include "module/InitSequence.h"

#include "form/FormState.h"
#include "module/CommandSet.h"
#include "platform/PortTrouble.h"
#include "platform/SerialPort.h"
#include "platform/Timer.h"
#include "platform/WidgetColours.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {
constexpr qint32 kRadioBaudRate = 19200;
constexpr int kFskEndStep = 99;   // the next tick (100) ends the sequence
}

InitSequence::InitSequence(const InitView& view, QObject* parent) : QObject(parent), f(view) {}

void InitSequence::InitialTimer_Timer() {
    ++f.InitStep;
    switch (f.InitStep) {
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
    if (!f.MSComm1->open(f.Com_Port->text(), kRadioBaudRate)) {
        // MinTxPeriod keeps its value: the previous run's last data
        // command still paces the stop.
        f.ComMessage->setText(kCheckPort);
        porttrouble::tell(f.Com_Port, *f.MSComm1, kCheckPort);
        emit failed();
        return;
    }
    porttrouble::clear(f.Com_Port);
    f.ComMessage->clear();
    f.TestMode->clear();
    f.Message->clear();
    clearReceived();
    setBackColour(f.FSKTxTime, f.NormalBackColor);
    for (QLineEdit* box : f.LoRaTxTime)
        setBackColour(box, f.NormalBackColor);
    f.Com_Port->setEnabled(false);
    f.ComSelectSW->setEnabled(false);
    emit portsLocked();
}

void InitSequence::askFirmware() {
    clearReceived();
    send(cmdset::kFirmwareCommand);
}

void InitSequence::checkFirmware() {
    const int kind = cmdset::firmwareKind(f.RxText->toPlainText());
    if (kind == FormState::kNoFirmwareAnswer) {
        fail(kNoAnswer);
        return;
    }
    f.FirmwareKind = kind;
    if (kind < FormState::kFirmwareFvForm) {
        // No floor-noise reading with this firmware.
        f.FlorLabel->setEnabled(false);
        f.NoiseRssi->clear();
    } else {
        f.FlorLabel->setEnabled(true);
    }
    clearReceived();
    send(cmdset::kModeCommand);
}

void InitSequence::checkMode() {
    const cmdset::Mode mode = cmdset::moduleMode(f.RxText->toPlainText());
    clearReceived();
    if (mode == cmdset::Mode::None) {
        fail(kNoAnswer);
        return;
    }
    if (mode == cmdset::Mode::Fsk) {
        f.TestMode->setText(QStringLiteral("FSK"));
        f.Message->setText(QStringLiteral(" モードによる通信"));
        setBackColour(f.FSKTxTime, f.SelectedBackColor);
        f.InitStep = kFskEndStep;
    }
    // Sent in FSK mode too; there the answer is not examined.
    send(cmdset::kSpreadingCommand);
}

void InitSequence::checkSpreading() {
    const cmdset::Spreading sf = cmdset::spreading(f.RxText->toPlainText());
    // A value outside "00" ... "05" has no period box and no minimum
    // period: it is refused like a missing answer.
    if (!sf.found || !sf.valid) {
        fail(kBadAnswer);
        return;
    }
    f.SpreadingIndex = sf.index;
    f.TestMode->setText(QStringLiteral("LoRa"));
    f.Message->setText(QStringLiteral(" ") + QString::number(cmdset::chipsPerSymbol(sf.index)) +
                          QStringLiteral(" chipによる通信"));
    setBackColour(f.LoRaTxTime[sf.index], f.SelectedBackColor);
    clearReceived();
}

void InitSequence::succeed() {
    f.InitialTimer->setEnabled(false);
    clearReceived();
    emit succeeded();
}

void InitSequence::fail(const QString& message) {
    f.Message->setText(message);
    f.InitialTimer->setEnabled(false);
    f.MinTxPeriod = 0;
    emit failed();
}

void InitSequence::send(const QString& command) {
    f.PendingCommand = command;
    emit commandReady();
}

void InitSequence::clearReceived() {
    f.RxData->clear();
    f.RxText->clear();
}
