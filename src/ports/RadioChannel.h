#pragma once
// The radio port channel: SendModuleCommand and the receive handler of the
// radio port (byte rendering, hex dump, answer recognition and timing).
#include "module/AnswerWatch.h"
#include "platform/BoundedTextView.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>
#include <optional>

class Clock;
struct FormState;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class SerialPort;

// What the radio channel touches: the radio port, the received-text boxes
// it writes, the answer looked for (read), ComMessage for a failed port,
// the response-time history box; the command to send, the awaited-answer
// flag and the answer's time (its own with the cycle), the send instant
// (read).
struct RadioView {
    explicit RadioView(FormState& st);
    SerialPort* MSComm1 = nullptr;
    Clock* clock = nullptr;
    QPlainTextEdit* RxText = nullptr;
    QLineEdit* RxData = nullptr;
    const QLineEdit* ChkData = nullptr;
    QLabel* ComMessage = nullptr;
    QPlainTextEdit* RxTimeHist = nullptr;
    QString& PendingCommand;
    int& AwaitingResponse;
    QString& ResponseTime;
    std::optional<std::int64_t>& ResponseTimeUs;
    const qint32& SendTime;
};

class RadioChannel : public QObject {
    Q_OBJECT
public:
    RadioChannel(const RadioView& view, QObject* parent);

    // Writes PendingCommand and CR LF to the radio port in one write. A
    // failed write shows "Comポート異常検出", emits portFailed and returns
    // false.
    bool SendModuleCommand();
    // What a failed write does: "Comポート異常検出" and portFailed.
    void writeFailed();
    // Receive handler of MSComm1 (its readyRead).
    void MSComm1_OnComm();
    // The radio port vanished (adapter pulled): handled at once like a
    // failed write, without waiting for the next write to find out.
    void MSComm1_Lost();

    // The response-time history exactly as built (lines ended by CR LF);
    // RxTimeHist shows it. Emptied by the run start.
    const QString& responseTimeHistory() const { return timeHistory_.text(); }
    void clearResponseTimeHistory();

    // When a byte shown in RxData arrived, on the microsecond clock: the
    // byte at index `at` of RxData's hex dump (3 characters a byte, the
    // newest kRxDataKeep characters). Empty when RxData was changed by
    // someone else since the last receive event, or the index is outside it.
    std::optional<std::int64_t> arrivalOf(int at) const;

    // A test period begins (the step has emptied RxData and is about to
    // send): the answer recognised in it is looked for anew.
    void beginPeriod() { answer_.begin(); }
    // What the handler recognised in the period: the answer, its instant,
    // the far end's level bytes that followed it, whether or not they are
    // still inside RxData's 80 bytes.
    const cmdset::AnswerWatch& periodAnswer() const { return answer_; }

    static constexpr int kRxDataKeep = 240;       // the newest 80 bytes as hex
    static constexpr int kTimeHistoryKeep = 500;

signals:
    // A write to the radio port failed or the port vanished; the run
    // control stops the run.
    void portFailed();

private:
    // One receive event since RxData was last emptied: the count of bytes
    // received up to and including it, and its arrival instant. Only the
    // events whose bytes are still in RxData are kept.
    struct Arrival {
        std::int64_t bytesUpTo;
        std::int64_t us;
    };
    void noteArrival(int bytes, std::int64_t us);

    RadioView f;
    BoundedTextView timeHistory_;
    std::deque<Arrival> arrivals_;
    std::int64_t periodBytes_ = 0;  // bytes received since RxData was emptied
    QString shownRxData_;           // RxData as this handler left it
    cmdset::AnswerWatch answer_;
};
