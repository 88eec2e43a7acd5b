#pragma once
// The simulated radio module: the local module in command mode and the far
// loopback unit in one, independent of the transport. Feed it what the host
// writes (hostBytes); it answers through toHost() and pulls the cable with
// unplug(). Every answer goes out later, through a timer of the given clock
// (a virtual clock in tests, the system clock in qvx-sim), never from inside
// hostBytes, just as a real module answers from the far side of a cable.
//
//   SimModule sim(clock, config);
//   connect(&sim, &SimModule::toHost, port, &Port::write);
//   sim.hostBytes("@FV\r\n");   // "*FV=2.10\r\n" arrives 20 ms later
#include "SimConfig.h"

#include <QByteArray>
#include <QObject>
#include <QRandomGenerator>
#include <deque>
#include <functional>
#include <memory>

class Clock;
class Timer;

class SimModule : public QObject {
    Q_OBJECT
public:
    SimModule(Clock& clock, SimConfig config = {}, QObject* parent = nullptr);

    const SimConfig& config() const { return config_; }
    // Changes take effect for the commands received from now on.
    SimConfig& config() { return config_; }

    // Where the walker is at a monotonic microsecond time, for the link
    // law (config().law); without one the walker stays at the loopback unit.
    void setWalk(std::function<WalkPoint(qint64 us)> walk) { walk_ = std::move(walk); }

    // Bytes the host wrote; commands may be split over calls or several in one.
    void hostBytes(const QByteArray& bytes);

    int commandsReceived() const { return commands_; }
    int dataCommandsReceived() const { return dataCommands_; }
    int answersSent() const { return answersSent_; }   // complete answers written
    int packetsLost() const { return lost_; }
    bool isUnplugged() const { return unplugged_; }
    // Answers scheduled but not written yet.
    bool hasPendingOutput() const { return !queue_.empty(); }

    // The encoded data answer for a payload and far-end RSSI (the bytes
    // before any garbage or chunking).
    static QByteArray dataAnswer(const QByteArray& lengthDigits, const QByteArray& payload, int farRssi);

signals:
    void toHost(const QByteArray& bytes);
    void unplug();
    // One received command (without CR LF), at the simulator's own
    // monotonic millisecond time, with the delay applied to its answer
    // (-1: no answer, such as a lost packet or an unknown command).
    void commandTraced(qint64 atMs, const QByteArray& command, int appliedDelayMs);

private:
    struct Output {
        qint64 due;
        QByteArray bytes;
        bool endsAnswer;
        bool pull;          // the cable is pulled at this time
        quint64 seq;
    };
    qint64 nowMs();
    void handleCommand(const QByteArray& command);
    int handleData(const QByteArray& command);
    void sendAnswer(const QByteArray& answer, int delayMs);
    QByteArray frame(const QByteArray& answer);
    qint64 enqueuePieces(qint64 due, const QByteArray& bytes);
    void enqueue(qint64 due, QByteArray bytes, bool endsAnswer, bool pull = false);
    void reschedule();
    void flushDue();
    int nextRssi(const RssiSpec& source, int& index, int& walk);
    QByteArray randomBytes(qint64 n);
    bool packetLost();
    LinkModel::Packet lawPacket();

    Clock& clock_;
    SimConfig config_;
    Timer* timer_;
    QRandomGenerator rng_;
    QByteArray rx_;
    std::deque<Output> queue_;
    QList<Output> held_;       // an answer held back to arrive after the next one
    qint32 lastRaw_ = 0;
    qint64 extended_ = 0;
    bool started_ = false;
    int commands_ = 0;
    int dataCommands_ = 0;
    int answersSent_ = 0;
    int lost_ = 0;
    bool unplugged_ = false;
    int farIndex_ = 0, ackIndex_ = 0, noiseIndex_ = 0;
    int farWalk_ = 0, ackWalk_ = 0, noiseWalk_ = 0;
    bool pulling_ = false;
    quint64 nextSeq_ = 0;
    bool haveAck_ = false;
    int lastAckRssi_;
    std::function<WalkPoint(qint64 us)> walk_;
    std::unique_ptr<LinkModel> link_;   // made at the first packet, from the config then
};
