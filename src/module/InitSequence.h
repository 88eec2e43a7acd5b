#pragma once
// The module initialisation sequence, one step per InitialTimer tick: open
// the radio port, ask for the firmware generation ("@FV"), the mode ("@MO")
// and the spreading setting ("@SF"), then hand over to BeginTestRun. A
// missing or unusable answer ends the attempt with its message and a stop.
#include <QObject>
#include <QString>
#include <cstdint>

class Form1;
class QWidget;

class InitSequence : public QObject {
    Q_OBJECT
public:
    explicit InitSequence(Form1& form);
    void InitialTimer_Timer();

    static inline const QString kNoAnswer = QStringLiteral("応答無 ,FSK/LoRa Command Modeに設定！");
    static inline const QString kBadAnswer = QStringLiteral("応答異常！！");
    static inline const QString kCheckPort = QStringLiteral("ポート確認");


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

    Form1& f;
};
