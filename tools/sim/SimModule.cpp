#include "SimModule.h"

#include "platform/Clock.h"
#include "platform/Timer.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMaxLine = 4096;       // an unterminated line longer than this is dropped
constexpr int kFloodPiece = 4096;    // a flood goes out in pieces of this size, one per ms

QByteArray dbm(const char* keyword, int value) {
    return QByteArray(keyword) + QByteArray::number(value) + "dBm";
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A level as the module reports it: whole dBm, signed 16-bit.
int wholeDbm(double level) { return static_cast<int>(std::clamp<long>(std::lround(level), -32768, 32767)); }

} // namespace

SimModule::SimModule(Clock& clock, SimConfig config, QObject* parent)
    : QObject(parent), clock_(clock), config_(std::move(config)), timer_(clock.createTimer(this)),
      rng_(config_.seed), lastAckRssi_(0) {
    connect(timer_, &Timer::timeout, this, &SimModule::flushDue);
}

qint64 SimModule::nowMs() {
    // The clock's counter is 32 bits and wraps; carry it on in 64 bits.
    const qint32 raw = clock_.milliseconds();
    if (!started_) {
        extended_ = raw;
        started_ = true;
    } else {
        extended_ += static_cast<qint32>(static_cast<quint32>(raw) - static_cast<quint32>(lastRaw_));
    }
    lastRaw_ = raw;
    return extended_;
}

void SimModule::hostBytes(const QByteArray& bytes) {
    if (unplugged_ || pulling_)
        return;
    rx_ += bytes;
    while (!pulling_) {
        const int at = rx_.indexOf('@');
        if (at < 0) {
            rx_.clear();   // line noise between commands
            return;
        }
        rx_.remove(0, at);
        // A data command carries a counted payload that may hold any byte,
        // CR and LF included: its line end is looked for after the payload.
        int from = 1;
        if (rx_.startsWith("@DT")) {
            if (rx_.size() < 5)
                return;
            if (isDigit(rx_[3]) && isDigit(rx_[4]))
                from = 5 + (rx_[3] - '0') * 10 + (rx_[4] - '0');
        }
        const int end = rx_.size() >= from ? rx_.indexOf("\r\n", from) : -1;
        if (end < 0) {
            if (rx_.size() > kMaxLine)
                rx_.clear();
            return;
        }
        const QByteArray command = rx_.left(end);
        rx_.remove(0, end + 2);
        handleCommand(command);
    }
}

void SimModule::handleCommand(const QByteArray& command) {
    ++commands_;
    const qint64 at = nowMs();
    int delay = config_.commandDelay();
    if (command == "@FV") {
        switch (config_.firmware) {
        case SimConfig::Firmware::Fv: sendAnswer("*FV=2.10", delay); break;
        case SimConfig::Firmware::Version: sendAnswer("Version=1.10", delay); break;
        case SimConfig::Firmware::Both: sendAnswer("Version=2.10 *FV=2.10", delay); break;
        case SimConfig::Firmware::None: delay = -1; break;
        }
    } else if (command == "@MO") {
        if (config_.modeAnswer)
            sendAnswer(config_.modulation == SimConfig::Modulation::Fsk ? "*MO=01" : "*MO=03", delay);
        else
            delay = -1;
    } else if (command == "@SF") {
        const QByteArray value = config_.sfAnswer.isEmpty()
                                     ? QByteArray::number(config_.spreadingIndex).rightJustified(2, '0')
                                     : config_.sfAnswer;
        sendAnswer("*SF=" + value, delay);
    } else if (command == "@RA") {
        sendAnswer(dbm("*RA=", nextRssi(config_.noiseRssi, noiseIndex_, noiseWalk_)), delay);
    } else if (command == "@RS") {
        if (!haveAck_) {
            lastAckRssi_ = config_.law.enabled ? wholeDbm(lawPacket().answerLevel)
                                               : nextRssi(config_.ackRssi, ackIndex_, ackWalk_);
            haveAck_ = true;
        }
        sendAnswer(dbm(config_.rsForm == SimConfig::RsForm::Star ? "*RS=" : "RSSI=", lastAckRssi_), delay);
    } else if (command.startsWith("@DT")) {
        delay = handleData(command);
    } else {
        delay = -1;   // not a command this module knows: no answer
    }
    emit commandTraced(at, command, delay);
}

int SimModule::handleData(const QByteArray& command) {
    ++dataCommands_;
    if (config_.unplugAfter > 0 && dataCommands_ >= config_.unplugAfter) {
        // The cable is pulled: nothing more goes out, the port vanishes.
        queue_.clear();
        held_.clear();
        pulling_ = true;
        enqueue(nowMs(), {}, false, true);
        return -1;
    }
    if (config_.floodBytes > 0 && dataCommands_ == config_.floodAt) {
        const qint64 now = nowMs();
        qint64 left = config_.floodBytes;
        for (qint64 i = 0; left > 0; ++i) {
            const qint64 n = std::min<qint64>(left, kFloodPiece);
            enqueue(now + config_.commandDelay() + i, randomBytes(n), false);
            left -= n;
        }
        return config_.commandDelay();
    }
    if (packetLost()) {
        ++lost_;
        return -1;
    }
    int far = 0, ack = 0;
    if (config_.law.enabled) {
        const LinkModel::Packet p = lawPacket();
        if (p.lost) {
            ++lost_;
            return -1;
        }
        far = wholeDbm(p.farLevel);
        ack = wholeDbm(p.answerLevel);
    }
    int delay = config_.loopDelay();
    if (config_.jitterMs > 0)
        delay = std::max(0, delay + static_cast<int>(rng_.bounded(2 * config_.jitterMs + 1)) - config_.jitterMs);
    const QByteArray digits = command.mid(3, 2);
    const QByteArray payload = command.mid(5);
    if (!config_.law.enabled) {
        far = nextRssi(config_.farRssi, farIndex_, farWalk_);
        ack = nextRssi(config_.ackRssi, ackIndex_, ackWalk_);
    }
    lastAckRssi_ = ack;
    haveAck_ = true;
    const QByteArray framed = frame(dataAnswer(digits, payload, far));

    const bool hold = config_.swapEvery > 0 && (dataCommands_ - 1) % config_.swapEvery == 0;
    if (hold) {
        // Late and out of order: this answer waits for the next packet's.
        held_.clear();
        const int n = config_.chunkSize > 0 ? config_.chunkSize : std::max<int>(1, framed.size());
        for (int i = 0, k = 0; i < framed.size(); i += n, ++k) {
            held_.append({static_cast<qint64>(k) * config_.chunkGapMs, framed.mid(i, n), i + n >= framed.size(),
                          false, 0});
        }
        return delay;
    }
    const qint64 last = enqueuePieces(nowMs() + delay, framed);
    if (!held_.isEmpty()) {
        for (const Output& o : std::as_const(held_))
            enqueue(last + config_.chunkGapMs + o.due, o.bytes, o.endsAnswer);
        held_.clear();
    }
    return delay;
}

QByteArray SimModule::dataAnswer(const QByteArray& lengthDigits, const QByteArray& payload, int farRssi) {
    // The loopback unit writes its RSSI over the last two payload bytes,
    // signed 16-bit, big-endian; the local module reports "*DR=" and the
    // packet, then ends the line.
    const quint16 raw = static_cast<quint16>(static_cast<qint16>(farRssi));
    QByteArray a = "*DR=" + lengthDigits + payload.left(std::max<int>(0, payload.size() - 2));
    a.append(static_cast<char>(raw >> 8));
    a.append(static_cast<char>(raw & 0xFF));
    return a;
}

void SimModule::sendAnswer(const QByteArray& answer, int delayMs) {
    enqueuePieces(nowMs() + delayMs, frame(answer));
}

QByteArray SimModule::frame(const QByteArray& answer) {
    QByteArray out;
    const bool garbage = (config_.garbageBefore > 0 || config_.garbageAfter > 0) &&
                         (config_.garbageRate >= 1.0 || rng_.generateDouble() < config_.garbageRate);
    if (garbage)
        out += randomBytes(config_.garbageBefore);
    out += answer + "\r\n";
    if (garbage)
        out += randomBytes(config_.garbageAfter);
    return out;
}

qint64 SimModule::enqueuePieces(qint64 due, const QByteArray& bytes) {
    const int size = config_.chunkSize > 0 ? config_.chunkSize : std::max<int>(1, bytes.size());
    qint64 at = due;
    for (int i = 0; i < bytes.size(); i += size) {
        at = due + static_cast<qint64>(i / size) * config_.chunkGapMs;
        enqueue(at, bytes.mid(i, size), i + size >= bytes.size());
    }
    return at;
}

void SimModule::enqueue(qint64 due, QByteArray bytes, bool endsAnswer, bool pull) {
    Output o{due, std::move(bytes), endsAnswer, pull, nextSeq_++};
    // Stable: after everything due at the same time or earlier.
    auto it = std::upper_bound(queue_.begin(), queue_.end(), due,
                               [](qint64 d, const Output& q) { return d < q.due; });
    queue_.insert(it, std::move(o));
    reschedule();
}

void SimModule::reschedule() {
    if (queue_.empty()) {
        timer_->setEnabled(false);
        return;
    }
    const qint64 wait = queue_.front().due - nowMs();
    timer_->setInterval(static_cast<int>(std::clamp<qint64>(wait, 1, 1 << 30)));
    timer_->setEnabled(true);
}

void SimModule::flushDue() {
    // Only what was queued before this tick goes out now: an answer queued
    // by a command that arrives while writing waits for a later tick.
    const quint64 limit = nextSeq_;
    const qint64 now = nowMs();
    for (;;) {
        auto it = std::find_if(queue_.begin(), queue_.end(), [&](const Output& o) { return o.seq < limit; });
        if (it == queue_.end() || it->due > now)
            break;
        const Output o = std::move(*it);
        queue_.erase(it);
        if (o.pull) {
            queue_.clear();
            unplugged_ = true;
            timer_->setEnabled(false);
            emit unplug();
            return;
        }
        if (o.endsAnswer)
            ++answersSent_;
        emit toHost(o.bytes);
        if (unplugged_)
            return;
    }
    reschedule();
}

int SimModule::nextRssi(const RssiSpec& source, int& index, int& walk) {
    if (source.kind == RssiSpec::Kind::Sequence) {
        if (source.values.isEmpty())
            return 0;
        const int v = source.values[index % source.values.size()];
        index = (index + 1) % source.values.size();
        return v;
    }
    // A random walk that stays within the bounds, starting at the centre.
    if (index == 0) {
        walk = source.centre;
        index = 1;
        return walk;
    }
    const int step = std::max(0, source.step);
    walk += static_cast<int>(rng_.bounded(2 * step + 1)) - step;
    walk = std::clamp(walk, source.centre - source.span, source.centre + source.span);
    return walk;
}

QByteArray SimModule::randomBytes(qint64 n) {
    QByteArray b(static_cast<int>(n), Qt::Uninitialized);
    for (char& c : b)
        c = static_cast<char>(rng_.bounded(256));
    return b;
}

LinkModel::Packet SimModule::lawPacket() {
    if (!link_)
        link_ = std::make_unique<LinkModel>(config_.law, config_.lawMidpoint(), config_.seed);
    return link_->next(walk_ ? walk_(clock_.microseconds()) : WalkPoint{});
}

bool SimModule::packetLost() {
    const QByteArray& p = config_.lossPattern;
    if (!p.isEmpty()) {
        const char c = p[(dataCommands_ - 1) % p.size()];
        if (c == 'x' || c == 'X')
            return true;
    }
    return config_.lossProbability > 0 && rng_.generateDouble() < config_.lossProbability;
}
