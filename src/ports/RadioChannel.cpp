#include "ports/RadioChannel.h"

#include "common/HexDump.h"
#include "common/NumberText.h"
#include "module/CommandSet.h"
#include "module/ExchangeTiming.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"
#include "shell/Form1.h"

#include <QTextCursor>

RadioChannel::RadioChannel(Form1& form)
    : QObject(&form), f(form), timeHistory_(f.ui.RxTimeHist, kTimeHistoryKeep) {
    connect(f.MSComm1, &SerialPort::readyRead, this, &RadioChannel::MSComm1_OnComm);
    connect(f.MSComm1, &SerialPort::lost, this, &RadioChannel::MSComm1_Lost);
}

void RadioChannel::SendModuleCommand() {
    if (f.MSComm1->write(cmdset::commandLine(f.st.PendingCommand)))
        return;
    f.ui.ComMessage->setText(QStringLiteral("Comポート異常検出"));
    emit portFailed();
}

void RadioChannel::MSComm1_Lost() {
    f.ui.ComMessage->setText(QStringLiteral("Comポート異常検出"));
    emit portFailed();
}

void RadioChannel::MSComm1_OnComm() {
    // The arrival time is taken first, so the response time does not
    // include this handler's own work.
    const qint32 now = f.svc.clock->milliseconds();
    const QByteArray bytes = f.MSComm1->readAll();
    if (bytes.isEmpty())
        return;

    // Everything new is rendered once per event and appended at the end of
    // the document, without reading the accumulated text back.
    QTextCursor end(f.ui.RxText->document());
    end.movePosition(QTextCursor::End);
    end.insertText(cmdset::readableText(bytes));

    const QString rxData = (f.ui.RxData->text() + hexDump(bytes)).right(kRxDataKeep);
    f.ui.RxData->setText(rxData);

    if (f.st.AwaitingResponse == 0 || !rxData.contains(f.ui.ChkData->text()))
        return;

    f.st.ResponseTime = numtext::signBlank(double(elapsedMs(now, f.st.SendTime)));
    timeHistory_.append(f.st.ResponseTime + QStringLiteral("\r\n"));

    f.st.AwaitingResponse = 0;
    f.st.PendingCommand = cmdset::kAnswerRssiCommand;
    SendModuleCommand();
}

void RadioChannel::clearResponseTimeHistory() {
    timeHistory_.clear();
}
