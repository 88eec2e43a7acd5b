#pragma once
// Run start (the run buttons, BeginTestRun) and stop (StopTestRun, Timer1).
// The run buttons' captions show the state: idle "(停止中)", running
// "(送信中)" on the pressed one, stop pending "(停止準備中)" on both.
#include <QObject>
#include <QString>

class Form1;

class RunControl : public QObject {
    Q_OBJECT
public:
    explicit RunControl(Form1& form);
    void TestStartSW_Click(int index);
    void BeginTestRun();
    void StopTestRun();
    void Timer1_Timer();

    static inline const QString kContinuousIdle = QStringLiteral("連続送受信(停止中)");
    static inline const QString kContinuousRunning = QStringLiteral("連続送受信(送信中)");
    static inline const QString kContinuousStopping = QStringLiteral("連続送受信(停止準備中)");
    static inline const QString kCountedIdle = QStringLiteral("指定回数送受信(停止中)");
    static inline const QString kCountedRunning = QStringLiteral("指定回数送受信(送信中)");
    static inline const QString kCountedStopping = QStringLiteral("指定回数送受信(停止準備中)");

    static inline const QString kColumnHeads = QStringLiteral(
        "試験時間,試験コマンド,応答データ,応答時間[ms],受信RSSI値,応答RSSI値,フロアノイズ,以降はGPSデータ");

private:
    void setFramesEnabled(bool enabled);
    void completeStop();

    Form1& f;
};
