#include "looptest/TestCycle.h"

#include "common/Colours.h"
#include "common/NumberText.h"
#include "looptest/ResultSounds.h"
#include "looptest/RssiGraph.h"
#include "looptest/RunControl.h"
#include "module/CommandSet.h"
#include "module/ExchangeTiming.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"
#include "platform/Timer.h"
#include "ports/RadioChannel.h"
#include "results/LogWriters.h"
#include "shell/Form1.h"

#include <QLineEdit>
#include <algorithm>
#include <array>
#include <cmath>

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kShownCrLf = QStringLiteral("[Cr][Lf]");

// A box holding a count: its number plus one, written back as plain text.
void countUp(QLineEdit* box) {
    box->setText(numtext::plain(numtext::leadingNumber(box->text()) + 1));
}

// Pushes the current value into a ten-sample history (index 9 newest) and
// returns the new average of every non-empty entry as text. An empty value
// (an answer RSSI whose report was late) is no sample: it neither counts as
// 0 nor pulls the average; with no sample at all the average is empty.
QString pushAndAverage(std::array<QString, 10>& history, const QString& current) {
    std::rotate(history.begin(), history.begin() + 1, history.end());
    history[9] = current;
    double sum = 0;
    int count = 0;
    for (const QString& sample : history) {
        if (sample.isEmpty())
            continue;
        sum += numtext::leadingNumber(sample);
        ++count;
    }
    return count == 0 ? QString() : numtext::plain(sum / count);
}

} // namespace

TestCycle::TestCycle(Form1& form) : QObject(&form), f(form) {
    connect(f.Tx_Timer, &Timer::timeout, this, &TestCycle::Tx_Timer_Timer);
}

void TestCycle::Tx_Timer_Timer() {
    // Long periods run as several firings; only the last one steps.
    if (SubTicksLeft > 0) {
        --SubTicksLeft;
        if (SubTicksLeft > 0)
            return;
    }
    SubTicksLeft = SubTickCount;
    step();
}

void TestCycle::startRun() {
    SubTickCount = SubTicksLeft = 0;
    keeper_.reset();
    sent_ = 0;
}

void TestCycle::step() {
    const qint64 t0 = keeper_.stepStart(f.svc.clock->microseconds());
    f.Tx_Timer->setEnabled(false);

    if (f.st.ResultPending != 0)
        evaluateExchange();

    f.st.ResultPending = 1;
    f.ui.RxData->clear();
    f.ui.RxText->clear();

    const bool goesOn = f.st.RunKind == 0
        || numtext::leadingNumber(f.ui.Tx_CnEnd->text()) > numtext::leadingNumber(f.ui.Tx_Count->text());
    if (!goesOn) {
        f.run->StopTestRun(records::EndCause::Completed);
        return;
    }

    countUp(f.ui.Tx_Count);
    const QString count = numtext::plain(numtext::leadingNumber(f.ui.Tx_Count->text()));
    f.ui.FSKData->setText((QStringLiteral("000") + count).right(3));
    f.ui.ChkData->setText(cmdset::expectedAnswer(f.st.ExpectedAnswerHex, f.ui.FSKData->text()));

    // The send half of the log line names the commands that went out; when
    // a write fails (the run is then stopped) it still stands, so the log
    // has a line for every count in Tx_Count, and the step ends unarmed.
    const QString sentAt = f.svc.clock->now().toString(QStringLiteral("HH:mm:ss"));
    QString sentCommands;
    bool sent = true;
    if (f.st.FirmwareKind >= 2) {
        sent = sendPacket(cmdset::kNoiseCommand);
        if (sent)
            sentCommands += f.st.PendingCommand + kShownCrLf;
    }
    if (sent) {
        sent = sendPacket(cmdset::dataCommand(f.ui.TxCmd->text(), f.ui.FSKData->text(), f.ui.FSKDmy->text()));
        if (sent) {
            f.st.SendTime = f.svc.clock->milliseconds();
            f.st.ResponseTime.clear();
            f.st.AwaitingResponse = 1;
            ++sent_;
            sentCommands += f.st.PendingCommand + kShownCrLf;
        }
    }
    f.logs->AppendCommLog(kCrLf + sentAt + QLatin1Char(',') + sentCommands + QLatin1Char(','));
    if (sent)
        rearm(t0);
}

// Sends one command; false when the write failed and the run was stopped
// by it (the port is closed): the step then ends without re-arming.
bool TestCycle::sendPacket(const QString& command) {
    f.st.PendingCommand = command;
    f.radio->SendModuleCommand();
    return f.MSComm1->isOpen() && f.st.RunState == 0;
}

void TestCycle::rearm(qint64 t0Us) {
    // A period beyond what the timers serve (1e14 typed in a box) is held at
    // the longest one, so every conversion stays in range.
    const double period = std::clamp(f.st.TxPeriod, 0.0, kMaxPeriodMs);
    const PeriodKeeper::Arm arm = keeper_.rearm(period, t0Us, f.svc.clock->microseconds());
    SubTickCount = SubTicksLeft = arm.firings;
    f.Tx_Timer->setInterval(arm.intervalMs);
    f.Tx_Timer->setEnabled(true);
}

void TestCycle::evaluateExchange() {
    // Floor noise reported for the "@RA" sent before the previous packet.
    const QString oldNoise = f.ui.NoiseRssi->text();
    const QString rxText = f.ui.RxText->toPlainText();
    if (const auto noise = cmdset::valueBeforeDbm(rxText, cmdset::kNoiseAnswer))
        f.ui.NoiseRssi->setText(*noise);

    // Success when the expected answer is in the dump; it carries the far
    // end's signal strength.
    if (const auto rxRssi = cmdset::farEndRssiIn(f.ui.RxData->text(), f.ui.ChkData->text()))
        evaluateSuccess(*rxRssi, oldNoise);
    else
        evaluateFailure(oldNoise);
}

void TestCycle::evaluateSuccess(int rxRssi, const QString& oldNoise) {
    countUp(f.ui.FSK_OK);
    if (f.st.TxPeriod >= kSoundPeriodMs)
        f.sounds->PlaySuccessSound();

    f.ui.Rx_Rssi->setText(QString::number(rxRssi));
    // Without a complete answer-RSSI report the box keeps its text.
    const QString rxText = f.ui.RxText->toPlainText();
    if (const auto ack = cmdset::answerRssi(rxText))
        f.ui.AckRssi->setText(*ack);

    const QString oldRxAve = f.ui.Rx_RssiAve->text();
    f.ui.Rx_RssiAve->setText(pushAndAverage(f.st.RxRssiHistory, f.ui.Rx_Rssi->text()));
    const QString oldAckAve = f.ui.AckRssiAve->text();
    f.ui.AckRssiAve->setText(pushAndAverage(f.st.AckRssiHistory, f.ui.AckRssi->text()));

    const QPalette& pal = f.ui.Picture1->palette();
    RssiGraph::Colours c{colourFromValue(f.st.GraphBackColor, pal), colourFromValue(f.st.GridColor, pal),
                         colourFromValue(f.st.NoiseColor, pal), {}, {}};
    const bool received = f.RssiGraph_Sel[0]->isChecked();
    c.bar = colourFromValue(received ? f.st.RxBarColor : f.st.SelectedBackColor, pal);
    c.average = colourFromValue(received ? f.st.RxAverageColor : f.st.AckAverageColor, pal);
    if (received)
        f.ui.Picture1->step(true, f.ui.Rx_Rssi->text(), oldRxAve, f.ui.Rx_RssiAve->text(), oldNoise,
                            f.ui.NoiseRssi->text(), c);
    else
        f.ui.Picture1->step(true, f.ui.AckRssi->text(), oldAckAve, f.ui.AckRssiAve->text(), oldNoise,
                            f.ui.NoiseRssi->text(), c);

    const QChar comma(',');
    f.logs->AppendCommLog(rxText + comma + f.st.ResponseTime + comma + f.ui.Rx_Rssi->text() + comma
                          + f.ui.AckRssi->text() + comma + f.ui.NoiseRssi->text() + comma
                          + f.ui.GPposition->text());
    const QString mapLine = f.ui.NposGmap->text() + comma + f.ui.EposGmap->text() + comma + f.ui.Mpos->text()
        + comma + f.ui.Rx_Rssi->text() + comma + f.ui.AckRssi->text() + comma + f.ui.NoiseRssi->text() + kCrLf;
    f.logs->AppendMapCsv(mapLine);
    f.logs->AppendMapLog(mapLine);
}

void TestCycle::evaluateFailure(const QString& oldNoise) {
    countUp(f.ui.FSK_Err);
    f.ui.Rx_Rssi->clear();
    f.ui.AckRssi->clear();
    if (f.st.TxPeriod >= kSoundPeriodMs)
        f.sounds->PlayFailureSound();

    if (!f.ui.GraphOption->isChecked()) {
        const QPalette& pal = f.ui.Picture1->palette();
        const RssiGraph::Colours c{colourFromValue(f.st.GraphBackColor, pal), colourFromValue(f.st.GridColor, pal),
                                   colourFromValue(f.st.NoiseColor, pal), {}, {}};
        f.ui.Picture1->step(false, QString(), QString(), QString(), oldNoise, f.ui.NoiseRssi->text(), c);
    }

    const QChar comma(',');
    f.logs->AppendCommLog(f.ui.RxText->toPlainText() + QStringLiteral(",,,,") + f.ui.NoiseRssi->text() + comma
                          + f.ui.GPposition->text());
    f.logs->AppendMapLog(f.ui.NposGmap->text() + comma + f.ui.EposGmap->text() + comma + f.ui.Mpos->text()
                         + QStringLiteral(",,,") + f.ui.NoiseRssi->text() + kCrLf);
}
