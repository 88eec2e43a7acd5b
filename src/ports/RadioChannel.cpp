#include "ports/RadioChannel.h"

#include "common/NumberText.h"
#include "form/FormState.h"
#include "module/CommandSet.h"
#include "module/ExchangeTiming.h"
#include "platform/BoundedTextView.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>

RadioChannel::RadioChannel(const RadioView& view, QObject* parent)
    : QObject(parent), f(view), timeHistory_(f.RxTimeHist, kTimeHistoryKeep), rx_(f.RxText, f.RxData, this) {}

bool RadioChannel::SendModuleCommand() {
    if (f.MSComm1->write(cmdset::commandLine(f.PendingCommand)))
        return true;
    writeFailed();
    return false;
}

void RadioChannel::writeFailed() {
    f.ComMessage->setText(QStringLiteral("Comポート異常検出"));
    emit portFailed();
}

void RadioChannel::MSComm1_Lost() {
    f.ComMessage->setText(QStringLiteral("Comポート異常検出"));
    emit portFailed();
}

void RadioChannel::MSComm1_OnComm() {
    // The arrival time is taken first, so the response time does not
    // include this handler's own work; a port that stamps its arrivals has
    // taken it when the bytes came, however long they waited for this
    // thread.
    qint32 now = f.clock->milliseconds();
    std::int64_t nowUs = f.clock->microseconds();
    const SerialPort::Received received = f.MSComm1->readReceived();
    const QByteArray& bytes = received.bytes;
    if (bytes.isEmpty())
        return;
    if (received.us >= 0) {
        now = received.ms;
        nowUs = received.us;
    }

    rx_.receive(bytes, nowUs);

    if (f.AwaitingResponse == 0 || !rx_.dump().contains(f.ChkData->text()))
        return;
    rx_.recognise(f.ChkData->text(), nowUs);

    f.ResponseTime = numtext::signBlank(double(elapsedMs(now, f.SendTime)));
    f.ResponseTimeUs = nowUs;
    timeHistory_.append(f.ResponseTime + QStringLiteral("\r\n"));

    f.AwaitingResponse = 0;
    f.PendingCommand = cmdset::kAnswerRssiCommand;
    SendModuleCommand();
}

void RadioChannel::clearResponseTimeHistory() {
    timeHistory_.clear();
}
