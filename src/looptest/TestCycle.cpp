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

// One hex pair of the receive dump; a pair cut off at the end counts 0.
int hexPairAt(const QString& rxData, int at) {
    bool ok = false;
    const int v = rxData.mid(at, 2).toInt(&ok, 16);
    return ok ? v : 0;
}

// Pushes the current value into a ten-sample history (index 9 newest) and
// returns the new average as text: the current value (always one sample)
// and every stored entry. With nothing at all to average (an empty value
// and an empty history) the average is empty rather than 0 / 0.
QString pushAndAverage(std::array<QString, 10>& history, const QString& current) {
    std::rotate(history.begin(), history.begin() + 1, history.end());
    history[9] = current;
    double sum = numtext::leadingNumber(current);
    int count = 1;
    for (int i = 0; i < 9; ++i) {
        if (history[i].isEmpty())
            continue;
        sum += numtext::leadingNumber(history[i]);
        ++count;
    }
    if (current.isEmpty() && count == 1)
        return QString();
    return numtext::plain(sum / count);
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
    sent_ = 0;
}

void TestCycle::step() {
    const qint32 t0 = f.svc.clock->milliseconds();
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

void TestCycle::rearm(qint32 t0) {
    const qint64 overhead = elapsedMs(f.svc.clock->milliseconds(), t0);
    const double compensation = overhead < 100 ? double(overhead) : 0.0;
    double interval = 0;
    if (f.st.TxPeriod < kSubTickPeriodMs) {
        SubTickCount = SubTicksLeft = 0;
        interval = f.st.TxPeriod - compensation;
    } else {
        const int n = int(f.st.TxPeriod / kSubTickPeriodMs);
        SubTickCount = SubTicksLeft = n;
        interval = (f.st.TxPeriod - compensation) / n;
    }
    // Round half to even (the default rounding mode).
    f.Tx_Timer->setInterval(int(std::nearbyint(interval)));
    f.Tx_Timer->setEnabled(true);
}

void TestCycle::evaluateExchange() {
    // Floor noise reported for the "@RA" sent before the previous packet.
    const QString oldNoise = f.ui.NoiseRssi->text();
    const QString rxText = f.ui.RxText->toPlainText();
    if (const auto noise = cmdset::valueBeforeDbm(rxText, cmdset::kNoiseAnswer))
        f.ui.NoiseRssi->setText(*noise);

    const int at = f.ui.RxData->text().indexOf(f.ui.ChkData->text());
    if (at >= 0)
        evaluateSuccess(at, oldNoise);
    else
        evaluateFailure(oldNoise);
}

void TestCycle::evaluateSuccess(int at, const QString& oldNoise) {
    countUp(f.ui.FSK_OK);
    if (f.st.TxPeriod >= kSoundPeriodMs)
        f.sounds->PlaySuccessSound();

    // The far end's signal strength: the two bytes after the matched pattern.
    const QString rxData = f.ui.RxData->text();
    const int from = at + int(f.ui.ChkData->text().size());
    f.ui.Rx_Rssi->setText(QString::number(cmdset::farEndRssi(hexPairAt(rxData, from), hexPairAt(rxData, from + 3))));

    // The answer signal strength: a "*RS=" report wins over the older
    // "RSSI=" form wherever the two stand; with neither the box keeps its text.
    const QString rxText = f.ui.RxText->toPlainText();
    const auto ack = rxText.contains(cmdset::kAnswerRssi)
        ? cmdset::valueBeforeDbm(rxText, cmdset::kAnswerRssi)
        : cmdset::valueBeforeDbm(rxText, cmdset::kAnswerRssiOld);
    if (ack)
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
