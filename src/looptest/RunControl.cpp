#include "looptest/RunControl.h"

#include "common/Colours.h"
#include "common/NumberText.h"
#include "common/Twips.h"
#include "form/FormFacts.h"
#include "form/FormState.h"
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

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>

namespace {
constexpr int kFirstCycleMs = 100;
}

RunControl::RunControl(const RunView& view, QObject* parent, LogWriters& logs, RadioChannel& radio, TestCycle& cycle)
    : QObject(parent), f(view), logs(logs), radio(radio), cycle(cycle) {}

void RunControl::TestStartSW_Click(int index) {
    // The port list goes out of view.
    portsel::hideList(f.Com_PortList);

    if (f.RunState == FormState::kNoStopPending && !f.MSComm1->isOpen()) {
        f.Message->clear();
        logs.clearViews();
        f.RunKind = index;
        f.InitStep = 0;
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
    const QDateTime now = f.clock->now();
    QString header = now.toString(QStringLiteral("yyMMdd"));

    f.TestStartSW[0]->setEnabled(false);
    f.TestStartSW[1]->setEnabled(false);
    setFramesEnabled(false);
    if (f.RunKind == FormState::kContinuousRun) {
        f.TestStartSW[0]->setText(kContinuousRunning);
        f.TestStartSW[0]->setEnabled(true);
    } else {
        f.TestStartSW[1]->setText(kCountedRunning);
        f.TestStartSW[1]->setEnabled(true);
    }

    const bool fsk = f.TestMode->text() == QStringLiteral("FSK");
    const int i = fsk ? 0 : std::clamp(f.SpreadingIndex, 0, cmdset::kSpreadingCount - 1);
    if (!fsk) {
        f.TxPeriod = numtext::leadingNumber(f.LoRaTxTime[i]->text());
        f.MinTxPeriod = f.LoRaMinTxTime[i];
        header += QStringLiteral("_LoRa") + QString::number(cmdset::chipsPerSymbol(i)) + QStringLiteral("_");
    } else {
        f.TxPeriod = numtext::leadingNumber(f.FSKTxTime->text());
        f.MinTxPeriod = f.FSKMinTxTime;
        header += QStringLiteral("_FSK Mode_");
    }
    f.LogFileHedder->setText(header);
    f.MapFileHedder->setText(header + QStringLiteral("Map_"));

    f.Picture1->clear(colourFromValue(f.GraphBackColor, f.Picture1->palette()));

    f.Tx_Count->setText(QStringLiteral("0"));
    f.FSK_OK->setText(QStringLiteral("0"));
    f.FSK_Err->setText(QStringLiteral("0"));
    f.FSKData->setText(QStringLiteral("000"));
    radio.clearResponseTimeHistory();
    f.RxRssiHistory.fill(QString());
    f.AckRssiHistory.fill(QString());

    logs.AppendCommLog(loglines::runStart(now));
    logs.AppendCommLog(loglines::columnHeads());

    f.RxData->clear();
    f.RxText->clear();
    f.ResultPending = 0;
    f.Tx_Timer->setInterval(kFirstCycleMs);
    f.Tx_Timer->setEnabled(true);
    f.Timer1->setEnabled(true);
    f.RunState = FormState::kNoStopPending;

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
    start.port = f.Com_Port->text();
    start.mode = fsk ? records::Mode::Fsk : records::Mode::LoRa;
    start.spreading = spreading;
    start.periodMs = f.TxPeriod;
    start.kind = f.RunKind == FormState::kContinuousRun ? records::RunKind::Continuous : records::RunKind::Counted;
    if (start.kind == records::RunKind::Counted)
        start.length = std::int64_t(std::clamp(numtext::leadingNumber(f.Tx_CnEnd->text()), 0.0, 9e15));
    if (f.LogFile_Flg->isChecked())
        start.commLog = logfiles::filePath(
            f.appDir, logfiles::fileName(f.LogFileHedder->text(), f.LogFileName->text(), logfiles::kCommLogExt));
    if (f.GPS_On->isChecked()) {
        const QString map = f.MapFileHedder->text();
        start.mapCsv = logfiles::filePath(f.appDir, logfiles::fileName(map, f.MapFileName->text(), logfiles::kMapCsvExt));
        start.mapLog = logfiles::filePath(f.appDir, logfiles::fileName(map, f.MapFileName->text(), logfiles::kMapLogExt));
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
    f.TestStartSW[0]->setText(kContinuousStopping);
    f.TestStartSW[0]->setEnabled(false);
    f.TestStartSW[1]->setText(kCountedStopping);
    f.TestStartSW[1]->setEnabled(false);
    f.Tx_Timer->setEnabled(false);
    if (!f.Timer1->isEnabled())
        f.Timer1->setEnabled(true);  // a running Timer1 keeps its pace
    f.InitialTimer->setEnabled(false);
    f.RunState = FormState::kStopPending;
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
    end.ended = f.clock->now();
    // Whatever failed before the test cycle began, the run never started.
    if (!running && cause != records::EndCause::Operator && cause != records::EndCause::Closed)
        cause = records::EndCause::InitFailed;
    end.cause = cause;
    if (cause == records::EndCause::InitFailed || cause == records::EndCause::WriteFailed) {
        // The port messages ("ポート確認", "Comポート異常検出") stand in
        // ComMessage, the module's ("応答無 ...", "応答異常！！") in Message;
        // ComMessage is emptied once the port has opened.
        end.message = f.ComMessage->text().isEmpty() ? f.Message->text() : f.ComMessage->text();
    }
    end.sent = running ? cycle.packetsSent() : 0;
    emit runEnded(end);
}

void RunControl::Timer1_Timer() {
    // Taken modulo 2^32, so the count stays non-negative across the
    // counter's wrap and a pending stop always comes to an end.
    const qint64 elapsed = elapsedMs(f.clock->milliseconds(), f.SendTime);
    f.KeikaTime->setText(numtext::plain(double(elapsed)));
    if (f.RunState != FormState::kNoStopPending && numtext::leadingNumber(f.KeikaTime->text()) >= f.MinTxPeriod)
        completeStop();
}

void RunControl::completeStop() {
    f.Timer1->setEnabled(false);
    f.KeikaTime->clear();
    f.Com_Port->setEnabled(true);
    f.ComSelectSW->setEnabled(true);
    emit portsFreed();
    setFramesEnabled(true);
    f.TestStartSW[0]->setText(kContinuousIdle);
    f.TestStartSW[0]->setEnabled(true);
    f.TestStartSW[1]->setText(kCountedIdle);
    f.TestStartSW[1]->setEnabled(true);
    f.RunState = FormState::kNoStopPending;
}

void RunControl::setFramesEnabled(bool enabled) {
    for (int i = 1; i <= 6; ++i)
        f.Frame[i]->setEnabled(enabled);
}
