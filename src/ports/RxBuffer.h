#pragma once
// What the radio port received since the receive boxes were last emptied:
// the readable rendering of every byte (shown in RxText), the hex dump of
// the newest 80 bytes (RxData), when each byte still in the dump arrived,
// and the looped-back answer recognised in the test period. It renders both
// boxes; the test cycle reads the received data here, not from them.
//
// The boxes are not its alone: the initialisation and the run start empty
// them, and the operator may type into them. A change it did not make is
// taken up as the box's new content (the next bytes are added to it, and
// it is what is read here), as if the received data had always been that;
// the dump's arrival instants then begin anew.
#include "module/AnswerWatch.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>
#include <optional>

class QByteArray;
class QLineEdit;
class QPlainTextEdit;

class RxBuffer : public QObject {
    Q_OBJECT
public:
    RxBuffer(QPlainTextEdit* textBox, QLineEdit* dumpBox, QObject* parent = nullptr);

    // One receive event's bytes, arrived at `us` (microsecond clock): their
    // rendering is added to RxText, their hex dump to RxData (which keeps
    // the newest kDumpKeep characters), and the level bytes of an answer
    // recognised earlier in the period are taken from them.
    void receive(const QByteArray& bytes, std::int64_t us);
    // The test step empties both boxes: a new period, nothing recognised.
    void beginPeriod();

    // RxText's content and RxData's, as the boxes show them.
    const QString& text() const;
    const QString& dump() const;

    // The receive handler found the answer's pattern in the dump at `us`:
    // the first recognition of the period is kept with its instant and the
    // level bytes after it, even when later bytes push it out of the dump.
    void recognise(const QString& pattern, std::int64_t us);
    const cmdset::AnswerWatch& answer() const { return answer_; }

    // When the byte whose hex stands at index `at` of the dump (3
    // characters a byte) arrived; empty for an index outside the dump or a
    // byte this buffer did not receive (typed into the box).
    std::optional<std::int64_t> arrivalOf(int at) const;

    static constexpr int kDumpKeep = 240;   // the newest 80 bytes as hex

private:
    // One receive event since the dump began anew: the count of bytes
    // received up to and including it, and its instant. Only the events
    // whose bytes are still in the dump are kept.
    struct Arrival {
        std::int64_t bytesUpTo;
        std::int64_t us;
    };
    void takeUpText() const;
    void dumpEdited(const QString& shown);
    void restartArrivals();

    QPlainTextEdit* textBox_;
    QLineEdit* dumpBox_;
    mutable QString text_;
    mutable bool textEdited_ = false;   // RxText changed by someone else since text_
    QString dump_;
    std::deque<Arrival> arrivals_;
    std::int64_t dumpBytes_ = 0;        // bytes received since the dump began anew
    bool rendering_ = false;            // the boxes' changes are this buffer's own
    cmdset::AnswerWatch answer_;
};
