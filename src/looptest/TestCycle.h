#pragma once
// The test cycle: the tick handler of Tx_Timer. Each step evaluates the
// answer to the previous test packet (counters, signal strengths, averages,
// sound, graph, log lines), then sends the next packet and re-arms the
// timer, or stops a counted run that has reached its length.
// Each evaluated packet is also told as an Exchange record, and the answer
// of an earlier lost packet found in a step's data as a LateAnswer.
#include "looptest/PeriodKeeper.h"
#include "records/Exchange.h"
#include "records/LateAnswerWindow.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <deque>
#include <optional>

class Clock;
struct FormState;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class RssiGraph;
class SerialPort;
class Timer;

// What the test cycle touches: the counters, the packet number, the answer
// looked for, the signal-strength boxes and their averages, the graph; what
// it reads for a step (the packet's command and filler, the run length, the
// graph choice and option, GPS使用 and the GGA sentence box for the log
// line); the radio port, its own timer and the clock. The received data
// come from the radio channel's RxBuffer, the map lines' position from the
// GPS tick. Of the shared variables: the exchange's timing and the command to
// send (its own with the radio channel), the RSSI histories and the result
// flag (its own with the run control); the run's kind and period, the
// firmware kind, the expected answer and the graph colours (read).
struct CycleView {
    explicit CycleView(FormState& st);
    QLineEdit* Tx_Count = nullptr;
    QLineEdit* FSK_OK = nullptr;
    QLineEdit* FSK_Err = nullptr;
    QLineEdit* FSKData = nullptr;
    QLineEdit* ChkData = nullptr;
    QLineEdit* Rx_Rssi = nullptr;
    QLineEdit* AckRssi = nullptr;
    QLineEdit* Rx_RssiAve = nullptr;
    QLineEdit* AckRssiAve = nullptr;
    QLineEdit* NoiseRssi = nullptr;
    RssiGraph* Picture1 = nullptr;
    const QLabel* TxCmd = nullptr;
    const QLineEdit* FSKDmy = nullptr;
    const QLineEdit* Tx_CnEnd = nullptr;
    std::array<const QRadioButton*, 2> RssiGraph_Sel{};
    const QCheckBox* GraphOption = nullptr;
    const QCheckBox* GPS_On = nullptr;
    const QLineEdit* GPposition = nullptr;
    SerialPort* MSComm1 = nullptr;
    Timer* Tx_Timer = nullptr;
    Clock* clock = nullptr;
    QString& PendingCommand;
    qint32& SendTime;
    std::int64_t& SendTimeUs;
    QString& ResponseTime;
    std::optional<std::int64_t>& ResponseTimeUs;
    int& AwaitingResponse;
    int& ResultPending;
    std::array<QString, 10>& RxRssiHistory;
    std::array<QString, 10>& AckRssiHistory;
    const int& RunKind;
    const double& TxPeriod;
    const int& FirmwareKind;
    const QString& ExpectedAnswerHex;
    const std::uint32_t& GraphBackColor;
    const std::uint32_t& GridColor;
    const std::uint32_t& NoiseColor;
    const std::uint32_t& RxBarColor;
    const std::uint32_t& RxAverageColor;
    const std::uint32_t& AckAverageColor;
    const std::uint32_t& SelectedBackColor;
};
class LogWriters;
class RadioChannel;
class ResultSounds;
class GgaProcessor;

class TestCycle : public QObject {
    Q_OBJECT
public:
    TestCycle(const CycleView& view, QObject* parent, LogWriters& logs, RadioChannel& radio, ResultSounds& sounds, GgaProcessor& gga);
    void Tx_Timer_Timer();
    // A run begins: its first step follows at the first firing, whatever
    // firings a long period of the previous run left to skip. The run's
    // id, mode, spreading and period go into its records.
    void startRun(const records::RunStart& start);
    // Data commands written to the port in this run.
    std::int64_t packetsSent() const { return sent_; }

    // Firings of Tx_Timer per transmit period (0 below 29000 ms) and the
    // firings still to skip before the next step.
    int subTickCount() const { return SubTickCount; }
    int subTicksLeft() const { return SubTicksLeft; }

    // Periods of this length or more are split into several firings.
    static constexpr double kSubTickPeriodMs = PeriodKeeper::kSubTickPeriodMs;
    // The longest period a run keeps: the timers' intervals and the
    // millisecond clock are signed 32-bit counts (about 24.8 days).
    static constexpr double kMaxPeriodMs = 2147483647.0;
    // Sounds are played only from this period on.
    static constexpr double kSoundPeriodMs = 2000;
    // Lost packets whose answer a later step still looks for.
    static constexpr int kLateWatch = records::kLateAnswerWindow;
    // With timed writes, how long before the next step's instant a late
    // step must end for the schedule to hold.
    static constexpr qint64 kLateStepMarginUs = 20'000;

signals:
    // One per evaluated packet, after its log lines.
    void exchangeEvaluated(const records::Exchange& e);
    // A step found the answer of an earlier packet already counted lost.
    void lateAnswer(const records::LateAnswer& l);
    // A counted run has sent all its packets: the run control stops it.
    void lengthReached();

private:
    // The packet sent last, until the next step evaluates it.
    struct InFlight {
        std::int64_t packet = 0;
        QString payload;
        QDateTime sent;
        std::int64_t sentUs = 0;
        bool gpsOn = false;  // GPS使用 at the send
    };
    // What a step takes from the period's data, each report found once:
    // the received text, the floor noise ("*RA=") and the answer's RSSI
    // ("*RS=" or "RSSI="), verbatim; an absent report leaves its box as it
    // is (and gives the record an empty field).
    struct Reports {
        QString received;
        std::optional<QString> noise;
        std::optional<QString> ack;
    };
    // The floor noise before the step's report and after it, as NoiseRssi
    // shows them.
    struct Noise {
        QString before;
        QString now;
    };
    records::Exchange exchangeRecord(const InFlight& p, std::optional<int> farRssi, const Reports& r) const;
    QList<records::LateAnswer> findLateAnswers();

    void step();
    void evaluateExchange();
    void evaluateSuccess(int rxRssi, const Reports& r, const Noise& noise);
    void evaluateFailure(const Reports& r, const Noise& noise);
    void writeAnswerLines(bool answered, const QString& received, const QString& farRssi, const QString& ackRssi,
                          const QString& noise);
    bool sendPacket(const QString& command);
    // How a step's packet went out.
    struct Sent {
        bool sent = true;        // every command written
        QStringList commands;    // the commands written
        QDateTime at;            // when it went out, local time
        qint32 ms = 0;           // the clocks right after the last write
        qint64 us = 0;
    };
    QStringList packetCommands(const QString& payload) const;
    Sent sendHere(qint64 sendAt);
    Sent sendTimed(qint64 sendAt);
    void scheduleNext();
    void rearm(qint64 t0Us, bool sentOnTime);

    CycleView f;
    LogWriters& logs;
    RadioChannel& radio;
    ResultSounds& sounds;
    GgaProcessor& gga;
    int SubTickCount = 0;
    int SubTicksLeft = 0;
    PeriodKeeper keeper_;
    std::int64_t sent_ = 0;
    records::RunStart run_;
    std::optional<InFlight> inFlight_;
    std::deque<InFlight> lost_;   // newest last, at most kLateWatch
    QStringList scheduledCommands_;   // the next packet, handed to the port
    qint64 scheduledAt_ = -1;         // for this instant; -1 none
};
