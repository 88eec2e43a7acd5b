#pragma once
// The radio port channel: SendModuleCommand and the receive handler of the
// radio port (byte rendering, hex dump, answer recognition and timing).
#include "platform/BoundedTextView.h"
#include "ports/RxBuffer.h"

#include <QObject>
#include <QString>

#include <cstdint>
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

    // What the port received since the receive boxes were last emptied,
    // and the answer recognised in the test period: the test cycle reads it
    // and begins each period with it.
    RxBuffer& received() { return rx_; }
    const RxBuffer& received() const { return rx_; }

    static constexpr int kRxDataKeep = RxBuffer::kDumpKeep;   // the newest 80 bytes as hex
    static constexpr int kTimeHistoryKeep = 500;

signals:
    // A write to the radio port failed or the port vanished; the run
    // control stops the run.
    void portFailed();

private:
    RadioView f;
    BoundedTextView timeHistory_;
    RxBuffer rx_;
};
