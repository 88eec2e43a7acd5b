#include "looptest/RunControl.h"

#include "common/Colours.h"
#include "common/NumberText.h"
#include "common/Twips.h"
#include "form/Window.h"
#include "looptest/RssiGraph.h"
#include "looptest/TestCycle.h"
#include "module/CommandSet.h"
#include "module/ExchangeTiming.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"
#include "platform/Timer.h"
#include "ports/PortSelection.h"
#include "ports/RadioChannel.h"
#include "results/LogFileNames.h"
#include "results/LogLines.h"
#include "results/LogWriters.h"

#include <algorithm>

namespace {
constexpr int kFirstCycleMs = 100;
}

RunControl::RunControl(Window& window, LogWriters& logs, RadioChannel& radio, TestCycle& cycle) : QObject(&window.form), f(window), logs(logs), radio(radio), cycle(cycle) {

}

void RunControl::TestStartSW_Click(int index) {
    // The port list goes out of view.
    portsel::hideList(f.ui.Com_PortList);

    if (f.st.RunState == FormState::kNoStopPending && !f.MSComm1->isOpen()) {
        f.ui.Message->clear();
        logs.clearViews();
        f.st.RunKind = index;
        f.st.InitStep = 0;
        if (phase_ == Phase::Idle) {
            ++runId_;
            phase_ = Phase::Initialising;
        }
        if (!f.InitialTimer->isEnabled())
            f.InitialTimer->setEnabled(true);
        return;
    }
    // A run or an initialisation past its first step: the button stops it.
    StopTestRun();
}

void RunControl::BeginTestRun() {
    const QDateTime now = f.svc.clock->now();
    QString header = now.toString(QStringLiteral("yyMMdd"));

    f.ui.TestStartSW_0->setEnabled(false);
    f.ui.TestStartSW_1->setEnabled(false);
    setFramesEnabled(false);
    if (f.st.RunKind == FormState::kContinuousRun) {
        f.ui.TestStartSW_0->setText(kContinuousRunning);
        f.ui.TestStartSW_0->setEnabled(true);
    } else {
        f.ui.TestStartSW_1->setText(kCountedRunning);
        f.ui.TestStartSW_1->setEnabled(true);
    }

    const bool fsk = f.ui.TestMode->text() == QStringLiteral("FSK");
    const int i = fsk ? 0 : std::clamp(f.st.SpreadingIndex, 0, cmdset::kSpreadingCount - 1);
    if (!fsk) {
        f.st.TxPeriod = numtext::leadingNumber(f.LoRaTxTime[i]->text());
        f.st.MinTxPeriod = f.st.LoRaMinTxTime[i];
        header += QStringLiteral("_LoRa") + QString::number(cmdset::chipsPerSymbol(i)) + QStringLiteral("_");
    } else {
        f.st.TxPeriod = numtext::leadingNumber(f.ui.FSKTxTime->text());
        f.st.MinTxPeriod = f.st.FSKMinTxTime;
        header += QStringLiteral("_FSK Mode_");
    }
    f.ui.LogFileHedder->setText(header);
    f.ui.MapFileHedder->setText(header + QStringLiteral("Map_"));

    f.ui.Picture1->clear(colourFromValue(f.st.GraphBackColor, f.ui.Picture1->palette()));

    f.ui.Tx_Count->setText(QStringLiteral("0"));
    f.ui.FSK_OK->setText(QStringLiteral("0"));
    f.ui.FSK_Err->setText(QStringLiteral("0"));
    f.ui.FSKData->setText(QStringLiteral("000"));
    radio.clearResponseTimeHistory();
    f.st.RxRssiHistory.fill(QString());
    f.st.AckRssiHistory.fill(QString());

    logs.AppendCommLog(loglines::runStart(now));
    logs.AppendCommLog(loglines::columnHeads());

    f.ui.RxData->clear();
    f.ui.RxText->clear();
    f.st.ResultPending = 0;
    f.Tx_Timer->setInterval(kFirstCycleMs);
    f.Tx_Timer->setEnabled(true);
    f.Timer1->setEnabled(true);
    f.st.RunState = FormState::kNoStopPending;

    if (phase_ == Phase::Idle)
        ++runId_;
    phase_ = Phase::Running;
    const records::RunStart start = startRecord(now, fsk, i);
    cycle.startRun(start);
    emit runStarted(start);
}

records::RunStart RunControl::startRecord(const QDateTime& now, bool fsk, int spreading) const {
    records::RunStart start;
    start.runId = runId_;
    start.started = now;
    start.version = versionText();
    start.port = f.ui.Com_Port->text();
    start.mode = fsk ? records::Mode::Fsk : records::Mode::LoRa;
    start.spreading = spreading;
    start.periodMs = f.st.TxPeriod;
    start.kind = f.st.RunKind == FormState::kContinuousRun ? records::RunKind::Continuous : records::RunKind::Counted;
    if (start.kind == records::RunKind::Counted)
        start.length = std::int64_t(std::clamp(numtext::leadingNumber(f.ui.Tx_CnEnd->text()), 0.0, 9e15));
    if (f.ui.LogFile_Flg->isChecked())
        start.commLog = logfiles::filePath(
            f.svc.appDir, logfiles::fileName(f.ui.LogFileHedder->text(), f.ui.LogFileName->text(), logfiles::kCommLogExt));
    if (f.ui.GPS_On->isChecked()) {
        const QString map = f.ui.MapFileHedder->text();
        start.mapCsv = logfiles::filePath(f.svc.appDir, logfiles::fileName(map, f.ui.MapFileName->text(), logfiles::kMapCsvExt));
        start.mapLog = logfiles::filePath(f.svc.appDir, logfiles::fileName(map, f.ui.MapFileName->text(), logfiles::kMapLogExt));
    }
    return start;
}

void RunControl::StopTestRun(records::EndCause cause) {
    // Each step runs whatever the state of the port; nothing here can fail
    // the stop.
    if (f.MSComm1->isOpen()) {
        f.MSComm1->readAll();  // what is still waiting is discarded
        f.MSComm1->close();
    }
    f.ui.TestStartSW_0->setText(kContinuousStopping);
    f.ui.TestStartSW_0->setEnabled(false);
    f.ui.TestStartSW_1->setText(kCountedStopping);
    f.ui.TestStartSW_1->setEnabled(false);
    f.Tx_Timer->setEnabled(false);
    if (!f.Timer1->isEnabled())
        f.Timer1->setEnabled(true);  // a running Timer1 keeps its pace
    f.InitialTimer->setEnabled(false);
    f.st.RunState = FormState::kStopPending;
    endRun(cause);
}

void RunControl::windowClosing() { endRun(records::EndCause::Closed); }

void RunControl::endRun(records::EndCause cause) {
    if (phase_ == Phase::Idle)
        return;  // already told (a second stop of the same run)
    const bool running = phase_ == Phase::Running;
    phase_ = Phase::Idle;
    records::RunEnd end;
    end.runId = runId_;
    end.ended = f.svc.clock->now();
    // Whatever failed before the test cycle began, the run never started.
    if (!running && cause != records::EndCause::Operator && cause != records::EndCause::Closed)
        cause = records::EndCause::InitFailed;
    end.cause = cause;
    if (cause == records::EndCause::InitFailed || cause == records::EndCause::WriteFailed) {
        // The port messages ("ポート確認", "Comポート異常検出") stand in
        // ComMessage, the module's ("応答無 ...", "応答異常！！") in Message;
        // ComMessage is emptied once the port has opened.
        end.message = f.ui.ComMessage->text().isEmpty() ? f.ui.Message->text() : f.ui.ComMessage->text();
    }
    end.sent = running ? cycle.packetsSent() : 0;
    emit runEnded(end);
}

void RunControl::Timer1_Timer() {
    // Taken modulo 2^32, so the count stays non-negative across the
    // counter's wrap and a pending stop always comes to an end.
    const qint64 elapsed = elapsedMs(f.svc.clock->milliseconds(), f.st.SendTime);
    f.ui.KeikaTime->setText(numtext::plain(double(elapsed)));
    if (f.st.RunState != FormState::kNoStopPending && numtext::leadingNumber(f.ui.KeikaTime->text()) >= f.st.MinTxPeriod)
        completeStop();
}

void RunControl::completeStop() {
    f.Timer1->setEnabled(false);
    f.ui.KeikaTime->clear();
    f.ui.Com_Port->setEnabled(true);
    f.ui.ComSelectSW->setEnabled(true);
    if (!f.ui.GPS_On->isChecked()) {
        // With GPS in use its port controls stay locked.
        f.ui.GPS_Port->setEnabled(true);
        f.ui.GPS_Baudrate->setEnabled(true);
        f.ui.GPS_SelectSW->setEnabled(true);
    }
    setFramesEnabled(true);
    f.ui.TestStartSW_0->setText(kContinuousIdle);
    f.ui.TestStartSW_0->setEnabled(true);
    f.ui.TestStartSW_1->setText(kCountedIdle);
    f.ui.TestStartSW_1->setEnabled(true);
    f.st.RunState = FormState::kNoStopPending;
}

void RunControl::setFramesEnabled(bool enabled) {
    for (int i = 1; i <= 6; ++i)
        f.Frame[i]->setEnabled(enabled);
}
