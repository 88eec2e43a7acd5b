#pragma once
// The module initialisation sequence, one step per InitialTimer tick: open
// the radio port, ask for the firmware generation ("@FV"), the mode ("@MO")
// and the spreading setting ("@SF"), then report success (the run begins).
// A missing or unusable answer ends the attempt with its message.
#include <QObject>
#include <QString>
#include <cstdint>

struct Window;
class QWidget;

class InitSequence : public QObject {
    Q_OBJECT
public:
    explicit InitSequence(Window& window);
    void InitialTimer_Timer();

    static inline const QString kNoAnswer = QStringLiteral("応答無 ,FSK/LoRa Command Modeに設定！");
    static inline const QString kBadAnswer = QStringLiteral("応答異常！！");
    static inline const QString kCheckPort = QStringLiteral("ポート確認");

signals:
    // PendingCommand holds the next command for the module: the radio
    // channel sends it (fire and forget; a failed write stops the attempt).
    void commandReady();
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

    Window& f;
};
