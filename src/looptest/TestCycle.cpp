#include "looptest/TestCycle.h"

#include "common/Colours.h"
#include "common/NumberText.h"
#include "form/FormState.h"
#include "gps/GgaProcessor.h"
#include "looptest/ResultSounds.h"
#include "looptest/RssiGraph.h"
#include "module/CommandSet.h"
#include "module/ExchangeTiming.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"
#include "platform/Timer.h"
#include "ports/RadioChannel.h"
#include "ports/RxBuffer.h"
#include "results/LogLines.h"
#include "results/LogWriters.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <algorithm>
#include <array>
#include <cmath>

namespace {

// A box holding a count: its number plus one, written back as plain text.
void countUp(QLineEdit* box) {
    box->setText(numtext::plain(numtext::leadingNumber(box->text()) + 1));
}

// A ten-sample average, as its box shows it and as a level.
struct Average {
    QString text;
    std::optional<double> level;
};

// Pushes the current value into a ten-sample history (index 9 newest) and
// returns the new average of every non-empty entry. An empty value (an
// answer RSSI whose report was late) is no sample: it neither counts as 0
// nor pulls the average; with no sample at all the average is empty.
Average pushAndAverage(std::array<QString, 10>& history, const QString& current) {
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
    if (count == 0)
        return {};
    return {numtext::plain(sum / count), sum / count};
}

// The level a box's text stands for on the graph (the leading-number rule);
// none for an empty text.
std::optional<double> level(const QString& text) {
    return text.isEmpty() ? std::nullopt : std::optional<double>(numtext::leadingNumber(text));
}

// A level report's text as a number of dBm; empty when absent or not a
// whole number.
std::optional<int> dbm(const std::optional<QString>& text) {
    if (!text)
        return std::nullopt;
    bool ok = false;
    const int v = text->trimmed().toInt(&ok);
    return ok ? std::optional<int>(v) : std::nullopt;
}

} // namespace

TestCycle::TestCycle(const CycleView& view, QObject* parent, LogWriters& logs, RadioChannel& radio,
                     ResultSounds& sounds, GgaProcessor& gga)
    : QObject(parent), f(view), logs(logs), radio(radio), sounds(sounds), gga(gga) {}

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

void TestCycle::startRun(const records::RunStart& start) {
    SubTickCount = SubTicksLeft = 0;
    keeper_.reset();
    sent_ = 0;
    run_ = start;
    f.MSComm1->cancelScheduledWrite();
    scheduledAt_ = -1;
    inFlight_.reset();
    lost_.clear();
}

void TestCycle::step() {
    const qint64 t0 = keeper_.stepStart(f.clock->microseconds());
    f.Tx_Timer->setEnabled(false);

    if (f.ResultPending != 0)
        evaluateExchange();

    f.ResultPending = 1;
    radio.received().beginPeriod();

    const bool goesOn = f.RunKind == FormState::kContinuousRun
        || numtext::leadingNumber(f.Tx_CnEnd->text()) > numtext::leadingNumber(f.Tx_Count->text());
    if (!goesOn) {
        emit lengthReached();
        return;
    }

    countUp(f.Tx_Count);
    const double countValue = numtext::leadingNumber(f.Tx_Count->text());
    const QString count = numtext::plain(countValue);
    f.FSKData->setText((QStringLiteral("000") + count).right(3));
    f.ChkData->setText(cmdset::expectedAnswer(f.ExpectedAnswerHex, f.FSKData->text()));

    // The send half of the log line names the commands that went out; when
    // a write fails (the run is then stopped) it still stands, so the log
    // has a line for every count in Tx_Count, and the step ends unarmed.
    // The packet goes out at its instant in the schedule, however long the
    // evaluation above took: a wait of a few milliseconds at most (the
    // timer fires up to half a millisecond early by its rounding), none
    // when the step is already past that instant.
    const qint64 sendAt = keeper_.sendInstant(t0);
    const qint64 untilSend = sendAt - f.clock->microseconds();
    const bool waited = untilSend <= PeriodKeeper::kSendOffsetUs + 2000;
    const Sent out = f.MSComm1->timedWrites() ? sendTimed(waited ? sendAt : f.clock->microseconds())
                                              : sendHere(waited ? sendAt : -1);
    const bool sent = out.sent;
    // Started at its instant, not late (a write handed over for that
    // instant went out then, whenever this step came).
    const bool onTime = waited && (untilSend >= 0 || scheduledAt_ == sendAt);
    if (sent) {
        f.SendTime = out.ms;
        f.SendTimeUs = out.us;
        if (onTime)
            keeper_.sendTook(f.SendTimeUs - sendAt);
        f.ResponseTime.clear();
        f.ResponseTimeUs.reset();
        f.AwaitingResponse = 1;
        ++sent_;
        inFlight_ = InFlight{std::int64_t(std::clamp(countValue, 0.0, 9e15)), f.FSKData->text(), out.at,
                             f.SendTimeUs, f.GPS_On->isChecked()};
    }
    scheduledAt_ = -1;
    logs.AppendCommLog(loglines::sendHalf(out.at, out.commands));
    if (sent) {
        rearm(t0, onTime);
        scheduleNext();
    }
}

// The commands of a step's packet: the noise query first on firmware that
// has one, then the data command.
QStringList TestCycle::packetCommands(const QString& payload) const {
    QStringList commands;
    if (f.FirmwareKind >= FormState::kFirmwareFvForm)
        commands << cmdset::kNoiseCommand;
    commands << cmdset::dataCommand(f.TxCmd->text(), payload, f.FSKDmy->text());
    return commands;
}

// The step's commands written here, one after another, after waiting for
// sendAt (-1: at once).
TestCycle::Sent TestCycle::sendHere(qint64 sendAt) {
    if (sendAt >= 0)
        f.clock->sleepUntil(sendAt);
    Sent out;
    out.at = f.clock->now();
    for (const QString& command : packetCommands(f.FSKData->text())) {
        out.sent = sendPacket(command);
        if (!out.sent)
            break;
        out.commands << f.PendingCommand;
    }
    if (out.sent) {
        out.ms = f.clock->milliseconds();
        out.us = f.clock->microseconds();
    }
    return out;
}

// The step's commands written by the port at sendAt, off this thread: a
// write handed over at the last step for this instant has gone out then
// even if this step comes late. The commands are then told one by one as
// if written here, so a failed one does what it does there.
TestCycle::Sent TestCycle::sendTimed(qint64 sendAt) {
    QStringList commands = packetCommands(f.FSKData->text());
    QList<QByteArray> lines;
    for (const QString& command : commands)
        lines << cmdset::commandLine(command);
    const SerialPort::Written w = f.MSComm1->writeAt(lines, sendAt);
    if (w.lines != lines)
        commands = scheduledCommands_;   // what went out is what was handed over
    Sent out;
    out.at = f.clock->now().addMSecs(-std::max<qint64>(0, f.clock->microseconds() - w.us) / 1000);
    for (int i = 0; i < commands.size(); ++i) {
        f.PendingCommand = commands[i];
        out.sent = i < w.count;
        if (!out.sent) {
            radio.writeFailed();
            break;
        }
        out.commands << commands[i];
    }
    out.ms = w.ms;
    out.us = w.us;
    return out;
}

// Hands the next step's packet to the port for its instant in the
// schedule, when the port writes at instants and the run goes on to it.
// The next step takes it (and sends it itself if what it sends has
// changed meanwhile and the write is not out yet).
void TestCycle::scheduleNext() {
    const auto at = keeper_.nextSendInstant();
    const double count = numtext::leadingNumber(f.Tx_Count->text());
    const bool goesOn = f.RunKind == FormState::kContinuousRun || numtext::leadingNumber(f.Tx_CnEnd->text()) > count;
    if (!f.MSComm1->timedWrites() || !at || !goesOn)
        return;
    scheduledCommands_ = packetCommands((QStringLiteral("000") + numtext::plain(count + 1)).right(3));
    QList<QByteArray> lines;
    for (const QString& command : scheduledCommands_)
        lines << cmdset::commandLine(command);
    f.MSComm1->scheduleWrite(lines, *at);
    scheduledAt_ = *at;
}

// Sends one command; false when the write failed and the run was stopped
// by it (the port is closed): the step then ends without re-arming.
bool TestCycle::sendPacket(const QString& command) {
    f.PendingCommand = command;
    return radio.SendModuleCommand();
}

void TestCycle::rearm(qint64 t0Us, bool sentOnTime) {
    // A period beyond what the timers serve (1e14 typed in a box) is held at
    // the longest one, so every conversion stays in range.
    const double period = std::clamp(f.TxPeriod, 0.0, kMaxPeriodMs);
    // When the port wrote the packet at its instant, a step that ends late
    // has not delayed the send: the schedule holds while the next step
    // still comes before its instant. A packet that went out late itself
    // starts the schedule afresh as before, so the next one does not follow
    // it closer than the answer needs.
    const qint64 maxCompensationUs =
        f.MSComm1->timedWrites() && sentOnTime ? std::max(PeriodKeeper::kMaxCompensationUs, qint64(period * 1000) - kLateStepMarginUs)
                                 : PeriodKeeper::kMaxCompensationUs;
    const PeriodKeeper::Arm arm = keeper_.rearm(period, t0Us, f.clock->microseconds(), maxCompensationUs);
    SubTickCount = SubTicksLeft = arm.firings;
    f.Tx_Timer->setInterval(arm.intervalMs);
    f.Tx_Timer->setEnabled(true);
}

void TestCycle::evaluateExchange() {
    const RxBuffer& rx = radio.received();
    Reports r;
    r.received = rx.text();
    r.noise = cmdset::valueBeforeDbm(r.received, cmdset::kNoiseAnswer);
    r.ack = cmdset::answerRssi(r.received);

    // Floor noise reported for the "@RA" sent before the previous packet.
    Noise noise{f.NoiseRssi->text(), {}};
    noise.now = r.noise.value_or(noise.before);
    if (r.noise)
        f.NoiseRssi->setText(noise.now);

    // Success when the receive handler recognised the expected answer in
    // this period (or it is in the dump); it carries the far end's signal
    // strength. The dump holds only the newest 80 bytes: noise after the
    // answer must not turn a received answer into a lost packet.
    const cmdset::AnswerWatch& answer = rx.answer();
    const auto rxRssi = answer.recognised() ? answer.farRssi() : cmdset::farEndRssiIn(rx.dump(), f.ChkData->text());
    if (rxRssi)
        evaluateSuccess(*rxRssi, r, noise);
    else
        evaluateFailure(r, noise);

    if (!inFlight_)
        return;
    const QList<records::LateAnswer> late = findLateAnswers();
    const records::Exchange e = exchangeRecord(*inFlight_, rxRssi, r);
    if (!rxRssi) {
        lost_.push_back(*inFlight_);
        if (lost_.size() > std::size_t(kLateWatch))
            lost_.pop_front();
    }
    inFlight_.reset();
    for (const records::LateAnswer& l : late)
        emit lateAnswer(l);
    emit exchangeEvaluated(e);
}

// The record of the packet just evaluated. Signal levels are the reports
// of this step's data only: a box that keeps an earlier text (no "*RS="
// or "*RA=" report came) gives an empty field, not the earlier value.
records::Exchange TestCycle::exchangeRecord(const InFlight& p, std::optional<int> farRssi,
                                            const Reports& r) const {
    records::Exchange e;
    e.runId = run_.runId;
    e.packet = p.packet;
    e.payload = p.payload;
    e.sent = p.sent;
    e.sentUs = p.sentUs;
    e.mode = run_.mode;
    e.spreading = run_.spreading;
    e.periodMs = f.TxPeriod;
    e.noise = dbm(r.noise);
    if (farRssi) {
        e.outcome = records::Outcome::Answered;
        e.farRssi = farRssi;
        e.ackRssi = dbm(r.ack);
        if (f.ResponseTimeUs) {
            e.answeredUs = f.ResponseTimeUs;
            e.rttUs = *f.ResponseTimeUs - p.sentUs;
        }
    }
    // The position at the instant the data command went out, from the
    // fixes around it (the map logs keep the texts of this step).
    if (p.gpsOn && f.GPS_On->isChecked()) {
        const gps::PositionAt at = gga.positionAt(p.sentUs);
        e.gps = at.state;
        e.position = at.position;
    }
    return e;
}

// Answers in this step's data of packets counted lost in the last
// kLateWatch steps (a packet number further back could be the same three
// digits as a newer packet's). Each is told once; the round trip runs to
// the arrival of the bytes that completed its pattern, as an answered
// packet's does.
QList<records::LateAnswer> TestCycle::findLateAnswers() {
    QList<records::LateAnswer> found;
    const RxBuffer& rx = radio.received();
    const QString& rxData = rx.dump();
    const std::int64_t current = inFlight_->packet;
    for (auto it = lost_.begin(); it != lost_.end();) {
        const QString pattern = cmdset::expectedAnswer(f.ExpectedAnswerHex, it->payload);
        const int at = current - it->packet > kLateWatch || pattern == f.ChkData->text() ? -1 : rxData.indexOf(pattern);
        const auto arrived = at < 0 ? std::nullopt : rx.arrivalOf(at + int(pattern.size()) - 1);
        if (!arrived) {
            ++it;
            continue;
        }
        records::LateAnswer l;
        l.runId = run_.runId;
        l.packet = it->packet;
        l.payload = it->payload;
        l.rttUs = *arrived - it->sentUs;
        // The level when both of its bytes are there.
        if (at + pattern.size() + 6 <= rxData.size())
            l.farRssi = cmdset::farEndRssiIn(rxData, pattern);
        found << l;
        it = lost_.erase(it);
    }
    return found;
}

void TestCycle::evaluateSuccess(int rxRssi, const Reports& r, const Noise& noise) {
    countUp(f.FSK_OK);
    if (f.TxPeriod >= kSoundPeriodMs)
        sounds.PlaySuccessSound();

    const QString far = QString::number(rxRssi);
    f.Rx_Rssi->setText(far);
    // Without a complete answer-RSSI report the box keeps its text.
    const QString ack = r.ack.value_or(f.AckRssi->text());
    if (r.ack)
        f.AckRssi->setText(ack);

    const std::optional<double> oldRxAve = level(f.Rx_RssiAve->text());
    const Average rxAve = pushAndAverage(f.RxRssiHistory, far);
    f.Rx_RssiAve->setText(rxAve.text);
    const std::optional<double> oldAckAve = level(f.AckRssiAve->text());
    const Average ackAve = pushAndAverage(f.AckRssiHistory, ack);
    f.AckRssiAve->setText(ackAve.text);

    const QPalette& pal = f.Picture1->palette();
    RssiGraph::Colours c{colourFromValue(f.GraphBackColor, pal), colourFromValue(f.GridColor, pal),
                         colourFromValue(f.NoiseColor, pal), {}, {}};
    const bool received = f.RssiGraph_Sel[0]->isChecked();
    c.bar = colourFromValue(received ? f.RxBarColor : f.SelectedBackColor, pal);
    c.average = colourFromValue(received ? f.RxAverageColor : f.AckAverageColor, pal);
    const RssiGraph::Noise graphNoise{level(noise.before), level(noise.now)};
    if (received)
        f.Picture1->step(RssiGraph::Bar{double(rxRssi), oldRxAve, rxAve.level}, graphNoise, c);
    else
        f.Picture1->step(RssiGraph::Bar{level(ack), oldAckAve, ackAve.level}, graphNoise, c);
    writeAnswerLines(true, r.received, far, ack, noise.now);
}

void TestCycle::evaluateFailure(const Reports& r, const Noise& noise) {
    countUp(f.FSK_Err);
    f.Rx_Rssi->clear();
    f.AckRssi->clear();
    if (f.TxPeriod >= kSoundPeriodMs)
        sounds.PlayFailureSound();

    if (!f.GraphOption->isChecked()) {
        const QPalette& pal = f.Picture1->palette();
        const RssiGraph::Colours c{colourFromValue(f.GraphBackColor, pal), colourFromValue(f.GridColor, pal),
                                   colourFromValue(f.NoiseColor, pal), {}, {}};
        f.Picture1->step(std::nullopt, RssiGraph::Noise{level(noise.before), level(noise.now)}, c);
    }
    writeAnswerLines(false, r.received, QString(), QString(), noise.now);
}

// The answer half of the communication-log line and the map lines, with the
// texts the step gave the boxes (a lost packet's RSSI fields are empty; its
// response time is not written) and the position texts of the last GGA
// sentence read. The map CSV takes answered packets only.
void TestCycle::writeAnswerLines(bool answered, const QString& received, const QString& farRssi,
                                 const QString& ackRssi, const QString& noise) {
    loglines::AnswerFields a;
    a.received = received;
    a.responseTime = answered ? f.ResponseTime : QString();
    a.farRssi = farRssi;
    a.ackRssi = ackRssi;
    a.noise = noise;
    a.gga = f.GPposition->text();
    logs.AppendCommLog(loglines::answerHalf(a));
    const GgaProcessor::MapTexts& at = gga.mapTexts();
    const QString mapLine = loglines::mapLine({at.latitude, at.longitude, at.altitude, a.farRssi, a.ackRssi, a.noise});
    if (answered)
        logs.AppendMapCsv(mapLine);
    logs.AppendMapLog(mapLine);
}
