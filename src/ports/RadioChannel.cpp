#include "ports/RadioChannel.h"

#include "common/HexDump.h"
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
    : QObject(parent), f(view), timeHistory_(f.RxTimeHist, kTimeHistoryKeep) {}

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

    // Everything new is rendered once per event and appended at the end of
    // the document, without reading the accumulated text back.
    appendKeepingShapes(f.RxText, cmdset::readableText(bytes));

    noteArrival(int(bytes.size()), nowUs);
    const QString hex = hexDump(bytes);
    const QString rxData = (f.RxData->text() + hex).right(kRxDataKeep);
    f.RxData->setText(rxData);
    shownRxData_ = rxData;
    // The level bytes of an answer recognised earlier in the period are
    // kept as they come, whatever RxData still shows when the step looks.
    answer_.follow(hex);

    if (f.AwaitingResponse == 0 || !rxData.contains(f.ChkData->text()))
        return;
    answer_.recognise(rxData, f.ChkData->text(), nowUs);

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

void RadioChannel::noteArrival(int bytes, std::int64_t us) {
    // RxData emptied (a step or a run start) or rewritten elsewhere: the
    // bytes it shows begin anew.
    if (f.RxData->text().isEmpty() || f.RxData->text() != shownRxData_) {
        arrivals_.clear();
        periodBytes_ = 0;
    }
    periodBytes_ += bytes;
    arrivals_.push_back({periodBytes_, us});
    const std::int64_t firstShown = periodBytes_ - kRxDataKeep / 3;
    while (arrivals_.size() > 1 && arrivals_.front().bytesUpTo <= firstShown)
        arrivals_.pop_front();
}

std::optional<std::int64_t> RadioChannel::arrivalOf(int at) const {
    const QString rxData = f.RxData->text();
    if (rxData != shownRxData_ || at < 0 || at >= rxData.size())
        return std::nullopt;
    // RxData shows the last rxData.size() / 3 bytes received.
    const std::int64_t byte = periodBytes_ - rxData.size() / 3 + at / 3;
    for (const Arrival& a : arrivals_) {
        if (byte < a.bytesUpTo)
            return a.us;
    }
    return std::nullopt;
}
