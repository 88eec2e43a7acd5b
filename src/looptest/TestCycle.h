#pragma once
// The test cycle: the tick handler of Tx_Timer. Each step evaluates the
// answer to the previous test packet (counters, signal strengths, averages,
// sound, graph, log lines), then sends the next packet and re-arms the
// timer, or stops a counted run that has reached its length.
#include "looptest/PeriodKeeper.h"

#include <QObject>
#include <QString>
#include <cstdint>

class Form1;

class TestCycle : public QObject {
    Q_OBJECT
public:
    explicit TestCycle(Form1& form);
    void Tx_Timer_Timer();
    // A run begins: its first step follows at the first firing, whatever
    // firings a long period of the previous run left to skip.
    void startRun();
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

private:
    void step();
    void evaluateExchange();
    void evaluateSuccess(int rxRssi, const QString& oldNoise);
    void evaluateFailure(const QString& oldNoise);
    bool sendPacket(const QString& command);
    void rearm(qint64 t0Us);

    Form1& f;
    int SubTickCount = 0;
    int SubTicksLeft = 0;
    PeriodKeeper keeper_;
    std::int64_t sent_ = 0;
};
