#pragma once
// The module initialisation sequence, one step per InitialTimer tick: open
// the radio port, ask for the firmware generation ("@FV"), the mode ("@MO")
// and the spreading setting ("@SF"), then report success (the run begins).
// A missing or unusable answer ends the attempt with its message.
#include <QObject>
#include <QString>

#include <array>
#include <cstdint>

struct FormState;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class SerialPort;
class Timer;

// What the initialisation touches: the radio port (opened here) and its
// box and list button (locked once it is open), its own timer, the status
// captions, the received-text boxes it reads and empties, the period
// fields' colours, the floor-noise label and box; its step counter, the
// module's firmware kind and spreading, the command for the radio channel
// and the least period (its own); the colours (read).
struct InitView {
    explicit InitView(FormState& st);
    SerialPort* MSComm1 = nullptr;
    Timer* InitialTimer = nullptr;
    QLineEdit* Com_Port = nullptr;
    QPushButton* ComSelectSW = nullptr;
    QLabel* ComMessage = nullptr;
    QLabel* TestMode = nullptr;
    QLabel* Message = nullptr;
    QLineEdit* RxData = nullptr;
    QPlainTextEdit* RxText = nullptr;
    QLineEdit* FSKTxTime = nullptr;
    std::array<QLineEdit*, 6> LoRaTxTime{};
    QLabel* FlorLabel = nullptr;
    QLineEdit* NoiseRssi = nullptr;
    int& InitStep;
    int& FirmwareKind;
    int& SpreadingIndex;
    double& MinTxPeriod;
    QString& PendingCommand;
    const std::uint32_t& NormalBackColor;
    const std::uint32_t& SelectedBackColor;
};

class InitSequence : public QObject {
    Q_OBJECT
public:
    InitSequence(const InitView& view, QObject* parent);
    void InitialTimer_Timer();

    static inline const QString kNoAnswer = QStringLiteral("応答無 ,FSK/LoRa Command Modeに設定！");
    static inline const QString kBadAnswer = QStringLiteral("応答異常！！");
    static inline const QString kCheckPort = QStringLiteral("ポート確認");

signals:
    // PendingCommand holds the next command for the module: the radio
    // channel sends it (fire and forget; a failed write stops the attempt).
    void commandReady();
    // The radio port is open for the run: the GPS port's choice is locked
    // with the radio port's until the stop completes.
    void portsLocked();
    // The module answered every question: the run can begin.
    void succeeded();
    // The port did not open or an answer was missing or unusable; the
    // message is on the window. The run control stops the attempt.
    void failed();

private:
    void openPort();
    void askFirmware();
    void checkFirmware();
    void checkMode();
    void checkSpreading();
    void succeed();
    void fail(const QString& message);
    void send(const QString& command);
    void clearReceived();

    InitView f;
};
